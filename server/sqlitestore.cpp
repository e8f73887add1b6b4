#include "server/sqlitestore.h"

#include <sqlite3.h>

#include <unordered_map>

#include "s100/cterrors.h"

namespace ctserver {

namespace {

// Each schema version's statements, applied in order in one transaction each.
const char* const kMigrations[] = {
    // 1: the first schema.
    "CREATE TABLE profiles ("
    "  id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL UNIQUE,"
    "  class TEXT NOT NULL,"
    "  content BLOB NOT NULL,"
    "  revision INTEGER NOT NULL,"
    "  time_ms INTEGER NOT NULL);"
    "CREATE INDEX profiles_by_class ON profiles(class, name);"
    "CREATE TABLE revisions ("
    "  profile_id INTEGER NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,"
    "  revision INTEGER NOT NULL,"
    "  content BLOB NOT NULL,"
    "  time_ms INTEGER NOT NULL,"
    "  PRIMARY KEY (profile_id, revision)) WITHOUT ROWID;"
    "CREATE TABLE services ("
    "  id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL UNIQUE,"
    "  config BLOB NOT NULL,"
    "  started INTEGER NOT NULL,"
    "  mode INTEGER NOT NULL,"
    "  stop_value INTEGER NOT NULL);"
    "CREATE TABLE server_level ("
    "  id INTEGER PRIMARY KEY CHECK (id = 1),"
    "  level INTEGER NOT NULL,"
    "  target INTEGER NOT NULL);"
    "INSERT INTO server_level VALUES (1, 1, 1);"
    "CREATE TABLE processes ("
    "  id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL UNIQUE,"
    "  running INTEGER NOT NULL);",
    // 2: a kept revision also records when it was stored (stored_ms); time_ms
    // stays when it was replaced.  A revision was stored when the one before
    // it was replaced; the oldest kept one has no such record (NULL).
    "ALTER TABLE revisions ADD COLUMN stored_ms INTEGER;"
    "UPDATE revisions SET stored_ms = (SELECT p.time_ms FROM revisions p"
    "  WHERE p.profile_id = revisions.profile_id AND p.revision = revisions.revision - 1);",
};
constexpr int kMigrationCount = int(sizeof kMigrations / sizeof kMigrations[0]);
static_assert(kMigrationCount == SqliteStore::kSchemaVersion, "one migration per schema version");

}  // namespace

// One SQLite connection with its prepared statements.  Used by one thread at
// a time (the store hands connections out under its locks).
class Connection {
 public:
  ~Connection() {
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
    if (db_) sqlite3_close_v2(db_);
  }

  static std::unique_ptr<Connection> Open(const std::string& path, bool create, std::string* error) {
    auto c = std::unique_ptr<Connection>(new Connection);
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &c->db_, flags, nullptr) != SQLITE_OK) {
      *error = "cannot open database " + path + ": " + (c->db_ ? sqlite3_errmsg(c->db_) : "out of memory");
      return nullptr;
    }
    sqlite3_extended_result_codes(c->db_, 1);
    sqlite3_busy_timeout(c->db_, 10000);
    // Profiles are blobs of up to megabytes: larger pages mean shorter
    // overflow chains.  This only takes effect on a new file.
    const char* setup =
        "PRAGMA page_size=16384;"
        "PRAGMA journal_mode=WAL;"
        "PRAGMA synchronous=FULL;"
        "PRAGMA journal_size_limit=67108864;"  // the WAL shrinks back after large writes
        "PRAGMA foreign_keys=ON;";
    if (!c->Exec(setup)) {
      *error = "cannot set up database " + path + ": " + c->Message();
      return nullptr;
    }
    return c;
  }

  bool Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
  std::string Message() const { return sqlite3_errmsg(db_); }

  // A cached statement, reset and with its bindings cleared.
  sqlite3_stmt* Prepare(const char* sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) {
      sqlite3_reset(it->second);
      sqlite3_clear_bindings(it->second);
      return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) return nullptr;
    statements_.emplace(sql, stmt);
    return stmt;
  }

  sqlite3* db() { return db_; }

 private:
  Connection() = default;
  sqlite3* db_ = nullptr;
  std::unordered_map<const char*, sqlite3_stmt*> statements_;  // keyed by the literal's address
};

