// The server core: checks every request, then answers it from the store,
// the symbol table and the session registry.
#include "server/core.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/fileio.h"
#include "s100/cterrors.h"
#include "s100/deif.h"
#include "s100/deif_translate.h"
#include "server/datafolder.h"
#include "proto/demessage.h"
#include "server/names.h"
#include "server/sessions.h"
#include "server/store.h"
#include "server/symboltable.h"
#include "server/wellknown.h"

namespace ctserver {

namespace pb = ctadmin::v1;

namespace {

constexpr size_t kMaxClientName = 255;
constexpr size_t kMaxImportBytes = kDeifMaxTextBytes;

// The server's own components, as the server-process reply lists them.
constexpr const char* kProcStore = "ProfileStore";
constexpr const char* kProcSymbols = "SymbolTable";
constexpr const char* kProcSessions = "SessionManager";
constexpr const char* kProcAdmin = "AdminService";

// A set created for one call and destroyed after it.
class ScopedSet {
 public:
  ScopedSet() { ok_ = CTkvs_Create(&h_, nullptr) == 1; }
  ~ScopedSet() {
    if (ok_) CTkvs_Destroy(h_, nullptr);
  }
  ScopedSet(const ScopedSet&) = delete;
  ScopedSet& operator=(const ScopedSet&) = delete;
  bool ok() const { return ok_; }
  CTkvs get() const { return h_; }

 private:
  CTkvs h_ = 0;
  bool ok_ = false;
};

// The look-ups of the data-element text: the symbol table.
SymbolLookups TableLookups(const SymbolTable& table) {
  return {[&table](uint32_t symbol, std::string* name) { return table.SymbolToName(symbol, name); },
          [&table](const char* name, uint32_t* symbol) { return table.NameToSymbol(name, symbol); }};
}

// Parses content bytes that must hold a KVSet element and gives them back
// in canonical form.
uint32_t CheckContent(const std::string& bytes, std::string* canonical) {
  pb::DataElement e;
  uint32_t error = 0;
  if (!ParseElement(bytes, &e, &error)) return error;
  if (e.type() != CT_TYPE_KVSET) return ct::kErrInvalidArgument;
  canonical->clear();
  if (!e.SerializeToString(canonical)) return ct::kErrInternal;
  return 0;
}

// The start mode a service configuration asks for: Manual when it names
// none; 0 when the value is not a start mode.
uint32_t ModeOf(const pb::DataElement& config) {
  for (const auto& pair : config.kvset().pairs()) {
    if (pair.key() != kSymServiceStartMode) continue;
    if (pair.value().type() != CT_TYPE_SYMBOL) return 0;
    uint32_t m = pair.value().uint_value();
    return m == kSymModeAuto || m == kSymModeManual || m == kSymModeDisabled ? m : 0;
  }
  return kSymModeManual;
}

// Parses a service configuration (empty bytes: an empty set).
uint32_t CheckConfig(const std::string& bytes, std::string* canonical, uint32_t* mode) {
  pb::DataElement e;
  if (bytes.empty()) {
    e.set_type(CT_TYPE_KVSET);
    e.mutable_kvset();
  } else {
    uint32_t error = 0;
    if (!ParseElement(bytes, &e, &error)) return error;
    if (e.type() != CT_TYPE_KVSET) return ct::kErrInvalidArgument;
  }
  *mode = ModeOf(e);
  if (*mode == 0) return ct::kErrInvalidArgument;
  canonical->clear();
  if (!e.SerializeToString(canonical)) return ct::kErrInternal;
  return 0;
}

class CoreImpl final : public ServerCore {
 public:
  CoreImpl(std::unique_ptr<Store> store, SymbolTable symbols, DataFolder folder, bool network)
      : store_(std::move(store)), symbols_(std::move(symbols)), folder_(std::move(folder)), network_(network) {}

  ~CoreImpl() override {
    EndWatches(ct::kErrConnect);
    store_->SetProcesses({{kProcStore, false}, {kProcSymbols, false}, {kProcSessions, false}, {kProcAdmin, false}});
    // First: the store's listener thread calls into the watch table.
    store_.reset();
  }

