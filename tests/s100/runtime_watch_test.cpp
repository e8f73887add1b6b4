// Conditional profile writes and profile watches, on the embedded core and
// on a real ctserver over gRPC (one table of cases run against both).
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "s100/ctruntime.h"
#include "tests/support/containers.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace env = testsupport;
using testsupport::Kvs;

namespace {

enum class Transport { kEmbedded, kGrpc };

// What one watch has seen, and on which threads.
struct Seen {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<CT_ProfileEvent> events;
  std::set<std::thread::id> threads;

  CT_WatchCallback Callback() {
    return [this](const CT_ProfileEvent& e) {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back(e);
      threads.insert(std::this_thread::get_id());
      changed.notify_all();
    };
  }
  // Waits (bounded only against a hang) until n events have come.
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(env::kHangBoundMs), [&] { return events.size() >= n; });
  }
  std::vector<CT_ProfileEvent> Events() {
    std::lock_guard<std::mutex> lock(mutex);
    return events;
  }
};

class ProfileRevisions : public ::testing::TestWithParam<Transport> {
 protected:
  void SetUp() override {
    env::RegistryContents reg;
    if (GetParam() == Transport::kGrpc) {
      if (!env::HaveServerBinary()) GTEST_SKIP() << "no ctserver built";
      server_ = std::make_unique<env::ServerProcess>(dir_.path());
      ASSERT_TRUE(server_->Start()) << server_->Log();
      reg.servers = {{"Test", server_->address()}};
    } else {
      reg.servers = {{"Test", "embedded:" + dir_.File("profiles.db")}};
    }
    env::InstallRegistry(dir_.File("test.reg"), reg);
    ASSERT_EQ(CT_Initialize(nullptr), 1);
    initialized_ = true;
    writer_ = Open();
    watcher_ = Open();
    ASSERT_NE(writer_, 0u);
    ASSERT_NE(watcher_, 0u);
  }
  void TearDown() override {
    // The last shutdown ends every watch before the event lists go.
    if (initialized_) CT_Shutdown(nullptr);
  }

  CTses Open() {
    Kvs options, reply;
    CTkvs_PutString(options, CT_KEY_SERVER_NAME, "Test", nullptr);
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    CTses handle = 0;
    return CTses_Create(&handle, "watch test", 0, options, &record, 0) == 1 ? handle : 0;
  }

  // The write calls, each answering the error code (0 on success).
  uint32_t Add(const char* name, int32_t value, uint64_t* rev = nullptr) {
    Kvs profile, reply;
    CTkvs_PutInt(profile, 0x7001, value, nullptr);
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    return CTadm_AddProfileEx(writer_, name, "Fax", profile, rev, &record, 0) == 1 ? 0 : record.error;
  }
  uint32_t Update(const char* name, int32_t value, uint64_t expected, uint64_t* rev = nullptr) {
    Kvs profile, reply;
    CTkvs_PutInt(profile, 0x7001, value, nullptr);
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    return CTadm_UpdateProfileEx(writer_, name, "Fax", profile, expected, rev, &record, 0) == 1 ? 0 : record.error;
  }
  uint32_t Remove(const char* name, uint64_t expected) {
    Kvs reply;
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    return CTadm_RemoveProfileEx(writer_, name, "Fax", expected, &record, 0) == 1 ? 0 : record.error;
  }
  // The stored value and version; value -1 when the read failed.
  int32_t Read(const char* name, CT_ProfileVersion* version) {
    Kvs reply, info;
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    *version = CT_ProfileVersion{0, 0};
    if (CTadm_GetProfileEx(writer_, name, "Fax", info, version, &record, 0) != 1) return -1;
    const CTkvs* contents = nullptr;
    uint32_t count = 0;
    int32_t value = -1;
    if (CTkvs_GetKVSetArray(info, CT_KEY_PROFILE_CONTENTS, &contents, &count, nullptr) == 1 && count == 1) {
      CTkvs_GetInt(contents[0], 0x7001, &value, nullptr);
    }
    return value;
  }

