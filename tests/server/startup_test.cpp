// ctserver refusing a bad start quickly and clearly: ports out of range,
// option files that are FIFOs; and stopping promptly when idle.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "server/main/serveroptions.h"
#include "tests/server/grpccalls.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

using testsupport::ServerProcess;
using testsupport::TempDir;

namespace {

int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

TEST(CtServerStartup, ListenPortsOutsideTheRangeAreRefusedByName) {
  struct Case {
    const char* address;
    bool valid;
  };
  const Case cases[] = {
      {"127.0.0.1:0", true},         {"127.0.0.1:65535", true},      {"[::1]:7310", true},
      {"localhost:00080", true},     {"unix:/run/ct.sock", true},    {"ipv4:127.0.0.1:1,127.0.0.2:2", true},
      {"127.0.0.1:65536", false},    {"127.0.0.1:65537", false},     {"127.0.0.1:99999", false},
      {"127.0.0.1:4294967297", false}, {"127.0.0.1:-1", false},      {"127.0.0.1:+80", false},
      {"127.0.0.1:0x50", false},     {"127.0.0.1:", false},          {"127.0.0.1", false},
      {"[::1]:70000", false},        {"127.0.0.1:80 ", false},       {"ipv4:127.0.0.1:1,127.0.0.2:65536", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ctserver::IsValidListenPort(c.address), c.valid) << c.address;

  // The real program: a start-up error naming the option and the range.
  for (const Case& c : cases) {
    if (c.valid) continue;
    TempDir dir;
    ServerProcess server(dir.path());
    EXPECT_FALSE(server.Start({"--listen", c.address}, false)) << c.address;
    const int status = server.WaitExit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << c.address << " " << status;
    const std::string log = server.Log();
    EXPECT_NE(log.find("--listen"), std::string::npos) << log;
    EXPECT_NE(log.find("0 to 65535"), std::string::npos) << log;
  }
}

TEST(CtServerStartup, OptionFilesThatAreNotRegularFilesAreRefusedAtOnce) {
  TempDir files;
  const std::string fifo = files.File("fifo"), pem = files.File("plain.pem");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(pem) << "-----BEGIN CERTIFICATE-----\n";
  const std::vector<std::vector<std::string>> cases = {
      {"--symbols", fifo},
      {"--token-file", fifo},
      {"--tls-cert", fifo, "--tls-key", pem},
      {"--tls-cert", pem, "--tls-key", fifo},
      {"--symbols", files.path()},
      {"--db-password-file", fifo},
      {},  // the database itself is a FIFO
  };
  for (const auto& args : cases) {
    TempDir dir;
    ServerProcess server(dir.path());
    const std::string what = args.empty() ? "--db" : args[0] + " " + args.back();
    if (args.empty()) {
      ASSERT_EQ(::mkfifo(server.DbPath().c_str(), 0600), 0);
    }
    // A server that blocked on the file would be killed, not exit.
    EXPECT_FALSE(server.Start(args)) << what;
    const int status = server.WaitExit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << what << " " << status;
    const std::string log = server.Log();
    EXPECT_NE(log.find("not a regular file"), std::string::npos) << what << ": " << log;
  }
}

TEST(CtServerStartup, HugeInputIsEchoedCut) {
  TempDir files;
  const std::string huge(100000, '7');
  std::ofstream(files.File("syms.txt")) << "Fine 1\n" << std::string(1 << 20, 'x') << "! 2\n";
  const std::vector<std::vector<std::string>> cases = {
      {"--symbols", files.File(huge.substr(0, 250))},
      {"--listen", "127.0.0.1:" + huge},
      {"--symbols", files.File("syms.txt")},  // a bad name one megabyte long
  };
  for (const auto& args : cases) {
    TempDir dir;
    ServerProcess server(dir.path());
    EXPECT_FALSE(server.Start(args, args[0] != "--listen"));
    const int status = server.WaitExit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
    const std::string log = server.Log();
    EXPECT_FALSE(log.empty());
    EXPECT_LT(log.size(), 1000u) << log.substr(0, 400);
  }
}

TEST(CtServerStartup, AnIdleServerStopsWithinASecond) {
  TempDir dir;
  ServerProcess server(dir.path());
  ASSERT_TRUE(server.Start()) << server.Log();
  // An idle client channel after a call, and a connection that never speaks.
  auto channel = server.Channel();
  ASSERT_TRUE(HealthServing(channel));
  const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(uint16_t(server.port()));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  const auto start = std::chrono::steady_clock::now();
  const int status = server.Kill(SIGTERM);
  const int64_t elapsed = ElapsedMs(start);
  ::close(silent);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // Stopping waits neither for the idle connections nor out the grace time
  // for calls: only a hang reaches ten times the second it should take.
  EXPECT_LT(elapsed, 10000);
  const std::string log = server.Log();
  EXPECT_NE(log.find("ctserver stopped"), std::string::npos);
  EXPECT_EQ(log.find("still in progress"), std::string::npos) << log;
}

}  // namespace
