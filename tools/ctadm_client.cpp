#include "tools/ctadm_client.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "platform/fileio.h"
#include "s100/cterrors.h"
#include "s100/deif.h"
#include "s100/deif_translate.h"

namespace ctadm {
namespace {

struct OwnedKvs {
  CTkvs h = 0;
  bool ok = false;
  OwnedKvs() { ok = CTkvs_Create(&h, nullptr) == 1; }
  ~OwnedKvs() {
    if (ok) CTkvs_Destroy(h, nullptr);
  }
  OwnedKvs(const OwnedKvs&) = delete;
  OwnedKvs& operator=(const OwnedKvs&) = delete;
};

// The look-ups that the text conversions translate with: the client's
// symbol table.
SymbolLookups ClientLookups(const AdminClient* client) {
  return {[client](uint32_t symbol, std::string* name) { return client->Translate(symbol, name); },
          [client](const char* name, uint32_t* symbol) { return client->Translate(name, symbol); }};
}

// Line and column (from 1) of a byte offset, for messages about text.
std::string Position(const std::string& text, size_t offset) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::vector<std::string> StringArray(CTkvs set, CTsymbol key) {
  const char* const* items = nullptr;
  uint32_t count = 0;
  std::vector<std::string> out;
  if (CTkvs_GetStringArray(set, key, &items, &count, nullptr) != 1) return out;
  for (uint32_t i = 0; i < count; ++i) out.emplace_back(items[i] ? items[i] : "");
  return out;
}

}  // namespace

std::string ErrorMessage(const std::string& what, uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", code);
  return what + ": " + CT_ErrorText(code) + " (" + hex + ")";
}

namespace {

// Reads the profile text into element with the client's symbol names.  On
// failure element holds nothing and *error says where the text went wrong.
bool ParseProfileText(const AdminClient* client, const std::string& text, QV_RawDataElement* element,
                      std::string* error) {
  size_t stop = 0;
  SymbolLookups lookups = ClientLookups(client);
  const QV_Status status = AtoAnyDEn(text.data(), text.size(), &stop, element, TranslateSymbols, &lookups);
  if (status.state == QV_STATE_SUCCESS) return true;
  QV_DestroyDataElement(element);
  *error = ErrorMessage("cannot read the profile text at " + Position(text, stop), status.error);
  return false;
}

// What a state query lists for every entry: its name and whether it runs.
struct Listed {
  std::vector<std::string> names;
  std::vector<bool> running;  // as many as names
};

// One state query for every entry (the empty name); use gets the reply and
// the names and running flags it lists under namesKey and runningKey.  A
// server that has none answers "not found": true, use not called.  Any other
// failure sets *error from what.
bool ListAll(int (*call)(CTses, const char*, CTkvs, CT_ReplyRecord*, uint32_t), CTses session, const char* what,
             CTsymbol namesKey, CTsymbol runningKey, std::string* error,
             const std::function<void(CTkvs, const Listed&)>& use) {
  OwnedKvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  if (call(session, "", info.h, &record, 0) != 1) {
    if (record.error == ct::kErrNotFound) return true;
    *error = ErrorMessage(what, record.error);
    return false;
  }
  Listed listed;
  listed.names = StringArray(reply.h, namesKey);
  const int32_t* running = nullptr;
  uint32_t count = 0;
  CTkvs_GetBoolArray(reply.h, runningKey, &running, &count, nullptr);
  if (listed.names.size() > count) listed.names.resize(count);
  for (size_t i = 0; i < listed.names.size(); ++i) listed.running.push_back(running[i] != 0);
  use(reply.h, listed);
  return true;
}

}  // namespace

AdminClient::AdminClient() { initialized_ = CT_Initialize(nullptr) == 1; }

AdminClient::~AdminClient() {
  if (session_) {
    OwnedKvs reply;
    CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
    CTses_Destroy(session_, CT_kvsEmpty, &record, 0);
  }
  if (initialized_) CT_Shutdown(nullptr);
}

bool AdminClient::Open(const std::string& server, std::string* error) {
  OwnedKvs options, reply;
  if (!options.ok || !reply.ok) {
    *error = ErrorMessage("cannot prepare the session", ct::kErrNoMemory);
    return false;
  }
  CTkvs_PutString(options.h, CT_KEY_SERVER_NAME, server.c_str(), nullptr);
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  if (CTses_Create(&session_, "ctadm", 0, options.h, &record, 0) != 1) {
    session_ = 0;
    *error = ErrorMessage("cannot connect to " + EchoText(server), record.error);
    return false;
  }
  OwnedKvs tableReply;
  CT_ReplyRecord tableRecord = CT_MakeReplyRecord(tableReply.h);
  tableLoaded_ = CTsym_LoadTable(session_, &tableRecord, 0) == 1;
  return true;
}

bool AdminClient::Translate(uint32_t symbol, std::string* name) const {
  if (!tableLoaded_) return false;
  char buffer[CT_SYMBOL_NAME_BUFFER];
  if (CTsym_SymbolToName(session_, symbol, buffer, sizeof buffer, nullptr) != 1) return false;
  *name = buffer;
  return true;
}

bool AdminClient::Translate(const char* name, uint32_t* symbol) const {
  return tableLoaded_ && CTsym_NameToSymbol(session_, name, symbol, nullptr) == 1;
}

std::string AdminClient::SymbolName(uint32_t symbol) const {
  std::string name;
  if (Translate(symbol, &name)) return name;
  char number[16];
  std::snprintf(number, sizeof number, "#%u", symbol);
  return number;
}

bool AdminClient::List(const std::string& profileClass, std::vector<ProfileEntry>* profiles, std::string* error) {
  profiles->clear();
  OwnedKvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  if (CTadm_GetProfileInfo(session_, nullptr, profileClass.c_str(), 0, info.h, &record, 0) != 1) {
    if (record.error == ct::kErrNotFound) return true;  // no profiles
    *error = ErrorMessage("cannot list the profiles", record.error);
    return false;
  }
  const std::vector<std::string> names = StringArray(reply.h, CT_KEY_PROFILE_NAMES);
  const std::vector<std::string> classes = StringArray(reply.h, CT_KEY_PROFILE_CLASSES);
  for (size_t i = 0; i < names.size() && i < classes.size(); ++i) profiles->push_back({names[i], classes[i]});
  return true;
}

bool AdminClient::Fetch(const std::string& name, const std::string& profileClass, QV_DataElement* profile,
                        std::string* error, CT_ProfileVersion* version) {
  OwnedKvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  const std::string what = "cannot get " + EchoText(name) + " (" + EchoText(profileClass) + ")";
  if (CTadm_GetProfileEx(session_, name.c_str(), profileClass.c_str(), info.h, version, &record, 0) != 1) {
    *error = ErrorMessage(what, record.error);
    return false;
  }
  const CTkvs* contents = nullptr;
  uint32_t count = 0;
  uint32_t err = 0;
  if (CTkvs_GetKVSetArray(info.h, CT_KEY_PROFILE_CONTENTS, &contents, &count, &err) != 1 || count == 0) {
    *error = ErrorMessage(what, count == 0 ? ct::kErrNotFound : err);
    return false;
  }
  profile->SetToKVSet(contents[0]);
  if (profile->Type() != CT_TYPE_KVSET) {
    *error = ErrorMessage(what, ct::kErrNoMemory);
    return false;
  }
  return true;
}

bool AdminClient::FetchRevision(const std::string& name, const std::string& profileClass, uint64_t revision,
                                QV_DataElement* profile, std::string* error) {
  OwnedKvs reply, content;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  if (!content.ok ||
      CTadm_GetRevision(session_, name.c_str(), profileClass.c_str(), revision, content.h, &record, 0) != 1) {
    *error = ErrorMessage("cannot get revision " + std::to_string(revision) + " of " + EchoText(name) +
                              " (" + EchoText(profileClass) + ")",
                          content.ok ? record.error : ct::kErrNoMemory);
    return false;
  }
  profile->SetToKVSet(content.h);
  return profile->Type() == CT_TYPE_KVSET;
}

bool AdminClient::ReadProfileText(const std::string& text, QV_DataElement* profile, std::string* error) {
  QV_RawDataElement element{};
  if (!ParseProfileText(this, text, &element, error)) return false;
  const bool isSet = element.type == CT_TYPE_KVSET && FromRawDataElement(element, profile);
  QV_DestroyDataElement(&element);
  if (!isSet) *error = "the text is not a key-value set (kvset { ... })";
  return isSet;
}

compare::SymbolNamer AdminClient::Names() const {
  return [this](uint32_t symbol, std::string* name) { return Translate(symbol, name); };
}

bool AdminClient::Get(const std::string& name, const std::string& profileClass, std::string* text,
                      std::string* error, CT_ProfileVersion* version) {
  QV_DataElement profile;
  if (!Fetch(name, profileClass, &profile, error, version)) return false;
  QV_RawDataElement element = ToRawDataElement(profile);
  char* out = nullptr;
  SymbolLookups lookups = ClientLookups(this);
  const QV_Status status = DEtoA(&element, &out, TranslateSymbols, &lookups);
  if (status != QV_OK || !out) {
    std::free(out);
    *error = ErrorMessage("cannot get " + EchoText(name) + " (" + EchoText(profileClass) + ")",
                          status.error);
    return false;
  }
  text->assign(out);
  std::free(out);
  return true;
}

bool AdminClient::Put(const std::string& name, const std::string& profileClass, const std::string& text, bool update,
                      std::string* error, uint64_t expectedRevision, bool* conflict) {
  if (conflict) *conflict = false;
  QV_RawDataElement element{};
  if (!ParseProfileText(this, text, &element, error)) return false;
  if (element.type != CT_TYPE_KVSET) {
    QV_DestroyDataElement(&element);
    *error = "cannot store the profile: the text is not a key-value set (kvset { ... })";
    return false;
  }
  OwnedKvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  const int result = update ? CTadm_UpdateProfileEx(session_, name.c_str(), profileClass.c_str(), element.value.kvs,
                                                    expectedRevision, nullptr, &record, 0)
                            : CTadm_AddProfile(session_, name.c_str(), profileClass.c_str(), element.value.kvs,
                                               &record, 0);
  QV_DestroyDataElement(&element);
  if (result != 1) {
    if (conflict) *conflict = record.error == ct::kErrRevisionConflict;
    *error = ErrorMessage("cannot " + std::string(update ? "update " : "add ") + EchoText(name) + " (" +
                              EchoText(profileClass) + ")",
                          record.error);
    return false;
  }
  return true;
}

bool AdminClient::Remove(const std::string& name, const std::string& profileClass, std::string* error) {
  OwnedKvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  if (CTadm_RemoveProfile(session_, name.c_str(), profileClass.c_str(), &record, 0) != 1) {
    *error = ErrorMessage("cannot remove " + EchoText(name) + " (" + EchoText(profileClass) + ")", record.error);
    return false;
  }
  return true;
}

bool AdminClient::History(const std::string& name, const std::string& profileClass,
                          std::vector<CT_RevisionInfo>* revisions, std::string* error) {
  OwnedKvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  if (CTadm_ListRevisions(session_, name.c_str(), profileClass.c_str(), revisions, &record, 0) != 1) {
    *error = ErrorMessage("cannot list the revisions of " + EchoText(name) + " (" + EchoText(profileClass) + ")", record.error);
    return false;
  }
  return true;
}

bool AdminClient::Restore(const std::string& name, const std::string& profileClass, uint64_t revision,
                          uint64_t* current, std::string* error) {
  OwnedKvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  if (CTadm_RestoreRevision(session_, name.c_str(), profileClass.c_str(), revision, current, &record, 0) != 1) {
    *error = ErrorMessage("cannot restore revision " + std::to_string(revision) + " of " + EchoText(name), record.error);
    return false;
  }
  return true;
}

bool AdminClient::Symbols(std::vector<std::pair<uint32_t, std::string>>* symbols, std::string* error) {
  symbols->clear();
  if (!tableLoaded_) {
    OwnedKvs reply;
    CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
    if (CTsym_LoadTable(session_, &record, 0) != 1) {
      *error = ErrorMessage("cannot load the symbol table", record.error);
      return false;
    }
    tableLoaded_ = true;
  }
  uint32_t count = 0;
  uint32_t err = 0;
  if (CTsym_GetCount(session_, &count, &err) != 1) {
    *error = ErrorMessage("cannot read the symbol table", err);
    return false;
  }
  char buffer[CT_SYMBOL_NAME_BUFFER];
  for (uint32_t i = 0; i < count; ++i) {
    CTsymbol symbol = 0;
    if (CTsym_GetEntry(session_, i, &symbol, buffer, sizeof buffer, &err) != 1) {
      *error = ErrorMessage("cannot read the symbol table", err);
      return false;
    }
    symbols->emplace_back(symbol, buffer);
  }
  return true;
}

bool AdminClient::Services(std::vector<ServiceEntry>* services, std::string* error) {
  services->clear();
  return ListAll(CTadm_GetServiceState, session_, "cannot list the services", CT_KEY_SERVICE_NAMES,
                 CT_KEY_SERVICE_RUNNING, error, [&](CTkvs reply, const Listed& listed) {
                   const CTsymbol* states = nullptr;
                   const CTsymbol* modes = nullptr;
                   uint32_t n1 = 0, n2 = 0;
                   CTkvs_GetSymbolArray(reply, CT_KEY_SERVICE_STATES, &states, &n1, nullptr);
                   CTkvs_GetSymbolArray(reply, CT_KEY_SERVICE_MODES, &modes, &n2, nullptr);
                   for (size_t i = 0; i < listed.names.size() && i < n1 && i < n2; ++i)
                     services->push_back({listed.names[i], states[i], modes[i], listed.running[i]});
                 });
}

bool AdminClient::Processes(std::vector<ProcessEntry>* processes, std::string* error) {
  processes->clear();
  return ListAll(CTadm_GetSPInfo, session_, "cannot list the server processes", CT_KEY_PROCESS_NAMES,
                 CT_KEY_PROCESS_RUNNING, error, [&](CTkvs, const Listed& listed) {
                   for (size_t i = 0; i < listed.names.size(); ++i)
                     processes->push_back({listed.names[i], listed.running[i]});
                 });
}

bool AdminClient::Level(int32_t* level, std::string* error) {
  OwnedKvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply.h);
  if (CTadm_GetServerLevel(session_, level, &record, 0) != 1) {
    *error = ErrorMessage("cannot read the server level", record.error);
    return false;
  }
  return true;
}

}  // namespace ctadm
