// The client runtime's cost: loading and storing a 1 MiB profile through
// MultiAdminSession against the same requests made straight on the gRPC
// stub, against one ctserver in the same run; and symbol translations per
// second through the session and through the runtime call.
//
// Two stub baselines.  "Stub" is transport only: the request goes out and
// the reply's bytes come back, nothing is decoded.  "StubUsable" does what a
// caller of the stub must do as well to get the same result the session
// gives: load decodes the content into a set, store encodes the set into
// bytes first.  The session's overhead is (session - stub) / stub against
// either; the fair comparison is against StubUsable.
#include <benchmark/benchmark.h>
#include <grpcpp/grpcpp.h>

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/multises.h"
#include "proto/ctadmin.grpc.pb.h"
#include "s100/ctruntime.h"
#include "proto/demessage.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace env = testsupport;
namespace pb = ctadmin::v1;

namespace {

constexpr const char* kServer = "Bench";
constexpr const char* kName = "Big";
constexpr const char* kClass = "Bench";

// One server process and one stored profile for the whole run.
struct World {
  env::TempDir dir;
  std::unique_ptr<env::ServerProcess> server;
  std::unique_ptr<MultiAdminSession> multi;
  std::unique_ptr<pb::Admin::Stub> stub;
  std::string stubSession;
  std::string contentBytes;  // the profile as it travels
  CTkvs profile = 0;
  bool ok = false;

  World() {
    server = std::make_unique<env::ServerProcess>(dir.path());
    if (!server->Start()) return;
    env::RegistryContents reg;
    reg.servers[kServer] = server->address();
    env::InstallRegistry(dir.File("bench.reg"), reg);
    CT_Initialize(nullptr);

    // About 1 MiB: 1024 strings of 1000 bytes, and as many integers.
    CTkvs_Create(&profile, nullptr);
    const std::string text(1000, 'x');
    for (uint32_t i = 0; i < 1024; ++i) {
      CTkvs_PutString(profile, 0x10000 + i, text.c_str(), nullptr);
      CTkvs_PutInt(profile, 0x20000 + i, static_cast<int32_t>(i), nullptr);
    }
    uint32_t error = 0;
    ctserver::KvsToBytes(profile, &contentBytes, &error);

    multi = std::make_unique<MultiAdminSession>();
    if (!multi->SaveProfile(kServer, kClass, kName, profile, 0)) return;

    grpc::ChannelArguments args;
    args.SetMaxReceiveMessageSize(64 << 20);
    stub = pb::Admin::NewStub(grpc::CreateCustomChannel(server->address(), grpc::InsecureChannelCredentials(), args));
    grpc::ClientContext context;
    pb::OpenSessionRequest request;
    pb::OpenSessionReply reply;
    if (!stub->OpenSession(&context, request, &reply).ok() || reply.error() != 0) return;
    stubSession = reply.session();

    // One load on each path before anything is timed, so that neither side
    // pays for the channel's first call or the server's cold cache.
    CTkvs warm = 0;
    CTkvs_Create(&warm, nullptr);
    const bool warmed = multi->LoadProfile(kServer, kName, kClass, warm);
    CTkvs_Destroy(warm, nullptr);
    grpc::ClientContext warmContext;
    pb::ProfileInfoRequest warmRequest;
    warmRequest.set_session(stubSession);
    warmRequest.set_name(kName);
    warmRequest.set_profile_class(kClass);
    warmRequest.set_one(true);
    pb::ProfileInfoReply warmReply;
    if (!warmed || !stub->GetProfileInfo(&warmContext, warmRequest, &warmReply).ok()) return;
    ok = true;
  }
};

World* g_world = nullptr;

World& TheWorld() {
  if (!g_world) g_world = new World;
  return *g_world;
}

#define NEED_WORLD(state)                                      \
  World& w = TheWorld();                                       \
  if (!w.ok) {                                                 \
    state.SkipWithError("ctserver did not start or refused");  \
    return;                                                    \
  }

// The profile's bytes for every iteration.
void CountProfileBytes(benchmark::State& state, const World& w) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(w.contentBytes.size()));
}

// Loads the profile through the stub; false when the call or the server failed.
bool StubLoad(World& w, pb::ProfileInfoReply* reply) {
  grpc::ClientContext context;
  pb::ProfileInfoRequest request;
  request.set_session(w.stubSession);
  request.set_name(kName);
  request.set_profile_class(kClass);
  request.set_one(true);
  return w.stub->GetProfileInfo(&context, request, reply).ok() && reply->error() == 0;
}

// A request to store the profile, without its content.
pb::ProfileRequest StoreRequest(const World& w) {
  pb::ProfileRequest request;
  request.set_session(w.stubSession);
  request.set_name(kName);
  request.set_profile_class(kClass);
  return request;
}

bool StubStore(World& w, const pb::ProfileRequest& request) {
  grpc::ClientContext context;
  pb::ProfileReply reply;
  return w.stub->UpdateProfile(&context, request, &reply).ok() && reply.error() == 0;
}

void BM_LoadThroughSession(benchmark::State& state) {
  NEED_WORLD(state);
  for (auto _ : state) {
    CTkvs set = 0;
    CTkvs_Create(&set, nullptr);
    if (!w.multi->LoadProfile(kServer, kName, kClass, set)) state.SkipWithError("load failed");
    CTkvs_Destroy(set, nullptr);
  }
  CountProfileBytes(state, w);
}