  bool Start(std::string* error) {
    store_->WatchChanges([this](const std::string& name) { RemoteChange(name); });
    if (store_->SetProcesses(
            {{kProcStore, true}, {kProcSymbols, true}, {kProcSessions, true}, {kProcAdmin, network_}}) != 0) {
      *error = "cannot record the server processes";
      return false;
    }
    // Services with the Auto start mode run whenever the server does.
    std::vector<ServiceRow> services;
    if (store_->ListServices(std::string(), &services) != 0) {
      *error = "cannot read the services";
      return false;
    }
    for (const auto& s : services) {
      if (s.mode == kSymModeAuto && !s.started) store_->SetServiceStarted(s.name, true, 0);
    }
    return true;
  }

  // ---- sessions ----

  void OpenSession(const pb::OpenSessionRequest& req, pb::OpenSessionReply* reply) override {
    reply->Clear();
    std::string serverName;
    if (!req.options().empty()) {
      pb::DataElement options;
      uint32_t error = 0;
      if (!ParseElement(req.options(), &options, &error)) return Fail(reply, error);
      if (options.type() != CT_TYPE_KVSET) return Fail(reply, ct::kErrInvalidArgument);
      for (const auto& pair : options.kvset().pairs()) {
        if (pair.key() == kSymSessionServerName && pair.value().type() == CT_TYPE_STRING) {
          serverName = pair.value().string_value();
        }
      }
    }
    std::string client = req.client_name().substr(0, kMaxClientName);
    std::string id = sessions_.Open(serverName.substr(0, kMaxNameBytes), client);
    if (id.empty()) return Fail(reply, ct::kErrNoMemory);
    reply->set_session(id);
  }

  void CloseSession(const pb::CloseSessionRequest& req, pb::CloseSessionReply* reply) override {
    reply->Clear();
    if (!sessions_.Close(req.session())) return Fail(reply, ct::kErrNoSession);
    EndWatchesOf(&req.session(), ct::kErrNoSession);
  }

  // ---- profiles ----

  void GetProfileInfo(const pb::ProfileInfoRequest& req, pb::ProfileInfoReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (!req.profile_class().empty() && !IsValidClass(req.profile_class())) {
      return Fail(reply, ct::kErrInvalidClass);
    }
    if (req.one()) {
      if (!IsValidName(req.name())) return Fail(reply, ct::kErrInvalidName);
      ProfileRow row;
      if (uint32_t rc = store_->GetProfile(req.name(), req.profile_class(), &row)) return Fail(reply, rc);
      reply->add_names(row.name);
      reply->add_classes(row.profileClass);
      reply->add_contents(std::move(row.content));
      reply->add_revisions(row.revision);
      reply->add_times_unix_ms(row.timeMs);
      return;
    }
    std::vector<ProfileRow> rows;
    if (uint32_t rc = store_->ListProfiles(req.profile_class(), &rows)) return Fail(reply, rc);
    if (rows.empty()) return Fail(reply, ct::kErrNotFound);
    for (auto& row : rows) {
      reply->add_names(std::move(row.name));
      reply->add_classes(std::move(row.profileClass));
    }
  }

  void AddProfile(const pb::ProfileRequest& req, pb::ProfileReply* reply) override { WriteProfile(req, reply, false); }
  void UpdateProfile(const pb::ProfileRequest& req, pb::ProfileReply* reply) override {
    WriteProfile(req, reply, true);
  }

  void RemoveProfile(const pb::RemoveProfileRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (!IsValidName(req.name())) return Fail(reply, ct::kErrInvalidName);
    if (!req.profile_class().empty() && !IsValidClass(req.profile_class())) {
      return Fail(reply, ct::kErrInvalidClass);
    }
    std::lock_guard<std::mutex> order(Stripe(req.name()));
    const uint32_t rc = store_->RemoveProfile(req.name(), req.profile_class(), req.expected_revision());
    if (rc == 0) NotifyWrite(req.name());
    Fail(reply, rc);
  }

