// The store on SQLite and on PostgreSQL (one suite run against both):
// profile identity rules, revisions, persistence of every table; and each
// one's own schema handling.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

#include "s100/cterrors.h"
#include "server/sqlitestore.h"
#include "server/store.h"
#include "tests/support/pgcluster.h"
#include "tests/support/tempdir.h"

using ctserver::ProfileRow;
using testsupport::TempDir;
using ctserver::RevisionRow;
using ctserver::Store;

namespace {

std::unique_ptr<Store> OpenStore(const TempDir& dir) {
  std::string error;
  auto store = Store::Open(dir.File("profiles.db"), &error);
  EXPECT_TRUE(store) << error;
  return store;
}

enum class Backend { kSqlite, kPostgres };
void PrintTo(Backend b, std::ostream* os) { *os << (b == Backend::kSqlite ? "SQLite" : "PostgreSQL"); }

// A fresh, empty store of the backend under test: a file in a folder of the
// test's, or a database of its own in the private cluster.  A cluster that
// cannot start fails the test with the reason.
class StoreTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::kSqlite) {
      location_ = dir_.File("profiles.db");
      return;
    }
    auto& cluster = testsupport::PgCluster::Shared();
    ASSERT_TRUE(cluster.ok()) << "cannot start the PostgreSQL cluster: " << cluster.error();
    std::string error;
    location_ = cluster.CreateDatabase(&error);
    ASSERT_FALSE(location_.empty()) << error;
  }

  // Opens (again) the same store.
  std::unique_ptr<Store> OpenStore() {
    std::string error;
    auto store = Store::Open(location_, &error);
    EXPECT_TRUE(store) << error;
    return store;
  }

  TempDir dir_;
  std::string location_;
};

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest, testing::Values(Backend::kSqlite, Backend::kPostgres),
                         [](const testing::TestParamInfo<Backend>& info) {
                           return info.param == Backend::kSqlite ? "Sqlite" : "Postgres";
                         });

std::string Content(const ProfileRow& row) { return row.content; }

// Runs one SQL statement on its own connection and gives the first column
// of the first row.
std::string Query(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

}  // namespace

TEST_P(StoreTest, NameIsUniqueWhateverTheClassAndLookupsMatchBoth) {
  auto store = OpenStore();
  uint64_t rev = 0;
  ASSERT_EQ(store->AddProfile("lines", "Telephony", "A", &rev), 0u);
  EXPECT_EQ(rev, 1u);
  EXPECT_EQ(store->AddProfile("lines", "Telephony", "B", &rev), ct::kErrNameExists);
  EXPECT_EQ(store->AddProfile("lines", "Other", "B", &rev), ct::kErrNameExists);
  EXPECT_EQ(store->AddProfile("Lines", "Other", "C", &rev), 0u);  // names are case-sensitive

  ProfileRow row;
  ASSERT_EQ(store->GetProfile("lines", "Telephony", &row), 0u);
  EXPECT_EQ(Content(row), "A");
  EXPECT_EQ(store->GetProfile("lines", "Other", &row), ct::kErrNotFound);
  ASSERT_EQ(store->GetProfile("lines", "", &row), 0u);  // empty class: any
  EXPECT_EQ(row.profileClass, "Telephony");
  EXPECT_EQ(store->GetProfile("nothing", "", &row), ct::kErrNotFound);

  EXPECT_EQ(store->UpdateProfile("lines", "Other", "X", &rev), ct::kErrNotFound);
  EXPECT_EQ(store->UpdateProfile("absent", "Telephony", "X", &rev), ct::kErrNotFound);
  EXPECT_EQ(store->RemoveProfile("lines", "Other"), ct::kErrNotFound);
  ASSERT_EQ(store->GetProfile("lines", "Telephony", &row), 0u);
  EXPECT_EQ(Content(row), "A");  // none of the refused writes touched it
}

TEST_P(StoreTest, ListsByClassOrAllInNameOrderWithoutContent) {
  auto store = OpenStore();
  ASSERT_EQ(store->AddProfile("zeta", "B", "1", nullptr), 0u);
  ASSERT_EQ(store->AddProfile("alpha", "A", "2", nullptr), 0u);
  ASSERT_EQ(store->AddProfile("mid", "B", "3", nullptr), 0u);
  std::vector<ProfileRow> rows;
  ASSERT_EQ(store->ListProfiles("", &rows), 0u);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].name, "alpha");
  EXPECT_EQ(rows[2].name, "zeta");
  EXPECT_TRUE(rows[0].content.empty());
  ASSERT_EQ(store->ListProfiles("B", &rows), 0u);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "mid");
  ASSERT_EQ(store->ListProfiles("none", &rows), 0u);
  EXPECT_TRUE(rows.empty());
}

