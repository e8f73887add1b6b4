#include "server/pgstore.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <cstring>
#include <initializer_list>

#include "s100/cterrors.h"

namespace ctserver {

namespace {

// Each schema version's statements, applied in order inside the start-up
// transaction.  Names compare and sort bytewise ("C"), as on SQLite.
const char* const kMigrations[] = {
    // 1: the first schema.
    "CREATE TABLE profiles ("
    "  id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    "  name TEXT COLLATE \"C\" NOT NULL UNIQUE,"
    "  class TEXT COLLATE \"C\" NOT NULL,"
    "  content BYTEA NOT NULL,"
    "  revision BIGINT NOT NULL,"
    "  time_ms BIGINT NOT NULL);"
    "CREATE INDEX profiles_by_class ON profiles(class, name);"
    "CREATE TABLE revisions ("
    "  profile_id BIGINT NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,"
    "  revision BIGINT NOT NULL,"
    "  content BYTEA NOT NULL,"
    "  time_ms BIGINT NOT NULL,"   // when it was replaced
    "  stored_ms BIGINT,"          // when it was stored
    "  PRIMARY KEY (profile_id, revision));"
    "CREATE TABLE services ("
    "  id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    "  name TEXT COLLATE \"C\" NOT NULL UNIQUE,"
    "  config BYTEA NOT NULL,"
    "  started BOOLEAN NOT NULL,"
    "  mode BIGINT NOT NULL,"
    "  stop_value BIGINT NOT NULL);"
    "CREATE TABLE server_level ("
    "  id INTEGER PRIMARY KEY CHECK (id = 1),"
    "  level INTEGER NOT NULL,"
    "  target INTEGER NOT NULL);"
    "INSERT INTO server_level VALUES (1, 1, 1);"
    "CREATE TABLE processes ("
    "  id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    "  name TEXT COLLATE \"C\" NOT NULL UNIQUE,"
    "  running BOOLEAN NOT NULL);",
};
constexpr int kMigrationCount = int(sizeof kMigrations / sizeof kMigrations[0]);
static_assert(kMigrationCount == PgStore::kSchemaVersion, "one migration per schema version");

// The advisory lock that serialises schema changes between servers.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7310042)";

// How often a transaction that lost a race is tried again.
constexpr int kAttempts = 8;

// SQLSTATEs of a transaction that may succeed when run again.
bool IsRetryable(const std::string& state) {
  return state == "40001" || state == "40P01";  // serialization_failure, deadlock_detected
}

}  // namespace

// One parameter: text (NUL-terminated), bytes (binary) or an integer.
struct PgParam {
  PgParam(const std::string& text) : data(text.c_str()), length(int(text.size())), text(true) {}
  PgParam(int64_t v) : number(std::to_string(v)), length(0), text(true) { data = nullptr; }
  static PgParam Bytes(const std::string& b) {
    PgParam p(b);
    p.text = false;
    return p;
  }
  const char* data;
  std::string number;
  int length;
  bool text;
};

// The answer of one statement; cleared when it goes.
class PgResult {
 public:
  explicit PgResult(PGresult* r) : r_(r) {}
  ~PgResult() { PQclear(r_); }
  PgResult(PgResult&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;

  bool ok() const {
    const ExecStatusType s = PQresultStatus(r_);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
  }
  int rows() const { return PQntuples(r_); }
  long affected() const { return std::strtol(PQcmdTuples(r_), nullptr, 10); }
  std::string state() const {
    const char* s = r_ ? PQresultErrorField(r_, PG_DIAG_SQLSTATE) : nullptr;
    return s ? s : "";
  }
  bool null(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
  std::string Text(int row, int col) const {
    return std::string(PQgetvalue(r_, row, col), size_t(PQgetlength(r_, row, col)));
  }
  int64_t Int(int row, int col) const { return std::strtoll(PQgetvalue(r_, row, col), nullptr, 10); }
  bool Bool(int row, int col) const { return PQgetvalue(r_, row, col)[0] == 't'; }
  // A bytea column (text format, hex) as its bytes.
  std::string Bytes(int row, int col) const {
    size_t n = 0;
    unsigned char* p = PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(r_, row, col)), &n);
    if (!p) return std::string();
    std::string out(reinterpret_cast<const char*>(p), n);
    PQfreemem(p);
    return out;
  }

