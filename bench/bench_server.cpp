// ctserver over loopback gRPC against a bare echo service that carries the
// same bytes: Get and Update of a 10 KiB and a 1 MiB profile (p50 and p99
// latency in the counters), and Gets per second with 1, 4 and 16 clients.
//
// Both services run in this process, each on its own loopback port, and
// each client thread has its own channel (its own connection).  The echo
// service answers a Get with a prebuilt reply holding the same content and
// an Update with an empty reply, so the difference between the two is the
// server core's own work: session check, parsing, SQLite.
#include <benchmark/benchmark.h>
#include <grpcpp/grpcpp.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "proto/ctadmin.grpc.pb.h"
#include "s100/ctcontainers.h"
#include "server/core.h"
#include "server/main/adminservice.h"
#include "server/main/tokencheck.h"
#include "tests/support/tempdir.h"

namespace pb = ctadmin::v1;

namespace {

// A profile of about `bytes` serialised bytes, shaped like a real one:
// nested sets of lines with numbers, names, flags and codec arrays.
std::string MakeProfile(size_t bytes) {
  pb::DataElement top;
  top.set_type(CT_TYPE_KVSET);
  uint32_t key = 0x02000400;
  while (top.ByteSizeLong() < bytes) {
    auto* pair = top.mutable_kvset()->add_pairs();
    pair->set_key(key++);
    pb::DataElement* line = pair->mutable_value();
    line->set_type(CT_TYPE_KVSET);
    auto add = [&](uint32_t k, uint32_t type) {
      auto* p = line->mutable_kvset()->add_pairs();
      p->set_key(k);
      p->mutable_value()->set_type(type);
      return p->mutable_value();
    };
    add(0x02000500, CT_TYPE_INT)->set_int_value(int32_t(key));
    add(0x02000501, CT_TYPE_STRING)->set_string_value("Line " + std::to_string(key) + " front desk");
    add(0x02000506, CT_TYPE_UINT)->set_uint_value(4);
    add(0x02000403, CT_TYPE_BOOL)->set_int_value(1);
    pb::DataElement* codecs = add(0x02000700, CT_TYPE_SYMBOL_ARRAY);
    codecs->mutable_array()->set_code(CT_TYPE_SYMBOL_ARRAY);
    for (uint32_t c = 0x02000701; c <= 0x02000706; ++c) codecs->mutable_array()->add_uints(c);
  }
  return top.SerializeAsString();
}

// The bare service: the same methods and the same bytes, no work.
class EchoAdmin final : public pb::Admin::Service {
 public:
  void SetContent(const std::string& name, const std::string& content) {
    pb::ProfileInfoReply reply;
    reply.add_names(name);
    reply.add_classes("Bench");
    reply.add_contents(content);
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[name] = std::move(reply);
  }
  grpc::Status GetProfileInfo(grpc::ServerContext*, const pb::ProfileInfoRequest* req,
                              pb::ProfileInfoReply* reply) override {
    std::lock_guard<std::mutex> lock(mutex_);
    *reply = replies_[req->name()];
    return grpc::Status::OK;
  }
  grpc::Status UpdateProfile(grpc::ServerContext*, const pb::ProfileRequest*, pb::ProfileReply* reply) override {
    reply->set_revision(1);
    return grpc::Status::OK;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, pb::ProfileInfoReply> replies_;
};

const char* const kSizes[] = {"p10k", "p1m"};

struct Servers {
  testsupport::TempDir dir;
  std::unique_ptr<ctserver::ServerCore> core;
  ctserver::TokenCheck token;  // none: no token needed
  std::unique_ptr<ctserver::AdminService> admin;
  EchoAdmin echo;
  std::unique_ptr<grpc::Server> coreServer, echoServer;
  int corePort = 0, echoPort = 0;
  std::string session;
  std::map<std::string, std::string> content;

  Servers() {
    ctserver::CoreOptions o;
    o.dbPath = dir.File("profiles.db");
    o.networkService = true;
    std::string error;
    core = ctserver::ServerCore::Open(o, &error);
    if (!core) {
      std::fprintf(stderr, "bench_server: %s\n", error.c_str());
      std::exit(1);
    }
    admin = std::make_unique<ctserver::AdminService>(*core, token);
    coreServer = Start(admin.get(), &corePort);
    echoServer = Start(&echo, &echoPort);

    pb::OpenSessionReply opened;
    core->OpenSession(pb::OpenSessionRequest(), &opened);
    session = opened.session();
    content["p10k"] = MakeProfile(10 << 10);
    content["p1m"] = MakeProfile(1 << 20);
    for (const char* name : kSizes) {
      pb::ProfileRequest add;
      add.set_session(session);
      add.set_name(name);
      add.set_profile_class("Bench");
      add.set_content(content[name]);
      pb::ProfileReply reply;
      core->AddProfile(add, &reply);
      if (reply.error() != 0) {
        std::fprintf(stderr, "bench_server: cannot store %s: 0x%08X\n", name, reply.error());
        std::exit(1);
      }
      echo.SetContent(name, content[name]);
    }
  }

