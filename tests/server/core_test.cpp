// The server core answering protocol requests in-process, as the embedded
// runtime uses it: sessions, error codes for bad input, profiles, import and
// export, services, levels and processes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <type_traits>
#include <utility>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "server/core.h"
#include "proto/demessage.h"
#include "server/wellknown.h"
#include "tests/support/tempdir.h"
#include "tests/server/wire.h"

namespace pb = ctadmin::v1;
using ctserver::CoreOptions;
using testsupport::TempDir;
using ctserver::ServerCore;

namespace {

// Content bytes of a set with one Int and one String, or a plain element.
std::string SetBytes(int32_t value, const std::string& text = "hello") {
  return servertest::ProfileBytes(value, text);
}

int32_t FirstInt(const std::string& bytes) {
  pb::DataElement e;
  uint32_t err = 0;
  EXPECT_TRUE(ctserver::ParseElement(bytes, &e, &err));
  return e.kvset().pairs_size() ? e.kvset().pairs(0).value().int_value() : -1;
}

class ServerCoreTest : public ::testing::Test {
 protected:
  void SetUp() override { Reopen(); }

  void Reopen(bool network = false) {
    core_.reset();
    CoreOptions o;
    o.dbPath = dir_.File("db/profiles.db");
    o.dataDir = dir_.File("data");
    o.networkService = network;
    std::string error;
    core_ = ServerCore::Open(o, &error);
    ASSERT_TRUE(core_) << error;
    session_ = servertest::OpenSessionOn(*core_);
    ASSERT_FALSE(session_.empty());
  }

  uint32_t Add(const std::string& name, const std::string& cls, const std::string& content) {
    const pb::ProfileRequest req = servertest::ProfileRequest(session_, name, cls, content);
    pb::ProfileReply reply;
    core_->AddProfile(req, &reply);
    return reply.error();
  }
  uint32_t Update(const std::string& name, const std::string& cls, const std::string& content,
                  uint64_t* rev = nullptr) {
    const pb::ProfileRequest req = servertest::ProfileRequest(session_, name, cls, content);
    pb::ProfileReply reply;
    core_->UpdateProfile(req, &reply);
    if (rev) *rev = reply.revision();
    return reply.error();
  }
  pb::ProfileInfoReply Info(const std::string& name, const std::string& cls, bool one) {
    const pb::ProfileInfoRequest req = servertest::InfoRequest(session_, name, cls, one);
    pb::ProfileInfoReply reply;
    core_->GetProfileInfo(req, &reply);
    return reply;
  }
  uint32_t Transfer(bool import, const std::string& name, const std::string& cls, const std::string& file) {
    pb::TransferProfileRequest req;
    req.set_session(session_);
    req.set_name(name);
    req.set_profile_class(cls);
    req.set_file(file);
    pb::StatusReply reply;
    if (import) {
      core_->ImportProfile(req, &reply);
    } else {
      core_->ExportProfile(req, &reply);
    }
    return reply.error();
  }
  uint32_t Service(const char* what, const std::string& name, const std::string& config = std::string(),
                   uint32_t value = 0) {
    pb::StatusReply reply;
    const std::string op(what);
    if (op == "add" || op == "update") {
      pb::ServiceRequest req;
      req.set_session(session_);
      req.set_name(name);
      req.set_config(config);
      op == "add" ? core_->AddService(req, &reply) : core_->UpdateService(req, &reply);
    } else if (op == "stop") {
      pb::StopServiceRequest req;
      req.set_session(session_);
      req.set_name(name);
      req.set_value(value);
      core_->StopService(req, &reply);
    } else {
      pb::ServiceNameRequest req;
      req.set_session(session_);
      req.set_name(name);
      op == "start" ? core_->StartService(req, &reply) : core_->RemoveService(req, &reply);
    }
    return reply.error();
  }
  pb::ServiceStateReply States(const std::string& name = std::string()) {
    return Named(&ServerCore::GetServiceState, name);
  }
  // A call whose request carries the session and whatever fill adds.
  template <class Request, class Reply>
  Reply Ask(void (ServerCore::*call)(const Request&, Reply*), const std::function<void(Request&)>& fill = {}) {
    Request req;
    req.set_session(session_);
    if (fill) fill(req);
    Reply reply;
    ((*core_).*call)(req, &reply);
    return reply;
  }
  // A call whose request names one service or process (all when empty).
  template <class Request, class Reply>
  Reply Named(void (ServerCore::*call)(const Request&, Reply*), const std::string& name) {
    return Ask(call, std::function<void(Request&)>([&](Request& req) { req.set_name(name); }));
  }

