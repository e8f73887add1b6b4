// The gRPC transport: deadlines on connecting and on every call, a server
// that goes away, a server that comes up after a failed attempt, the token,
// local sockets, and replies that no sound server sends.  A small gRPC
// server inside the test plays the CT server so that it can misbehave.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <grpcpp/grpcpp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "proto/ctadmin.grpc.pb.h"
#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "s100/ctruntime.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace env = testsupport;
namespace pb = ctadmin::v1;

namespace {

struct Kvs {
  CTkvs h = 0;
  Kvs() { CTkvs_Create(&h, nullptr); }
  ~Kvs() { CTkvs_Destroy(h, nullptr); }
  operator CTkvs() const { return h; }
};

// A CT server that answers what each test wants.
class FakeAdmin final : public pb::Admin::Service {
 public:
  std::atomic<int> stallMs{0};        // GetProfileInfo waits this long
  std::atomic<bool> lopsided{false};  // GetProfileInfo: more names than classes
  std::string requiredToken;          // empty: none needed
  std::mutex mutex;
  std::string seenAuthorization;

  grpc::Status OpenSession(grpc::ServerContext* context, const pb::OpenSessionRequest*,
                           pb::OpenSessionReply* reply) override {
    std::string auth;
    auto found = context->client_metadata().find("authorization");
    if (found != context->client_metadata().end()) auth.assign(found->second.data(), found->second.size());
    {
      std::lock_guard<std::mutex> lock(mutex);
      seenAuthorization = auth;
    }
    if (!requiredToken.empty() && auth != "Bearer " + requiredToken) {
      return grpc::Status(grpc::StatusCode::UNAUTHENTICATED, "bad token");
    }
    reply->set_session("fake-session");
    return grpc::Status::OK;
  }

  grpc::Status CloseSession(grpc::ServerContext*, const pb::CloseSessionRequest*, pb::CloseSessionReply*) override {
    return grpc::Status::OK;
  }

  grpc::Status GetProfileInfo(grpc::ServerContext* context, const pb::ProfileInfoRequest*,
                              pb::ProfileInfoReply* reply) override {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(stallMs.load());
    while (std::chrono::steady_clock::now() < until && !context->IsCancelled()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reply->add_names("One");
    reply->add_classes("Fax");
    if (lopsided) reply->add_names("Two");
    return grpc::Status::OK;
  }

  grpc::Status GetSymbolTable(grpc::ServerContext*, const pb::SymbolTableRequest*,
                              pb::SymbolTableReply* reply) override {
    auto add = [&](const std::string& name, uint32_t value) {
      pb::Symbol* s = reply->add_symbols();
      s->set_name(name);
      s->set_value(value);
    };
    add("Good", 5);
    add("", 6);                    // no name
    add(std::string(3000, 'L'), 7);  // longer than any caller's buffer
    add("Again", 5);               // the value is taken already
    add(std::string("Nul\0Byte", 8), 8);
    add("Other", 9);
    return grpc::Status::OK;
  }
};

class FakeServer {
 public:
  // Listens on "127.0.0.1:port" (port 0: any) or on "unix:/path".
  explicit FakeServer(const std::string& address,
                      std::shared_ptr<grpc::ServerCredentials> credentials = grpc::InsecureServerCredentials()) {
    grpc::ServerBuilder builder;
    builder.AddListeningPort(address, credentials, &port_);
    builder.RegisterService(&service);
    server_ = builder.BuildAndStart();
  }
  ~FakeServer() { Stop(); }
  void Stop() {
    if (server_) {
      server_->Shutdown(std::chrono::system_clock::now() + std::chrono::milliseconds(200));
      server_.reset();
    }
  }
  int port() const { return port_; }
  bool ok() const { return server_ != nullptr; }

  FakeAdmin service;

 private:
  int port_ = 0;
  std::unique_ptr<grpc::Server> server_;
};

class RuntimeTransport : public ::testing::Test {
 protected:
  void SetUp() override { CT_Initialize(nullptr); }
  void TearDown() override { CT_Shutdown(nullptr); }

  void Install(const std::string& address, int64_t connectMs = 1000, int64_t callMs = 1000,
               const std::string& tokenFile = "") {
    env::RegistryContents reg;
    reg.servers = {{"Test", address}};
    reg.connectTimeoutMs = connectMs;
    reg.callTimeoutMs = callMs;
    reg.tokenFile = tokenFile;
    env::InstallRegistry(dir_.File("test.reg"), reg);
  }

  CTses Open(uint32_t* error) {
    Kvs options, reply;
    CTkvs_PutString(options, CT_KEY_SERVER_NAME, "Test", nullptr);
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    CTses handle = 0;
    const int result = CTses_Create(&handle, "transport test", 0, options, &record, 0);
    *error = record.error;
    return result == 1 ? handle : 0;
  }

  int List(CTses handle, uint32_t* error) {
    Kvs reply, info;
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    const int result = CTadm_GetProfileInfo(handle, nullptr, "", 0, info, &record, 0);
    *error = record.error;
    return result;
  }

  void Close(CTses handle) {
    Kvs reply;
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    CTses_Destroy(handle, CT_kvsEmpty, &record, 0);
  }

