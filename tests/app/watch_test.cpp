// The editor follows the profile it holds on the server: a write by anyone
// else (here the real ctadm) shows "Changed on the server" in the status bar
// without a Store, the editor's own Store does not, Retrieve clears it, and
// New, close and a dead server neither leave a watch behind nor freeze the
// editor.  Against a real ctserver; the waits are bounded only against a
// hang.
#include <gtest/gtest.h>
#include <signal.h>

#include <QAccessibleEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/mainfrm.h"
#include "app/profwatch.h"
#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "common/admsess.h"
#include "common/multises.h"
#include "platform/accesstree.h"
#include "platform/guipost.h"
#include "platform/scriptedmodalhost.h"
#include "s100/ctruntime.h"
#include "tests/app/serverapp.h"
#include "tests/support/containers.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace {

using testsupport::kHangBoundMs;
using testsupport::Kvs;

constexpr CTsymbol kKey = 0x7001;
const char* const kChanged = "Changed on the server";
const char* const kReady = "Ready";

// Runs the GUI thread's events until done() holds or the hang bound passes.
bool PumpUntil(const std::function<bool()>& done) {
  const int64_t until = testsupport::NowMs() + kHangBoundMs;
  while (!done()) {
    if (testsupport::NowMs() > until) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

// Names the accessibility sink has been told of.
std::vector<std::string> g_announced;
void RecordAnnouncement(QAccessibleEvent* event) {
  if (event->type() != QAccessible::NameChanged) return;
  if (auto* label = qobject_cast<QLabel*>(event->object())) g_announced.push_back(label->text().toStdString());
}

// A watch of the test's own, straight on the runtime: it tells when the
// server has sent a write's event to everyone watching.
class Witness {
 public:
  Witness() {
    CT_Initialize(nullptr);
    Kvs options, reply;
    CTkvs_PutString(options, CT_KEY_SERVER_NAME, "Default_Server", nullptr);
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    if (CTses_Create(&session_, "witness", 0, options, &record, 0) != 1) session_ = 0;
    if (session_ != 0)
      CTadm_WatchProfile(
          session_, "Lines", "Setup",
          [this](const CT_ProfileEvent&) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++events_;
            changed_.notify_all();
          },
          &handle_, nullptr);
  }
  ~Witness() {
    if (handle_ != 0) CTadm_Unwatch(handle_, nullptr);
    if (session_ != 0) {
      Kvs reply;
      CT_ReplyRecord record = CT_MakeReplyRecord(reply);
      CTses_Destroy(session_, CT_kvsEmpty, &record, 0);
    }
    CT_Shutdown(nullptr);
  }
  bool WaitFor(int n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(kHangBoundMs), [&] { return events_ >= n; });
  }

 private:
  CTses session_ = 0;
  CT_WatchHandle handle_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  int events_ = 0;
};

class WatchTest : public ServerAppTest {
 protected:
  void SetUp() override {
    ServerAppTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Kvs start;
    CTkvs_PutInt(start, kKey, 1, nullptr);
    StartEditingLines(start);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Doc()->IsWatching());
    ASSERT_TRUE(FirstEventSeen());
    g_announced.clear();
    SetAccessibleEventSink(&RecordAnnouncement);
  }
  void TearDown() override {
    SetAccessibleEventSink(nullptr);
    ServerAppTest::TearDown();
  }

  std::string Status() const {
    auto* frame = dynamic_cast<CMainFrame*>(app_->m_pMainWnd);
    return frame != nullptr ? frame->StatusBar().GetPaneText(0).GetString() : std::string();
  }
  // The watch has told the document the state it started from.
  bool FirstEventSeen() {
    const uint64_t before = Doc()->WatchEvents();
    return PumpUntil([&] { return Doc()->WatchEvents() > before || Doc()->WatchedRevision() != 0; });
  }
  // `ctadm put` (or `remove`) of Lines, as another administrator would.
  bool Ctadm(const std::string& verb, int32_t value = 0) {
    const std::string text = dir_.File("lines.deif");
    std::ofstream(text) << "kvset {\n  #" << kKey << " = int " << value << ";\n}\n";
    const std::string out = dir_.File("ctadm.out");
    std::string command = std::string("'") + CTADM_PATH + "' --server Default_Server " + verb + " Lines Setup";
    if (verb == "put") command += " --update '" + text + "'";
    return std::system((command + " > '" + out + "' 2>&1").c_str()) == 0;
  }
  bool Retrieve() { return Doc()->OnOpenProfile("Default_Server", "Setup", "Lines") != FALSE; }
  bool EditAndStore(int32_t value) {
    Kvs content;
    CTkvs_PutInt(content, kKey, value, nullptr);
    if (!Doc()->GetView()->ReplaceProfileAsStep(content, 4497)) return false;
    Doc()->GetView()->DocumentModified();
    Doc()->OnFileSave();
    return !Doc()->IsModified();
  }

  int port_ = 0;
};