  void ImportProfile(const pb::TransferProfileRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply) || !Identity(req.name(), req.profile_class(), reply)) return;
    std::string text;
    if (uint32_t rc = folder_.ReadFile(req.file(), kMaxImportBytes, &text)) return Fail(reply, rc);
    QV_RawDataElement raw{};
    raw.type = CT_TYPE_NONE;
    size_t stop = 0;
    SymbolLookups lookups = TableLookups(symbols_);
    QV_Status st = AtoAnyDEn(text.data(), text.size(), &stop, &raw, &TranslateSymbols, &lookups);
    if (st.state != QV_STATE_SUCCESS) {
      QV_DestroyDataElement(&raw);
      return Fail(reply, st.error ? st.error : ct::kErrInvalidArgument);
    }
    std::string bytes;
    uint32_t error = 0;
    bool ok = raw.type == CT_TYPE_KVSET && KvsToBytes(raw.value.kvs, &bytes, &error);
    if (raw.type != CT_TYPE_KVSET) error = ct::kErrInvalidArgument;
    QV_DestroyDataElement(&raw);
    if (!ok) return Fail(reply, error);
    std::lock_guard<std::mutex> order(Stripe(req.name()));
    const uint32_t rc = store_->PutProfile(req.name(), req.profile_class(), bytes, nullptr);
    if (rc == 0) NotifyWrite(req.name());
    Fail(reply, rc);
  }