  env::TempDir dir_;
  std::unique_ptr<env::ServerProcess> server_;
  bool initialized_ = false;
  CTses writer_ = 0;
  CTses watcher_ = 0;
  Seen seen_;
  Seen second_;
};

INSTANTIATE_TEST_SUITE_P(Transports, ProfileRevisions, testing::Values(Transport::kEmbedded, Transport::kGrpc),
                         [](const testing::TestParamInfo<Transport>& info) {
                           return info.param == Transport::kEmbedded ? "Embedded" : "Grpc";
                         });

TEST_P(ProfileRevisions, WritesGoThroughOnlyOverTheExpectedRevision) {
  uint64_t rev = 0;
  ASSERT_EQ(Add("p", 1, &rev), 0u);
  EXPECT_EQ(rev, 1u);
  CT_ProfileVersion version{};
  ASSERT_EQ(Read("p", &version), 1);
  EXPECT_EQ(version.revision, 1u);
  std::vector<CT_RevisionInfo> revisions;
  Kvs listed;
  CT_ReplyRecord listRecord = CT_MakeReplyRecord(listed);
  ASSERT_EQ(CTadm_ListRevisions(writer_, "p", "Fax", &revisions, &listRecord, 0), 1);
  ASSERT_EQ(revisions.size(), 1u);
  EXPECT_EQ(version.timeUnixMs, revisions.front().timeUnixMs);  // the stored time, not another

  struct Case {
    const char* what;
    uint64_t expected;  // 0: the revision just read
    bool useRead;
    uint32_t error;
  };
  const Case cases[] = {
      {"the revision read writes", 0, true, 0},
      {"a stale revision writes nothing", 1, false, ct::kErrRevisionConflict},
      {"a revision not yet reached writes nothing", 99, false, ct::kErrRevisionConflict},
      {"no revision always writes", 0, false, 0},
  };
  int32_t value = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CT_ProfileVersion before{};
    const int32_t old = Read("p", &before);
    const uint64_t expected = c.useRead ? before.revision : c.expected;
    uint64_t after = 0;
    ASSERT_EQ(Update("p", ++value, expected, &after), c.error);
    CT_ProfileVersion now{};
    const int32_t stored = Read("p", &now);
    if (c.error == 0) {
      EXPECT_EQ(after, before.revision + 1);
      EXPECT_EQ(now.revision, after);
      EXPECT_EQ(stored, value);
    } else {
      EXPECT_EQ(now.revision, before.revision);
      EXPECT_EQ(stored, old);
    }
  }

  // The calls without a revision behave as they always did.
  Kvs profile, reply;
  CTkvs_PutInt(profile, 0x7001, 500, nullptr);
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTadm_UpdateProfile(writer_, "p", "Fax", profile, &record, 0), 1);
  ASSERT_EQ(Read("p", &version), 500);

  // Remove likewise.
  EXPECT_EQ(Remove("p", version.revision - 1), ct::kErrRevisionConflict);
  EXPECT_EQ(Read("p", &version), 500);
  EXPECT_EQ(Remove("p", version.revision), 0u);
  EXPECT_EQ(Read("p", &version), -1);
  ASSERT_EQ(Add("q", 1), 0u);
  EXPECT_EQ(Remove("q", 0), 0u);
  EXPECT_EQ(Remove("q", 1), ct::kErrNotFound);
  EXPECT_STRNE(CT_ErrorText(ct::kErrRevisionConflict), CT_ErrorText(0xDEADBEEF));
}

