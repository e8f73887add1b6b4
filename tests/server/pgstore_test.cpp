// The PostgreSQL store on its own: servers that start together, settings
// it refuses, writers on several stores (as on several servers) at once,
// and a database that goes away and comes back.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "s100/cterrors.h"
#include "server/pgstore.h"
#include "server/store.h"
#include "tests/support/pgcluster.h"
#include "tests/support/tempdir.h"

using ctserver::PgStore;
using ctserver::RevisionRow;
using ctserver::Store;
using testsupport::PgCluster;

namespace {

// Runs one statement on a connection of its own; the first column of the
// first row, or the error text.
std::string Query(const std::string& uri, const std::string& sql) {
  PGconn* c = PQconnectdb(uri.c_str());
  PGresult* r = PQexec(c, sql.c_str());
  std::string out;
  if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0) {
    out = PQgetvalue(r, 0, 0);
  } else if (PQresultStatus(r) != PGRES_COMMAND_OK) {
    out = std::string("error: ") + PQerrorMessage(c);
  }
  PQclear(r);
  PQfinish(c);
  return out;
}

class PgStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    auto& cluster = PgCluster::Shared();
    ASSERT_TRUE(cluster.ok()) << "cannot start the PostgreSQL cluster: " << cluster.error();
    std::string error;
    uri_ = cluster.CreateDatabase(&error);
    ASSERT_FALSE(uri_.empty()) << error;
  }

  std::unique_ptr<Store> Open() {
    std::string error;
    auto store = Store::Open(uri_, &error);
    EXPECT_TRUE(store) << error;
    return store;
  }

  std::string uri_;
};

}  // namespace

// Servers that start at once on an empty database all come up, and the
// schema is created once.
TEST_F(PgStoreTest, ServersStartingTogetherShareOneSchema) {
  constexpr int kServers = 6;
  std::vector<std::unique_ptr<Store>> stores(kServers);
  std::vector<std::string> errors(kServers);
  std::vector<std::thread> threads;
  for (int i = 0; i < kServers; ++i) {
    threads.emplace_back([&, i] { stores[i] = Store::Open(uri_, &errors[i]); });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < kServers; ++i) EXPECT_TRUE(stores[i]) << errors[i];
  EXPECT_EQ(Query(uri_, "SELECT count(*) FROM schema_version"), "1");
  EXPECT_EQ(Query(uri_, "SELECT version FROM schema_version"), std::to_string(PgStore::kSchemaVersion));
  int32_t level = 0, target = 0;
  ASSERT_EQ(stores[0]->GetLevel(&level, &target), 0u);
  EXPECT_EQ(level, 1);
}

