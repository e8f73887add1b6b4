// Shared by the session tests: a backend wrapper that counts requests and
// can make chosen ones fail, a profile holding every kind of value and
// every array code, and a deep comparison of two sets.
#pragma once

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "s100/runtime_backend.h"
#include "proto/demessage.h"
#include "tests/support/containers.h"

namespace sessions_test {

// Counts per request kind, shared by every backend a factory made.
struct Traffic {
  std::mutex mutex;
  std::map<std::string, int> calls;
  std::set<std::string> failing;   // these answer with a transport failure
  std::set<std::string> hollow;    // these answer success with an empty reply
  std::atomic<int> backendsMade{0};
  std::atomic<int> connectRefusals{0};
  bool refuseConnect = false;      // the factory makes no backend

  int Count(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    return calls[name];
  }
  void Fail(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    failing.insert(name);
  }
  void Hollow(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    hollow.insert(name);
  }
  void Heal() {
    std::lock_guard<std::mutex> lock(mutex);
    failing.clear();
    hollow.clear();
  }
};

class CountingBackend final : public ct::runtime::Backend {
 public:
  CountingBackend(std::unique_ptr<ct::runtime::Backend> inner, std::shared_ptr<Traffic> traffic)
      : inner_(std::move(inner)), traffic_(std::move(traffic)) {}

#define SESSIONS_TEST_RPC(name, req, rep)                                              \
  uint32_t name(const ctadmin::v1::req& request, ctadmin::v1::rep* reply) override { \
    switch (Note(#name)) {                                                             \
      case Answer::Fail: return ct::kErrTransport;                                     \
      case Answer::Hollow: reply->Clear(); return 0;                                   \
      default: return inner_->name(request, reply);                                    \
    }                                                                                  \
  }
  CT_RUNTIME_RPCS(SESSIONS_TEST_RPC)
#undef SESSIONS_TEST_RPC
  std::unique_ptr<ct::runtime::WatchCall> WatchProfile(const ctadmin::v1::WatchProfileRequest& request,
                                                       ct::runtime::WatchSink sink) override {
    return inner_->WatchProfile(request, std::move(sink));
  }

 private:
  enum class Answer { Pass, Fail, Hollow };

  // Counts the request and says how to answer it.
  Answer Note(const char* name) {
    std::lock_guard<std::mutex> lock(traffic_->mutex);
    ++traffic_->calls[name];
    if (traffic_->failing.count(name)) return Answer::Fail;
    if (traffic_->hollow.count(name)) return Answer::Hollow;
    return Answer::Pass;
  }

  std::unique_ptr<ct::runtime::Backend> inner_;
  std::shared_ptr<Traffic> traffic_;
};

// Wraps the real backends in counting ones.
inline ct::runtime::BackendFactory CountingFactory(std::shared_ptr<Traffic> traffic) {
  return [traffic](const ct::runtime::ServerAddress& address, const ct::runtime::RuntimeSettings& settings,
                   uint32_t* error) -> std::unique_ptr<ct::runtime::Backend> {
    if (traffic->refuseConnect) {
      ++traffic->connectRefusals;
      *error = ct::kErrConnect;
      return nullptr;
    }
    auto inner = ct::runtime::MakeBackend(address, settings, error);
    if (!inner) return nullptr;
    ++traffic->backendsMade;
    return std::make_unique<CountingBackend>(std::move(inner), traffic);
  };
}

using testsupport::Ary;
using testsupport::BitsFloat;
using testsupport::Kvs;

// A profile with every scalar kind (with awkward values), a nested set,
// and one array of every array code, empty ones among them.
inline void FillEveryKind(CTkvs set, int32_t variant = 0) {
  CTkvs_PutInt(set, 0x7001, std::numeric_limits<int32_t>::min() + variant, nullptr);
  CTkvs_PutUInt(set, 0x7002, 0xFFFFFFFFu - static_cast<uint32_t>(variant), nullptr);
  CTkvs_PutBool(set, 0x7003, 1, nullptr);
  CTkvs_PutSymbol(set, 0x7004, 0x0110080D, nullptr);
  CTkvs_PutFloat(set, 0x7005, BitsFloat(0x7FC01234u), nullptr);  // NaN with a payload
  CTkvs_PutFloat(set, 0x7006, -0.0f, nullptr);
  const CTirange ir{-5, 2147483647};
  CTkvs_PutIRange(set, 0x7007, &ir, nullptr);
  const CTfrange fr{-std::numeric_limits<float>::infinity(), 2.5f};
  CTkvs_PutFRange(set, 0x7008, &fr, nullptr);
  CTkvs_PutString(set, 0x7009, "quoted \"text\"\n\ttab \\ and \xC3\xA9", nullptr);
  CTkvs_PutString(set, 0x700A, "", nullptr);
  {
    Kvs inner, innermost;
    CTkvs_PutInt(innermost, 0x7101, 3, nullptr);
    CTkvs_PutKVSet(inner, 0x7100, innermost, nullptr);
    CTkvs_PutKVSet(set, 0x700B, inner, nullptr);
  }
  CTsymbol key = 0x7200;
  auto put = [&](auto fill) {
    Ary a;
    fill(CTary(a));
    CTkvs_PutArray(set, key++, a, nullptr);
  };
  const int32_t ints[] = {1, -2, 2147483647};
  const uint32_t uints[] = {0, 4294967295u};
  const int32_t bools[] = {0, 1, 1};
  const CTsymbol symbols[] = {0x0110080E, 7};
  const float floats[] = {1.5f, -0.0f, std::numeric_limits<float>::infinity()};
  const CTirange irs[] = {{1, 2}, {-3, -4}};
  const CTfrange frs[] = {{0.5f, 1.5f}};
  const char* const strings[] = {"a", "", "b c"};
  const uint32_t words[] = {0xDEADBEEF, 1};
  put([&](CTary a) { CTary_PutInt(a, ints, 3, nullptr); });
  put([&](CTary a) { CTary_PutUInt(a, uints, 2, nullptr); });
  put([&](CTary a) { CTary_PutBool(a, bools, 3, nullptr); });
  put([&](CTary a) { CTary_PutSymbol(a, symbols, 2, nullptr); });
  put([&](CTary a) { CTary_PutFloat(a, floats, 3, nullptr); });
  put([&](CTary a) { CTary_PutIRange(a, irs, 2, nullptr); });
  put([&](CTary a) { CTary_PutFRange(a, frs, 1, nullptr); });
  put([&](CTary a) { CTary_PutString(a, strings, 3, nullptr); });
  put([&](CTary a) {
    Kvs one;
    CTkvs_PutString(one, 0x7300, "in array", nullptr);
    const CTkvs sets[] = {one, one};
    CTary_PutKVSet(a, sets, 2, nullptr);
  });
  put([&](CTary a) {
    Ary inner;
    CTary_PutInt(inner, ints, 1, nullptr);
    Ary innerStrings;
    CTary_PutString(innerStrings, strings, 2, nullptr);
    const CTary arrays[] = {inner, innerStrings};
    CTary_PutArray(a, arrays, 2, nullptr);
  });
  put([&](CTary a) { CTary_PutWords(a, 67, words, 2, nullptr); });  // a code with no kind of its own
  put([&](CTary a) { CTary_PutString(a, nullptr, 0, nullptr); });   // empty, and of strings
  put([&](CTary a) { CTary_PutKVSet(a, nullptr, 0, nullptr); });
  put([&](CTary) {});                                               // a fresh array, code 60
}

// Two sets hold the same keys in the same order with bit-identical values:
// their serialised forms are equal.
inline bool SameContent(CTkvs a, CTkvs b, std::string* why = nullptr) {
  std::string ba, bb;
  uint32_t error = 0;
  if (!ctserver::KvsToBytes(a, &ba, &error) || !ctserver::KvsToBytes(b, &bb, &error)) {
    if (why) *why = "cannot serialise";
    return false;
  }
  if (ba != bb && why) *why = "contents differ";
  return ba == bb;
}

}  // namespace sessions_test

#include <gtest/gtest.h>

#include "s100/ctruntime.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace sessions_test {

// Where server "A" runs: in-process on a file, or as a ctserver process.
enum class Where { Embedded, Process };

inline std::string WhereName(const ::testing::TestParamInfo<Where>& info) {
  return info.param == Where::Embedded ? "Embedded" : "Process";
}

// Known servers: "A" (embedded or a real process, by the parameter), "B"
// (always embedded) and "Down" (nothing listens there).  Every backend is
// counted through `traffic`.
class SessionsTest : public ::testing::TestWithParam<Where> {
 protected:
  void SetUp() override {
    ASSERT_EQ(CT_Initialize(nullptr), 1);
    ct::runtime::SetBackendFactory(CountingFactory(traffic));
    testsupport::RegistryContents reg;
    if (GetParam() == Where::Process) {
      if (!testsupport::HaveServerBinary()) GTEST_SKIP() << "built without ctserver";
      server = std::make_unique<testsupport::ServerProcess>(dir.path());
      ASSERT_TRUE(server->Start()) << "ctserver did not start: " << server->Log();
      reg.servers["A"] = server->address();
    } else {
      reg.servers["A"] = "embedded:" + dir.File("a.db");
    }
    reg.servers["B"] = "embedded:" + dir.File("b.db");
    reg.servers["Down"] = "127.0.0.1:" + std::to_string(testsupport::UnusedPort());
    reg.connectTimeoutMs = 2000;
    reg.callTimeoutMs = 5000;
    testsupport::InstallRegistry(dir.File("test.reg"), reg);
  }

  void TearDown() override {
    ct::runtime::SetBackendFactory({});
    CT_Shutdown(nullptr);
  }

  std::shared_ptr<Traffic> traffic = std::make_shared<Traffic>();
  testsupport::TempDir dir;
  std::unique_ptr<testsupport::ServerProcess> server;
};

}  // namespace sessions_test