 private:
  PGresult* r_;
};

// One libpq connection, used by one thread at a time.  It remembers the
// state of the last failed statement, and whether the link itself broke.
class PgConnection {
 public:
  explicit PgConnection(PGconn* c) : c_(c) {}
  ~PgConnection() { PQfinish(c_); }
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  bool broken() const { return PQstatus(c_) != CONNECTION_OK; }
  PGconn* raw() const { return c_; }
  std::string Message() const { return PQerrorMessage(c_); }
  const std::string& lastState() const { return lastState_; }

  // Runs one statement with parameters; results come as text.
  PgResult Exec(const char* sql, std::initializer_list<PgParam> params = {}) {
    const char* values[8];
    int lengths[8];
    int formats[8];
    int n = 0;
    bool nul = false;
    for (const PgParam& p : params) {
      if (n == 8) break;
      values[n] = p.data ? p.data : p.number.c_str();
      lengths[n] = p.data ? p.length : int(p.number.size());
      formats[n] = p.text ? 0 : 1;
      // A text parameter ends at its first NUL; refuse rather than cut it.
      if (p.text && p.data && std::memchr(p.data, 0, size_t(p.length))) nul = true;
      ++n;
    }
    if (nul || n != int(params.size())) {
      lastState_ = "22021";  // character_not_in_repertoire
      return PgResult(nullptr);
    }
    PgResult r(PQexecParams(c_, sql, n, nullptr, values, lengths, formats, 0));
    lastState_ = r.ok() ? std::string() : r.state();
    return r;
  }
  // Runs statements without parameters (may be several).
  bool Command(const char* sql) {
    PgResult r(PQexec(c_, sql));
    lastState_ = r.ok() ? std::string() : r.state();
    return r.ok();
  }

 private:
  PGconn* c_;
  std::string lastState_;
};

// A connection borrowed for one call; back to the pool when it goes, or
// closed when its link broke.
class PgStore::Lease {
 public:
  Lease(PgStore* store, std::unique_ptr<PgConnection> c, bool fresh)
      : store_(store), c_(std::move(c)), fresh_(fresh) {}
  Lease(Lease&& o) noexcept : store_(o.store_), c_(std::move(o.c_)), fresh_(o.fresh_) {}
  ~Lease() {
    if (!c_) return;
    {
      std::lock_guard<std::mutex> lock(store_->poolMutex_);
      if (c_->broken()) {
        --store_->open_;
      } else {
        store_->idle_.push_back(std::move(c_));
      }
    }
    store_->poolFreed_.notify_one();
    c_.reset();
  }
  PgConnection* get() { return c_.get(); }
  bool fresh() const { return fresh_; }