  env::TempDir dir_;
};

TEST_F(RuntimeTransport, NothingListeningFailsWithConnectAtOnce) {
  // A refused connection fails without waiting out the connect timeout,
  // which is far longer than the hang bound.
  Install("127.0.0.1:" + std::to_string(env::UnusedPort()), 60000);
  uint32_t error = 0;
  const int64_t start = env::NowMs();
  EXPECT_EQ(Open(&error), 0u);
  EXPECT_EQ(error, ct::kErrConnect);
  EXPECT_LT(env::NowMs() - start, env::kHangBoundMs);
}

TEST_F(RuntimeTransport, SilentListenerFailsWithinTheConnectTimeout) {
  // Accepts connections in the kernel's backlog but never speaks.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(fd, 16), 0);
  socklen_t length = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  Install("127.0.0.1:" + std::to_string(ntohs(addr.sin_port)), 600);

  uint32_t error = 0;
  const int64_t start = env::NowMs();
  EXPECT_EQ(Open(&error), 0u);
  const int64_t elapsed = env::NowMs() - start;
  close(fd);
  EXPECT_TRUE(error == ct::kErrTimeout || error == ct::kErrConnect) << std::hex << error;
  // Only a hang fails here; bench_connect measures the timeout itself.
  EXPECT_LT(elapsed, 10 * 600) << "the connect timeout bounds the wait";
}

TEST_F(RuntimeTransport, StalledCallFailsWithinTheCallTimeout) {
  FakeServer server("127.0.0.1:0");
  ASSERT_TRUE(server.ok());
  server.service.stallMs = 5000;
  Install("127.0.0.1:" + std::to_string(server.port()), 2000, 400);
  uint32_t error = 0;
  const CTses handle = Open(&error);
  ASSERT_NE(handle, 0u) << std::hex << error;
  // The deadline ends the call (the stall would have let it succeed), and
  // nothing waits for the stall: ten times the deadline catches that.
  const int64_t start = env::NowMs();
  EXPECT_NE(List(handle, &error), 1);
  EXPECT_EQ(error, ct::kErrTimeout);
  EXPECT_LT(env::NowMs() - start, 10 * 400);
  server.service.stallMs = 0;
  Close(handle);
}

TEST_F(RuntimeTransport, ServerThatGoesAwayGivesAFailureNotAHang) {
  auto server = std::make_unique<FakeServer>("127.0.0.1:0");
  ASSERT_TRUE(server->ok());
  // A call deadline far beyond the hang bound: the failure must not wait
  // for it.
  Install("127.0.0.1:" + std::to_string(server->port()), 1000, 60000);
  uint32_t error = 0;
  const CTses handle = Open(&error);
  ASSERT_NE(handle, 0u);
  ASSERT_EQ(List(handle, &error), 1);
  server.reset();
  const int64_t start = env::NowMs();
  EXPECT_NE(List(handle, &error), 1);
  EXPECT_TRUE(error == ct::kErrConnect || error == ct::kErrTimeout || error == ct::kErrTransport)
      << std::hex << error;
  EXPECT_LT(env::NowMs() - start, env::kHangBoundMs);
  Close(handle);  // the session goes even though the server is gone
  EXPECT_NE(List(handle, &error), 1);
  EXPECT_EQ(error, ct::kErrNoSession);
}

TEST_F(RuntimeTransport, ServerThatComesUpIsFoundByTheNextAttempt) {
  const int port = env::UnusedPort();
  Install("127.0.0.1:" + std::to_string(port));
  uint32_t error = 0;
  EXPECT_EQ(Open(&error), 0u);
  EXPECT_EQ(error, ct::kErrConnect);

  FakeServer server("127.0.0.1:" + std::to_string(port));
  ASSERT_TRUE(server.ok());
  const CTses handle = Open(&error);
  EXPECT_NE(handle, 0u) << std::hex << error;
  if (handle) Close(handle);
}

TEST_F(RuntimeTransport, TokenTravelsAsBearerMetadata) {
  FakeServer server("127.0.0.1:0");
  ASSERT_TRUE(server.ok());
  server.service.requiredToken = "s3cret-token";
  const std::string tokenFile = dir_.File("token");
  const std::string address = "127.0.0.1:" + std::to_string(server.port());

  env::WriteFile(tokenFile, "s3cret-token\n");
  Install(address, 1000, 1000, tokenFile);
  uint32_t error = 0;
  const CTses handle = Open(&error);
  ASSERT_NE(handle, 0u) << std::hex << error;
  {
    std::lock_guard<std::mutex> lock(server.service.mutex);
    EXPECT_EQ(server.service.seenAuthorization, "Bearer s3cret-token");
  }
  Close(handle);

  env::WriteFile(tokenFile, "wrong\n");
  EXPECT_EQ(Open(&error), 0u);
  EXPECT_EQ(error, ct::kErrUnauthenticated);

  // Named but missing: refused before anything is sent.
  Install(address, 1000, 1000, dir_.File("no-such-token"));
  EXPECT_EQ(Open(&error), 0u);
  EXPECT_EQ(error, ct::kErrUnauthenticated);

  // No token at all.
  Install(address);
  EXPECT_EQ(Open(&error), 0u);
  EXPECT_EQ(error, ct::kErrUnauthenticated);
}

TEST_F(RuntimeTransport, LocalSocketServerIsReached) {
  const std::string address = "unix:" + dir_.File("ct.sock");
  FakeServer server(address);
  ASSERT_TRUE(server.ok());
  Install(address);
  uint32_t error = 0;
  const CTses handle = Open(&error);
  ASSERT_NE(handle, 0u) << std::hex << error;
  EXPECT_EQ(List(handle, &error), 1);
  Close(handle);
}

TEST_F(RuntimeTransport, LopsidedProfileListIsRefused) {
  FakeServer server("127.0.0.1:0");
  ASSERT_TRUE(server.ok());
  server.service.lopsided = true;
  Install("127.0.0.1:" + std::to_string(server.port()));
  uint32_t error = 0;
  const CTses handle = Open(&error);
  ASSERT_NE(handle, 0u);
  EXPECT_NE(List(handle, &error), 1);
  EXPECT_EQ(error, ct::kErrTransport);
  Close(handle);
}

TEST_F(RuntimeTransport, SymbolTableKeepsOnlyUsableEntries) {
  FakeServer server("127.0.0.1:0");
  ASSERT_TRUE(server.ok());
  Install("127.0.0.1:" + std::to_string(server.port()));
  uint32_t error = 0;
  const CTses handle = Open(&error);
  ASSERT_NE(handle, 0u);
  Kvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTsym_LoadTable(handle, &record, 0), 1);