  TempDir dir_;
  std::unique_ptr<ServerCore> core_;
  std::string session_;
};

// A service configuration that names its start mode.
std::string ModeConfig(uint32_t mode) {
  pb::DataElement e;
  e.set_type(CT_TYPE_KVSET);
  auto* p = e.mutable_kvset()->add_pairs();
  p->set_key(ctserver::kSymServiceStartMode);
  p->mutable_value()->set_type(CT_TYPE_SYMBOL);
  p->mutable_value()->set_uint_value(mode);
  return e.SerializeAsString();
}

// The error a core call answers for a request under the given session; a
// profile request also carries a valid profile, so only the session can fail.
template <class Request, class Reply>
uint32_t ErrorOf(ServerCore& core, void (ServerCore::*call)(const Request&, Reply*), const std::string& session) {
  Request request;
  request.set_session(session);
  if constexpr (std::is_same_v<Request, pb::ProfileRequest>) {
    request.set_name("n");
    request.set_profile_class("c");
    request.set_content(SetBytes(1));
  }
  Reply reply;
  (core.*call)(request, &reply);
  if constexpr (std::is_same_v<Reply, pb::SymbolTableReply>) {
    EXPECT_EQ(reply.symbols_size(), 0);
  }
  return reply.error();
}

}  // namespace

TEST_F(ServerCoreTest, EveryCallNeedsAnOpenSession) {
  const std::string bad = "0123456789abcdef0123456789abcdef";
  ServerCore& core = *core_;
  const std::pair<const char*, uint32_t> calls[] = {
      {"GetProfileInfo", ErrorOf(core, &ServerCore::GetProfileInfo, bad)},
      {"AddProfile", ErrorOf(core, &ServerCore::AddProfile, bad)},
      {"UpdateProfile", ErrorOf(core, &ServerCore::UpdateProfile, bad)},
      {"RemoveProfile", ErrorOf(core, &ServerCore::RemoveProfile, bad)},
      {"ImportProfile", ErrorOf(core, &ServerCore::ImportProfile, bad)},
      {"ExportProfile", ErrorOf(core, &ServerCore::ExportProfile, bad)},
      {"ListRevisions", ErrorOf(core, &ServerCore::ListRevisions, bad)},
      {"GetRevision", ErrorOf(core, &ServerCore::GetRevision, bad)},
      {"RestoreRevision", ErrorOf(core, &ServerCore::RestoreRevision, bad)},
      {"GetSymbolTable", ErrorOf(core, &ServerCore::GetSymbolTable, bad)},
      {"AddService", ErrorOf(core, &ServerCore::AddService, bad)},
      {"UpdateService", ErrorOf(core, &ServerCore::UpdateService, bad)},
      {"RemoveService", ErrorOf(core, &ServerCore::RemoveService, bad)},
      {"StartService", ErrorOf(core, &ServerCore::StartService, bad)},
      {"StopService", ErrorOf(core, &ServerCore::StopService, bad)},
      {"GetServiceState", ErrorOf(core, &ServerCore::GetServiceState, bad)},
      {"GetServerLevel", ErrorOf(core, &ServerCore::GetServerLevel, bad)},
      {"SetTargetServerLevel", ErrorOf(core, &ServerCore::SetTargetServerLevel, bad)},
      {"GetServerProcessInfo", ErrorOf(core, &ServerCore::GetServerProcessInfo, bad)},
  };
  for (const auto& [call, error] : calls) EXPECT_EQ(error, ct::kErrNoSession) << call;

  // A closed session is as unknown as a made-up one.
  pb::CloseSessionRequest close;
  close.set_session(session_);
  pb::CloseSessionReply closed, again;
  core_->CloseSession(close, &closed);
  EXPECT_EQ(closed.error(), 0u);
  core_->CloseSession(close, &again);
  EXPECT_EQ(again.error(), ct::kErrNoSession);
  EXPECT_EQ(Info("", "", false).error(), ct::kErrNoSession);
  EXPECT_EQ(Add("after", "C", SetBytes(1)), ct::kErrNoSession);
}