TEST_P(StoreTest, EveryUpdateKeepsTheReplacedContent) {
  auto store = OpenStore();
  ASSERT_EQ(store->AddProfile("p", "C", "v1", nullptr), 0u);
  uint64_t rev = 0;
  ASSERT_EQ(store->UpdateProfile("p", "C", "v2", &rev), 0u);
  EXPECT_EQ(rev, 2u);
  ASSERT_EQ(store->UpdateProfile("p", "C", "v3", &rev), 0u);
  EXPECT_EQ(rev, 3u);

  std::vector<RevisionRow> revs;
  ASSERT_EQ(store->ListRevisions("p", "C", &revs), 0u);
  ASSERT_EQ(revs.size(), 3u);
  EXPECT_EQ(revs[0].revision, 3u);
  EXPECT_TRUE(revs[0].current);
  EXPECT_EQ(revs[1].revision, 2u);
  EXPECT_FALSE(revs[1].current);
  EXPECT_EQ(revs[2].revision, 1u);
  EXPECT_GT(revs[2].timeMs, 0);

  std::string content;
  ASSERT_EQ(store->GetRevision("p", "C", 1, &content), 0u);
  EXPECT_EQ(content, "v1");
  ASSERT_EQ(store->GetRevision("p", "C", 3, &content), 0u);
  EXPECT_EQ(content, "v3");
  EXPECT_EQ(store->GetRevision("p", "C", 9, &content), ct::kErrNotFound);
  EXPECT_EQ(store->GetRevision("p", "D", 1, &content), ct::kErrNotFound);

  // Restore: the old content becomes current, the replaced one is kept.
  ASSERT_EQ(store->RestoreRevision("p", "C", 1, &rev), 0u);
  EXPECT_EQ(rev, 4u);
  ProfileRow row;
  ASSERT_EQ(store->GetProfile("p", "C", &row), 0u);
  EXPECT_EQ(row.content, "v1");
  EXPECT_EQ(row.revision, 4u);
  ASSERT_EQ(store->GetRevision("p", "C", 3, &content), 0u);
  EXPECT_EQ(content, "v3");
  EXPECT_EQ(store->RestoreRevision("p", "C", 77, &rev), ct::kErrNotFound);
  ASSERT_EQ(store->RestoreRevision("p", "C", 4, &rev), 0u);  // already current: no new revision
  EXPECT_EQ(rev, 4u);
}

// Each revision carries the time it was stored (not the time a later one
// replaced it), on a clock the test steps; a restore is a store of its own.
TEST_P(StoreTest, EachRevisionShowsWhenItWasStored) {
  auto store = OpenStore();
  int64_t now = 1000;
  store->SetClock([&now] { return now; });
  ASSERT_EQ(store->AddProfile("p", "C", "v1", nullptr), 0u);
  now = 2000;
  ASSERT_EQ(store->UpdateProfile("p", "C", "v2", nullptr), 0u);
  now = 3000;
  ASSERT_EQ(store->PutProfile("p", "C", "v3", nullptr), 0u);
  now = 4000;
  ASSERT_EQ(store->RestoreRevision("p", "C", 1, nullptr), 0u);

  std::vector<RevisionRow> revs;
  ASSERT_EQ(store->ListRevisions("p", "C", &revs), 0u);
  const struct {
    uint64_t revision;
    int64_t timeMs;
  } expected[] = {{4, 4000}, {3, 3000}, {2, 2000}, {1, 1000}};
  ASSERT_EQ(revs.size(), std::size(expected));
  for (size_t i = 0; i < revs.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(revs[i].revision, expected[i].revision);
    EXPECT_EQ(revs[i].timeMs, expected[i].timeMs);
    EXPECT_EQ(revs[i].current, i == 0);
  }
}