  void ExportProfile(const pb::TransferProfileRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply) || !Identity(req.name(), req.profile_class(), reply)) return;
    // Refuse a bad path before any work, as the write will.
    std::vector<std::string> parts;
    if (!SplitRelativePath(req.file(), &parts)) return Fail(reply, ct::kErrPathRefused);
    ProfileRow row;
    if (uint32_t rc = store_->GetProfile(req.name(), req.profile_class(), &row)) return Fail(reply, rc);
    ScopedSet set;
    if (!set.ok()) return Fail(reply, ct::kErrNoMemory);
    uint32_t error = 0;
    if (!BytesToKvs(row.content, set.get(), &error)) return Fail(reply, error);
    QV_RawDataElement raw{};
    raw.type = CT_TYPE_KVSET;
    raw.value.kvs = set.get();
    char* text = nullptr;
    SymbolLookups lookups = TableLookups(symbols_);
    QV_Status st = DEtoA(&raw, &text, &TranslateSymbols, &lookups);
    if (st.state != QV_STATE_SUCCESS || !text) {
      std::free(text);
      return Fail(reply, st.error ? st.error : ct::kErrInternal);
    }
    std::string out(text);
    std::free(text);
    out.push_back('\n');
    Fail(reply, folder_.WriteFile(req.file(), out));
  }

  void ListRevisions(const pb::RevisionsRequest& req, pb::RevisionsReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply) || !Identity(req.name(), req.profile_class(), reply)) return;
    std::vector<RevisionRow> rows;
    if (uint32_t rc = store_->ListRevisions(req.name(), req.profile_class(), &rows)) return Fail(reply, rc);
    for (const auto& r : rows) {
      auto* out = reply->add_revisions();
      out->set_revision(r.revision);
      out->set_time_unix_ms(r.timeMs);
      out->set_current(r.current);
    }
  }

  void GetRevision(const pb::RevisionRequest& req, pb::RevisionReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply) || !Identity(req.name(), req.profile_class(), reply)) return;
    std::string content;
    if (uint32_t rc = store_->GetRevision(req.name(), req.profile_class(), req.revision(), &content)) {
      return Fail(reply, rc);
    }
    reply->set_content(std::move(content));
    reply->set_revision(req.revision());
  }

  void RestoreRevision(const pb::RevisionRequest& req, pb::RevisionReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply) || !Identity(req.name(), req.profile_class(), reply)) return;
    uint64_t rev = 0;
    std::lock_guard<std::mutex> order(Stripe(req.name()));
    if (uint32_t rc = store_->RestoreRevision(req.name(), req.profile_class(), req.revision(), &rev)) {
      return Fail(reply, rc);
    }
    NotifyWrite(req.name());
    reply->set_revision(rev);
  }

  // ---- symbols ----

  void GetSymbolTable(const pb::SymbolTableRequest& req, pb::SymbolTableReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    reply->mutable_symbols()->Reserve(int(symbols_.Entries().size()));
    for (const auto& e : symbols_.Entries()) {
      auto* s = reply->add_symbols();
      s->set_name(e.name);
      s->set_value(e.value);
    }
  }

  // ---- services ----

  void AddService(const pb::ServiceRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (!IsValidName(req.name())) return Fail(reply, ct::kErrInvalidName);
    ServiceRow row;
    row.name = req.name();
    if (uint32_t rc = CheckConfig(req.config(), &row.config, &row.mode)) return Fail(reply, rc);
    row.started = row.mode == kSymModeAuto;
    Fail(reply, store_->AddService(row));
  }

  void UpdateService(const pb::ServiceRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (!IsValidName(req.name())) return Fail(reply, ct::kErrInvalidName);
    std::string config;
    uint32_t mode = 0;
    if (uint32_t rc = CheckConfig(req.config(), &config, &mode)) return Fail(reply, rc);
    if (uint32_t rc = store_->UpdateService(req.name(), config, mode)) return Fail(reply, rc);
    if (mode == kSymModeDisabled) store_->SetServiceStarted(req.name(), false, 0);
  }

  void RemoveService(const pb::ServiceNameRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (!IsValidName(req.name())) return Fail(reply, ct::kErrInvalidName);
    Fail(reply, store_->RemoveService(req.name()));
  }

  void StartService(const pb::ServiceNameRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (!IsValidName(req.name())) return Fail(reply, ct::kErrInvalidName);
    std::vector<ServiceRow> rows;
    if (uint32_t rc = store_->ListServices(req.name(), &rows)) return Fail(reply, rc);
    if (rows.empty()) return Fail(reply, ct::kErrNotFound);
    if (rows[0].mode == kSymModeDisabled) return Fail(reply, ct::kErrServiceDisabled);
    Fail(reply, store_->SetServiceStarted(req.name(), true, rows[0].stopValue));
  }

  void StopService(const pb::StopServiceRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (!IsValidName(req.name())) return Fail(reply, ct::kErrInvalidName);
    Fail(reply, store_->SetServiceStarted(req.name(), false, req.value()));
  }

  void GetServiceState(const pb::ServiceStateRequest& req, pb::ServiceStateReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (!req.name().empty() && !IsValidName(req.name())) return Fail(reply, ct::kErrInvalidName);
    std::vector<ServiceRow> rows;
    if (uint32_t rc = store_->ListServices(req.name(), &rows)) return Fail(reply, rc);
    if (rows.empty()) return Fail(reply, ct::kErrNotFound);
    for (const auto& r : rows) {
      auto* s = reply->add_services();
      s->set_name(r.name);
      s->set_state(r.started ? kSymServiceStarted : kSymServiceStopped);
      s->set_mode(r.mode);
      s->set_running(r.started);
    }
  }

  // ---- server level and processes ----

  void GetServerLevel(const pb::ServerLevelRequest& req, pb::ServerLevelReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    int32_t level = 0, target = 0;
    if (uint32_t rc = store_->GetLevel(&level, &target)) return Fail(reply, rc);
    reply->set_level(level);
    reply->set_target(target);
  }

  void SetTargetServerLevel(const pb::SetTargetLevelRequest& req, pb::StatusReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    if (req.level() < kMinServerLevel || req.level() > kMaxServerLevel) {
      return Fail(reply, ct::kErrInvalidArgument);
    }
    // This server has nothing to bring up or down between levels, so it
    // reaches the target at once.
    Fail(reply, store_->SetLevel(req.level(), req.level()));
  }

  void GetServerProcessInfo(const pb::ServerProcessRequest& req, pb::ServerProcessReply* reply) override {
    reply->Clear();
    if (!Session(req.session(), reply)) return;
    std::vector<ProcessRow> rows;
    if (uint32_t rc = store_->ListProcesses(req.name(), &rows)) return Fail(reply, rc);
    if (rows.empty()) return Fail(reply, ct::kErrNotFound);
    for (const auto& r : rows) {
      auto* p = reply->add_processes();
      p->set_name(r.name);
      p->set_running(r.running);
    }
  }

 private:
  template <typename Reply>
  static void Fail(Reply* reply, uint32_t code) {
    reply->set_error(code);
  }

  template <typename Reply>
  bool Session(const std::string& id, Reply* reply) {
    if (sessions_.Touch(id)) return true;
    reply->set_error(ct::kErrNoSession);
    return false;
  }

  // A name and a class that a profile could have.
  template <typename Reply>
  bool Identity(const std::string& name, const std::string& cls, Reply* reply) {
    if (!IsValidName(name)) {
      reply->set_error(ct::kErrInvalidName);
      return false;
    }
    if (!IsValidClass(cls)) {
      reply->set_error(ct::kErrInvalidClass);
      return false;
    }
    return true;
  }

  void WriteProfile(const pb::ProfileRequest& req, pb::ProfileReply* reply, bool update) {
    reply->Clear();
    if (!Session(req.session(), reply) || !Identity(req.name(), req.profile_class(), reply)) return;
    std::string content;
    if (uint32_t rc = CheckContent(req.content(), &content)) return Fail(reply, rc);
    uint64_t rev = 0;
    std::lock_guard<std::mutex> order(Stripe(req.name()));
    uint32_t rc = update ? store_->UpdateProfile(req.name(), req.profile_class(), content, &rev,
                                                 req.expected_revision())
                         : store_->AddProfile(req.name(), req.profile_class(), content, &rev);
    if (rc) return Fail(reply, rc);
    NotifyWrite(req.name());
    reply->set_revision(rev);
  }

  // Writes to one profile name take its stripe's lock from the store's
  // write to the watchers' event, so that watchers see the writes in the
  // order they were made, and a new watch's first event is never older
  // than a write it does not see.
  std::mutex& Stripe(const std::string& name) { return stripes_[std::hash<std::string>()(name) % kStripes]; }

  struct Watcher {
    std::string session;
    std::string name;
    std::string cls;
    ProfileEventSink sink;
    pb::ProfileEvent last;  // the event it got last

    // Hands on an event unless it tells nothing new (a restore of the
    // current revision, or another server's write already told).
    void Tell(const pb::ProfileEvent& ev) {
      if (ev.revision() == last.revision() && ev.removed() == last.removed() &&
          ev.time_unix_ms() == last.time_unix_ms()) {
        return;
      }
      last = ev;
      sink(ev);
    }
  };

  static pb::ProfileEvent EventFor(uint32_t lookup, const ProfileRow& row, const std::string& cls) {
    pb::ProfileEvent ev;
    if (lookup == 0 && row.profileClass == cls) {
      ev.set_revision(row.revision);
      ev.set_time_unix_ms(row.timeMs);
    } else {
      ev.set_removed(true);
    }
    return ev;
  }

  // After a successful write to `name`, with its stripe held: the watchers
  // of the name learn its current revision.
  void NotifyWrite(const std::string& name) {
    {
      std::lock_guard<std::mutex> lock(watchMutex_);
      if (watchedNames_.find(name) == watchedNames_.end()) return;
    }
    ProfileRow row;
    const uint32_t lookup = store_->GetProfile(name, std::string(), &row);
    if (lookup != 0 && lookup != ct::kErrNotFound) return;  // the store failed: nothing sound to tell
    std::lock_guard<std::mutex> lock(watchMutex_);
    for (auto& [id, w] : watchers_) {
      if (w.name == name) w.Tell(EventFor(lookup, row, w.cls));
    }
  }

  // Another server on the database wrote the profile (empty name: maybe
  // any profile): its watchers here learn the current revision.
  void RemoteChange(const std::string& name) {
    std::vector<std::string> names;
    if (name.empty()) {
      std::lock_guard<std::mutex> lock(watchMutex_);
      for (const auto& [watched, count] : watchedNames_) names.push_back(watched);
    } else {
      names.push_back(name);
    }
    for (const auto& n : names) {
      std::lock_guard<std::mutex> order(Stripe(n));
      NotifyWrite(n);
    }
  }

  void EraseWatcherLocked(std::map<uint64_t, Watcher>::iterator it) {
    auto named = watchedNames_.find(it->second.name);
    if (named != watchedNames_.end() && --named->second == 0) watchedNames_.erase(named);
    watchers_.erase(it);
  }

 public:
  uint64_t WatchProfile(const pb::WatchProfileRequest& req, ProfileEventSink sink) override {
    pb::ProfileEvent refused;
    if (!Session(req.session(), &refused) || !Identity(req.name(), req.profile_class(), &refused)) {
      sink(refused);
      return 0;
    }
    std::lock_guard<std::mutex> order(Stripe(req.name()));
    ProfileRow row;
    const uint32_t lookup = store_->GetProfile(req.name(), std::string(), &row);
    if (lookup != 0 && lookup != ct::kErrNotFound) {
      refused.set_error(lookup);
      sink(refused);
      return 0;
    }
    std::lock_guard<std::mutex> lock(watchMutex_);
    const uint64_t id = nextWatch_++;
    Watcher& w = watchers_[id];
    w = Watcher{req.session(), req.name(), req.profile_class(), std::move(sink), pb::ProfileEvent()};
    ++watchedNames_[req.name()];
    w.last = EventFor(lookup, row, w.cls);
    w.sink(w.last);
    return id;
  }

  void Unwatch(uint64_t id) override {
    std::lock_guard<std::mutex> lock(watchMutex_);
    auto it = watchers_.find(id);
    if (it != watchers_.end()) EraseWatcherLocked(it);
  }

  void EndWatches(uint32_t error) override { EndWatchesOf(nullptr, error); }

 private:
  // Ends the watches of one session (all when null) with a last event.
  void EndWatchesOf(const std::string* session, uint32_t error) {
    pb::ProfileEvent last;
    last.set_error(error);
    std::lock_guard<std::mutex> lock(watchMutex_);
    for (auto it = watchers_.begin(); it != watchers_.end();) {
      auto next = std::next(it);
      if (!session || it->second.session == *session) {
        it->second.sink(last);
        EraseWatcherLocked(it);
      }
      it = next;
    }
  }

  std::unique_ptr<Store> store_;
  SymbolTable symbols_;  // never changed after Open
  const DataFolder folder_;
  const bool network_;
  SessionRegistry sessions_;

  static constexpr size_t kStripes = 64;
  std::mutex stripes_[kStripes];
  std::mutex watchMutex_;
  std::map<uint64_t, Watcher> watchers_;
  std::map<std::string, int> watchedNames_;  // watchers per profile name
  uint64_t nextWatch_ = 1;
};

}  // namespace