TEST_F(ServerCoreTest, SessionIdsAreDistinctAndOptionsAreChecked) {
  pb::OpenSessionRequest req;
  pb::DataElement options;
  options.set_type(CT_TYPE_KVSET);
  auto* p = options.mutable_kvset()->add_pairs();
  p->set_key(ctserver::kSymSessionServerName);
  p->mutable_value()->set_type(CT_TYPE_STRING);
  p->mutable_value()->set_string_value("Main");
  req.set_options(options.SerializeAsString());
  pb::OpenSessionReply a, b;
  core_->OpenSession(req, &a);
  core_->OpenSession(req, &b);
  EXPECT_EQ(a.error(), 0u);
  EXPECT_EQ(a.session().size(), 32u);
  EXPECT_NE(a.session(), b.session());
  EXPECT_NE(a.session(), session_);

  req.set_options("\xFF garbage");
  pb::OpenSessionReply c;
  core_->OpenSession(req, &c);
  EXPECT_EQ(c.error(), ct::kErrInvalidArgument);
  EXPECT_TRUE(c.session().empty());
}

TEST_F(ServerCoreTest, ProfileNamesAndClassesAreChecked) {
  const std::string content = SetBytes(1);
  EXPECT_EQ(Add("", "C", content), ct::kErrInvalidName);
  EXPECT_EQ(Add("has space", "C", content), ct::kErrInvalidName);
  EXPECT_EQ(Add("tab\there", "C", content), ct::kErrInvalidName);
  EXPECT_EQ(Add("bell\x07", "C", content), ct::kErrInvalidName);
  EXPECT_EQ(Add("caf\xC3\xA9", "C", content), ct::kErrInvalidName);
  EXPECT_EQ(Add(std::string(256, 'n'), "C", content), ct::kErrInvalidName);
  EXPECT_EQ(Add(std::string(255, 'n'), "C", content), 0u);
  EXPECT_EQ(Add("Trunk-1_(main)!", "C", content), 0u);

  EXPECT_EQ(Add("ok", "", content), ct::kErrInvalidClass);
  EXPECT_EQ(Add("ok", "line\nbreak", content), ct::kErrInvalidClass);
  EXPECT_EQ(Add("ok", std::string(256, 'c'), content), ct::kErrInvalidClass);
  EXPECT_EQ(Add("ok", "Call Routing", content), 0u);  // a class may hold spaces

  // The same rules guard updates, and a bad name is told apart from a
  // missing profile.
  EXPECT_EQ(Update("has space", "C", content), ct::kErrInvalidName);
  EXPECT_EQ(Update("ok", "", content), ct::kErrInvalidClass);
  EXPECT_EQ(Update("absent", "C", content), ct::kErrNotFound);
}

TEST_F(ServerCoreTest, ContentMustBeAWellFormedSet) {
  EXPECT_EQ(Add("p", "C", ""), ct::kErrInvalidArgument);
  EXPECT_EQ(Add("p", "C", "\x08\x0b\x10"), ct::kErrInvalidArgument);  // truncated bytes
  pb::DataElement notSet;
  notSet.set_type(CT_TYPE_INT);
  notSet.set_int_value(3);
  EXPECT_EQ(Add("p", "C", notSet.SerializeAsString()), ct::kErrInvalidArgument);

  pb::DataElement deep;
  deep.set_type(CT_TYPE_KVSET);
  pb::KVSet* s = deep.mutable_kvset();
  for (int i = 1; i < 101; ++i) {
    auto* pair = s->add_pairs();
    pair->set_key(1);
    pair->mutable_value()->set_type(CT_TYPE_KVSET);
    s = pair->mutable_value()->mutable_kvset();
  }
  EXPECT_EQ(Add("p", "C", deep.SerializeAsString()), ct::kErrTooDeep);
  EXPECT_EQ(Info("", "", false).error(), ct::kErrNotFound);  // nothing was stored
}