// A file of the first schema kept, for each old revision, the time it was
// replaced.  Opening it moves each time to the revision stored then; the
// oldest kept revision's own time was never recorded and reads as 0.
TEST(SqliteSchema, MigratesReplacementTimesToStoredTimes) {
  TempDir dir;
  const std::string path = dir.File("profiles.db");
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* oldLayout =
        "CREATE TABLE schema_version (version INTEGER NOT NULL);"
        "INSERT INTO schema_version VALUES (1);"
        "CREATE TABLE profiles (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, class TEXT NOT NULL,"
        "  content BLOB NOT NULL, revision INTEGER NOT NULL, time_ms INTEGER NOT NULL);"
        "CREATE TABLE revisions (profile_id INTEGER NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,"
        "  revision INTEGER NOT NULL, content BLOB NOT NULL, time_ms INTEGER NOT NULL,"
        "  PRIMARY KEY (profile_id, revision)) WITHOUT ROWID;"
        "CREATE TABLE services (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, config BLOB NOT NULL,"
        "  started INTEGER NOT NULL, mode INTEGER NOT NULL, stop_value INTEGER NOT NULL);"
        "CREATE TABLE server_level (id INTEGER PRIMARY KEY CHECK (id = 1), level INTEGER NOT NULL,"
        "  target INTEGER NOT NULL);"
        "INSERT INTO server_level VALUES (1, 1, 1);"
        "CREATE TABLE processes (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, running INTEGER NOT NULL);"
        // p: stored at 1000, 2000, 3000 (revisions 1 to 3), 3 current.
        "INSERT INTO profiles VALUES (1, 'p', 'C', 'v3', 3, 3000);"
        "INSERT INTO revisions VALUES (1, 1, 'v1', 2000), (1, 2, 'v2', 3000);"
        // q: revisions 5 to 7 kept (older ones trimmed), 8 current.
        "INSERT INTO profiles VALUES (2, 'q', 'C', 'w8', 8, 800);"
        "INSERT INTO revisions VALUES (2, 5, 'w5', 600), (2, 6, 'w6', 700), (2, 7, 'w7', 800);";
    ASSERT_EQ(sqlite3_exec(db, oldLayout, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  auto store = OpenStore(dir);
  ASSERT_TRUE(store);
  const struct {
    const char* name;
    std::vector<std::pair<uint64_t, int64_t>> revisions;
  } cases[] = {
      {"p", {{3, 3000}, {2, 2000}, {1, 0}}},
      {"q", {{8, 800}, {7, 700}, {6, 600}, {5, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<RevisionRow> revs;
    ASSERT_EQ(store->ListRevisions(c.name, "C", &revs), 0u);
    ASSERT_EQ(revs.size(), c.revisions.size());
    for (size_t i = 0; i < revs.size(); ++i) {
      EXPECT_EQ(revs[i].revision, c.revisions[i].first);
      EXPECT_EQ(revs[i].timeMs, c.revisions[i].second);
    }
  }
  // Every content is still there, and the store goes on keeping times.
  std::string content;
  ASSERT_EQ(store->GetRevision("p", "C", 1, &content), 0u);
  EXPECT_EQ(content, "v1");
  store->SetClock([] { return int64_t(4000); });
  ASSERT_EQ(store->UpdateProfile("p", "C", "v4", nullptr), 0u);
  std::vector<RevisionRow> revs;
  ASSERT_EQ(store->ListRevisions("p", "C", &revs), 0u);
  ASSERT_EQ(revs.size(), 4u);
  EXPECT_EQ(revs[0].timeMs, 4000);
  EXPECT_EQ(revs[1].timeMs, 3000);
  EXPECT_EQ(Query(path, "SELECT version FROM schema_version"), std::to_string(ctserver::SqliteStore::kSchemaVersion));
}

TEST_P(StoreTest, KeepsOnlyTheLastTwentyAndDropsThemWithTheProfile) {
  auto store = OpenStore();
  ASSERT_EQ(store->AddProfile("p", "C", "c1", nullptr), 0u);
  for (int i = 2; i <= 30; ++i) ASSERT_EQ(store->UpdateProfile("p", "C", "c" + std::to_string(i), nullptr), 0u);
  std::vector<RevisionRow> revs;
  ASSERT_EQ(store->ListRevisions("p", "C", &revs), 0u);
  ASSERT_EQ(revs.size(), size_t(Store::kKeptRevisions) + 1);
  EXPECT_EQ(revs.front().revision, 30u);
  EXPECT_EQ(revs.back().revision, 10u);
  std::string content;
  EXPECT_EQ(store->GetRevision("p", "C", 9, &content), ct::kErrNotFound);
  ASSERT_EQ(store->GetRevision("p", "C", 10, &content), 0u);
  EXPECT_EQ(content, "c10");

  // A new profile of the same name starts without the old one's history.
  ASSERT_EQ(store->RemoveProfile("p", ""), 0u);
  ASSERT_EQ(store->AddProfile("p", "C", "new", nullptr), 0u);
  ASSERT_EQ(store->ListRevisions("p", "C", &revs), 0u);
  ASSERT_EQ(revs.size(), 1u);
  EXPECT_EQ(revs[0].revision, 1u);
}

TEST_P(StoreTest, PutAddsOrUpdatesButNeverCrossesClasses) {
  auto store = OpenStore();
  uint64_t rev = 0;
  ASSERT_EQ(store->PutProfile("p", "C", "one", &rev), 0u);
  EXPECT_EQ(rev, 1u);
  ASSERT_EQ(store->PutProfile("p", "C", "two", &rev), 0u);
  EXPECT_EQ(rev, 2u);
  EXPECT_EQ(store->PutProfile("p", "D", "three", &rev), ct::kErrNameExists);
  ProfileRow row;
  ASSERT_EQ(store->GetProfile("p", "C", &row), 0u);
  EXPECT_EQ(row.content, "two");
}

TEST_P(StoreTest, EverythingSurvivesReopening) {
  {
    auto store = OpenStore();
    ASSERT_EQ(store->AddProfile("p", "C", std::string("\0bin\xff", 5), nullptr), 0u);
    ASSERT_EQ(store->UpdateProfile("p", "C", "second", nullptr), 0u);
    ctserver::ServiceRow svc;
    svc.name = "Dialer";
    svc.config = "cfg";
    svc.mode = 7;
    ASSERT_EQ(store->AddService(svc), 0u);
    EXPECT_EQ(store->AddService(svc), ct::kErrServiceExists);
    ASSERT_EQ(store->SetServiceStarted("Dialer", true, 3), 0u);
    EXPECT_EQ(store->SetServiceStarted("Nobody", true, 3), ct::kErrNotFound);
    ASSERT_EQ(store->SetLevel(4, 6), 0u);
    ASSERT_EQ(store->SetProcesses({{"A", true}, {"B", false}}), 0u);
    ASSERT_EQ(store->SetProcesses({{"A", false}}), 0u);
  }
  auto store = OpenStore();
  std::string content;
  ASSERT_EQ(store->GetRevision("p", "C", 1, &content), 0u);
  EXPECT_EQ(content, std::string("\0bin\xff", 5));  // blobs keep every byte
  std::vector<ctserver::ServiceRow> services;
  ASSERT_EQ(store->ListServices("", &services), 0u);
  ASSERT_EQ(services.size(), 1u);
  EXPECT_TRUE(services[0].started);
  EXPECT_EQ(services[0].mode, 7u);
  EXPECT_EQ(services[0].stopValue, 3u);
  EXPECT_EQ(services[0].config, "cfg");
  int32_t level = 0, target = 0;
  ASSERT_EQ(store->GetLevel(&level, &target), 0u);
  EXPECT_EQ(level, 4);
  EXPECT_EQ(target, 6);
  std::vector<ctserver::ProcessRow> procs;
  ASSERT_EQ(store->ListProcesses("", &procs), 0u);
  ASSERT_EQ(procs.size(), 2u);
  EXPECT_EQ(procs[0].name, "A");
  EXPECT_FALSE(procs[0].running);
  EXPECT_EQ(store->IntegrityCheck(), "ok");

  ASSERT_EQ(store->UpdateService("Dialer", "cfg2", 9), 0u);
  EXPECT_EQ(store->UpdateService("Nobody", "cfg2", 9), ct::kErrNotFound);
  ASSERT_EQ(store->RemoveService("Dialer"), 0u);
  EXPECT_EQ(store->RemoveService("Dialer"), ct::kErrNotFound);
}

TEST(SqliteSchema, RunsInWalModeAndRefusesANewerSchema) {
  TempDir dir;
  { OpenStore(dir); }
  const std::string path = dir.File("profiles.db");
  EXPECT_EQ(Query(path, "PRAGMA journal_mode"), "wal");
  EXPECT_EQ(Query(path, "SELECT version FROM schema_version"), std::to_string(ctserver::SqliteStore::kSchemaVersion));
  Query(path, "UPDATE schema_version SET version = 99");
  std::string error;
  EXPECT_FALSE(Store::Open(path, &error));
  EXPECT_NE(error.find("99"), std::string::npos) << error;
}

TEST(SqliteSchema, ReportsAFileThatIsNoDatabase) {
  TempDir dir;
  {
    FILE* f = std::fopen(dir.File("junk.db").c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("this is not a database file, not at all, not even close..........", f);
    std::fclose(f);
  }
  std::string error;
  EXPECT_FALSE(Store::Open(dir.File("junk.db"), &error));
  EXPECT_FALSE(error.empty());
}

// A write that names the revision it expects happens only over that
// revision; a refused one leaves content and revisions as they were.
TEST_P(StoreTest, ConditionalWritesHappenOnlyOverTheExpectedRevision) {
  auto store = OpenStore();
  ASSERT_EQ(store->AddProfile("p", "C", "v1", nullptr), 0u);
  ASSERT_EQ(store->UpdateProfile("p", "C", "v2", nullptr), 0u);  // now at 2

  struct Case {
    const char* what;
    uint64_t expected;
    uint32_t rc;
    uint64_t revisionAfter;
  };
  const Case updates[] = {
      {"stale revision refuses", 1, ct::kErrRevisionConflict, 2},
      {"a revision from the future refuses", 9, ct::kErrRevisionConflict, 2},
      {"matching revision writes", 2, 0, 3},
      {"the old revision no longer matches", 2, ct::kErrRevisionConflict, 3},
      {"no revision always writes", 0, 0, 4},
  };
  for (const Case& c : updates) {
    SCOPED_TRACE(c.what);
    ProfileRow before;
    ASSERT_EQ(store->GetProfile("p", "C", &before), 0u);
    uint64_t rev = 77;
    EXPECT_EQ(store->UpdateProfile("p", "C", std::string("w") + c.what, &rev, c.expected), c.rc);
    ProfileRow after;
    ASSERT_EQ(store->GetProfile("p", "C", &after), 0u);
    EXPECT_EQ(after.revision, c.revisionAfter);
    if (c.rc == 0) {
      EXPECT_EQ(rev, c.revisionAfter);
      EXPECT_EQ(after.content, std::string("w") + c.what);
    } else {
      EXPECT_EQ(rev, 77u);  // untouched on failure
      EXPECT_EQ(after.content, before.content);
      std::vector<RevisionRow> revs;
      ASSERT_EQ(store->ListRevisions("p", "C", &revs), 0u);
      EXPECT_EQ(revs.size(), size_t(c.revisionAfter));
    }
  }
  EXPECT_EQ(store->UpdateProfile("absent", "C", "x", nullptr, 1), ct::kErrNotFound);

  // Remove likewise.
  ASSERT_EQ(store->AddProfile("q", "C", "v1", nullptr), 0u);
  ASSERT_EQ(store->AddProfile("r", "C", "v1", nullptr), 0u);
  ProfileRow row;
  EXPECT_EQ(store->RemoveProfile("p", "C", 3), ct::kErrRevisionConflict);
  EXPECT_EQ(store->GetProfile("p", "C", &row), 0u);
  EXPECT_EQ(store->RemoveProfile("p", "C", 4), 0u);
  EXPECT_EQ(store->GetProfile("p", "C", &row), ct::kErrNotFound);
  EXPECT_EQ(store->RemoveProfile("q", "C", 0), 0u);
  EXPECT_EQ(store->GetProfile("q", "C", &row), ct::kErrNotFound);
  EXPECT_EQ(store->RemoveProfile("q", "C", 1), ct::kErrNotFound);
  EXPECT_EQ(store->RemoveProfile("r", "Other", 1), ct::kErrNotFound);
}

// Writers racing with the same expected revision: exactly one wins, on one
// store or on two stores sharing the database.
TEST_P(StoreTest, RacingConditionalWritersHaveOneWinner) {
  auto first = OpenStore();
  auto second = OpenStore();
  ASSERT_TRUE(first && second);
  constexpr int kRounds = 10;
  constexpr int kThreads = 4;
  for (int round = 0; round < kRounds; ++round) {
    const std::string name = "p" + std::to_string(round);
    ASSERT_EQ(first->AddProfile(name, "C", "base", nullptr), 0u);
    const bool removing = round % 2 == 1;
    std::atomic<int> wins{0}, conflicts{0}, others{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        Store& store = t % 2 == 0 ? *first : *second;
        const uint32_t rc = removing ? store.RemoveProfile(name, "C", 1)
                                     : store.UpdateProfile(name, "C", "by " + std::to_string(t), nullptr, 1);
        // A remove that comes after the winning remove finds nothing.
        if (rc == 0) {
          ++wins;
        } else if (rc == ct::kErrRevisionConflict || (removing && rc == ct::kErrNotFound)) {
          ++conflicts;
        } else {
          ++others;
        }
      });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wins.load(), 1) << name;
    EXPECT_EQ(conflicts.load(), kThreads - 1) << name;
    EXPECT_EQ(others.load(), 0) << name;
    ProfileRow row;
    if (removing) {
      EXPECT_EQ(first->GetProfile(name, "C", &row), ct::kErrNotFound);
    } else {
      ASSERT_EQ(first->GetProfile(name, "C", &row), 0u);
      EXPECT_EQ(row.revision, 2u);
    }
  }
}
