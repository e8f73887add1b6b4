// What the revision check costs an update: the same 10 KiB profile updated
// without an expected revision and with the current one, through the server
// core in-process (as the embedded runtime runs it) and through a ctserver
// process over loopback gRPC.  Compare each pair's times; the goal is a
// check that adds under 10 %.
#include <benchmark/benchmark.h>
#include <grpcpp/grpcpp.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "proto/ctadmin.grpc.pb.h"
#include "s100/ctcontainers.h"
#include "server/core.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace pb = ctadmin::v1;

namespace {

// A set of about 10 KiB of serialised strings.
std::string Profile() {
  pb::DataElement top;
  top.set_type(CT_TYPE_KVSET);
  for (uint32_t key = 0x02000400; top.ByteSizeLong() < (10u << 10); ++key) {
    auto* pair = top.mutable_kvset()->add_pairs();
    pair->set_key(key);
    pair->mutable_value()->set_type(CT_TYPE_STRING);
    pair->mutable_value()->set_string_value("Line " + std::to_string(key) + " front desk, extension 4711");
  }
  return top.SerializeAsString();
}

// One way to send an update: the core itself, or a stub on a channel.
struct Target {
  std::unique_ptr<ctserver::ServerCore> core;
  std::unique_ptr<testsupport::ServerProcess> process;
  std::unique_ptr<pb::Admin::Stub> stub;
  std::string session;

  bool Update(const pb::ProfileRequest& req, pb::ProfileReply* reply) {
    if (core) {
      core->UpdateProfile(req, reply);
      return true;
    }
    grpc::ClientContext context;
    return stub->UpdateProfile(&context, req, reply).ok();
  }
};

enum Via { kEmbedded, kGrpc };

// One target per way for the whole run, with the profile in it.
Target* TheTarget(Via via) {
  static testsupport::TempDir folder;
  static std::unique_ptr<Target> targets[2];
  auto& t = targets[via];
  if (t) return t.get();
  t = std::make_unique<Target>();
  if (via == kEmbedded) {
    ctserver::CoreOptions options;
    options.dbPath = folder.File("embedded/profiles.db");
    std::string error;
    t->core = ctserver::ServerCore::Open(options, &error);
    if (!t->core) {
      std::fprintf(stderr, "cannot open the core: %s\n", error.c_str());
      t.reset();
      return nullptr;
    }
    pb::OpenSessionReply opened;
    t->core->OpenSession(pb::OpenSessionRequest(), &opened);
    t->session = opened.session();
  } else {
    std::filesystem::create_directories(folder.File("grpc"));
    t->process = std::make_unique<testsupport::ServerProcess>(folder.File("grpc"));
    if (!testsupport::HaveServerBinary() || !t->process->Start({"--log-level", "warn"})) {
      std::fprintf(stderr, "cannot start ctserver\n");
      t.reset();
      return nullptr;
    }
    t->stub = pb::Admin::NewStub(t->process->Channel());
    grpc::ClientContext context;
    pb::OpenSessionReply opened;
    if (!t->stub->OpenSession(&context, pb::OpenSessionRequest(), &opened).ok()) {
      t.reset();
      return nullptr;
    }
    t->session = opened.session();
  }
  pb::ProfileRequest add;
  add.set_session(t->session);
  add.set_name("p");
  add.set_profile_class("Bench");
  add.set_content(Profile());
  pb::ProfileReply reply;
  if (t->core) {
    t->core->AddProfile(add, &reply);
  } else {
    grpc::ClientContext context;
    t->stub->AddProfile(&context, add, &reply);
  }
  return t.get();
}

void BM_Update(benchmark::State& state, Via via, bool conditional) {
  Target* t = TheTarget(via);
  if (!t) return state.SkipWithError("no server");
  pb::ProfileRequest req;
  req.set_session(t->session);
  req.set_name("p");
  req.set_profile_class("Bench");
  req.set_content(Profile());
  pb::ProfileReply reply;
  // The current revision, from an unconditional update.
  if (!t->Update(req, &reply) || reply.error() != 0) return state.SkipWithError("update failed");
  uint64_t revision = reply.revision();
  for (auto _ : state) {
    if (conditional) req.set_expected_revision(revision);
    if (!t->Update(req, &reply) || reply.error() != 0) return state.SkipWithError("update failed");
    revision = reply.revision();
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(BM_Update, embedded_unconditional, kEmbedded, false)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, embedded_conditional, kEmbedded, true)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, grpc_unconditional, kGrpc, false)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, grpc_conditional, kGrpc, true)->UseRealTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