TEST_P(ProfileRevisions, AWatchSeesEveryWriteInOrderUntilUnwatched) {
  CT_WatchHandle watch = 0;
  uint32_t err = 0;
  ASSERT_EQ(CTadm_WatchProfile(watcher_, "p", "Fax", seen_.Callback(), &watch, &err), 1) << std::hex << err;
  // The watch starts without waiting for the server; its first event says
  // from which state on it sees every write.
  ASSERT_TRUE(seen_.WaitFor(1));

  ASSERT_EQ(Add("p", 1), 0u);                                      // 1
  ASSERT_EQ(Update("p", 2, 1), 0u);                                // 2
  ASSERT_EQ(Update("p", 3, 1), ct::kErrRevisionConflict);          // refused: no event
  ASSERT_EQ(Update("p", 4, 0), 0u);                                // 3
  Kvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  uint64_t restored = 0;
  ASSERT_EQ(CTadm_RestoreRevision(writer_, "p", "Fax", 1, &restored, &record, 0), 1);  // 4
  ASSERT_EQ(Remove("p", 4), 0u);                                   // removed
  ASSERT_EQ(Add("p", 5), 0u);                                      // 1 again
  ASSERT_EQ(Add("other", 1), 0u);                                  // another profile: no event

  struct Expected {
    uint64_t revision;
    int32_t removed;
  };
  const std::vector<Expected> expected = {{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {0, 1}, {1, 0}};
  seen_.WaitFor(expected.size());
  std::vector<CT_ProfileEvent> events = seen_.Events();
  ASSERT_EQ(events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i].error, 0u);
    EXPECT_EQ(events[i].removed, expected[i].removed);
    if (!expected[i].removed) {
      EXPECT_EQ(events[i].revision, expected[i].revision);
      EXPECT_GT(events[i].timeUnixMs, 0);
    }
  }
  {
    std::lock_guard<std::mutex> lock(seen_.mutex);
    EXPECT_EQ(seen_.threads.count(std::this_thread::get_id()), 0u) << "the callback ran on the caller's thread";
  }

  // After Unwatch nothing more comes: a second watch started after the next
  // write sees it, the first does not.
  ASSERT_EQ(CTadm_Unwatch(watch, &err), 1);
  ASSERT_EQ(Update("p", 6, 1), 0u);
  CT_WatchHandle second = 0;
  ASSERT_EQ(CTadm_WatchProfile(watcher_, "p", "Fax", second_.Callback(), &second, &err), 1);
  ASSERT_TRUE(second_.WaitFor(1));
  EXPECT_EQ(second_.Events()[0].revision, 2u);
  EXPECT_EQ(seen_.Events().size(), expected.size());
  EXPECT_NE(CTadm_Unwatch(watch, &err), 1);
  EXPECT_EQ(err, ct::kErrNotFound);
}

TEST_P(ProfileRevisions, BadRequestsEndTheWatchAtOnce) {
  CT_WatchHandle watch = 0;
  uint32_t err = 0;
  ASSERT_EQ(CTadm_WatchProfile(watcher_, "p", "", seen_.Callback(), &watch, &err), 1);
  ASSERT_TRUE(seen_.WaitFor(1));
  EXPECT_EQ(seen_.Events()[0].error, ct::kErrInvalidClass);
  EXPECT_EQ(CTadm_Unwatch(watch, &err), 1);

  EXPECT_NE(CTadm_WatchProfile(watcher_, "p", "Fax", nullptr, &watch, &err), 1);
  EXPECT_EQ(err, ct::kErrInvalidArgument);
  EXPECT_NE(CTadm_WatchProfile(9999, "p", "Fax", second_.Callback(), &watch, &err), 1);
  EXPECT_EQ(err, ct::kErrNoSession);
}

// Unwatch from inside the callback would wait for itself: it is refused.
TEST_P(ProfileRevisions, UnwatchFromTheCallbackIsRefused) {
  std::mutex m;
  CT_WatchHandle watch = 0;
  uint32_t inside = 0;
  int result = -1;
  std::condition_variable done;
  std::unique_lock<std::mutex> lock(m);
  ASSERT_EQ(CTadm_WatchProfile(
                watcher_, "p", "Fax",
                [&](const CT_ProfileEvent&) {
                  std::lock_guard<std::mutex> l(m);
                  if (result == -1) result = CTadm_Unwatch(watch, &inside);
                  done.notify_all();
                },
                &watch, nullptr),
            1);
  ASSERT_TRUE(done.wait_for(lock, std::chrono::milliseconds(env::kHangBoundMs), [&] { return result != -1; }));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(inside, ct::kErrInvalidArgument);
  lock.unlock();
  EXPECT_EQ(CTadm_Unwatch(watch, nullptr), 1);
}