namespace {

// Binds in order: strings as text or blobs, integers as 64-bit.
struct Blob {
  const std::string& bytes;
};

void BindOne(sqlite3_stmt* s, int i, const std::string& v) {
  sqlite3_bind_text(s, i, v.data(), int(v.size()), SQLITE_STATIC);
}
void BindOne(sqlite3_stmt* s, int i, const Blob& v) {
  sqlite3_bind_blob(s, i, v.bytes.data(), int(v.bytes.size()), SQLITE_STATIC);
}
void BindOne(sqlite3_stmt* s, int i, int64_t v) { sqlite3_bind_int64(s, i, v); }

template <typename... Args>
void Bind(sqlite3_stmt* s, const Args&... args) {
  int i = 0;
  (BindOne(s, ++i, args), ...);
}

std::string ColumnBytes(sqlite3_stmt* s, int col) {
  const void* p = sqlite3_column_blob(s, col);
  int n = sqlite3_column_bytes(s, col);
  return p ? std::string(static_cast<const char*>(p), size_t(n)) : std::string();
}
std::string ColumnText(sqlite3_stmt* s, int col) {
  const unsigned char* p = sqlite3_column_text(s, col);
  int n = sqlite3_column_bytes(s, col);
  return p ? std::string(reinterpret_cast<const char*>(p), size_t(n)) : std::string();
}

// The rows of a prepared query, each made by read(s), after which the
// query is reset; kErrIo when a step failed.
template <class Row, class Read>
uint32_t TakeRows(sqlite3_stmt* s, std::vector<Row>* out, Read read) {
  out->clear();
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) out->push_back(read(s));
  sqlite3_reset(s);
  return rc == SQLITE_DONE ? 0 : ct::kErrIo;
}

// Rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(Connection& c) : c_(c) { ok_ = c_.Exec("BEGIN IMMEDIATE"); }
  ~Transaction() {
    if (ok_ && !done_) c_.Exec("ROLLBACK");
  }
  bool ok() const { return ok_; }
  bool Commit() {
    done_ = true;
    if (c_.Exec("COMMIT")) return true;
    c_.Exec("ROLLBACK");
    return false;
  }

 private:
  Connection& c_;
  bool ok_ = false;
  bool done_ = false;
};

// Runs a statement that returns no rows.
bool Step(sqlite3_stmt* s) {
  if (!s) return false;
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  return rc == SQLITE_DONE;
}

constexpr const char* kFindProfile =
    "SELECT id, class, content, revision, time_ms FROM profiles WHERE name = ?1";

struct FoundProfile {
  int64_t id = 0;
  ProfileRow row;
};

// 0 when the profile of that name (and class, unless cls is empty) exists;
// kErrNotFound when not; kErrIo when the database failed.
uint32_t FindProfile(Connection& c, const std::string& name, const std::string& cls, FoundProfile* out,
                     bool withContent = true) {
  sqlite3_stmt* s = c.Prepare(kFindProfile);
  if (!s) return ct::kErrIo;
  Bind(s, name);
  int rc = sqlite3_step(s);
  if (rc == SQLITE_DONE) {
    sqlite3_reset(s);
    return ct::kErrNotFound;
  }
  if (rc != SQLITE_ROW) {
    sqlite3_reset(s);
    return ct::kErrIo;
  }
  out->id = sqlite3_column_int64(s, 0);
  out->row.name = name;
  out->row.profileClass = ColumnText(s, 1);
  if (withContent) out->row.content = ColumnBytes(s, 2);
  out->row.revision = uint64_t(sqlite3_column_int64(s, 3));
  out->row.timeMs = sqlite3_column_int64(s, 4);
  sqlite3_reset(s);
  if (!cls.empty() && out->row.profileClass != cls) return ct::kErrNotFound;
  return 0;
}

}  // namespace

// A reader connection borrowed from the pool for one call.
class SqliteStore::ReadLease {
 public:
  ReadLease(SqliteStore* store, std::unique_ptr<Connection> c) : store_(store), c_(std::move(c)) {}
  ReadLease(ReadLease&& other) noexcept : store_(other.store_), c_(std::move(other.c_)) {}
  ~ReadLease() {
    if (c_) {
      std::lock_guard<std::mutex> lock(store_->poolMutex_);
      store_->idleReaders_.push_back(std::move(c_));
    }
  }
  Connection* get() { return c_.get(); }

 private:
  SqliteStore* store_;
  std::unique_ptr<Connection> c_;
};

