// The server's persistent state: profiles with their revisions, services,
// the server level and the server processes.
//
// Two implementations: one SQLite file (the embedded default) and a
// PostgreSQL database that any number of servers share.  Every write is one
// transaction, so a write that has returned survives a crash.  Methods
// answer with 0 or an S.100 error code and are safe to call from several
// threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ctserver {

struct ProfileRow {
  std::string name;
  std::string profileClass;
  std::string content;  // serialised DataElement; empty in listings
  uint64_t revision = 0;
  int64_t timeMs = 0;
};

struct RevisionRow {
  uint64_t revision = 0;
  int64_t timeMs = 0;  // when it was stored; 0 when that was not recorded
  bool current = false;
};

struct ServiceRow {
  std::string name;
  std::string config;  // serialised DataElement (KVSet)
  bool started = false;
  uint32_t mode = 0;       // start-mode symbol
  uint32_t stopValue = 0;  // the value of the last stop
};

struct ProcessRow {
  std::string name;
  bool running = false;
};

class Store {
 public:
  // Revisions kept per profile besides its current content.
  static constexpr int kKeptRevisions = 20;

  // Opens the store a --db value names: a postgresql:// or postgres://
  // connection URI selects PostgreSQL (the password, when one is needed,
  // comes from passwordFile or libpq's own PGPASSFILE), anything else is the
  // path of a SQLite file, created when missing.  The schema is created or
  // brought up to date.  Null on failure, with the reason in *error.
  static std::unique_ptr<Store> Open(const std::string& location, std::string* error,
                                     const std::string& passwordFile = std::string());
  // True when a --db value names a PostgreSQL database rather than a file.
  static bool IsPostgresUri(const std::string& location);

  virtual ~Store() = default;
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // The clock that stamps writes (milliseconds since the epoch); the system
  // clock unless set.  Set it before the store is shared between threads.
  void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }

  // ---- profiles ----
  // Adds a profile; a name taken by any class gives kErrNameExists.
  virtual uint32_t AddProfile(const std::string& name, const std::string& cls, const std::string& content,
                              uint64_t* revision) = 0;
  // Replaces the content of the profile of that name and class, keeping the
  // old content as a revision; none gives kErrNotFound.  With `expected`
  // not 0 the write happens only when the current revision is `expected`
  // (checked in the write's own transaction); otherwise nothing is written
  // and the answer is kErrRevisionConflict.
  virtual uint32_t UpdateProfile(const std::string& name, const std::string& cls, const std::string& content,
                                 uint64_t* revision, uint64_t expected = 0) = 0;
  // Update when the profile of that name and class exists, else add.
  virtual uint32_t PutProfile(const std::string& name, const std::string& cls, const std::string& content,
                              uint64_t* revision) = 0;
  // Removes the profile with its revisions; `expected` as for UpdateProfile.
  virtual uint32_t RemoveProfile(const std::string& name, const std::string& cls, uint64_t expected = 0) = 0;
  // One profile with its content; an empty class matches every class.
  virtual uint32_t GetProfile(const std::string& name, const std::string& cls, ProfileRow* out) = 0;
  // Names and classes (no content) of one class, or of all when cls is
  // empty, ordered by name (bytewise).
  virtual uint32_t ListProfiles(const std::string& cls, std::vector<ProfileRow>* out) = 0;

  // Newest first; the first is the current content.
  virtual uint32_t ListRevisions(const std::string& name, const std::string& cls,
                                 std::vector<RevisionRow>* out) = 0;
  virtual uint32_t GetRevision(const std::string& name, const std::string& cls, uint64_t revision,
                               std::string* content) = 0;
  // Makes the content of an old revision current (as an update would).
  virtual uint32_t RestoreRevision(const std::string& name, const std::string& cls, uint64_t revision,
                                   uint64_t* newRevision) = 0;

  // ---- services ----
  virtual uint32_t AddService(const ServiceRow& row) = 0;  // kErrServiceExists when taken
  virtual uint32_t UpdateService(const std::string& name, const std::string& config, uint32_t mode) = 0;
  virtual uint32_t RemoveService(const std::string& name) = 0;
  virtual uint32_t SetServiceStarted(const std::string& name, bool started, uint32_t stopValue) = 0;
  // One service, or all (in the order they were added) when name is empty.
  virtual uint32_t ListServices(const std::string& name, std::vector<ServiceRow>* out) = 0;

  // ---- server level ----
  virtual uint32_t GetLevel(int32_t* level, int32_t* target) = 0;
  virtual uint32_t SetLevel(int32_t level, int32_t target) = 0;

  // ---- server processes ----
  // Records the running flag of each process, adding those not yet known.
  virtual uint32_t SetProcesses(const std::vector<ProcessRow>& rows) = 0;
  virtual uint32_t ListProcesses(const std::string& name, std::vector<ProcessRow>* out) = 0;

  // "ok" when the store is sound, otherwise the findings.
  virtual std::string IntegrityCheck() = 0;

 protected:
  Store() = default;
  int64_t NowMs() const;

 private:
  std::function<int64_t()> clock_;
};

}  // namespace ctserver
