// The administration client behind ctadm: one runtime session with one
// server, and the operations of the command line on it.  Every operation
// answers true, or false with a message for the user in *error.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "compare/diff.h"
#include "model/dataelt.h"
#include "s100/ctruntime.h"

namespace ctadm {

struct ProfileEntry {
  std::string name;
  std::string profileClass;
};

struct ServiceEntry {
  std::string name;
  uint32_t state = 0;
  uint32_t mode = 0;
  bool running = false;
};

struct ProcessEntry {
  std::string name;
  bool running = false;
};

class AdminClient {
 public:
  AdminClient();
  ~AdminClient();
  AdminClient(const AdminClient&) = delete;
  AdminClient& operator=(const AdminClient&) = delete;

  // Opens a session with a known server (or an address) and loads its
  // symbol table; a server whose table cannot be loaded is still usable,
  // with symbols written as numbers.
  bool Open(const std::string& server, std::string* error);

  bool List(const std::string& profileClass, std::vector<ProfileEntry>* profiles, std::string* error);
  // The profile as data-element text.
  // *version (may be null) is the revision of the content given.
  bool Get(const std::string& name, const std::string& profileClass, std::string* text, std::string* error,
           CT_ProfileVersion* version = nullptr);
  // Stores data-element text (a key-value set) as a new profile, or in
  // place of the stored one.
  // The stored profile, or one of its revisions, as a data element.
  bool Fetch(const std::string& name, const std::string& profileClass, QV_DataElement* profile, std::string* error,
             CT_ProfileVersion* version = nullptr);
  bool FetchRevision(const std::string& name, const std::string& profileClass, uint64_t revision,
                     QV_DataElement* profile, std::string* error);
  // Data-element text read with this server's names (a key-value set).
  bool ReadProfileText(const std::string& text, QV_DataElement* profile, std::string* error);
  // An update with expectedRevision not 0 writes only over that revision;
  // a conflict fails with *conflict set (may be null).
  bool Put(const std::string& name, const std::string& profileClass, const std::string& text, bool update,
           std::string* error, uint64_t expectedRevision = 0, bool* conflict = nullptr);
  bool Remove(const std::string& name, const std::string& profileClass, std::string* error);
  bool History(const std::string& name, const std::string& profileClass, std::vector<CT_RevisionInfo>* revisions,
               std::string* error);
  bool Restore(const std::string& name, const std::string& profileClass, uint64_t revision, uint64_t* current,
               std::string* error);
  bool Symbols(std::vector<std::pair<uint32_t, std::string>>* symbols, std::string* error);
  bool Services(std::vector<ServiceEntry>* services, std::string* error);
  bool Processes(std::vector<ProcessEntry>* processes, std::string* error);
  bool Level(int32_t* level, std::string* error);

  // The symbol's name from the loaded table, else #number.
  std::string SymbolName(uint32_t symbol) const;

  // This server's names for comparisons (false for a symbol without one).
  compare::SymbolNamer Names() const;

  // Used by the data-element text conversions.
  bool Translate(uint32_t symbol, std::string* name) const;
  bool Translate(const char* name, uint32_t* symbol) const;

 private:
  CTses session_ = 0;
  bool initialized_ = false;
  bool tableLoaded_ = false;
};

// "what: reason (0x01600436)" for a failed call.
std::string ErrorMessage(const std::string& what, uint32_t code);

}  // namespace ctadm