std::unique_ptr<ServerCore> ServerCore::Open(const CoreOptions& options, std::string* error) {
  std::string localError;
  if (!error) error = &localError;
  if (options.dbPath.empty()) {
    *error = "no database path given";
    return nullptr;
  }
  namespace fs = std::filesystem;
  // A PostgreSQL database is no file here: nothing to create or protect.
  const bool remote = Store::IsPostgresUri(options.dbPath);
  fs::path db(remote ? std::string() : options.dbPath);
  std::error_code ec;
  if (db.has_parent_path()) fs::create_directories(db.parent_path(), ec);
  // SQLite would wait for ever on a FIFO, and must not open a device.
  struct stat dbStat {};
  if (!remote && ::stat(options.dbPath.c_str(), &dbStat) == 0 && !S_ISREG(dbStat.st_mode)) {
    *error = "cannot use the database " + EchoText(options.dbPath) + ": not a regular file";
    return nullptr;
  }

  SymbolTable symbols;
  std::vector<std::string> problems;
  bool loaded = options.symbolsPath.empty() ? symbols.Parse(SymbolTable::DefaultText(), &problems)
                                            : symbols.Load(options.symbolsPath, &problems);
  if (!loaded) {
    std::string where = options.symbolsPath.empty() ? "the built-in symbol table" : EchoText(options.symbolsPath);
    *error = "cannot load " + where + ":";
    for (const auto& p : problems) *error += "\n  " + p;
    return nullptr;
  }

  // By default import and export get a folder of their own beside the
  // database, so that no transfer file name can be one of the store's.
  DataFolder folder;
  std::string dataDir = options.dataDir;
  if (dataDir.empty()) {
    dataDir = ((db.has_parent_path() ? db.parent_path() : fs::path(".")) / kDefaultDataFolder).string();
  }
  if (!folder.Open(dataDir, error)) return nullptr;
  if (!remote) folder.ProtectDatabase(options.dbPath);

  auto store = Store::Open(options.dbPath, error, options.dbPasswordFile);
  if (!store) return nullptr;
  auto core = std::make_unique<CoreImpl>(std::move(store), std::move(symbols), std::move(folder),
                                         options.networkService);
  if (!core->Start(error)) return nullptr;
  return core;
}

}  // namespace ctserver