TEST_F(ServerCoreTest, ProfilesAreAddedReadListedUpdatedAndRemoved) {
  EXPECT_EQ(Info("", "", false).error(), ct::kErrNotFound);  // an empty server
  ASSERT_EQ(Add("lines", "Telephony", SetBytes(1)), 0u);
  ASSERT_EQ(Add("trunks", "Telephony", SetBytes(2)), 0u);
  ASSERT_EQ(Add("plan", "Routing", SetBytes(3)), 0u);
  EXPECT_EQ(Add("lines", "Routing", SetBytes(9)), ct::kErrNameExists);

  auto all = Info("", "", false);
  ASSERT_EQ(all.error(), 0u);
  ASSERT_EQ(all.names_size(), 3);
  ASSERT_EQ(all.classes_size(), 3);
  EXPECT_EQ(all.contents_size(), 0);
  EXPECT_EQ(all.names(0), "lines");
  EXPECT_EQ(all.classes(1), "Routing");

  auto tel = Info("", "Telephony", false);
  ASSERT_EQ(tel.names_size(), 2);
  EXPECT_EQ(Info("", "Nothing", false).error(), ct::kErrNotFound);

  auto one = Info("trunks", "Telephony", true);
  ASSERT_EQ(one.error(), 0u);
  ASSERT_EQ(one.contents_size(), 1);
  EXPECT_EQ(FirstInt(one.contents(0)), 2);
  EXPECT_EQ(Info("trunks", "Routing", true).error(), ct::kErrNotFound);
  EXPECT_EQ(Info("nobody", "Telephony", true).error(), ct::kErrNotFound);
  EXPECT_EQ(Info("bad name", "Telephony", true).error(), ct::kErrInvalidName);

  uint64_t rev = 0;
  ASSERT_EQ(Update("trunks", "Telephony", SetBytes(20), &rev), 0u);
  EXPECT_EQ(rev, 2u);
  EXPECT_EQ(FirstInt(Info("trunks", "Telephony", true).contents(0)), 20);
  EXPECT_EQ(Update("trunks", "Routing", SetBytes(21)), ct::kErrNotFound);

  pb::RemoveProfileRequest rm;
  rm.set_session(session_);
  rm.set_name("trunks");
  rm.set_profile_class("Routing");
  pb::StatusReply r1, r2, r3;
  core_->RemoveProfile(rm, &r1);
  EXPECT_EQ(r1.error(), ct::kErrNotFound);
  rm.set_profile_class("Telephony");
  core_->RemoveProfile(rm, &r2);
  EXPECT_EQ(r2.error(), 0u);
  core_->RemoveProfile(rm, &r3);
  EXPECT_EQ(r3.error(), ct::kErrNotFound);
  EXPECT_EQ(Info("trunks", "", true).error(), ct::kErrNotFound);

  // Stored profiles outlive the core.
  Reopen();
  EXPECT_EQ(Info("", "", false).names_size(), 2);
}

TEST_F(ServerCoreTest, RevisionsCanBeListedReadAndRestored) {
  ASSERT_EQ(Add("p", "C", SetBytes(1)), 0u);
  ASSERT_EQ(Update("p", "C", SetBytes(2)), 0u);
  ASSERT_EQ(Update("p", "C", SetBytes(3)), 0u);
  pb::RevisionsRequest list;
  list.set_session(session_);
  list.set_name("p");
  list.set_profile_class("C");
  pb::RevisionsReply revs;
  core_->ListRevisions(list, &revs);
  ASSERT_EQ(revs.error(), 0u);
  ASSERT_EQ(revs.revisions_size(), 3);
  EXPECT_TRUE(revs.revisions(0).current());
  EXPECT_EQ(revs.revisions(2).revision(), 1u);

  pb::RevisionRequest get;
  get.set_session(session_);
  get.set_name("p");
  get.set_profile_class("C");
  get.set_revision(1);
  pb::RevisionReply old;
  core_->GetRevision(get, &old);
  ASSERT_EQ(old.error(), 0u);
  EXPECT_EQ(FirstInt(old.content()), 1);

  pb::RevisionReply restored;
  core_->RestoreRevision(get, &restored);
  ASSERT_EQ(restored.error(), 0u);
  EXPECT_EQ(restored.revision(), 4u);
  EXPECT_EQ(FirstInt(Info("p", "C", true).contents(0)), 1);
  get.set_revision(3);
  pb::RevisionReply replaced;
  core_->GetRevision(get, &replaced);
  EXPECT_EQ(FirstInt(replaced.content()), 3);  // the content the restore replaced is kept

  get.set_revision(42);
  pb::RevisionReply missing;
  core_->GetRevision(get, &missing);
  EXPECT_EQ(missing.error(), ct::kErrNotFound);
  list.set_name("x y");
  pb::RevisionsReply badName;
  core_->ListRevisions(list, &badName);
  EXPECT_EQ(badName.error(), ct::kErrInvalidName);
}

