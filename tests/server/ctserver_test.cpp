// The real ctserver process over loopback gRPC: every method with its error
// codes, hostile input, tokens and TLS, health, shutdown, many clients at
// once, and crash safety under SIGKILL.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "proto/demessage.h"
#include "proto/ctadmin.grpc.pb.h"
#include "tests/server/grpccalls.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"
#include "tests/server/wire.h"

namespace pb = ctadmin::v1;
using testsupport::ServerProcess;
using testsupport::TempDir;

namespace {

std::string Content(int32_t value, size_t padding = 0) {
  return padding ? servertest::ProfileBytes(value, std::string(padding, 'p')) : servertest::ProfileBytes(value);
}

int32_t ValueOf(const std::string& bytes) {
  pb::DataElement e;
  uint32_t err = 0;
  if (!ctserver::ParseElement(bytes, &e, &err) || e.kvset().pairs_size() == 0) return INT32_MIN;
  return e.kvset().pairs(0).value().int_value();
}

// One client with its own session.
class Client {
 public:
  explicit Client(std::shared_ptr<grpc::Channel> channel, std::string token = std::string())
      : stub_(pb::Admin::NewStub(std::move(channel))), token_(std::move(token)) {}

  grpc::Status Open() {
    pb::OpenSessionRequest req;
    req.set_client_name("test");
    pb::OpenSessionReply reply;
    grpc::Status s = stub_->OpenSession(Context(token_).get(), req, &reply);
    if (s.ok()) {
      EXPECT_EQ(reply.error(), 0u);
      session_ = reply.session();
    }
    return s;
  }

  uint32_t Add(const std::string& name, const std::string& cls, const std::string& content) {
    return Write(&pb::Admin::Stub::AddProfile, name, cls, content, nullptr);
  }
  uint32_t Update(const std::string& name, const std::string& cls, const std::string& content,
                  uint64_t* rev = nullptr) {
    return Write(&pb::Admin::Stub::UpdateProfile, name, cls, content, rev);
  }
  uint32_t Remove(const std::string& name, const std::string& cls) {
    pb::RemoveProfileRequest req;
    req.set_session(session_);
    req.set_name(name);
    req.set_profile_class(cls);
    pb::StatusReply reply;
    if (!stub_->RemoveProfile(Context(token_).get(), req, &reply).ok()) return kTransport;
    return reply.error();
  }
  uint32_t Get(const std::string& name, const std::string& cls, std::string* content) {
    pb::ProfileInfoReply reply = Info(name, cls, true);
    if (reply.error() == 0 && reply.contents_size() == 1) *content = reply.contents(0);
    return reply.error();
  }
  pb::ProfileInfoReply Info(const std::string& name, const std::string& cls, bool one) {
    const pb::ProfileInfoRequest req = servertest::InfoRequest(session_, name, cls, one);
    pb::ProfileInfoReply reply;
    if (!stub_->GetProfileInfo(Context(token_).get(), req, &reply).ok()) reply.set_error(kTransport);
    return reply;
  }

  pb::Admin::Stub& stub() { return *stub_; }
  const std::string& session() const { return session_; }
  void set_session(const std::string& s) { session_ = s; }
  std::unique_ptr<grpc::ClientContext> Ctx() const { return Context(token_); }

  static constexpr uint32_t kTransport = 0xFFFFFFFF;

 private:
  template <typename Method>
  uint32_t Write(Method method, const std::string& name, const std::string& cls, const std::string& content,
                 uint64_t* rev) {
    const pb::ProfileRequest req = servertest::ProfileRequest(session_, name, cls, content);
    pb::ProfileReply reply;
    if (!((*stub_).*method)(Context(token_).get(), req, &reply).ok()) return kTransport;
    if (rev) *rev = reply.revision();
    return reply.error();
  }

  std::unique_ptr<pb::Admin::Stub> stub_;
  std::string token_;
  std::string session_;
};

std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  std::string out = "cannot open";
  if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
      out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

class CtServerTest : public ::testing::Test {
 protected:
  void StartServer(std::vector<std::string> extra = {}) {
    server_ = std::make_unique<ServerProcess>(dir_.path());
    ASSERT_TRUE(server_->Start(std::move(extra))) << server_->Log();
  }

  TempDir dir_;
  std::unique_ptr<ServerProcess> server_;
};

}  // namespace

