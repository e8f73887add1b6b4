// Two real ctserver processes on one PostgreSQL database, with clients of
// each writing at once: nothing lost, one winner per name, every revision
// number handed out once and seen alike through either server.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "proto/ctadmin.grpc.pb.h"
#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "tests/server/grpccalls.h"
#include "tests/support/pgcluster.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"
#include "tests/server/wire.h"

namespace pb = ctadmin::v1;
using testsupport::PgCluster;
using testsupport::ServerProcess;
using testsupport::TempDir;

namespace {

constexpr uint32_t kTransport = 0xFFFFFFFF;

// One client session on one server.
class Session {
 public:
  explicit Session(std::shared_ptr<grpc::Channel> channel) : stub_(pb::Admin::NewStub(std::move(channel))) {
    pb::OpenSessionRequest req;
    req.set_client_name("pg test");
    pb::OpenSessionReply reply;
    if (stub_->OpenSession(Context().get(), req, &reply).ok() && reply.error() == 0) id_ = reply.session();
  }
  bool ok() const { return !id_.empty(); }

  uint32_t Write(bool add, const std::string& name, const std::string& content, uint64_t* rev = nullptr) {
    const pb::ProfileRequest req = servertest::ProfileRequest(id_, name, "Telephony", content);
    pb::ProfileReply reply;
    const grpc::Status s = add ? stub_->AddProfile(Context().get(), req, &reply)
                               : stub_->UpdateProfile(Context().get(), req, &reply);
    if (!s.ok()) return kTransport;
    if (rev) *rev = reply.revision();
    return reply.error();
  }

  uint32_t Revisions(const std::string& name, std::vector<uint64_t>* out) {
    pb::RevisionsRequest req;
    req.set_session(id_);
    req.set_name(name);
    req.set_profile_class("Telephony");
    pb::RevisionsReply reply;
    if (!stub_->ListRevisions(Context().get(), req, &reply).ok()) return kTransport;
    out->clear();
    for (const auto& r : reply.revisions()) out->push_back(r.revision());
    return reply.error();
  }

  uint32_t SetLevel(int32_t level) {
    pb::SetTargetLevelRequest req;
    req.set_session(id_);
    req.set_level(level);
    pb::StatusReply reply;
    if (!stub_->SetTargetServerLevel(Context().get(), req, &reply).ok()) return kTransport;
    return reply.error();
  }
  int32_t Level() {
    pb::ServerLevelRequest req;
    req.set_session(id_);
    pb::ServerLevelReply reply;
    if (!stub_->GetServerLevel(Context().get(), req, &reply).ok() || reply.error()) return -1;
    return reply.level();
  }

 private:
  std::unique_ptr<pb::Admin::Stub> stub_;
  std::string id_;
};

// A serialised KVSet with one integer, so the core accepts it as content.
std::string Content(int32_t value) { return servertest::ProfileBytes(value); }

// A new database on the shared cluster; empty, with the failure recorded,
// when there is none.
std::string NewDatabase() {
  auto& cluster = PgCluster::Shared();
  if (!cluster.ok()) {
    ADD_FAILURE() << "cannot start the PostgreSQL cluster: " << cluster.error();
    return std::string();
  }
  std::string error;
  const std::string uri = cluster.CreateDatabase(&error);
  if (uri.empty()) ADD_FAILURE() << error;
  return uri;
}

// Two servers on a new database, each with a folder of its own.
struct TwoServers {
  TempDir dirs[2];
  std::vector<std::unique_ptr<ServerProcess>> servers;

  // False, with the failure recorded, when one of them does not start.
  bool Start() {
    if (!testsupport::HaveServerBinary()) {
      ADD_FAILURE() << "no server binary";
      return false;
    }
    const std::string uri = NewDatabase();
    if (uri.empty()) return false;
    for (auto& dir : dirs) {
      auto server = std::make_unique<ServerProcess>(dir.path());
      server->UseDatabase(uri);
      if (!server->Start({"--data-dir", dir.File("transfer")})) {
        ADD_FAILURE() << server->Log();
        return false;
      }
      servers.push_back(std::move(server));
    }
    return true;
  }
};

}  // namespace