  ~Servers() {
    coreServer->Shutdown();
    echoServer->Shutdown();
    coreServer.reset();
    echoServer.reset();
    core.reset();
  }

  static std::unique_ptr<grpc::Server> Start(grpc::Service* service, int* port) {
    grpc::ServerBuilder builder;
    builder.AddListeningPort("127.0.0.1:0", grpc::InsecureServerCredentials(), port);
    builder.SetMaxReceiveMessageSize(16 << 20);
    builder.RegisterService(service);
    return builder.BuildAndStart();
  }
};

Servers& TheServers() {
  static Servers* servers = new Servers;  // lives for the whole run
  return *servers;
}

enum Target { kCore, kEcho };

// A stub on a channel of its own, so that every client thread has its own
// connection (channels with equal arguments would share one).
std::unique_ptr<pb::Admin::Stub> NewStub(Target target) {
  static std::atomic<int> next{0};
  Servers& s = TheServers();
  grpc::ChannelArguments args;
  args.SetMaxReceiveMessageSize(16 << 20);
  args.SetInt("bench.channel", next++);
  const int port = target == kCore ? s.corePort : s.echoPort;
  return pb::Admin::NewStub(
      grpc::CreateCustomChannel("127.0.0.1:" + std::to_string(port), grpc::InsecureChannelCredentials(), args));
}

void Percentiles(benchmark::State& state, std::vector<double>& micros) {
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  auto at = [&](double q) { return micros[std::min(micros.size() - 1, size_t(q * double(micros.size())))]; };
  state.counters["p50_us"] = benchmark::Counter(at(0.50), benchmark::Counter::kAvgThreads);
  state.counters["p99_us"] = benchmark::Counter(at(0.99), benchmark::Counter::kAvgThreads);
}

void BM_Get(benchmark::State& state, Target target, const char* name) {
  Servers& s = TheServers();
  auto stub = NewStub(target);
  pb::ProfileInfoRequest req;
  req.set_session(s.session);
  req.set_name(name);
  req.set_profile_class("Bench");
  req.set_one(true);
  std::vector<double> micros;
  micros.reserve(100000);
  for (auto _ : state) {
    pb::ProfileInfoReply reply;
    grpc::ClientContext ctx;
    const auto t0 = std::chrono::steady_clock::now();
    grpc::Status st = stub->GetProfileInfo(&ctx, req, &reply);
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    if (!st.ok() || reply.error() != 0 || reply.contents_size() != 1) {
      state.SkipWithError("Get failed");
      break;
    }
    benchmark::DoNotOptimize(reply);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.content[name].size()));
  Percentiles(state, micros);
}

void BM_Update(benchmark::State& state, Target target, const char* name) {
  Servers& s = TheServers();
  auto stub = NewStub(target);
  pb::ProfileRequest req;
  req.set_session(s.session);
  req.set_name(name);
  req.set_profile_class("Bench");
  req.set_content(s.content[name]);
  std::vector<double> micros;
  for (auto _ : state) {
    pb::ProfileReply reply;
    grpc::ClientContext ctx;
    const auto t0 = std::chrono::steady_clock::now();
    grpc::Status st = stub->UpdateProfile(&ctx, req, &reply);
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    if (!st.ok() || reply.error() != 0) {
      state.SkipWithError("Update failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  Percentiles(state, micros);
}

}  // namespace

// Latency of one client.
BENCHMARK_CAPTURE(BM_Get, core_10KiB, kCore, "p10k")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Get, echo_10KiB, kEcho, "p10k")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Get, core_1MiB, kCore, "p1m")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Get, echo_1MiB, kEcho, "p1m")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, core_10KiB, kCore, "p10k")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, echo_10KiB, kEcho, "p10k")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, core_1MiB, kCore, "p1m")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, echo_1MiB, kEcho, "p1m")->UseRealTime()->Unit(benchmark::kMicrosecond);

// Gets per second (items_per_second) with several clients at once.
BENCHMARK_CAPTURE(BM_Get, core_10KiB_clients, kCore, "p10k")
    ->UseRealTime()->Unit(benchmark::kMicrosecond)->Threads(1)->Threads(4)->Threads(16);
BENCHMARK_CAPTURE(BM_Get, echo_10KiB_clients, kEcho, "p10k")
    ->UseRealTime()->Unit(benchmark::kMicrosecond)->Threads(1)->Threads(4)->Threads(16);

int main(int argc, char** argv) {
  spdlog::set_level(spdlog::level::warn);  // the service logs every write
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