TEST_F(CtServerTest, ServesEveryProfileCallWithItsErrorCodes) {
  StartServer();
  Client c(server_->Channel());
  ASSERT_TRUE(c.Open().ok());

  EXPECT_EQ(c.Info("", "", false).error(), ct::kErrNotFound);
  ASSERT_EQ(c.Add("lines", "Telephony", Content(1)), 0u);
  EXPECT_EQ(c.Add("lines", "Other", Content(2)), ct::kErrNameExists);
  EXPECT_EQ(c.Add("bad name", "Telephony", Content(2)), ct::kErrInvalidName);
  EXPECT_EQ(c.Add(std::string(256, 'x'), "Telephony", Content(2)), ct::kErrInvalidName);
  EXPECT_EQ(c.Add("ok", "", Content(2)), ct::kErrInvalidClass);
  EXPECT_EQ(c.Update("nobody", "Telephony", Content(2)), ct::kErrNotFound);
  EXPECT_EQ(c.Remove("nobody", "Telephony"), ct::kErrNotFound);

  std::string content;
  ASSERT_EQ(c.Get("lines", "Telephony", &content), 0u);
  EXPECT_EQ(ValueOf(content), 1);
  EXPECT_EQ(c.Get("lines", "Other", &content), ct::kErrNotFound);
  uint64_t rev = 0;
  ASSERT_EQ(c.Update("lines", "Telephony", Content(5), &rev), 0u);
  EXPECT_EQ(rev, 2u);

  auto list = c.Info("", "Telephony", false);
  ASSERT_EQ(list.error(), 0u);
  ASSERT_EQ(list.names_size(), 1);
  EXPECT_EQ(list.classes(0), "Telephony");

  // Revisions over the wire.
  pb::RevisionsRequest revq;
  revq.set_session(c.session());
  revq.set_name("lines");
  revq.set_profile_class("Telephony");
  pb::RevisionsReply revs;
  ASSERT_TRUE(c.stub().ListRevisions(c.Ctx().get(), revq, &revs).ok());
  ASSERT_EQ(revs.revisions_size(), 2);
  pb::RevisionRequest rq;
  rq.set_session(c.session());
  rq.set_name("lines");
  rq.set_profile_class("Telephony");
  rq.set_revision(1);
  pb::RevisionReply old, restored;
  ASSERT_TRUE(c.stub().GetRevision(c.Ctx().get(), rq, &old).ok());
  EXPECT_EQ(ValueOf(old.content()), 1);
  ASSERT_TRUE(c.stub().RestoreRevision(c.Ctx().get(), rq, &restored).ok());
  EXPECT_EQ(restored.revision(), 3u);
  ASSERT_EQ(c.Get("lines", "Telephony", &content), 0u);
  EXPECT_EQ(ValueOf(content), 1);

  // Export and import inside the data folder, and a path that leaves it.
  pb::TransferProfileRequest tq;
  tq.set_session(c.session());
  tq.set_name("lines");
  tq.set_profile_class("Telephony");
  tq.set_file("lines.deif");
  pb::StatusReply exported, imported, escaped;
  ASSERT_TRUE(c.stub().ExportProfile(c.Ctx().get(), tq, &exported).ok());
  EXPECT_EQ(exported.error(), 0u);
  tq.set_name("lines2");
  ASSERT_TRUE(c.stub().ImportProfile(c.Ctx().get(), tq, &imported).ok());
  EXPECT_EQ(imported.error(), 0u);
  ASSERT_EQ(c.Get("lines2", "Telephony", &content), 0u);
  EXPECT_EQ(ValueOf(content), 1);
  tq.set_file("../../etc/passwd");
  ASSERT_TRUE(c.stub().ImportProfile(c.Ctx().get(), tq, &escaped).ok());
  EXPECT_EQ(escaped.error(), ct::kErrPathRefused);

  ASSERT_EQ(c.Remove("lines2", "Telephony"), 0u);
  EXPECT_EQ(c.Get("lines2", "Telephony", &content), ct::kErrNotFound);

  // A closed session is refused.
  pb::CloseSessionRequest close;
  close.set_session(c.session());
  pb::CloseSessionReply closed;
  ASSERT_TRUE(c.stub().CloseSession(c.Ctx().get(), close, &closed).ok());
  EXPECT_EQ(closed.error(), 0u);
  EXPECT_EQ(c.Add("after", "C", Content(1)), ct::kErrNoSession);
}