TEST_F(ServerCoreTest, ExportAndImportGoThroughTheDataFolderOnly) {
  ASSERT_EQ(Add("lines", "Telephony", SetBytes(-17, "Front \"desk\"")), 0u);
  ASSERT_EQ(Transfer(false, "lines", "Telephony", "out/lines.txt"), 0u);
  std::ifstream in(dir_.File("data/out/lines.txt"));
  std::stringstream text;
  text << in.rdbuf();
  // Keys the table knows are written by name.
  EXPECT_NE(text.str().find("Line_Number"), std::string::npos) << text.str();

  ASSERT_EQ(Transfer(true, "copy", "Telephony", "out/lines.txt"), 0u);
  auto copy = Info("copy", "Telephony", true);
  ASSERT_EQ(copy.error(), 0u);
  EXPECT_EQ(copy.contents(0), Info("lines", "Telephony", true).contents(0));

  // Importing onto the same name and class replaces the content as an update.
  ASSERT_EQ(Update("lines", "Telephony", SetBytes(5)), 0u);
  ASSERT_EQ(Transfer(true, "lines", "Telephony", "out/lines.txt"), 0u);
  EXPECT_EQ(FirstInt(Info("lines", "Telephony", true).contents(0)), -17);
  EXPECT_EQ(Transfer(true, "lines", "Other", "out/lines.txt"), ct::kErrNameExists);

  // Paths that leave the folder are refused, also through a link.
  for (const char* path : {"../escape.txt", "/etc/passwd", "out/../../escape.txt", "", "."}) {
    EXPECT_EQ(Transfer(false, "lines", "Telephony", path), ct::kErrPathRefused) << path;
    EXPECT_EQ(Transfer(true, "lines", "Telephony", path), ct::kErrPathRefused) << path;
  }
  std::filesystem::create_directory_symlink(dir_.path(), dir_.File("data/link"));
  EXPECT_EQ(Transfer(false, "lines", "Telephony", "link/escape.txt"), ct::kErrPathRefused);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("escape.txt")));

  EXPECT_EQ(Transfer(true, "new", "C", "missing.txt"), ct::kErrNotFound);
  EXPECT_EQ(Transfer(false, "nobody", "C", "x.txt"), ct::kErrNotFound);
  EXPECT_EQ(Transfer(false, "bad name", "C", "x.txt"), ct::kErrInvalidName);
  std::ofstream(dir_.File("data/garbage.txt")) << "kvset { Line_Number = int ; ";
  EXPECT_NE(Transfer(true, "g", "C", "garbage.txt"), 0u);
  std::ofstream(dir_.File("data/scalar.txt")) << "int 5";
  EXPECT_EQ(Transfer(true, "s", "C", "scalar.txt"), ct::kErrInvalidArgument);
  EXPECT_EQ(Info("g", "", true).error(), ct::kErrNotFound);
  EXPECT_EQ(Info("s", "", true).error(), ct::kErrNotFound);
}

TEST_F(ServerCoreTest, SymbolTableListsEverySymbol) {
  const pb::SymbolTableReply reply = Ask(&ServerCore::GetSymbolTable);
  ASSERT_EQ(reply.error(), 0u);
  bool found = false;
  for (const auto& s : reply.symbols()) {
    if (s.name() == "Admin_ProfileNames") found = s.value() == 0x0110080D;
  }
  EXPECT_TRUE(found);
  EXPECT_GT(reply.symbols_size(), 80);
}