TEST(CtserverPostgres, TwoServersOnOneDatabaseUnderConcurrentClients) {
  TwoServers two;
  ASSERT_TRUE(two.Start());
  const auto& servers = two.servers;

  constexpr int kClientsEach = 3, kUpdates = 8;
  constexpr int kClients = 2 * kClientsEach;
  {
    Session first(servers[0]->Channel());
    ASSERT_TRUE(first.ok());
    ASSERT_EQ(first.Write(true, "counter", Content(0)), 0u);
  }
  std::mutex m;
  std::vector<uint64_t> revisions;
  std::map<uint32_t, int> sharedAdds;  // answer -> how many got it
  std::vector<uint32_t> failures;
  std::vector<std::thread> threads;
  for (int c = 0; c < kClients; ++c) {
    threads.emplace_back([&, c] {
      Session s(servers[c % 2]->Channel());
      const auto fail = [&](uint32_t rc) {
        std::lock_guard<std::mutex> lock(m);
        failures.push_back(rc);
      };
      if (!s.ok()) return fail(kTransport);
      const uint32_t shared = s.Write(true, "shared", Content(c));
      const std::string own = "own" + std::to_string(c);
      if (uint32_t rc = s.Write(true, own, Content(0))) fail(rc);
      for (int u = 0; u < kUpdates; ++u) {
        uint64_t rev = 0;
        if (uint32_t rc = s.Write(false, "counter", Content(c * 100 + u), &rev)) {
          fail(rc);
          continue;
        }
        if (uint32_t rc = s.Write(false, own, Content(u + 1))) fail(rc);
        std::lock_guard<std::mutex> lock(m);
        revisions.push_back(rev);
      }
      std::lock_guard<std::mutex> lock(m);
      sharedAdds[shared]++;
    });
  }
  for (auto& t : threads) t.join();

  EXPECT_TRUE(failures.empty()) << failures.size() << " calls failed, first with " << std::hex
                                << (failures.empty() ? 0 : failures[0]);
  EXPECT_EQ(sharedAdds[0], 1);
  EXPECT_EQ(sharedAdds[ct::kErrNameExists], kClients - 1);

  const size_t updates = size_t(kClients) * kUpdates;
  const std::set<uint64_t> unique(revisions.begin(), revisions.end());
  EXPECT_EQ(revisions.size(), updates);
  EXPECT_EQ(unique.size(), updates);
  ASSERT_FALSE(unique.empty());
  EXPECT_EQ(*unique.begin(), 2u);
  EXPECT_EQ(*unique.rbegin(), updates + 1);

  // Either server shows every client's profile at its last revision, and
  // the counter's history without gaps; the level is shared too.
  Session a(servers[0]->Channel()), b(servers[1]->Channel());
  ASSERT_TRUE(a.ok() && b.ok());
  for (Session* s : {&a, &b}) {
    std::vector<uint64_t> revs;
    ASSERT_EQ(s->Revisions("counter", &revs), 0u);
    ASSERT_FALSE(revs.empty());
    EXPECT_EQ(revs.front(), updates + 1);
    for (size_t i = 1; i < revs.size(); ++i) EXPECT_EQ(revs[i], revs[i - 1] - 1);
    for (int c = 0; c < kClients; ++c) {
      ASSERT_EQ(s->Revisions("own" + std::to_string(c), &revs), 0u);
      EXPECT_EQ(revs.front(), uint64_t(kUpdates) + 1) << c;
    }
  }
  ASSERT_EQ(a.SetLevel(3), 0u);
  EXPECT_EQ(b.Level(), 3);
}