TEST_F(CtServerTest, ServesSymbolsServicesLevelsAndProcesses) {
  StartServer();
  Client c(server_->Channel());
  ASSERT_TRUE(c.Open().ok());

  pb::SymbolTableRequest sq;
  sq.set_session(c.session());
  pb::SymbolTableReply symbols;
  ASSERT_TRUE(c.stub().GetSymbolTable(c.Ctx().get(), sq, &symbols).ok());
  EXPECT_EQ(symbols.error(), 0u);
  std::map<std::string, uint32_t> byName;
  for (const auto& s : symbols.symbols()) byName[s.name()] = s.value();
  EXPECT_EQ(byName["Session_ServerName"], 0x00D00400u);
  EXPECT_EQ(byName["Admin_ProfileClasses"], 0x0110080Eu);

  pb::ServiceRequest add;
  add.set_session(c.session());
  add.set_name("Dialer");
  pb::StatusReply added, dup, started, stopped;
  ASSERT_TRUE(c.stub().AddService(c.Ctx().get(), add, &added).ok());
  EXPECT_EQ(added.error(), 0u);
  ASSERT_TRUE(c.stub().AddService(c.Ctx().get(), add, &dup).ok());
  EXPECT_EQ(dup.error(), ct::kErrServiceExists);
  pb::ServiceNameRequest start;
  start.set_session(c.session());
  start.set_name("Dialer");
  ASSERT_TRUE(c.stub().StartService(c.Ctx().get(), start, &started).ok());
  EXPECT_EQ(started.error(), 0u);
  pb::ServiceStateRequest stq;
  stq.set_session(c.session());
  pb::ServiceStateReply states;
  ASSERT_TRUE(c.stub().GetServiceState(c.Ctx().get(), stq, &states).ok());
  ASSERT_EQ(states.services_size(), 1);
  EXPECT_TRUE(states.services(0).running());
  EXPECT_EQ(states.services(0).state(), byName["Service_Started"]);
  EXPECT_EQ(states.services(0).mode(), byName["Service_Manual"]);
  pb::StopServiceRequest stop;
  stop.set_session(c.session());
  stop.set_name("Dialer");
  stop.set_value(1);
  ASSERT_TRUE(c.stub().StopService(c.Ctx().get(), stop, &stopped).ok());
  EXPECT_EQ(stopped.error(), 0u);

  pb::SetTargetLevelRequest lq;
  lq.set_session(c.session());
  lq.set_level(2);
  pb::StatusReply set;
  ASSERT_TRUE(c.stub().SetTargetServerLevel(c.Ctx().get(), lq, &set).ok());
  EXPECT_EQ(set.error(), 0u);
  pb::ServerLevelRequest gq;
  gq.set_session(c.session());
  pb::ServerLevelReply level;
  ASSERT_TRUE(c.stub().GetServerLevel(c.Ctx().get(), gq, &level).ok());
  EXPECT_EQ(level.target(), 2);

  pb::ServerProcessRequest pq;
  pq.set_session(c.session());
  pq.set_name("AdminService");
  pb::ServerProcessReply procs;
  ASSERT_TRUE(c.stub().GetServerProcessInfo(c.Ctx().get(), pq, &procs).ok());
  ASSERT_EQ(procs.processes_size(), 1);
  EXPECT_TRUE(procs.processes(0).running());

  // Writes are logged with name and class, never with their content.
  ASSERT_EQ(c.Add("logged", "Routing", Content(1, 64)), 0u);
  const std::string log = server_->Log();
  EXPECT_NE(log.find("add profile name='logged' class='Routing': ok"), std::string::npos) << log;
  EXPECT_EQ(log.find(std::string(64, 'p')), std::string::npos);
}

TEST_F(CtServerTest, RefusesHostileMessagesAndKeepsServing) {
  StartServer({"--max-message-bytes", "65536"});
  Client c(server_->Channel());
  ASSERT_TRUE(c.Open().ok());

  // Content that is no data element, and one nested too deep.
  EXPECT_EQ(c.Add("p", "C", "\x0a\xff\xff garbage"), ct::kErrInvalidArgument);
  std::string deep;
  {
    pb::DataElement e;
    e.set_type(CT_TYPE_KVSET);
    pb::KVSet* s = e.mutable_kvset();
    for (int i = 1; i <= 120; ++i) {
      auto* p = s->add_pairs();
      p->set_key(1);
      p->mutable_value()->set_type(CT_TYPE_KVSET);
      s = p->mutable_value()->mutable_kvset();
    }
    deep = e.SerializeAsString();
  }
  EXPECT_EQ(c.Add("p", "C", deep), ct::kErrTooDeep);

  // A request over the size limit is refused by the transport.
  pb::ProfileRequest big;
  big.set_session(c.session());
  big.set_name("big");
  big.set_profile_class("C");
  big.set_content(Content(1, 100000));
  pb::ProfileReply reply;
  grpc::Status s = c.stub().AddProfile(c.Ctx().get(), big, &reply);
  EXPECT_EQ(s.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);

  // Bytes that are no request message at all.
  std::string raw;
  grpc::Status r = RawCall(server_->Channel(), "/ctadmin.v1.Admin/AddProfile", "\xff\xff\xff\xff", &raw);
  EXPECT_FALSE(r.ok());

  // None of it harmed the server.
  EXPECT_TRUE(HealthServing(server_->Channel()));
  EXPECT_EQ(c.Add("fine", "C", Content(3, 1000)), 0u);
  EXPECT_EQ(c.Info("", "", false).names_size(), 1);
}