SqliteStore::ReadLease SqliteStore::Reader() {
  {
    std::lock_guard<std::mutex> lock(poolMutex_);
    if (!idleReaders_.empty()) {
      auto c = std::move(idleReaders_.back());
      idleReaders_.pop_back();
      return ReadLease(this, std::move(c));
    }
  }
  std::string error;
  return ReadLease(this, Connection::Open(path_, false, &error));  // null on failure
}

std::unique_ptr<SqliteStore> SqliteStore::Open(const std::string& path, std::string* error) {
  std::string localError;
  if (!error) error = &localError;
  auto store = std::unique_ptr<SqliteStore>(new SqliteStore);
  store->path_ = path;
  store->writer_ = Connection::Open(path, true, error);
  if (!store->writer_) return nullptr;
  Connection& c = *store->writer_;
  if (!c.Exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")) {
    *error = "cannot read the schema version of " + path + ": " + c.Message();
    return nullptr;
  }
  int version = 0;
  {
    sqlite3_stmt* s = c.Prepare("SELECT version FROM schema_version");
    if (!s) {
      *error = "cannot read the schema version of " + path + ": " + c.Message();
      return nullptr;
    }
    if (sqlite3_step(s) == SQLITE_ROW) version = sqlite3_column_int(s, 0);
    sqlite3_reset(s);
  }
  if (version > kSchemaVersion) {
    *error = path + " has schema version " + std::to_string(version) + ", newer than this server's " +
             std::to_string(kSchemaVersion);
    return nullptr;
  }
  for (int v = version; v < kMigrationCount; ++v) {
    Transaction t(c);
    std::string set = v == 0 ? "INSERT INTO schema_version VALUES (1)"
                             : "UPDATE schema_version SET version = " + std::to_string(v + 1);
    if (!t.ok() || !c.Exec(kMigrations[v]) || !c.Exec(set.c_str()) || !t.Commit()) {
      *error = "cannot migrate " + path + " to schema version " + std::to_string(v + 1) + ": " + c.Message();
      return nullptr;
    }
  }
  return store;
}

SqliteStore::~SqliteStore() = default;


namespace {

uint32_t InsertProfile(Connection& c, const std::string& name, const std::string& cls, const std::string& content,
                       int64_t nowMs) {
  sqlite3_stmt* s =
      c.Prepare("INSERT INTO profiles (name, class, content, revision, time_ms) VALUES (?1, ?2, ?3, 1, ?4)");
  if (!s) return ct::kErrIo;
  Bind(s, name, cls, Blob{content}, nowMs);
  return Step(s) ? 0 : ct::kErrIo;
}

}  // namespace

template <class Change>
uint32_t SqliteStore::Write(Change change) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  Connection& c = *writer_;
  Transaction t(c);
  if (!t.ok()) return ct::kErrIo;
  if (uint32_t rc = change(c)) return rc;
  return t.Commit() ? 0 : ct::kErrIo;
}

template <class Read>
uint32_t SqliteStore::ReadTogether(Read read) {
  ReadLease lease = Reader();
  Connection* c = lease.get();
  if (!c) return ct::kErrIo;
  if (!c->Exec("BEGIN")) return ct::kErrIo;
  struct End {
    Connection* c;
    ~End() { c->Exec("COMMIT"); }
  } end{c};
  return read(*c);
}

uint32_t SqliteStore::AddProfile(const std::string& name, const std::string& cls, const std::string& content,
                           uint64_t* revision) {
  const uint32_t rc = Write([&](Connection& c) {
    FoundProfile found;
    const uint32_t frc = FindProfile(c, name, std::string(), &found, false);
    if (frc == 0) return ct::kErrNameExists;
    if (frc != ct::kErrNotFound) return frc;
    return InsertProfile(c, name, cls, content, NowMs()) ? ct::kErrIo : 0u;
  });
  if (rc == 0 && revision) *revision = 1;
  return rc;
}

