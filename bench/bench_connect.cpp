// How long opening a session takes to give up on a server that accepts the
// connection but never answers, against the configured connect timeout.
// The tests only check that such a server cannot hang a caller; this
// measures how closely the timeout is kept.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "s100/ctruntime.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace env = testsupport;

namespace {

// A listener whose connections wait in the kernel's backlog unanswered.
class SilentListener {
 public:
  SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd_, 64) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
      return;
    }
    port_ = ntohs(addr.sin_port);
  }
  ~SilentListener() {
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// Manual time: the wall time of one failed session open, in milliseconds;
// "over" is how far past the timeout it gave up, on average.
void BM_ConnectTimeoutSilentServer(benchmark::State& state) {
  const int64_t timeoutMs = state.range(0);
  SilentListener listener;
  if (listener.port() == 0) {
    state.SkipWithError("cannot listen");
    return;
  }
  env::TempDir dir;
  env::RegistryContents reg;
  reg.servers["Silent"] = "127.0.0.1:" + std::to_string(listener.port());
  reg.connectTimeoutMs = timeoutMs;
  env::InstallRegistry(dir.File("bench.reg"), reg);
  CT_Initialize(nullptr);
  CTkvs options = 0, reply = 0;
  CTkvs_Create(&options, nullptr);
  CTkvs_Create(&reply, nullptr);
  CTkvs_PutString(options, CT_KEY_SERVER_NAME, "Silent", nullptr);
  int64_t totalMs = 0;
  for (auto _ : state) {
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    CTses handle = 0;
    const int64_t start = env::NowMs();
    const int result = CTses_Create(&handle, "bench", 0, options, &record, 0);
    const int64_t elapsed = env::NowMs() - start;
    if (result == 1) {
      state.SkipWithError("a silent server gave a session");
      break;
    }
    totalMs += elapsed;
    state.SetIterationTime(double(elapsed) / 1000.0);
  }
  if (state.iterations() > 0) state.counters["over_ms"] = double(totalMs) / double(state.iterations()) - double(timeoutMs);
  CTkvs_Destroy(options, nullptr);
  CTkvs_Destroy(reply, nullptr);
  CT_Shutdown(nullptr);
}

BENCHMARK(BM_ConnectTimeoutSilentServer)
    ->Arg(200)
    ->Arg(1000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