  uint32_t count = 0;
  ASSERT_EQ(CTsym_GetCount(handle, &count, &error), 1);
  EXPECT_EQ(count, 2u) << "Good and Other; no empty, over-long, zero-byte or repeated entries";
  char name[CT_SYMBOL_NAME_BUFFER];
  ASSERT_EQ(CTsym_SymbolToName(handle, 5, name, sizeof name, &error), 1);
  EXPECT_STREQ(name, "Good") << "the first of two names for one value wins";
  CTsymbol symbol = 0;
  EXPECT_NE(CTsym_NameToSymbol(handle, "Again", &symbol, &error), 1);
  EXPECT_NE(CTsym_SymbolToName(handle, 7, name, sizeof name, &error), 1);
  EXPECT_EQ(error, ct::kErrUnknownSymbol);
  Close(handle);
}

TEST_F(RuntimeTransport, RealServerChecksTheToken) {
  if (!env::HaveServerBinary()) GTEST_SKIP() << "built without ctserver";
  const std::string tokenFile = dir_.File("server-token");
  env::WriteFile(tokenFile, "a-long-shared-token-0123456789\n");
  env::ServerProcess server(dir_.path());
  ASSERT_TRUE(server.Start({"--token-file", tokenFile})) << server.Log();

  Install(server.address(), 2000, 2000, tokenFile);
  uint32_t error = 0;
  const CTses handle = Open(&error);
  ASSERT_NE(handle, 0u) << std::hex << error;
  Kvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  int32_t level = -1;
  EXPECT_EQ(CTadm_GetServerLevel(handle, &level, &record, 0), 1) << std::hex << record.error;
  Close(handle);

  Install(server.address(), 2000, 2000);
  EXPECT_EQ(Open(&error), 0u);
  EXPECT_EQ(error, ct::kErrUnauthenticated);
}

TEST_F(RuntimeTransport, TlsServerIsReachedWithTheTrustedAuthority) {
  const std::string key = dir_.File("key.pem"), cert = dir_.File("cert.pem");
  const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
                              "-addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
                              key + " -out " + cert + " > /dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "no openssl to make a certificate";
  grpc::SslServerCredentialsOptions options;
  options.pem_key_cert_pairs.push_back({env::ReadFile(key), env::ReadFile(cert)});
  FakeServer server("127.0.0.1:0", grpc::SslServerCredentials(options));
  ASSERT_TRUE(server.ok());
  const std::string address = "grpcs://localhost:" + std::to_string(server.port());

  env::RegistryContents reg;
  reg.servers = {{"Test", address}};
  reg.connectTimeoutMs = 2000;
  reg.caFile = cert;
  env::InstallRegistry(dir_.File("test.reg"), reg);
  uint32_t error = 0;
  const CTses handle = Open(&error);
  ASSERT_NE(handle, 0u) << std::hex << error;
  EXPECT_EQ(List(handle, &error), 1);
  Close(handle);

  // Without the authority the server's certificate is not trusted.
  reg.caFile.clear();
  env::InstallRegistry(dir_.File("test.reg"), reg);
  EXPECT_EQ(Open(&error), 0u);
  EXPECT_NE(error, ct::kErrNone);

  // A CA file that cannot be read fails before connecting.
  reg.caFile = dir_.File("missing.pem");
  env::InstallRegistry(dir_.File("test.reg"), reg);
  EXPECT_EQ(Open(&error), 0u);
  EXPECT_EQ(error, ct::kErrConnect);
}

}  // namespace