TEST_F(CtServerTest, TokenIsRequiredWhenConfiguredAndNeverLogged) {
  const std::string token = "s3cret-Token-123";
  std::ofstream(dir_.File("token")) << token << "  \n";
  StartServer({"--token-file", dir_.File("token")});

  Client none(server_->Channel());
  EXPECT_EQ(none.Open().error_code(), grpc::StatusCode::UNAUTHENTICATED);
  Client wrong(server_->Channel(), "s3cret-Token-124");
  EXPECT_EQ(wrong.Open().error_code(), grpc::StatusCode::UNAUTHENTICATED);
  Client prefix(server_->Channel(), "s3cret-Token-12");
  EXPECT_EQ(prefix.Open().error_code(), grpc::StatusCode::UNAUTHENTICATED);
  Client right(server_->Channel(), token);
  ASSERT_TRUE(right.Open().ok());
  EXPECT_EQ(right.Add("p", "C", Content(1)), 0u);

  // A valid session id does not stand in for the token.
  none.set_session(right.session());
  EXPECT_EQ(none.Add("q", "C", Content(1)), Client::kTransport);
  EXPECT_EQ(right.Info("", "", false).names_size(), 1);

  EXPECT_TRUE(HealthServing(server_->Channel()));  // health stays open
  EXPECT_EQ(server_->Log().find(token), std::string::npos);
}

TEST_F(CtServerTest, RefusesAddressesBeyondLoopbackWithoutTlsAndToken) {
  std::ofstream(dir_.File("token")) << "abc\n";
  ServerProcess plain(dir_.path());
  EXPECT_FALSE(plain.Start({"--listen", "0.0.0.0:0"}, false));
  int status = plain.WaitExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  EXPECT_NE(plain.Log().find("needs TLS"), std::string::npos) << plain.Log();

  // A symbol table with bad lines stops the start, naming the lines.
  std::ofstream(dir_.File("syms.txt")) << "Good 1\nBad\n";
  ServerProcess badSymbols(dir_.path());
  EXPECT_FALSE(badSymbols.Start({"--symbols", dir_.File("syms.txt")}));
  EXPECT_NE(badSymbols.Log().find("line 2"), std::string::npos) << badSymbols.Log();

  ServerProcess tokenOnly(dir_.path());
  EXPECT_FALSE(tokenOnly.Start({"--listen", "[::]:0", "--token-file", dir_.File("token")}, false));
  status = tokenOnly.WaitExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
}

TEST_F(CtServerTest, ServesTlsWithATokenOnLoopback) {
  const std::string cert = dir_.File("cert.pem"), key = dir_.File("key.pem");
  const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
                          "-addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
                          key + " -out " + cert + " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "openssl cannot make a test certificate here";
  std::ofstream(dir_.File("token")) << "tls-token\n";
  StartServer({"--tls-cert", cert, "--tls-key", key, "--token-file", dir_.File("token")});

  std::ifstream pem(cert);
  std::stringstream root;
  root << pem.rdbuf();
  grpc::SslCredentialsOptions ssl;
  ssl.pem_root_certs = root.str();
  grpc::ChannelArguments args;
  args.SetSslTargetNameOverride("localhost");
  auto secure = grpc::CreateCustomChannel(server_->address(), grpc::SslCredentials(ssl), args);
  Client c(secure, "tls-token");
  ASSERT_TRUE(c.Open().ok());
  EXPECT_EQ(c.Add("p", "C", Content(1)), 0u);

  // A plain connection to the TLS port gets nowhere.
  Client plain(server_->Channel(), "tls-token");
  EXPECT_FALSE(plain.Open().ok());
}