// A server whose database goes away answers kErrIo within the call's
// deadline and does not exit; once the database is back the same session
// goes on.
TEST(CtserverPostgres, ADatabaseThatGoesAwayGivesIoErrorsAndTheServerCarriesOn) {
  ASSERT_TRUE(testsupport::HaveServerBinary());
  auto& cluster = PgCluster::Shared();
  const std::string uri = NewDatabase();
  ASSERT_FALSE(uri.empty());
  TempDir dir;
  ServerProcess server(dir.path());
  server.UseDatabase(uri);
  ASSERT_TRUE(server.Start({"--data-dir", dir.File("transfer")})) << server.Log();
  Session s(server.Channel());
  ASSERT_TRUE(s.ok());
  ASSERT_EQ(s.Write(true, "p", Content(1)), 0u);

  ASSERT_TRUE(cluster.StopServer()) << cluster.error();
  EXPECT_EQ(s.Write(false, "p", Content(2)), ct::kErrIo);
  std::vector<uint64_t> revs;
  EXPECT_EQ(s.Revisions("p", &revs), ct::kErrIo);
  EXPECT_EQ(s.Level(), -1);
  ASSERT_TRUE(cluster.StartServer()) << cluster.error();

  uint64_t rev = 0;
  ASSERT_EQ(s.Write(false, "p", Content(2), &rev), 0u) << server.Log();
  EXPECT_EQ(rev, 2u);
  ASSERT_EQ(s.Revisions("p", &revs), 0u);
  EXPECT_EQ(revs.size(), 2u);
}

// A watcher on one server hears of writes made through another server on
// the same database (and of its own server's, once each), in order.
TEST(CtserverPostgres, AWatchOnOneServerSeesTheOtherServersWrites) {
  TwoServers two;
  ASSERT_TRUE(two.Start());
  const auto& servers = two.servers;

  // The watch: a stream on the first server, read on a thread of its own.
  auto stub = pb::Admin::NewStub(servers[0]->Channel());
  pb::OpenSessionReply opened;
  {
    grpc::ClientContext context;
    ASSERT_TRUE(stub->OpenSession(&context, pb::OpenSessionRequest(), &opened).ok());
  }
  pb::WatchProfileRequest watch;
  watch.set_session(opened.session());
  watch.set_name("watched");
  watch.set_profile_class("Telephony");
  grpc::ClientContext watchContext;
  std::mutex m;
  std::condition_variable arrived;
  std::vector<pb::ProfileEvent> events;
  auto stream = stub->WatchProfile(&watchContext, watch);
  std::thread reader([&] {
    pb::ProfileEvent e;
    while (stream->Read(&e)) {
      std::lock_guard<std::mutex> lock(m);
      events.push_back(e);
      arrived.notify_all();
    }
  });
  const auto waitFor = [&](size_t n) {
    std::unique_lock<std::mutex> lock(m);
    return arrived.wait_for(lock, std::chrono::milliseconds(testsupport::kHangBoundMs),
                            [&] { return events.size() >= n; });
  };
  EXPECT_TRUE(waitFor(1));

  Session here(servers[0]->Channel()), there(servers[1]->Channel());
  ASSERT_TRUE(here.ok() && there.ok());
  // Each write waits for its event: another server's writes that follow
  // each other closely may come as one event with the latest revision.
  EXPECT_EQ(there.Write(true, "watched", Content(1)), 0u);  // 1
  EXPECT_TRUE(waitFor(2));
  EXPECT_EQ(there.Write(false, "watched", Content(2)), 0u);  // 2
  EXPECT_TRUE(waitFor(3));
  EXPECT_EQ(here.Write(false, "watched", Content(3)), 0u);  // 3, through the watcher's own server
  EXPECT_TRUE(waitFor(4));
  EXPECT_EQ(there.Write(true, "unwatched", Content(1)), 0u);
  EXPECT_EQ(there.Write(false, "watched", Content(4)), 0u);  // 4
  EXPECT_TRUE(waitFor(5));
  // Our own server's write must not come back a second time through the
  // database: one more write after it shows what arrived in between.
  EXPECT_EQ(here.Write(false, "watched", Content(5)), 0u);  // 5
  const std::vector<uint64_t> expected = {0, 1, 2, 3, 4, 5};  // 0: removed
  waitFor(expected.size());
  watchContext.TryCancel();
  reader.join();
  std::lock_guard<std::mutex> lock(m);
  ASSERT_EQ(events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i].error(), 0u);
    EXPECT_EQ(events[i].removed(), expected[i] == 0);
    EXPECT_EQ(events[i].revision(), expected[i]);
  }
}