TEST(ServerCoreOpen, RefusesABadSymbolFileWithItsLineNumbers) {
  TempDir dir;
  std::ofstream(dir.File("syms.txt")) << "Fine 1\nBroken\nFine 2\n";
  CoreOptions o;
  o.dbPath = dir.File("p.db");
  o.symbolsPath = dir.File("syms.txt");
  std::string error;
  EXPECT_FALSE(ServerCore::Open(o, &error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;  // the duplicate name
  o.symbolsPath = dir.File("none.txt");
  EXPECT_FALSE(ServerCore::Open(o, &error));
  o.symbolsPath.clear();
  o.dbPath.clear();
  EXPECT_FALSE(ServerCore::Open(o, &error));
}

TEST_F(ServerCoreTest, ServicesKeepTheirConfigurationStateAndMode) {
  EXPECT_EQ(States().error(), ct::kErrNotFound);  // none yet
  ASSERT_EQ(Service("add", "Dialer"), 0u);
  EXPECT_EQ(Service("add", "Dialer"), ct::kErrServiceExists);
  EXPECT_EQ(Service("add", "bad name"), ct::kErrInvalidName);
  EXPECT_EQ(Service("add", "Odd", "\xFF\xFF"), ct::kErrInvalidArgument);
  EXPECT_EQ(Service("add", "Odd", ModeConfig(0x12345)), ct::kErrInvalidArgument);  // not a start mode
  ASSERT_EQ(Service("add", "Recorder", ModeConfig(ctserver::kSymModeAuto)), 0u);

  auto states = States();
  ASSERT_EQ(states.error(), 0u);
  ASSERT_EQ(states.services_size(), 2);
  EXPECT_EQ(states.services(0).name(), "Dialer");
  EXPECT_EQ(states.services(0).state(), ctserver::kSymServiceStopped);
  EXPECT_EQ(states.services(0).mode(), ctserver::kSymModeManual);
  EXPECT_FALSE(states.services(0).running());
  EXPECT_EQ(states.services(1).state(), ctserver::kSymServiceStarted);  // Auto starts at once
  EXPECT_TRUE(states.services(1).running());

  ASSERT_EQ(Service("start", "Dialer"), 0u);
  EXPECT_TRUE(States("Dialer").services(0).running());
  ASSERT_EQ(Service("stop", "Recorder", "", 2), 0u);
  EXPECT_EQ(States("Recorder").services(0).state(), ctserver::kSymServiceStopped);
  EXPECT_EQ(Service("start", "Nobody"), ct::kErrNotFound);
  EXPECT_EQ(Service("stop", "Nobody"), ct::kErrNotFound);
  EXPECT_EQ(States("Nobody").error(), ct::kErrNotFound);

  // Disabling stops it and forbids starting it.
  ASSERT_EQ(Service("update", "Dialer", ModeConfig(ctserver::kSymModeDisabled)), 0u);
  EXPECT_FALSE(States("Dialer").services(0).running());
  EXPECT_EQ(Service("start", "Dialer"), ct::kErrServiceDisabled);
  EXPECT_EQ(Service("update", "Nobody"), ct::kErrNotFound);

  // State is persisted; Auto services run again after a restart.
  Reopen();
  auto after = States();
  ASSERT_EQ(after.services_size(), 2);
  EXPECT_EQ(after.services(0).mode(), ctserver::kSymModeDisabled);
  EXPECT_TRUE(after.services(1).running());

  ASSERT_EQ(Service("remove", "Dialer"), 0u);
  EXPECT_EQ(Service("remove", "Dialer"), ct::kErrNotFound);
  EXPECT_EQ(States().services_size(), 1);
}

TEST_F(ServerCoreTest, ServerLevelAndTargetArePersisted) {
  const pb::ServerLevelReply level = Ask(&ServerCore::GetServerLevel);
  ASSERT_EQ(level.error(), 0u);
  EXPECT_EQ(level.level(), ctserver::kDefaultServerLevel);

  pb::SetTargetLevelRequest set;
  set.set_session(session_);
  set.set_level(3);
  pb::StatusReply ok, tooHigh, negative;
  core_->SetTargetServerLevel(set, &ok);
  EXPECT_EQ(ok.error(), 0u);
  set.set_level(ctserver::kMaxServerLevel + 1);
  core_->SetTargetServerLevel(set, &tooHigh);
  EXPECT_EQ(tooHigh.error(), ct::kErrInvalidArgument);
  set.set_level(-1);
  core_->SetTargetServerLevel(set, &negative);
  EXPECT_EQ(negative.error(), ct::kErrInvalidArgument);

  Reopen();
  const pb::ServerLevelReply after = Ask(&ServerCore::GetServerLevel);
  EXPECT_EQ(after.level(), 3);
  EXPECT_EQ(after.target(), 3);
}

TEST_F(ServerCoreTest, ServerProcessesShowTheComponentsAndWhetherTheyRun) {
  auto processes = [&](const std::string& name) { return Named(&ServerCore::GetServerProcessInfo, name); };
  auto all = processes("");
  ASSERT_EQ(all.error(), 0u);
  ASSERT_EQ(all.processes_size(), 4);
  EXPECT_EQ(all.processes(0).name(), "ProfileStore");
  EXPECT_TRUE(all.processes(0).running());
  auto admin = processes("AdminService");
  ASSERT_EQ(admin.processes_size(), 1);
  EXPECT_FALSE(admin.processes(0).running());  // in-process: no network service
  EXPECT_EQ(processes("Nothing").error(), ct::kErrNotFound);

  Reopen(true);
  EXPECT_TRUE(processes("AdminService").processes(0).running());
}

// The watch table: the events of import, class changes under one name,
// a closed session and a stopping server; and the revision a read gives.
TEST_F(ServerCoreTest, WatchersHearOfEveryWriteUntilTheyEnd) {
  std::vector<pb::ProfileEvent> events;
  auto sink = [&events](const pb::ProfileEvent& e) { events.push_back(e); };
  pb::WatchProfileRequest watch;
  watch.set_session(session_);
  watch.set_name("lines");
  watch.set_profile_class("Telephony");
  const uint64_t id = core_->WatchProfile(watch, sink);
  ASSERT_NE(id, 0u);

  ASSERT_EQ(Add("lines", "Telephony", SetBytes(1)), 0u);
  ASSERT_EQ(Transfer(false, "lines", "Telephony", "lines.txt"), 0u);  // a read: no event
  ASSERT_EQ(Transfer(true, "lines", "Telephony", "lines.txt"), 0u);   // an import writes
  pb::ProfileRequest conditional;
  conditional.set_session(session_);
  conditional.set_name("lines");
  conditional.set_profile_class("Telephony");
  conditional.set_content(SetBytes(3));
  conditional.set_expected_revision(1);
  pb::ProfileReply reply;
  core_->UpdateProfile(conditional, &reply);
  EXPECT_EQ(reply.error(), ct::kErrRevisionConflict);  // refused: no event
  conditional.set_expected_revision(2);
  core_->UpdateProfile(conditional, &reply);
  ASSERT_EQ(reply.error(), 0u);
  EXPECT_EQ(reply.revision(), 3u);
  const auto read = Info("lines", "Telephony", true);
  ASSERT_EQ(read.revisions_size(), 1);
  EXPECT_EQ(read.revisions(0), 3u);
  ASSERT_EQ(read.times_unix_ms_size(), 1);
  EXPECT_GT(read.times_unix_ms(0), 0);
  EXPECT_EQ(Info("", "", false).revisions_size(), 0) << "listings carry no revisions";

  pb::RemoveProfileRequest rm;
  rm.set_session(session_);
  rm.set_name("lines");
  pb::StatusReply status;
  core_->RemoveProfile(rm, &status);
  ASSERT_EQ(status.error(), 0u);
  ASSERT_EQ(Add("lines", "Routing", SetBytes(4)), 0u);  // the name, but another class: still none

  struct Expected {
    uint64_t revision;
    bool removed;
  };
  const std::vector<Expected> expected = {{0, true}, {1, false}, {2, false}, {3, false}, {0, true}};
  ASSERT_EQ(events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i].error(), 0u);
    EXPECT_EQ(events[i].removed(), expected[i].removed);
    if (!expected[i].removed) {
      EXPECT_EQ(events[i].revision(), expected[i].revision);
    }
  }

  // Closing the session ends its watches with a last event; another
  // session's watch ends when the server stops.
  pb::OpenSessionReply other;
  core_->OpenSession(pb::OpenSessionRequest(), &other);
  std::vector<pb::ProfileEvent> others;
  watch.set_session(other.session());
  ASSERT_NE(core_->WatchProfile(watch, [&others](const pb::ProfileEvent& e) { others.push_back(e); }), 0u);
  pb::CloseSessionRequest close;
  close.set_session(session_);
  pb::CloseSessionReply closed;
  core_->CloseSession(close, &closed);
  ASSERT_EQ(events.size(), expected.size() + 1);
  EXPECT_EQ(events.back().error(), ct::kErrNoSession);
  core_->Unwatch(id);  // already ended: harmless
  core_->EndWatches(ct::kErrConnect);
  ASSERT_EQ(others.size(), 2u);
  EXPECT_EQ(others.back().error(), ct::kErrConnect);

  // A closed session, or a bad class, gets one refusing event.
  watch.set_session(session_);
  EXPECT_EQ(core_->WatchProfile(watch, sink), 0u);
  EXPECT_EQ(events.back().error(), ct::kErrNoSession);
  watch.set_session(other.session());
  watch.set_profile_class("");
  EXPECT_EQ(core_->WatchProfile(watch, sink), 0u);
  EXPECT_EQ(events.back().error(), ct::kErrInvalidClass);
}