uint32_t SqliteStore::UpdateLocked(Connection& c, int64_t id, uint64_t oldRevision, const std::string& content,
                             uint64_t* revision) {
  const int64_t now = NowMs();
  // The replaced content moves to the revisions inside SQLite, without a
  // round trip through memory, with the time it was stored and now, when
  // it was replaced.
  sqlite3_stmt* keep = c.Prepare(
      "INSERT OR REPLACE INTO revisions (profile_id, revision, content, time_ms, stored_ms) "
      "SELECT id, revision, content, ?2, time_ms FROM profiles WHERE id = ?1");
  if (!keep) return ct::kErrIo;
  Bind(keep, id, now);
  if (!Step(keep)) return ct::kErrIo;
  sqlite3_stmt* trim = c.Prepare(
      "DELETE FROM revisions WHERE profile_id = ?1 AND revision NOT IN "
      "(SELECT revision FROM revisions WHERE profile_id = ?1 ORDER BY revision DESC LIMIT ?2)");
  if (!trim) return ct::kErrIo;
  Bind(trim, id, int64_t(kKeptRevisions));
  if (!Step(trim)) return ct::kErrIo;
  sqlite3_stmt* s = c.Prepare("UPDATE profiles SET content = ?2, revision = ?3, time_ms = ?4 WHERE id = ?1");
  if (!s) return ct::kErrIo;
  Bind(s, id, Blob{content}, int64_t(oldRevision + 1), now);
  if (!Step(s)) return ct::kErrIo;
  if (revision) *revision = oldRevision + 1;
  return 0;
}

uint32_t SqliteStore::UpdateProfile(const std::string& name, const std::string& cls, const std::string& content,
                              uint64_t* revision, uint64_t expected) {
  uint64_t rev = 0;
  const uint32_t rc = Write([&](Connection& c) {
    FoundProfile found;
    if (uint32_t frc = FindProfile(c, name, cls, &found, false)) return frc;
    if (expected != 0 && found.row.revision != expected) return ct::kErrRevisionConflict;
    return UpdateLocked(c, found.id, found.row.revision, content, &rev);
  });
  if (rc == 0 && revision) *revision = rev;
  return rc;
}

uint32_t SqliteStore::PutProfile(const std::string& name, const std::string& cls, const std::string& content,
                           uint64_t* revision) {
  uint64_t rev = 1;
  const uint32_t rc = Write([&](Connection& c) {
    FoundProfile found;
    const uint32_t frc = FindProfile(c, name, std::string(), &found, false);
    if (frc == 0) {
      if (found.row.profileClass != cls) return ct::kErrNameExists;
      return UpdateLocked(c, found.id, found.row.revision, content, &rev);
    }
    if (frc != ct::kErrNotFound) return frc;
    return InsertProfile(c, name, cls, content, NowMs()) ? ct::kErrIo : 0u;
  });
  if (rc == 0 && revision) *revision = rev;
  return rc;
}

uint32_t SqliteStore::RemoveProfile(const std::string& name, const std::string& cls, uint64_t expected) {
  return Write([&](Connection& c) {
    FoundProfile found;
    if (uint32_t rc = FindProfile(c, name, cls, &found, false)) return rc;
    if (expected != 0 && found.row.revision != expected) return ct::kErrRevisionConflict;
    sqlite3_stmt* s = c.Prepare("DELETE FROM profiles WHERE id = ?1");
    if (!s) return ct::kErrIo;
    Bind(s, found.id);
    return Step(s) ? 0u : ct::kErrIo;
  });
}

uint32_t SqliteStore::GetProfile(const std::string& name, const std::string& cls, ProfileRow* out) {
  ReadLease lease = Reader();
  if (!lease.get()) return ct::kErrIo;
  FoundProfile found;
  if (uint32_t rc = FindProfile(*lease.get(), name, cls, &found)) return rc;
  *out = std::move(found.row);
  return 0;
}

uint32_t SqliteStore::ListProfiles(const std::string& cls, std::vector<ProfileRow>* out) {
  ReadLease lease = Reader();
  Connection* c = lease.get();
  if (!c) return ct::kErrIo;
  sqlite3_stmt* s = cls.empty()
                        ? c->Prepare("SELECT name, class, revision, time_ms FROM profiles ORDER BY name")
                        : c->Prepare(
                              "SELECT name, class, revision, time_ms FROM profiles WHERE class = ?1 ORDER BY name");
  if (!s) return ct::kErrIo;
  if (!cls.empty()) Bind(s, cls);
  return TakeRows(s, out, [](sqlite3_stmt* s) {
    ProfileRow row;
    row.name = ColumnText(s, 0);
    row.profileClass = ColumnText(s, 1);
    row.revision = uint64_t(sqlite3_column_int64(s, 2));
    row.timeMs = sqlite3_column_int64(s, 3);
    return row;
  });
}