 private:
  PgStore* store_;
  std::unique_ptr<PgConnection> c_;
  bool fresh_;
};

std::unique_ptr<PgConnection> PgStore::Connect(std::string* error) {
  // Defaults first: the URI may override them; the password file overrides
  // the URI.  The timeouts bound how long a call waits for a database that
  // is away instead of hanging.
  std::vector<const char*> keys = {"connect_timeout", "application_name", "keepalives_idle", "tcp_user_timeout",
                                   "options", "dbname"};
  std::vector<const char*> values = {"10", "ctserver", "30", "15000", "-c statement_timeout=30000",
                                     uri_.c_str()};
  if (!password_.empty()) {
    keys.push_back("password");
    values.push_back(password_.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* raw = PQconnectdbParams(keys.data(), values.data(), 1);
  if (!raw) {
    if (error) *error = "cannot connect to the database: out of memory";
    return nullptr;
  }
  auto c = std::make_unique<PgConnection>(raw);
  if (c->broken()) {
    if (error) *error = "cannot connect to the database: " + c->Message();
    return nullptr;
  }
  // Quiet the notices libpq would otherwise print to stderr.
  PQsetNoticeProcessor(raw, [](void*, const char*) {}, nullptr);
  return c;
}

PgStore::Lease PgStore::Acquire() {
  std::unique_lock<std::mutex> lock(poolMutex_);
  const bool got = poolFreed_.wait_for(lock, std::chrono::milliseconds(kConnectionWaitMs),
                                       [this] { return !idle_.empty() || open_ < kMaxConnections; });
  if (!got) return Lease(this, nullptr, true);
  while (!idle_.empty()) {
    auto c = std::move(idle_.back());
    idle_.pop_back();
    if (!c->broken()) return Lease(this, std::move(c), false);
    --open_;
  }
  ++open_;
  lock.unlock();
  auto c = Connect(nullptr);
  if (!c) {
    // The database is away: give the place back and answer kErrIo.
    lock.lock();
    --open_;
    lock.unlock();
    poolFreed_.notify_one();
  }
  return Lease(this, std::move(c), true);
}

std::unique_ptr<PgStore> PgStore::Open(const std::string& uri, const std::string& password, std::string* error) {
  std::string localError;
  if (!error) error = &localError;
  auto store = std::unique_ptr<PgStore>(new PgStore);
  std::random_device random;
  char id[40];
  std::snprintf(id, sizeof id, "%08x%08x%08x", random(), random(), random());
  store->instance_ = id;
  store->uri_ = uri;
  store->password_ = password;
  auto c = store->Connect(error);
  if (!c) return nullptr;
  const auto fail = [&](const std::string& what) {
    *error = what + ": " + c->Message();
    c->Command("ROLLBACK");
    return nullptr;
  };
  if (!c->Command("BEGIN") || !c->Command(kSchemaLock) ||
      !c->Command("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")) {
    return fail("cannot read the schema version");
  }
  PgResult r = c->Exec("SELECT version FROM schema_version");
  if (!r.ok()) return fail("cannot read the schema version");
  const int version = r.rows() > 0 ? int(r.Int(0, 0)) : 0;
  if (version > kSchemaVersion) {
    c->Command("ROLLBACK");
    *error = "the database has schema version " + std::to_string(version) + ", newer than this server's " +
             std::to_string(kSchemaVersion);
    return nullptr;
  }
  for (int v = version; v < kMigrationCount; ++v) {
    if (!c->Command(kMigrations[v])) return fail("cannot migrate the database to schema version " + std::to_string(v + 1));
  }
  if (version < kSchemaVersion) {
    const char* set = version == 0 ? "INSERT INTO schema_version VALUES ($1)" : "UPDATE schema_version SET version = $1";
    if (!c->Exec(set, {int64_t(kSchemaVersion)}).ok()) return fail("cannot record the schema version");
  }
  if (!c->Command("COMMIT")) return fail("cannot create the schema");
  std::lock_guard<std::mutex> lock(store->poolMutex_);
  store->idle_.push_back(std::move(c));
  store->open_ = 1;
  return store;
}

PgStore::~PgStore() {
  if (listener_.joinable()) {
    stopping_ = true;
    const uint64_t one = 1;
    ssize_t ignored = ::write(wake_, &one, sizeof one);
    (void)ignored;
    listener_.join();
  }
  if (wake_ >= 0) ::close(wake_);
}

uint32_t PgStore::Announce(PgConnection& c, const std::string& name) {
  // Delivered when (and only if) the transaction commits, in commit order.
  PgResult r = c.Exec("SELECT pg_notify('ctserver_profiles', $1)", {instance_ + "\t" + name});
  return r.ok() ? 0 : ct::kErrIo;
}

void PgStore::WatchChanges(std::function<void(const std::string& name)> changed) {
  if (listener_.joinable() || !changed) return;
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0) return;
  changed_ = std::move(changed);
  listener_ = std::thread([this] { Listen(); });
}

// One connection that listens for the other servers' profile writes; one
// that drops is made again, and then every watched profile may have
// changed meanwhile.
void PgStore::Listen() {
  while (!stopping_) {
    std::unique_ptr<PgConnection> c = Connect(nullptr);
    if (c && c->Command("LISTEN ctserver_profiles")) {
      changed_(std::string());
      PGconn* raw = c->raw();
      while (!stopping_) {
        pollfd fds[2] = {{PQsocket(raw), POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
          if (errno == EINTR) continue;
          break;
        }
        if (stopping_ || !PQconsumeInput(raw)) break;
        while (PGnotify* n = PQnotifies(raw)) {
          const std::string payload = n->extra ? n->extra : "";
          PQfreemem(n);
          const size_t tab = payload.find('\t');
          if (tab == std::string::npos || payload.compare(0, tab, instance_) == 0) continue;  // our own
          changed_(payload.substr(tab + 1));
        }
      }
    }
    pollfd wait = {wake_, POLLIN, 0};
    if (!stopping_) ::poll(&wait, 1, 1000);
  }
}

template <class Work>
uint32_t PgStore::Transact(bool write, Work work) {
  const char* begin = write ? "BEGIN" : "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
  uint32_t rc = ct::kErrIo;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Lease lease = Acquire();
    PgConnection* c = lease.get();
    if (!c) return ct::kErrIo;
    if (!c->Command(begin)) {
      // A pooled connection whose server went away since: try a new one.
      if (c->broken() && !lease.fresh()) continue;
      return ct::kErrIo;
    }
    rc = work(*c);
    if (rc == 0 && c->Command("COMMIT")) return 0;
    const bool retry = IsRetryable(c->lastState());
    if (!c->broken()) c->Command("ROLLBACK");
    if (!retry) return rc ? rc : ct::kErrIo;
    rc = ct::kErrIo;
  }
  return rc;
}

namespace {

// The rows of a query's result, each made by read(r, i); kErrIo when the
// query failed.
template <class Row, class Read>
uint32_t TakeRows(const PgResult& r, std::vector<Row>* out, Read read) {
  if (!r.ok()) return ct::kErrIo;
  out->clear();
  for (int i = 0; i < r.rows(); ++i) out->push_back(read(r, i));
  return 0;
}

}  // namespace

namespace {

struct FoundProfile {
  int64_t id = 0;
  ProfileRow row;
};

// 0 when the profile of that name (and class, unless cls is empty) exists;
// kErrNotFound when not; kErrIo when the database failed.  `lock` holds its
// row until the transaction ends, so that its revision moves on in turn.
uint32_t FindProfile(PgConnection& c, const std::string& name, const std::string& cls, FoundProfile* out,
                     bool withContent, bool lock) {
  const char* sql = withContent ? (lock ? "SELECT id, class, content, revision, time_ms FROM profiles WHERE name = $1 FOR UPDATE"
                                        : "SELECT id, class, content, revision, time_ms FROM profiles WHERE name = $1")
                                : (lock ? "SELECT id, class, NULL, revision, time_ms FROM profiles WHERE name = $1 FOR UPDATE"
                                        : "SELECT id, class, NULL, revision, time_ms FROM profiles WHERE name = $1");
  PgResult r = c.Exec(sql, {name});
  if (!r.ok()) return ct::kErrIo;
  if (r.rows() == 0) return ct::kErrNotFound;
  out->id = r.Int(0, 0);
  out->row.name = name;
  out->row.profileClass = r.Text(0, 1);
  if (withContent) out->row.content = r.Bytes(0, 2);
  out->row.revision = uint64_t(r.Int(0, 3));
  out->row.timeMs = r.Int(0, 4);
  if (!cls.empty() && out->row.profileClass != cls) return ct::kErrNotFound;
  return 0;
}

// Inserts a new profile at revision 1: 0, kErrNameExists when the name is
// taken (by the unique constraint, so a concurrent add on another server is
// seen too), or kErrIo.
uint32_t InsertProfile(PgConnection& c, const std::string& name, const std::string& cls, const std::string& content,
                       int64_t nowMs) {
  PgResult r = c.Exec(
      "INSERT INTO profiles (name, class, content, revision, time_ms) VALUES ($1, $2, $3, 1, $4) "
      "ON CONFLICT (name) DO NOTHING RETURNING id",
      {name, cls, PgParam::Bytes(content), nowMs});
  if (!r.ok()) return ct::kErrIo;
  return r.rows() == 1 ? 0 : ct::kErrNameExists;
}

}  // namespace

uint32_t PgStore::AddProfile(const std::string& name, const std::string& cls, const std::string& content,
                             uint64_t* revision) {
  const uint32_t rc = Transact(true, [&](PgConnection& c) {
    const uint32_t irc = InsertProfile(c, name, cls, content, NowMs());
    return irc ? irc : Announce(c, name);
  });
  if (rc == 0 && revision) *revision = 1;
  return rc;
}

uint32_t PgStore::UpdateLocked(PgConnection& c, int64_t id, uint64_t oldRevision, const std::string& content,
                               uint64_t* revision) {
  const int64_t now = NowMs();
  // The replaced content moves to the revisions inside the database, with
  // the time it was stored and now, when it was replaced.
  if (!c.Exec("INSERT INTO revisions (profile_id, revision, content, time_ms, stored_ms) "
              "SELECT id, revision, content, $2, time_ms FROM profiles WHERE id = $1 "
              "ON CONFLICT (profile_id, revision) DO UPDATE SET content = excluded.content, "
              "time_ms = excluded.time_ms, stored_ms = excluded.stored_ms",
              {id, now})
           .ok()) {
    return ct::kErrIo;
  }
  if (!c.Exec("DELETE FROM revisions WHERE profile_id = $1 AND revision NOT IN "
              "(SELECT revision FROM revisions WHERE profile_id = $1 ORDER BY revision DESC LIMIT $2)",
              {id, int64_t(kKeptRevisions)})
           .ok()) {
    return ct::kErrIo;
  }
  if (!c.Exec("UPDATE profiles SET content = $2, revision = $3, time_ms = $4 WHERE id = $1",
              {id, PgParam::Bytes(content), int64_t(oldRevision + 1), now})
           .ok()) {
    return ct::kErrIo;
  }
  if (revision) *revision = oldRevision + 1;
  return 0;
}

uint32_t PgStore::UpdateProfile(const std::string& name, const std::string& cls, const std::string& content,
                                uint64_t* revision, uint64_t expected) {
  uint64_t rev = 0;
  const uint32_t rc = Transact(true, [&](PgConnection& c) {
    // The row is locked (FOR UPDATE) from the check to the commit, so a
    // writer on another server cannot move the revision in between.
    FoundProfile found;
    if (uint32_t frc = FindProfile(c, name, cls, &found, false, true)) return frc;
    if (expected != 0 && found.row.revision != expected) return ct::kErrRevisionConflict;
    const uint32_t urc = UpdateLocked(c, found.id, found.row.revision, content, &rev);
    return urc ? urc : Announce(c, name);
  });
  if (rc == 0 && revision) *revision = rev;
  return rc;
}

uint32_t PgStore::PutProfile(const std::string& name, const std::string& cls, const std::string& content,
                             uint64_t* revision) {
  uint64_t rev = 1;
  const uint32_t rc = Transact(true, [&](PgConnection& c) {
    // Add, or lock the row that is there and update it.  Between the two a
    // remove on another server may win; then the add is tried again.
    for (int i = 0; i < kAttempts; ++i) {
      const uint32_t irc = InsertProfile(c, name, cls, content, NowMs());
      if (irc != ct::kErrNameExists) {
        rev = 1;
        return irc ? irc : Announce(c, name);
      }
      FoundProfile found;
      const uint32_t frc = FindProfile(c, name, std::string(), &found, false, true);
      if (frc == ct::kErrNotFound) continue;
      if (frc) return frc;
      if (found.row.profileClass != cls) return ct::kErrNameExists;
      const uint32_t urc = UpdateLocked(c, found.id, found.row.revision, content, &rev);
      return urc ? urc : Announce(c, name);
    }
    return ct::kErrIo;
  });
  if (rc == 0 && revision) *revision = rev;
  return rc;
}

uint32_t PgStore::RemoveProfile(const std::string& name, const std::string& cls, uint64_t expected) {
  return Transact(true, [&](PgConnection& c) -> uint32_t {
    if (expected != 0) {
      // Check and delete under the row's lock, so that a concurrent update
      // on another server either comes first (and the check fails) or waits.
      FoundProfile found;
      if (uint32_t frc = FindProfile(c, name, cls, &found, false, true)) return frc;
      if (found.row.revision != expected) return ct::kErrRevisionConflict;
    }
    PgResult r = c.Exec("DELETE FROM profiles WHERE name = $1 AND ($2::text = '' OR class = $2)", {name, cls});
    if (!r.ok()) return ct::kErrIo;
    return r.affected() == 0 ? ct::kErrNotFound : Announce(c, name);
  });
}

uint32_t PgStore::GetProfile(const std::string& name, const std::string& cls, ProfileRow* out) {
  return Transact(false, [&](PgConnection& c) {
    FoundProfile found;
    if (uint32_t rc = FindProfile(c, name, cls, &found, true, false)) return rc;
    *out = std::move(found.row);
    return 0u;
  });
}

uint32_t PgStore::ListProfiles(const std::string& cls, std::vector<ProfileRow>* out) {
  return Transact(false, [&](PgConnection& c) -> uint32_t {
    return TakeRows(
        c.Exec("SELECT name, class, revision, time_ms FROM profiles WHERE $1::text = '' OR class = $1 ORDER BY name",
               {cls}),
        out, [](const PgResult& r, int i) {
          ProfileRow row;
          row.name = r.Text(i, 0);
          row.profileClass = r.Text(i, 1);
          row.revision = uint64_t(r.Int(i, 2));
          row.timeMs = r.Int(i, 3);
          return row;
        });
  });
}

uint32_t PgStore::ListRevisions(const std::string& name, const std::string& cls, std::vector<RevisionRow>* out) {
  return Transact(false, [&](PgConnection& c) -> uint32_t {
    FoundProfile found;
    if (uint32_t rc = FindProfile(c, name, cls, &found, false, false)) return rc;
    PgResult r =
        c.Exec("SELECT revision, stored_ms FROM revisions WHERE profile_id = $1 ORDER BY revision DESC", {found.id});
    if (!r.ok()) return ct::kErrIo;
    out->clear();
    out->push_back({found.row.revision, found.row.timeMs, true});
    for (int i = 0; i < r.rows(); ++i) {
      out->push_back({uint64_t(r.Int(i, 0)), r.null(i, 1) ? 0 : r.Int(i, 1), false});  // NULL: not recorded
    }
    return 0;
  });
}

namespace {

uint32_t ReadRevision(PgConnection& c, const FoundProfile& found, uint64_t revision, std::string* content) {
  if (revision == found.row.revision) {
    *content = found.row.content;
    return 0;
  }
  PgResult r = c.Exec("SELECT content FROM revisions WHERE profile_id = $1 AND revision = $2",
                      {found.id, int64_t(revision)});
  if (!r.ok()) return ct::kErrIo;
  if (r.rows() == 0) return ct::kErrNotFound;
  *content = r.Bytes(0, 0);
  return 0;
}

}  // namespace

uint32_t PgStore::GetRevision(const std::string& name, const std::string& cls, uint64_t revision,
                              std::string* content) {
  return Transact(false, [&](PgConnection& c) {
    FoundProfile found;
    if (uint32_t rc = FindProfile(c, name, cls, &found, true, false)) return rc;
    return ReadRevision(c, found, revision, content);
  });
}

uint32_t PgStore::RestoreRevision(const std::string& name, const std::string& cls, uint64_t revision,
                                  uint64_t* newRevision) {
  uint64_t rev = 0;
  const uint32_t rc = Transact(true, [&](PgConnection& c) {
    FoundProfile found;
    if (uint32_t frc = FindProfile(c, name, cls, &found, false, true)) return frc;
    if (revision == found.row.revision) {  // already current: nothing to do
      rev = found.row.revision;
      return 0u;
    }
    std::string content;
    if (uint32_t rrc = ReadRevision(c, found, revision, &content)) return rrc;
    const uint32_t urc = UpdateLocked(c, found.id, found.row.revision, content, &rev);
    return urc ? urc : Announce(c, name);
  });
  if (rc == 0 && newRevision) *newRevision = rev;
  return rc;
}

// ---- services ----

uint32_t PgStore::AddService(const ServiceRow& row) {
  return Transact(true, [&](PgConnection& c) -> uint32_t {
    PgResult r = c.Exec(
        "INSERT INTO services (name, config, started, mode, stop_value) VALUES ($1, $2, $3, $4, $5) "
        "ON CONFLICT (name) DO NOTHING",
        {row.name, PgParam::Bytes(row.config), std::string(row.started ? "true" : "false"), int64_t(row.mode),
         int64_t(row.stopValue)});
    if (!r.ok()) return ct::kErrIo;
    return r.affected() == 0 ? ct::kErrServiceExists : 0;
  });
}

namespace {

// A one-row change: kErrNotFound when it changed no row.
uint32_t ChangeOne(PgConnection& c, const char* sql, std::initializer_list<PgParam> params) {
  PgResult r = c.Exec(sql, params);
  if (!r.ok()) return ct::kErrIo;
  return r.affected() == 0 ? ct::kErrNotFound : 0;
}

}  // namespace

uint32_t PgStore::UpdateService(const std::string& name, const std::string& config, uint32_t mode) {
  return Transact(true, [&](PgConnection& c) {
    return ChangeOne(c, "UPDATE services SET config = $2, mode = $3 WHERE name = $1",
                     {name, PgParam::Bytes(config), int64_t(mode)});
  });
}

uint32_t PgStore::RemoveService(const std::string& name) {
  return Transact(true, [&](PgConnection& c) { return ChangeOne(c, "DELETE FROM services WHERE name = $1", {name}); });
}

uint32_t PgStore::SetServiceStarted(const std::string& name, bool started, uint32_t stopValue) {
  return Transact(true, [&](PgConnection& c) {
    return ChangeOne(c, "UPDATE services SET started = $2, stop_value = $3 WHERE name = $1",
                     {name, std::string(started ? "true" : "false"), int64_t(stopValue)});
  });
}

uint32_t PgStore::ListServices(const std::string& name, std::vector<ServiceRow>* out) {
  return Transact(false, [&](PgConnection& c) -> uint32_t {
    return TakeRows(
        c.Exec("SELECT name, config, started, mode, stop_value FROM services WHERE $1::text = '' OR name = $1 "
               "ORDER BY id",
               {name}),
        out, [](const PgResult& r, int i) {
          ServiceRow row;
          row.name = r.Text(i, 0);
          row.config = r.Bytes(i, 1);
          row.started = r.Bool(i, 2);
          row.mode = uint32_t(r.Int(i, 3));
          row.stopValue = uint32_t(r.Int(i, 4));
          return row;
        });
  });
}

// ---- server level ----

uint32_t PgStore::GetLevel(int32_t* level, int32_t* target) {
  return Transact(false, [&](PgConnection& c) -> uint32_t {
    PgResult r = c.Exec("SELECT level, target FROM server_level WHERE id = 1");
    if (!r.ok() || r.rows() != 1) return ct::kErrIo;
    *level = int32_t(r.Int(0, 0));
    *target = int32_t(r.Int(0, 1));
    return 0;
  });
}

uint32_t PgStore::SetLevel(int32_t level, int32_t target) {
  return Transact(true, [&](PgConnection& c) {
    return ChangeOne(c, "UPDATE server_level SET level = $1, target = $2 WHERE id = 1",
                     {int64_t(level), int64_t(target)});
  });
}

// ---- server processes ----

uint32_t PgStore::SetProcesses(const std::vector<ProcessRow>& rows) {
  return Transact(true, [&](PgConnection& c) -> uint32_t {
    for (const auto& row : rows) {
      if (!c.Exec("INSERT INTO processes (name, running) VALUES ($1, $2) "
                  "ON CONFLICT (name) DO UPDATE SET running = excluded.running",
                  {row.name, std::string(row.running ? "true" : "false")})
               .ok()) {
        return ct::kErrIo;
      }
    }
    return 0;
  });
}

uint32_t PgStore::ListProcesses(const std::string& name, std::vector<ProcessRow>* out) {
  return Transact(false, [&](PgConnection& c) -> uint32_t {
    return TakeRows(c.Exec("SELECT name, running FROM processes WHERE $1::text = '' OR name = $1 ORDER BY id", {name}),
                    out, [](const PgResult& r, int i) { return ProcessRow{r.Text(i, 0), r.Bool(i, 1)}; });
  });
}

std::string PgStore::IntegrityCheck() {
  std::string result;
  const uint32_t rc = Transact(false, [&](PgConnection& c) -> uint32_t {
    PgResult r = c.Exec(
        "SELECT p.name, r.revision FROM revisions r JOIN profiles p ON p.id = r.profile_id "
        "WHERE r.revision >= p.revision ORDER BY p.name, r.revision LIMIT 100");
    if (!r.ok()) {
      result = c.Message();
      return ct::kErrIo;
    }
    for (int i = 0; i < r.rows(); ++i) {
      if (!result.empty()) result += "\n";
      result += "profile " + r.Text(i, 0) + ": kept revision " + r.Text(i, 1) + " is not older than the current one";
    }
    return 0;
  });
  if (rc != 0 && result.empty()) result = "cannot reach the database";
  return result.empty() ? "ok" : result;
}

}  // namespace ctserver