// Another administrator's write or removal shows at once, is announced,
// leads the next Store to the conflict path, and Retrieve clears it.
TEST_F(WatchTest, WriteByAnotherShowsUntilRetrieve) {
  const struct {
    const char* verb;
  } cases[] = {{"put"}, {"remove"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.verb);
    ASSERT_EQ(Status(), kReady);
    ASSERT_TRUE(Ctadm(c.verb, 7));
    EXPECT_TRUE(PumpUntil([&] { return Status() == kChanged; })) << Status();
    EXPECT_TRUE(Doc()->IsChangedOnServer());
    EXPECT_EQ(g_announced, std::vector<std::string>{kChanged});
    EXPECT_FALSE(Doc()->IsModified());
    if (std::string(c.verb) == "remove") {
      ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Setup", "Lines", Kvs(), 0));
    }
    // Retrieve is back in step: the mark goes, and the new state is the base.
    ASSERT_TRUE(Retrieve());
    EXPECT_EQ(Status(), kReady);
    EXPECT_FALSE(Doc()->IsChangedOnServer());
    ASSERT_TRUE(PumpUntil([&] { return Doc()->WatchedRevision() == Doc()->BaseRevision(); }));
    EXPECT_EQ(Status(), kReady);
    g_announced.clear();
  }
}

// The editor's own Stores never show the mark, however their events and the
// store's answer meet; a later write by another still does, and a Store
// then goes to the Store Conflict dialog instead of writing.
TEST_F(WatchTest, OwnStoreDoesNotShow) {
  for (int32_t value : {2, 3, 4}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(EditAndStore(value));
    ASSERT_TRUE(PumpUntil([&] { return Doc()->WatchedRevision() == Doc()->BaseRevision(); }));
    EXPECT_EQ(Status(), kReady);
    EXPECT_FALSE(Doc()->IsChangedOnServer());
  }
  EXPECT_TRUE(g_announced.empty());
  ASSERT_TRUE(Ctadm("put", 9));
  ASSERT_TRUE(PumpUntil([&] { return Status() == kChanged; }));
  bool conflictShown = false;
  host_.ExpectDialog([&](DialogDriver& d) {
    conflictShown = d.Title().toStdString() == "Store Conflict";
    d.Click(IDCANCEL);
  });
  EXPECT_FALSE(EditAndStore(5));
  EXPECT_TRUE(conflictShown);
  EXPECT_EQ(Status(), kChanged);  // nothing was stored
}

// New and close end the watch: nothing of a later write reaches the editor
// (ASan catches a callback into a closed document).
TEST_F(WatchTest, NewAndCloseEndTheWatch) {
  const struct {
    const char* what;
    bool close;
  } cases[] = {{"new", false}, {"close", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!Doc()->IsWatching()) {
      ASSERT_TRUE(Retrieve());
      ASSERT_TRUE(Doc()->IsWatching());
      ASSERT_TRUE(FirstEventSeen());
    }
    uint64_t eventsBefore = 0;
    if (c.close) {
      app_->ExitInstance();
      app_.reset();
    } else {
      host_.ExpectDialog([](DialogDriver& d) { d.Click(IDOK); });
      ASSERT_TRUE(Doc()->OnNewProfile("", "Setup", "Fresh"));
      EXPECT_FALSE(Doc()->IsWatching());
      eventsBefore = Doc()->WatchEvents();
    }
    Witness witness;
    ASSERT_TRUE(witness.WaitFor(1));
    ASSERT_TRUE(Ctadm("put", 11));
    ASSERT_TRUE(witness.WaitFor(2));
    QCoreApplication::processEvents();
    if (app_) {
      EXPECT_EQ(Doc()->WatchEvents(), eventsBefore);
      EXPECT_EQ(Status(), kReady);
    }
  }
}