void BM_LoadThroughStub(benchmark::State& state) {
  NEED_WORLD(state);
  for (auto _ : state) {
    pb::ProfileInfoReply reply;
    if (!StubLoad(w, &reply)) state.SkipWithError("stub load failed");
    benchmark::DoNotOptimize(reply.contents_size());
  }
  CountProfileBytes(state, w);
}

// The stub call plus turning the content into a set the caller can use.
void BM_LoadThroughStubUsable(benchmark::State& state) {
  NEED_WORLD(state);
  for (auto _ : state) {
    pb::ProfileInfoReply reply;
    if (!StubLoad(w, &reply) || reply.contents_size() < 1) {
      state.SkipWithError("stub load failed");
      break;
    }
    CTkvs set = 0;
    CTkvs_Create(&set, nullptr);
    uint32_t error = 0;
    if (!ctserver::BytesToKvs(reply.contents(0), set, &error)) state.SkipWithError("stub decode failed");
    CTkvs_Destroy(set, nullptr);
  }
  CountProfileBytes(state, w);
}

void BM_StoreThroughSession(benchmark::State& state) {
  NEED_WORLD(state);
  for (auto _ : state) {
    if (!w.multi->SaveProfile(kServer, kClass, kName, w.profile, 1)) state.SkipWithError("store failed");
  }
  CountProfileBytes(state, w);
}

void BM_StoreThroughStub(benchmark::State& state) {
  NEED_WORLD(state);
  for (auto _ : state) {
    pb::ProfileRequest request = StoreRequest(w);
    request.set_content(w.contentBytes);
    if (!StubStore(w, request)) state.SkipWithError("stub store failed");
  }
  CountProfileBytes(state, w);
}

// Encoding the set into bytes, then the stub call.
void BM_StoreThroughStubUsable(benchmark::State& state) {
  NEED_WORLD(state);
  for (auto _ : state) {
    pb::ProfileRequest request = StoreRequest(w);
    uint32_t error = 0;
    if (!ctserver::KvsToBytes(w.profile, request.mutable_content(), &error)) {
      state.SkipWithError("stub encode failed");
      break;
    }
    if (!StubStore(w, request)) state.SkipWithError("stub store failed");
  }
  CountProfileBytes(state, w);
}

// Where the session's extra time goes: turning the bytes into a set, and
// the copy into the caller's set.
void BM_DecodeProfile(benchmark::State& state) {
  NEED_WORLD(state);
  for (auto _ : state) {
    CTkvs set = 0;
    CTkvs_Create(&set, nullptr);
    uint32_t error = 0;
    if (!ctserver::BytesToKvs(w.contentBytes, set, &error)) state.SkipWithError("decode failed");
    CTkvs_Destroy(set, nullptr);
  }
}

void BM_CopyProfile(benchmark::State& state) {
  NEED_WORLD(state);
  for (auto _ : state) {
    CTkvs set = 0;
    CTkvs_Create(&set, nullptr);
    CTkvs_Copy(set, w.profile, nullptr);
    CTkvs_Destroy(set, nullptr);
  }
}

void BM_SymbolToNameThroughSession(benchmark::State& state) {
  NEED_WORLD(state);
  QV_String name;
  for (auto _ : state) {
    if (!w.multi->SymbolToName(kServer, 0x0110080D, &name)) state.SkipWithError("translation failed");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_NameToSymbolThroughSession(benchmark::State& state) {
  NEED_WORLD(state);
  uint32_t symbol = 0;
  const QV_String name = "Admin_ProfileNames";
  for (auto _ : state) {
    if (!w.multi->NameToSymbol(kServer, name, &symbol)) state.SkipWithError("translation failed");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// The runtime call alone, on a session of its own with its table loaded.
void BM_SymbolToNameRuntimeCall(benchmark::State& state) {
  NEED_WORLD(state);
  CTkvs options = 0, replySet = 0;
  CTkvs_Create(&options, nullptr);
  CTkvs_Create(&replySet, nullptr);
  CTkvs_PutString(options, CT_KEY_SERVER_NAME, kServer, nullptr);
  CT_ReplyRecord record = CT_MakeReplyRecord(replySet);
  CTses session = 0;
  if (CTses_Create(&session, "bench", 0, options, &record, 0) != 1 || CTsym_LoadTable(session, &record, 0) != 1) {
    state.SkipWithError("no session");
  } else {
    char buffer[CT_SYMBOL_NAME_BUFFER];
    for (auto _ : state) {
      CTsym_SymbolToName(session, 0x0110080D, buffer, sizeof buffer, nullptr);
      benchmark::DoNotOptimize(buffer[0]);
    }
    CTses_Destroy(session, CT_kvsEmpty, &record, 0);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  CTkvs_Destroy(options, nullptr);
  CTkvs_Destroy(replySet, nullptr);
}

BENCHMARK(BM_LoadThroughStub)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThroughStubUsable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThroughSession)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreThroughStub)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreThroughStubUsable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreThroughSession)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeProfile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyProfile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SymbolToNameThroughSession);
BENCHMARK(BM_NameToSymbolThroughSession);
BENCHMARK(BM_SymbolToNameRuntimeCall);

}  // namespace

// The server process is stopped when the run ends.
int main(int argc, char** argv) {
  // Keep 1 MiB blocks on the heap for the whole run: with the allocator's
  // sliding threshold, whichever case ran first would otherwise pay page
  // faults for every fresh mapping of the reply and the content.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_world) {
    g_world->multi.reset();
    CTkvs_Destroy(g_world->profile, nullptr);
    delete g_world;
    CT_Shutdown(nullptr);
  }
  return 0;
}