uint32_t SqliteStore::ListRevisions(const std::string& name, const std::string& cls, std::vector<RevisionRow>* out) {
  // The current row and the kept ones agree.
  return ReadTogether([&](Connection& c) {
    FoundProfile found;
    if (uint32_t rc = FindProfile(c, name, cls, &found, false)) return rc;
    out->clear();
    out->push_back({found.row.revision, found.row.timeMs, true});
    sqlite3_stmt* s =
        c.Prepare("SELECT revision, stored_ms FROM revisions WHERE profile_id = ?1 ORDER BY revision DESC");
    if (!s) return ct::kErrIo;
    Bind(s, found.id);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      // NULL (not recorded) reads as 0.
      out->push_back({uint64_t(sqlite3_column_int64(s, 0)), sqlite3_column_int64(s, 1), false});
    }
    sqlite3_reset(s);
    return rc == SQLITE_DONE ? 0u : ct::kErrIo;
  });
}

namespace {

uint32_t ReadRevision(Connection& c, const FoundProfile& found, uint64_t revision, std::string* content) {
  if (revision == found.row.revision) {
    *content = found.row.content;
    return 0;
  }
  sqlite3_stmt* s = c.Prepare("SELECT content FROM revisions WHERE profile_id = ?1 AND revision = ?2");
  if (!s) return ct::kErrIo;
  Bind(s, found.id, int64_t(revision));
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) *content = ColumnBytes(s, 0);
  sqlite3_reset(s);
  if (rc == SQLITE_DONE) return ct::kErrNotFound;
  return rc == SQLITE_ROW ? 0 : ct::kErrIo;
}

}  // namespace

uint32_t SqliteStore::GetRevision(const std::string& name, const std::string& cls, uint64_t revision,
                            std::string* content) {
  return ReadTogether([&](Connection& c) {
    FoundProfile found;
    if (uint32_t rc = FindProfile(c, name, cls, &found)) return rc;
    return ReadRevision(c, found, revision, content);
  });
}

uint32_t SqliteStore::RestoreRevision(const std::string& name, const std::string& cls, uint64_t revision,
                                uint64_t* newRevision) {
  uint64_t rev = 0;
  const uint32_t rc = Write([&](Connection& c) {
    FoundProfile found;
    if (uint32_t frc = FindProfile(c, name, cls, &found, false)) return frc;
    if (revision == found.row.revision) {  // already current: nothing to do
      rev = found.row.revision;
      return 0u;
    }
    std::string content;
    if (uint32_t rrc = ReadRevision(c, found, revision, &content)) return rrc;
    return UpdateLocked(c, found.id, found.row.revision, content, &rev);
  });
  if (rc == 0 && newRevision) *newRevision = rev;
  return rc;
}

// ---- services ----

uint32_t SqliteStore::AddService(const ServiceRow& row) {
  return Write([&](Connection& c) {
    sqlite3_stmt* find = c.Prepare("SELECT 1 FROM services WHERE name = ?1");
    if (!find) return ct::kErrIo;
    Bind(find, row.name);
    const int rc = sqlite3_step(find);
    sqlite3_reset(find);
    if (rc == SQLITE_ROW) return ct::kErrServiceExists;
    if (rc != SQLITE_DONE) return ct::kErrIo;
    sqlite3_stmt* s =
        c.Prepare("INSERT INTO services (name, config, started, mode, stop_value) VALUES (?1, ?2, ?3, ?4, ?5)");
    if (!s) return ct::kErrIo;
    Bind(s, row.name, Blob{row.config}, int64_t(row.started), int64_t(row.mode), int64_t(row.stopValue));
    return Step(s) ? 0u : ct::kErrIo;
  });
}

namespace {

// Runs a one-row change inside its own transaction: kErrNotFound when it
// changed no row.
template <typename... Args>
uint32_t ChangeOne(Connection& c, const char* sql, const Args&... args) {
  Transaction t(c);
  if (!t.ok()) return ct::kErrIo;
  sqlite3_stmt* s = c.Prepare(sql);
  if (!s) return ct::kErrIo;
  Bind(s, args...);
  if (!Step(s)) return ct::kErrIo;
  if (sqlite3_changes(c.db()) == 0) return ct::kErrNotFound;
  return t.Commit() ? 0 : ct::kErrIo;
}

}  // namespace