// Closing the session from inside the callback ends the watch without
// waiting for the callback it runs in.
TEST_P(ProfileRevisions, TheSessionCanBeClosedFromTheCallback) {
  std::mutex m;
  std::condition_variable done;
  int closed = -1;
  CT_WatchHandle watch = 0;
  const CTses session = watcher_;
  ASSERT_EQ(CTadm_WatchProfile(
                watcher_, "p", "Fax",
                [&, session](const CT_ProfileEvent&) {
                  Kvs reply;
                  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
                  const int result = CTses_Destroy(session, CT_kvsEmpty, &record, 0);
                  std::lock_guard<std::mutex> l(m);
                  closed = result;
                  done.notify_all();
                },
                &watch, nullptr),
            1);
  std::unique_lock<std::mutex> lock(m);
  ASSERT_TRUE(done.wait_for(lock, std::chrono::milliseconds(env::kHangBoundMs), [&] { return closed != -1; }));
  EXPECT_EQ(closed, 1);
  uint32_t err = 0;
  EXPECT_NE(CTadm_Unwatch(watch, &err), 1);
  EXPECT_EQ(err, ct::kErrNotFound);
}

TEST_P(ProfileRevisions, ClosingTheSessionEndsItsWatches) {
  CT_WatchHandle watch = 0;
  ASSERT_EQ(CTadm_WatchProfile(watcher_, "p", "Fax", seen_.Callback(), &watch, nullptr), 1);
  ASSERT_TRUE(seen_.WaitFor(1));
  Kvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTses_Destroy(watcher_, CT_kvsEmpty, &record, 0), 1);
  const size_t before = seen_.Events().size();
  ASSERT_EQ(Add("p", 1), 0u);
  // A watch of the writer's own sees the add; the closed one does not.
  CT_WatchHandle other = 0;
  ASSERT_EQ(CTadm_WatchProfile(writer_, "p", "Fax", second_.Callback(), &other, nullptr), 1);
  ASSERT_TRUE(second_.WaitFor(1));
  EXPECT_EQ(seen_.Events().size(), before);
  uint32_t err = 0;
  EXPECT_NE(CTadm_Unwatch(watch, &err), 1);
  EXPECT_EQ(err, ct::kErrNotFound);
}

// A server that dies ends the watch with an error, and nothing hangs.
TEST(ProfileWatchOverGrpc, AServerThatDiesEndsTheWatch) {
  if (!env::HaveServerBinary()) GTEST_SKIP() << "no ctserver built";
  env::TempDir dir;
  for (int signal : {SIGKILL, SIGTERM}) {
    SCOPED_TRACE(signal);
    env::TempDir serverDir;
    env::ServerProcess server(serverDir.path());
    ASSERT_TRUE(server.Start()) << server.Log();
    env::RegistryContents reg;
    reg.servers = {{"Test", server.address()}};
    env::InstallRegistry(dir.File("test.reg"), reg);
    ASSERT_EQ(CT_Initialize(nullptr), 1);
    Seen seen;
    Kvs options, reply;
    CTkvs_PutString(options, CT_KEY_SERVER_NAME, "Test", nullptr);
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    CTses session = 0;
    ASSERT_EQ(CTses_Create(&session, "watch test", 0, options, &record, 0), 1);
    CT_WatchHandle watch = 0;
    ASSERT_EQ(CTadm_WatchProfile(session, "p", "Fax", seen.Callback(), &watch, nullptr), 1);
    ASSERT_TRUE(seen.WaitFor(1));
    const int64_t start = env::NowMs();
    EXPECT_NE(server.Kill(signal), -1) << "the server did not stop with a watch open";
    ASSERT_TRUE(seen.WaitFor(2));
    const auto events = seen.Events();
    EXPECT_NE(events.back().error, 0u);
    EXPECT_EQ(CTadm_Unwatch(watch, nullptr), 1);
    EXPECT_LT(env::NowMs() - start, env::kHangBoundMs);
    CT_Shutdown(nullptr);
  }
}

}  // namespace