// A server that dies: the editor keeps running, the watch comes back when
// the server does (on the same address) and sees writes again, and the exit
// does not wait on a dead server.
TEST_F(WatchTest, DeadServerNeitherFreezesNorHoldsTheExit) {
  const struct {
    const char* what;
    bool restart;
  } cases[] = {{"server back", true}, {"server gone", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!app_) {
      server_ = std::make_unique<testsupport::ServerProcess>(serverDir_.path());
      ASSERT_TRUE(server_->Start(std::vector<std::string>{"--listen", "127.0.0.1:" + std::to_string(port_)}, false)) << server_->Log();
      app_ = std::make_unique<CQueltApp>();
      app_->m_lpCmdLine = "Default_Server edit Lines Setup";
      ASSERT_TRUE(app_->InitInstance());
      ASSERT_TRUE(FirstEventSeen());
    }
    port_ = server_->port();
    const uint32_t starts = Doc()->Watch()->Starts();
    ASSERT_NE(server_->Kill(SIGKILL), -1);
    // The editor still answers: its events run while nobody serves.
    int ticks = 0;
    ASSERT_TRUE(PumpUntil([&] { return ++ticks > 20; }));
    EXPECT_EQ(Status(), kReady);
    if (c.restart) {
      server_ = std::make_unique<testsupport::ServerProcess>(serverDir_.path());
      ASSERT_TRUE(server_->Start(std::vector<std::string>{"--listen", "127.0.0.1:" + std::to_string(port_)}, false)) << server_->Log();
      // Bound: the retry pause is at most a few seconds after one failure.
      ASSERT_TRUE(PumpUntil([&] { return Doc()->Watch()->Starts() > starts; }));
      ASSERT_TRUE(Ctadm("put", 21));
      EXPECT_TRUE(PumpUntil([&] { return Status() == kChanged; }));
    }
    // Ending the watch waits at most CProfileWatch::kStopWaitMs (0.5 s) on
    // a live server and not at all on a dead one; the bound is twenty times
    // that and only catches an exit that hangs on the server.
    const int64_t before = testsupport::NowMs();
    app_->ExitInstance();
    app_.reset();
    EXPECT_LT(testsupport::NowMs() - before, kHangBoundMs);
  }
}

// The embedded back end raises the same events: another session of the
// process stores and removes, the editor shows it, its own Store does not.
TEST(WatchEmbedded, WritesByAnotherSessionShow) {
  testsupport::TempDir dir;
  testsupport::TempRegistry registry;
  registry.Install(testsupport::EmbeddedDefaultServer(dir));
  ScriptedModalHost host;
  ScopedModalHost scope(&host);
  auto app = std::make_unique<CQueltApp>();
  Kvs start;
  CTkvs_PutInt(start, kKey, 1, nullptr);
  ASSERT_TRUE(app->m_session.SaveProfile("Default_Server", "Setup", "Lines", start, 0));
  app->m_lpCmdLine = "Default_Server edit Lines Setup";
  ASSERT_TRUE(app->InitInstance());
  auto* doc = dynamic_cast<CQueltDoc*>(app->m_pMainWnd->GetActiveDocument());
  auto* frame = dynamic_cast<CMainFrame*>(app->m_pMainWnd);
  ASSERT_TRUE(doc != nullptr && frame != nullptr);
  const auto status = [&] { return std::string(frame->StatusBar().GetPaneText(0).GetString()); };
  ASSERT_TRUE(PumpUntil([&] { return doc->WatchedRevision() == doc->BaseRevision(); }));

  MultiAdminSession other;
  const struct {
    const char* what;
    bool remove;
  } cases[] = {{"update", false}, {"remove", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Kvs content;
    CTkvs_PutInt(content, kKey, 5, nullptr);
    if (c.remove) {
      ECTF_AdminSession session("Default_Server");
      ASSERT_TRUE(session.RemoveProfile("Lines", "Setup"));
    } else {
      ASSERT_TRUE(other.SaveProfile("Default_Server", "Setup", "Lines", content, 1));
    }
    EXPECT_TRUE(PumpUntil([&] { return status() == kChanged; })) << status();
    if (c.remove) {
      ASSERT_TRUE(other.SaveProfile("Default_Server", "Setup", "Lines", content, 0));
    }
    ASSERT_TRUE(doc->OnOpenProfile("Default_Server", "Setup", "Lines"));
    EXPECT_EQ(status(), kReady);
    ASSERT_TRUE(PumpUntil([&] { return doc->WatchedRevision() == doc->BaseRevision(); }));
    EXPECT_EQ(status(), kReady);
  }
  app->ExitInstance();
  app.reset();
}

// The GUI post runs closures on the GUI thread in the order posted, and
// drops those still queued when it goes.
TEST(GuiPost, RunsInOrderOnTheGuiThreadAndDropsWhenGone) {
  const struct {
    const char* what;
    bool destroyFirst;
  } cases[] = {{"kept", false}, {"destroyed", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<int> ran;
    std::atomic<bool> offThread{false};
    auto post = std::make_unique<CGuiPost>();
    std::thread worker([&] {
      for (int i = 0; i < 5; ++i)
        post->Post([&ran, &offThread, i] {
          if (QThread::currentThread() != QCoreApplication::instance()->thread()) offThread = true;
          ran.push_back(i);
        });
    });
    worker.join();
    if (c.destroyFirst) post.reset();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(offThread);
    EXPECT_EQ(ran, c.destroyFirst ? std::vector<int>{} : (std::vector<int>{0, 1, 2, 3, 4}));
  }
}

}  // namespace