uint32_t SqliteStore::UpdateService(const std::string& name, const std::string& config, uint32_t mode) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  return ChangeOne(*writer_, "UPDATE services SET config = ?2, mode = ?3 WHERE name = ?1", name, Blob{config},
                   int64_t(mode));
}

uint32_t SqliteStore::RemoveService(const std::string& name) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  return ChangeOne(*writer_, "DELETE FROM services WHERE name = ?1", name);
}

uint32_t SqliteStore::SetServiceStarted(const std::string& name, bool started, uint32_t stopValue) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  return ChangeOne(*writer_, "UPDATE services SET started = ?2, stop_value = ?3 WHERE name = ?1", name,
                   int64_t(started), int64_t(stopValue));
}

uint32_t SqliteStore::ListServices(const std::string& name, std::vector<ServiceRow>* out) {
  ReadLease lease = Reader();
  Connection* c = lease.get();
  if (!c) return ct::kErrIo;
  sqlite3_stmt* s =
      name.empty() ? c->Prepare("SELECT name, config, started, mode, stop_value FROM services ORDER BY id")
                   : c->Prepare("SELECT name, config, started, mode, stop_value FROM services WHERE name = ?1");
  if (!s) return ct::kErrIo;
  if (!name.empty()) Bind(s, name);
  return TakeRows(s, out, [](sqlite3_stmt* s) {
    ServiceRow row;
    row.name = ColumnText(s, 0);
    row.config = ColumnBytes(s, 1);
    row.started = sqlite3_column_int(s, 2) != 0;
    row.mode = uint32_t(sqlite3_column_int64(s, 3));
    row.stopValue = uint32_t(sqlite3_column_int64(s, 4));
    return row;
  });
}

// ---- server level ----

uint32_t SqliteStore::GetLevel(int32_t* level, int32_t* target) {
  ReadLease lease = Reader();
  Connection* c = lease.get();
  if (!c) return ct::kErrIo;
  sqlite3_stmt* s = c->Prepare("SELECT level, target FROM server_level WHERE id = 1");
  if (!s) return ct::kErrIo;
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) {
    *level = sqlite3_column_int(s, 0);
    *target = sqlite3_column_int(s, 1);
  }
  sqlite3_reset(s);
  return rc == SQLITE_ROW ? 0 : ct::kErrIo;
}

uint32_t SqliteStore::SetLevel(int32_t level, int32_t target) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  return ChangeOne(*writer_, "UPDATE server_level SET level = ?1, target = ?2 WHERE id = 1", int64_t(level),
                   int64_t(target));
}

// ---- server processes ----

uint32_t SqliteStore::SetProcesses(const std::vector<ProcessRow>& rows) {
  return Write([&](Connection& c) {
    for (const auto& row : rows) {
      sqlite3_stmt* s = c.Prepare(
          "INSERT INTO processes (name, running) VALUES (?1, ?2) "
          "ON CONFLICT(name) DO UPDATE SET running = excluded.running");
      if (!s) return ct::kErrIo;
      Bind(s, row.name, int64_t(row.running));
      if (!Step(s)) return ct::kErrIo;
    }
    return 0u;
  });
}

uint32_t SqliteStore::ListProcesses(const std::string& name, std::vector<ProcessRow>* out) {
  ReadLease lease = Reader();
  Connection* c = lease.get();
  if (!c) return ct::kErrIo;
  sqlite3_stmt* s = name.empty() ? c->Prepare("SELECT name, running FROM processes ORDER BY id")
                                 : c->Prepare("SELECT name, running FROM processes WHERE name = ?1");
  if (!s) return ct::kErrIo;
  if (!name.empty()) Bind(s, name);
  return TakeRows(s, out,
                  [](sqlite3_stmt* s) { return ProcessRow{ColumnText(s, 0), sqlite3_column_int(s, 1) != 0}; });
}

std::string SqliteStore::IntegrityCheck() {
  std::lock_guard<std::mutex> lock(writeMutex_);
  sqlite3_stmt* s = writer_->Prepare("PRAGMA integrity_check");
  if (!s) return writer_->Message();
  std::string result;
  while (sqlite3_step(s) == SQLITE_ROW) {
    if (!result.empty()) result += "\n";
    result += ColumnText(s, 0);
  }
  sqlite3_reset(s);
  return result;
}

}  // namespace ctserver