TEST_F(CtServerTest, StopsCleanlyOnSigtermAndSigint) {
  StartServer();
  {
    Client c(server_->Channel());
    ASSERT_TRUE(c.Open().ok());
    ASSERT_EQ(c.Add("kept", "C", Content(7)), 0u);
  }
  int status = server_->Kill(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(server_->Log().find("ctserver stopped"), std::string::npos);
  EXPECT_EQ(IntegrityCheck(server_->DbPath()), "ok");

  ASSERT_TRUE(server_->Start()) << server_->Log();
  {
    Client c(server_->Channel());
    ASSERT_TRUE(c.Open().ok());
    std::string content;
    ASSERT_EQ(c.Get("kept", "C", &content), 0u);
    EXPECT_EQ(ValueOf(content), 7);
  }
  status = server_->Kill(SIGINT);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(CtServerTest, ManyClientsAtOnceLoseNothing) {
  StartServer();
  constexpr int kClients = 8, kOps = 500;
  auto channel = server_->Channel();
  {
    Client setup(channel);
    ASSERT_TRUE(setup.Open().ok());
    ASSERT_EQ(setup.Add("shared", "C", Content(-1)), 0u);
  }
  std::atomic<int> sharedUpdates{0};
  std::atomic<int> failures{0};
  std::vector<std::map<std::string, int32_t>> expected(kClients);
  std::vector<std::thread> threads;
  for (int t = 0; t < kClients; ++t) {
    threads.emplace_back([&, t] {
      Client c(channel);
      if (!c.Open().ok()) {
        ++failures;
        return;
      }
      std::mt19937 rng(1000 + t);
      auto& mine = expected[size_t(t)];
      for (int i = 0; i < kOps; ++i) {
        const std::string name = "c" + std::to_string(t) + "-" + std::to_string(rng() % 20);
        const int32_t value = t * 100000 + i;
        std::string content;
        switch (rng() % 6) {
          case 0:
          case 1: {  // add or update, then read it back at once
            uint32_t rc = mine.count(name) ? c.Update(name, "C", Content(value)) : c.Add(name, "C", Content(value));
            if (rc != 0) {
              ++failures;
              break;
            }
            mine[name] = value;
            if (c.Get(name, "C", &content) != 0 || ValueOf(content) != value) ++failures;
            break;
          }
          case 2: {
            uint32_t rc = c.Remove(name, "C");
            if (rc != (mine.count(name) ? 0u : ct::kErrNotFound)) ++failures;
            mine.erase(name);
            break;
          }
          case 3: {
            uint32_t rc = c.Get(name, "C", &content);
            if (mine.count(name) ? rc != 0 || ValueOf(content) != mine[name] : rc != ct::kErrNotFound) ++failures;
            break;
          }
          case 4:
            if (c.Update("shared", "C", Content(value)) == 0) {
              ++sharedUpdates;
            } else {
              ++failures;
            }
            break;
          default:
            if (c.Info("", "C", false).error() != 0) ++failures;
            break;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);

  Client check(channel);
  ASSERT_TRUE(check.Open().ok());
  auto all = check.Info("", "", false);
  size_t total = 1;  // "shared"
  for (const auto& m : expected) total += m.size();
  EXPECT_EQ(size_t(all.names_size()), total);
  for (const auto& m : expected) {
    for (const auto& [name, value] : m) {
      std::string content;
      ASSERT_EQ(check.Get(name, "C", &content), 0u) << name;
      EXPECT_EQ(ValueOf(content), value) << name;
    }
  }
  // Every acknowledged update of the shared profile made one revision.
  pb::RevisionsRequest rq;
  rq.set_session(check.session());
  rq.set_name("shared");
  rq.set_profile_class("C");
  pb::RevisionsReply revs;
  ASSERT_TRUE(check.stub().ListRevisions(check.Ctx().get(), rq, &revs).ok());
  ASSERT_GT(revs.revisions_size(), 0);
  EXPECT_EQ(revs.revisions(0).revision(), uint64_t(sharedUpdates.load()) + 1);
  server_->Kill(SIGTERM);
  EXPECT_EQ(IntegrityCheck(server_->DbPath()), "ok");
}

TEST_F(CtServerTest, AcknowledgedUpdatesSurviveSigkill) {
  StartServer();
  {
    Client c(server_->Channel());
    ASSERT_TRUE(c.Open().ok());
    ASSERT_EQ(c.Add("counter", "C", Content(0, 2000)), 0u);
  }
  int32_t acked = 0;
  for (int round = 0; round < 3; ++round) {
    std::atomic<int32_t> lastAcked{acked};
    std::atomic<int32_t> lastSent{acked};
    std::atomic<bool> stop{false};
    std::thread writer([&] {
      Client c(server_->Channel());
      if (!c.Open().ok()) return;
      for (int32_t v = lastAcked.load() + 1; !stop; ++v) {
        lastSent = v;
        if (c.Update("counter", "C", Content(v, 2000)) != 0) break;  // the server went away
        lastAcked = v;
      }
    });
    // Let a number of updates land, then kill the server mid-stream.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (lastAcked.load() < acked + 30 && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server_->Kill(SIGKILL);
    stop = true;
    writer.join();
    ASSERT_GT(lastAcked.load(), acked) << "no update was acknowledged in round " << round;
    EXPECT_EQ(IntegrityCheck(server_->DbPath()), "ok") << "round " << round;

    ASSERT_TRUE(server_->Start()) << server_->Log();
    EXPECT_EQ(IntegrityCheck(server_->DbPath()), "ok") << "round " << round << " after restart";
    Client c(server_->Channel());
    ASSERT_TRUE(c.Open().ok());
    std::string content;
    ASSERT_EQ(c.Get("counter", "C", &content), 0u);
    const int32_t stored = ValueOf(content);
    // Every acknowledged update is there; at most the one in flight is extra.
    EXPECT_GE(stored, lastAcked.load()) << "round " << round;
    EXPECT_LE(stored, lastSent.load()) << "round " << round;
    acked = stored;
  }
}

TEST_F(CtServerTest, ListensOnAUnixSocket) {
  const std::string socket = dir_.File("ctserver.sock");
  server_ = std::make_unique<ServerProcess>(dir_.path());
  ASSERT_TRUE(server_->Start({"--listen", "unix:" + socket}, false)) << server_->Log();
  EXPECT_EQ(server_->port(), 0);
  Client c(grpc::CreateChannel("unix:" + socket, grpc::InsecureChannelCredentials()));
  ASSERT_TRUE(c.Open().ok());
  EXPECT_EQ(c.Add("p", "C", Content(4)), 0u);
  std::string content;
  ASSERT_EQ(c.Get("p", "C", &content), 0u);
  EXPECT_EQ(ValueOf(content), 4);

  // A second server does not take the socket over.
  TempDir other;
  ServerProcess second(other.path());
  EXPECT_FALSE(second.Start({"--listen", "unix:" + socket}, false));
  EXPECT_NE(second.Log().find("another server"), std::string::npos) << second.Log();
  EXPECT_EQ(c.Get("p", "C", &content), 0u);
}

TEST_F(CtServerTest, WritesInProgressAtSigtermAreFinishedAndKept) {
  StartServer();
  {
    Client c(server_->Channel());
    ASSERT_TRUE(c.Open().ok());
    ASSERT_EQ(c.Add("counter", "C", Content(0, 1000)), 0u);
  }
  std::atomic<int32_t> lastAcked{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&, t] {
      Client c(server_->Channel());
      if (!c.Open().ok()) return;
      const std::string name = "w" + std::to_string(t);
      if (c.Add(name, "C", Content(0)) != 0) return;
      for (int32_t v = 1; !stop; ++v) {
        if (c.Update(name, "C", Content(v, 1000)) != 0) break;
        if (t == 0) lastAcked = v;
      }
    });
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (lastAcked.load() < 20 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const int status = server_->Kill(SIGTERM);
  stop = true;
  for (auto& w : writers) w.join();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(IntegrityCheck(server_->DbPath()), "ok");

  ASSERT_TRUE(server_->Start()) << server_->Log();
  Client c(server_->Channel());
  ASSERT_TRUE(c.Open().ok());
  std::string content;
  ASSERT_EQ(c.Get("w0", "C", &content), 0u);
  EXPECT_GE(ValueOf(content), lastAcked.load());
}

TEST_F(CtServerTest, ReportsAPortThatIsTaken) {
  StartServer();
  TempDir other;
  ServerProcess second(other.path());
  EXPECT_FALSE(second.Start({"--listen", server_->address()}, false));
  EXPECT_NE(second.Log().find("cannot listen"), std::string::npos) << second.Log();
  EXPECT_TRUE(HealthServing(server_->Channel()));  // the first one is unharmed
}