TEST_F(PgStoreTest, RefusesWhatItCannotUseWithTheReason) {
  testsupport::TempDir dir;
  ASSERT_TRUE(Open());
  const std::string host = uri_.substr(uri_.find("?host="));
  const std::string base = uri_.substr(0, uri_.find('?'));
  testsupport::WriteFile(dir.File("empty"), "");
  const struct {
    const char* what;
    std::string uri;
    std::string passwordFile;
    const char* expected;  // in the error
  } cases[] = {
      {"password in the URI", "postgresql://postgres:secret@/x" + host, "", "password"},
      {"password parameter", base + host + "&password=secret", "", "password"},
      {"missing password file", uri_, dir.File("absent"), "password file"},
      {"empty password file", uri_, dir.File("empty"), "empty"},
      {"no such database", "postgresql://postgres@/nosuchdb" + host, "", "nosuchdb"},
      {"no server there", "postgresql://postgres@/x?host=" + dir.path(), "", "connect"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(Store::Open(c.uri, &error, c.passwordFile));
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
  // A database written by a newer server is left alone.
  Query(uri_, "UPDATE schema_version SET version = 99");
  std::string error;
  EXPECT_FALSE(Store::Open(uri_, &error));
  EXPECT_NE(error.find("99"), std::string::npos) << error;
}

// Stores with pools of their own stand for servers: they add one name at
// once (exactly one wins) and update one profile at once (every revision
// number handed out once, none skipped).
TEST_F(PgStoreTest, WritersOnSeveralServersNeitherLoseNorRepeatRevisions) {
  constexpr int kServers = 2, kThreadsEach = 4, kUpdatesEach = 15;
  std::vector<std::unique_ptr<Store>> stores;
  for (int i = 0; i < kServers; ++i) stores.push_back(Open());
  ASSERT_EQ(stores[0]->AddProfile("counter", "C", "0", nullptr), 0u);

  std::atomic<int> added{0}, exists{0}, failures{0};
  std::mutex m;
  std::vector<uint64_t> revisions;
  std::vector<std::thread> threads;
  for (int s = 0; s < kServers; ++s) {
    for (int t = 0; t < kThreadsEach; ++t) {
      threads.emplace_back([&, s, t] {
        const uint32_t rc = stores[s]->AddProfile("shared", "C", std::to_string(t), nullptr);
        (rc == 0 ? added : rc == ct::kErrNameExists ? exists : failures)++;
        for (int u = 0; u < kUpdatesEach; ++u) {
          uint64_t rev = 0;
          const uint32_t urc = (u % 3 == 2) ? stores[s]->PutProfile("counter", "C", "put", &rev)
                                            : stores[s]->UpdateProfile("counter", "C", "upd", &rev);
          if (urc != 0) {
            failures++;
            continue;
          }
          std::lock_guard<std::mutex> lock(m);
          revisions.push_back(rev);
        }
      });
    }
  }
  for (auto& t : threads) t.join();
  constexpr int kWriters = kServers * kThreadsEach;
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(added.load(), 1);
  EXPECT_EQ(exists.load(), kWriters - 1);

  // Revisions 2..N+1, each handed out once.
  const std::set<uint64_t> unique(revisions.begin(), revisions.end());
  const size_t updates = size_t(kWriters) * kUpdatesEach;
  EXPECT_EQ(revisions.size(), updates);
  EXPECT_EQ(unique.size(), updates);
  ASSERT_FALSE(unique.empty());
  EXPECT_EQ(*unique.begin(), 2u);
  EXPECT_EQ(*unique.rbegin(), updates + 1);

  // Both servers see the same history: the current one and the kept ones
  // without a gap.
  for (auto& store : stores) {
    std::vector<RevisionRow> revs;
    ASSERT_EQ(store->ListRevisions("counter", "C", &revs), 0u);
    ASSERT_EQ(revs.size(), size_t(Store::kKeptRevisions) + 1);
    for (size_t i = 0; i < revs.size(); ++i) EXPECT_EQ(revs[i].revision, updates + 1 - i);
    EXPECT_EQ(store->IntegrityCheck(), "ok");
  }
}

// More callers than the pool holds wait their turn rather than failing or
// opening a connection each.
TEST_F(PgStoreTest, ManyCallersShareABoundedPool) {
  constexpr int kCallers = 3 * int(PgStore::kMaxConnections), kUpdatesEach = 3;
  auto store = Open();
  ASSERT_TRUE(store);
  ASSERT_EQ(store->AddProfile("p", "C", "0", nullptr), 0u);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kCallers; ++i) {
    threads.emplace_back([&] {
      for (int u = 0; u < kUpdatesEach; ++u) {
        ctserver::ProfileRow row;
        if (store->UpdateProfile("p", "C", "x", nullptr) != 0 || store->GetProfile("p", "C", &row) != 0) failures++;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  ctserver::ProfileRow row;
  ASSERT_EQ(store->GetProfile("p", "C", &row), 0u);
  EXPECT_EQ(row.revision, uint64_t(kCallers) * kUpdatesEach + 1);
  const std::string open = Query(uri_,
                                 "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                                 "AND application_name = 'ctserver'");
  EXPECT_LE(std::atoi(open.c_str()), int(PgStore::kMaxConnections)) << open;
  EXPECT_GE(std::atoi(open.c_str()), 1) << open;
}

// While the database is away every call answers kErrIo promptly; once it
// is back the same store goes on without a restart.
TEST_F(PgStoreTest, ADatabaseThatGoesAwayGivesIoErrorsUntilItIsBack) {
  auto store = Open();
  ASSERT_TRUE(store);
  ASSERT_EQ(store->AddProfile("p", "C", "v1", nullptr), 0u);
  auto& cluster = PgCluster::Shared();
  ASSERT_TRUE(cluster.StopServer()) << cluster.error();
  ctserver::ProfileRow row;
  EXPECT_EQ(store->GetProfile("p", "C", &row), ct::kErrIo);
  EXPECT_EQ(store->UpdateProfile("p", "C", "v2", nullptr), ct::kErrIo);
  EXPECT_EQ(store->SetLevel(2, 2), ct::kErrIo);
  EXPECT_NE(store->IntegrityCheck(), "ok");
  ASSERT_TRUE(cluster.StartServer()) << cluster.error();
  uint64_t rev = 0;
  ASSERT_EQ(store->UpdateProfile("p", "C", "v2", &rev), 0u);
  EXPECT_EQ(rev, 2u);
  ASSERT_EQ(store->GetProfile("p", "C", &row), 0u);
  EXPECT_EQ(row.content, "v2");
}
