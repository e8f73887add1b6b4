// Server requests behind the progress window, against a listener that never
// answers and a real ctserver behind a proxy that holds its traffic back
// (stalled) or passes it on late (slow): the window repaints while they wait,
// the progress window names the request, and Cancel gives control back at
// once with a session that the next request replaces.  An add whose answer
// the proxy loses after the server acted is judged by what the server holds.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/cmdids.h"
#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "common/multises.h"
#include "platform/cframewnd.h"
#include "platform/scriptedmodalhost.h"
#include "platform/progresscall.h"
#include "s100/cterrors.h"
#include "s100/ctruntime.h"
#include "tests/support/containers.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tcpproxy.h"
#include "tests/support/tempdir.h"
#include "tree/kvs_node.h"

namespace {

using testsupport::Kvs;
using testsupport::NowMs;
using testsupport::Proxy;

// What the user would have seen during one request.
struct Watch {
  bool windowShown = false;
  QString windowText;
  int paintsWhileWaiting = 0;
  int64_t cancelledAtMs = 0;
};

class PaintCounter : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override { ++paints; }
};

QProgressDialog* ProgressWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->objectName() == QLatin1String(CProgressCallRunner::kObjectName))
      return qobject_cast<QProgressDialog*>(w);
  return nullptr;
}

// Runs request while a window asks to be repainted every 20 ms; with
// cancelAfterMs > 0 presses the progress window's Cancel then.
Watch Observe(const std::function<void()>& request, int cancelAfterMs) {
  Watch watch;
  PaintCounter window;
  window.resize(200, 100);
  window.show();
  QApplication::processEvents();
  const int paintsBefore = window.paints;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, &window, [&] {
    window.update();
    if (QProgressDialog* dialog = ProgressWindow()) {
      watch.windowShown = true;
      watch.windowText = dialog->labelText();
    }
  });
  look.start(20);
  if (cancelAfterMs > 0) {
    QTimer::singleShot(cancelAfterMs, &window, [&] {
      if (QProgressDialog* dialog = ProgressWindow())
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
          if (button->isVisible()) {
            watch.cancelledAtMs = NowMs();
            return button->click();
          }
    });
  }
  request();
  watch.paintsWhileWaiting = window.paints - paintsBefore;
  return watch;
}

class ServerCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveServerBinary()) GTEST_SKIP() << "built without ctserver";
    ASSERT_EQ(CT_Initialize(nullptr), 1);
    server = std::make_unique<testsupport::ServerProcess>(dir.path());
    ASSERT_TRUE(server->Start()) << server->Log();
    stalling = std::make_unique<Proxy>(0);
    proxy = std::make_unique<Proxy>(server->port());
    ASSERT_TRUE(stalling->ok() && proxy->ok());
    testsupport::RegistryContents reg;
    reg.servers = {{"Direct", server->address()}, {"Stall", stalling->address()}, {"Proxied", proxy->address()}};
    // Far beyond what any case below may take: a request that returns
    // early was given back by Cancel, not by a deadline.
    reg.connectTimeoutMs = reg.callTimeoutMs = 20000;
    testsupport::InstallRegistry(dir.File("test.reg"), reg);
    session.SetCallRunner(&ProgressCallRunner());
    ASSERT_EQ(CTkvs_PutInt(profile, 0x00800402, 7, nullptr), 1);
    ASSERT_TRUE(session.SaveProfile("Direct", "Setup", "Lines", profile, 0));
  }
  void TearDown() override {
    session.LogOffAllSessions();
    proxy.reset();
    stalling.reset();
    server.reset();
    CT_Shutdown(nullptr);
  }

  testsupport::TempDir dir;
  std::unique_ptr<testsupport::ServerProcess> server;
  std::unique_ptr<Proxy> stalling;
  std::unique_ptr<Proxy> proxy;
  MultiAdminSession session;
  Kvs profile;
};

enum class Op { List, Load, Store, Symbols };

// The profile list; a failed call leaves nothing behind.
bool List(MultiAdminSession& session, const char* server, int32_t* count) {
  QV_String* names = nullptr;
  QV_String* classes = nullptr;
  *count = 0;
  const bool ok = session.GetProfileList(server, "", &names, &classes, count);
  EXPECT_TRUE(ok || (names == nullptr && classes == nullptr && *count == 0));
  delete[] names;
  delete[] classes;
  return ok;
}

TEST_F(ServerCallTest, RequestsWaitBehindTheProgressWindowAndCancelAtOnce) {
  struct Case {
    const char* what;
    const char* server;
    bool stallAfterOpen;  // open the session first, then hold the proxy's traffic
    int delayMs;          // the proxy's lateness
    Op op;
    int cancelAfterMs;    // 0: let it finish
    bool expectWindow;
    const char* expectText;
    bool expectOk;
    uint32_t expectError;  // LastError after a failure
  };
  const Case cases[] = {
      {"fast list", "Direct", false, 0, Op::List, 0, false, "", true, 0},
      {"list, never answered", "Stall", false, 0, Op::List, 700, true,
       "Retrieving the list of profiles from Stall…", false, IDS_ADM_LIST_FAILED},
      {"load, stalled after open", "Proxied", true, 0, Op::Load, 700, true, "Retrieving Lines from Proxied…", false,
       IDS_ADM_RETRIEVE_FAILED},
      {"store, stalled after open", "Proxied", true, 0, Op::Store, 700, true, "Storing Lines on Proxied…", false,
       IDS_ADM_UPDATE_FAILED},
      {"symbols, never answered", "Stall", false, 0, Op::Symbols, 700, true, "Loading the symbol table of Stall…",
       false, IDS_ADM_NAME_TO_SYMBOL_FAILED},
      {"load, slow", "Proxied", false, 150, Op::Load, 0, true, "Retrieving Lines from Proxied…", true, 0},
      {"symbols, slow", "Proxied", false, 150, Op::Symbols, 0, true, "Loading the symbol table of Proxied…", true,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    session.LogOffAllSessions();
    proxy->stalled = false;
    proxy->delayMs = c.delayMs;
    int32_t count = 0;
    if (c.stallAfterOpen) {
      ASSERT_TRUE(List(session, c.server, &count));
      proxy->stalled = true;
    }

    int32_t ok = 0;
    Kvs loaded;
    const Watch watch = Observe(
        [&] {
          switch (c.op) {
            case Op::List:
              ok = List(session, c.server, &count);
              EXPECT_EQ(count, ok ? 1 : 0);
              break;
            case Op::Load:
              ok = session.LoadProfile(c.server, "Lines", "Setup", loaded);
              break;
            case Op::Store:
              ok = session.SaveProfile(c.server, "Setup", "Lines", profile, 1);
              break;
            case Op::Symbols: {
              uint32_t symbol = 0;
              ok = session.NameToSymbol(c.server, "KVS_EndKey", &symbol);
              EXPECT_TRUE(!ok || symbol == 0x00800401u) << symbol;
              break;
            }
          }
        },
        c.cancelAfterMs);
    const int64_t returnedAtMs = NowMs();
    EXPECT_EQ(ok != 0, c.expectOk);
    EXPECT_EQ(session.Cancelled() != 0, c.cancelAfterMs > 0);
    if (!c.expectOk) {
      EXPECT_EQ(session.LastError(), c.expectError);
    }
    EXPECT_EQ(watch.windowShown, c.expectWindow);
    EXPECT_EQ(ProgressWindow(), nullptr);
    if (c.expectWindow) {
      EXPECT_EQ(watch.windowText.toStdString(), c.expectText);
      EXPECT_GE(watch.paintsWhileWaiting, 3);
    }
    if (c.cancelAfterMs > 0) {
      // Cancel gave control back, not a deadline: the bound catches only a
      // wait for the 20 s deadlines.
      ASSERT_GT(watch.cancelledAtMs, 0);
      EXPECT_LT(returnedAtMs - watch.cancelledAtMs, testsupport::kHangBoundMs);
    }
    int32_t value = 0;
    if (c.op == Op::Load && c.expectOk) {
      EXPECT_EQ(CTkvs_GetInt(loaded, 0x00800402, &value, nullptr), 1);
      EXPECT_EQ(value, 7);
    }
    // After Cancel the session is gone: once the server answers again, the
    // next request opens a fresh one and succeeds.
    if (c.stallAfterOpen) {
      proxy->stalled = false;
      Kvs again;
      EXPECT_TRUE(session.LoadProfile(c.server, "Lines", "Setup", again));
      EXPECT_FALSE(session.Cancelled());
    }
  }
}

// An add whose answer is lost after the server stored the profile is tried
// again on a fresh session; the name is then taken, and the content under it
// tells whether that was this add (success) or someone else's (name exists).
TEST_F(ServerCallTest, AnAddWhoseAnswerWasLostIsJudgedByWhatTheServerHolds) {
  struct Case {
    const char* what;
    const char* name;
    bool changedMeanwhile;  // another client rewrites the profile before the retry
    bool expectOk;
    uint32_t expectError;
  };
  const Case cases[] = {
      {"stored as sent", "Fresh", false, true, IDS_ADM_NO_ERROR},
      {"changed by another client", "Taken", true, false, IDS_ADM_NAME_EXISTS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t count = 0;
    ASSERT_TRUE(List(session, "Proxied", &count));  // the session is open before the add
    proxy->holdReplies = true;
    proxy->repliesToCut = 1;
    // Another client watches the server directly; once the profile is there
    // (the add has been carried out) it lets the held answer go, to be cut.
    std::thread other([&] {
      MultiAdminSession direct;
      for (int tries = 0; tries < 2000; ++tries) {
        Kvs stored;
        if (direct.LoadProfile("Direct", c.name, "Setup", stored)) {
          if (c.changedMeanwhile) {
            Kvs changed;
            EXPECT_EQ(CTkvs_PutInt(changed, 0x00800402, 8, nullptr), 1);
            EXPECT_TRUE(direct.SaveProfile("Direct", "Setup", c.name, changed, 1));
          }
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      proxy->holdReplies = false;
    });
    const int32_t ok = session.SaveProfile("Proxied", "Setup", c.name, profile, 0);
    other.join();
    EXPECT_EQ(proxy->repliesToCut.load(), 0) << "the answer was not cut";
    EXPECT_EQ(ok != 0, c.expectOk);
    EXPECT_EQ(session.LastError(), c.expectError);
    EXPECT_FALSE(session.Cancelled());
    // Whatever was reported, the profile is there exactly once.
    int32_t value = 0;
    Kvs stored;
    ASSERT_TRUE(session.LoadProfile("Direct", c.name, "Setup", stored));
    EXPECT_EQ(CTkvs_GetInt(stored, 0x00800402, &value, nullptr), 1);
    EXPECT_EQ(value, c.changedMeanwhile ? 8 : 7);
  }
}

// The runtime on its own: a call abandoned from another thread returns at
// once, the abandoned session's later calls fail without waiting, and
// closing it does not wait for the server either.
TEST_F(ServerCallTest, AbandonedCallsAndSessionsDoNotWaitForTheServer) {
  Kvs reply, options, info;
  ASSERT_EQ(CTkvs_PutString(options, CT_KEY_SERVER_NAME, "Proxied", nullptr), 1);
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  CTses handle = 0;
  ASSERT_EQ(CTses_Create(&handle, "", 0, options, &record, 0), 1);
  proxy->stalled = true;

  CT_CancelToken token;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    token.Cancel();
  });
  CT_SetThreadCancelToken(&token);
  int64_t start = NowMs();
  EXPECT_NE(CTadm_GetProfileInfo(handle, nullptr, "", 0, info, &record, 0), 1);
  EXPECT_EQ(record.error, ct::kErrCancelled);
  CT_SetThreadCancelToken(nullptr);
  canceller.join();
  EXPECT_LT(NowMs() - start, testsupport::kHangBoundMs);

  // No token now: the session itself is abandoned.
  start = NowMs();
  EXPECT_NE(CTsym_LoadTable(handle, &record, 0), 1);
  EXPECT_EQ(record.error, ct::kErrCancelled);
  EXPECT_NE(CTses_Destroy(handle, CT_kvsEmpty, &record, 0), 1);
  EXPECT_LT(NowMs() - start, testsupport::kHangBoundMs);

  // A call started under a token that is cancelled already never goes out.
  CT_SetThreadCancelToken(&token);
  EXPECT_NE(CTses_Create(&handle, "", 0, options, &record, 0), 1);
  EXPECT_EQ(record.error, ct::kErrCancelled);
  CT_SetThreadCancelToken(nullptr);
}

// ---- A store cancelled while the server had it ---------------------------

// The editor on Lines/Setup through the proxy, with its progress window.
class StoreInDoubtTest : public ServerCallTest {
 protected:
  void SetUp() override {
    ServerCallTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    app = std::make_unique<CQueltApp>();
    app->m_lpCmdLine = "Proxied edit Lines Setup";
    ASSERT_TRUE(app->InitInstance());
  }
  void TearDown() override {
    if (app) app->ExitInstance();
    app.reset();
    ServerCallTest::TearDown();
  }
  CQueltDoc* Doc() const { return dynamic_cast<CQueltDoc*>(app->m_pMainWnd->GetActiveDocument()); }
  std::string Title() const { return Doc()->GetTitle().GetString(); }
  size_t Revisions() {
    std::vector<CT_RevisionInfo> revisions;
    EXPECT_TRUE(session.ListRevisions("Direct", "Lines", "Setup", &revisions));
    return revisions.size();
  }

  ScriptedModalHost host;
  ScopedModalHost scope{&host};
  std::unique_ptr<CQueltApp> app;
};

// Cancel cannot take back a store the server already has: the user is told
// so, and the next contact with the server (here the question before a
// New or Exit) finds out whether it was stored; the mark follows.
TEST_F(StoreInDoubtTest, TheNextContactLearnsWhetherACancelledStoreWasApplied) {
  for (const bool applied : {true, false}) {
    SCOPED_TRACE(applied ? "applied" : "not applied");
    ASSERT_TRUE(Doc()->OnOpenProfile("Proxied", "Setup", "Lines"));
    CQueltView* view = Doc()->GetView();
    view->SelectNode(view->GetRoot()->GetFirstChild());
    ASSERT_TRUE(app->m_pMainWnd->ExecuteCommand(ID_EDIT_DELETE));
    const size_t before = Revisions();
    host.Clear();
    proxy->stalled = true;
    Observe([&] { app->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE); }, 700);
    EXPECT_EQ(host.MessageIds(), std::vector<UINT>{4410});
    EXPECT_EQ(Title(), "[Lines, Setup, Proxied] *");
    EXPECT_TRUE(Doc()->IsStoreInDoubt());

    // The server goes on; whether it applied the request or not, the test
    // then makes the server hold what it names (the edited profile, or one
    // stored over it since).  The wait only guards against a hang.
    proxy->stalled = false;
    for (int i = 0; i < 20 && Revisions() == before; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Kvs edited, original;
    ASSERT_EQ(CTkvs_PutInt(original, 0x00800402, 7, nullptr), 1);
    ASSERT_TRUE(session.SaveProfile("Direct", "Setup", "Lines", applied ? edited : original, 1));

    host.Clear();
    if (!applied) host.ExpectDialog([](DialogDriver& d) { d.Click(IDCANCEL); });
    EXPECT_EQ(Doc()->SaveModified() != FALSE, applied) << "Confirm asks exactly when edits would be lost";
    EXPECT_EQ(host.Dialogs().size(), applied ? 0u : 1u);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_FALSE(Doc()->IsStoreInDoubt());
    EXPECT_EQ(Title(), applied ? "[Lines, Setup, Proxied]" : "[Lines, Setup, Proxied] *");
    // Stored: the next Store expects what the server holds now; not stored:
    // the server's other content is a conflict for the next Store.
    Kvs current;
    CT_ProfileVersion version{};
    ASSERT_TRUE(session.LoadProfile("Direct", "Lines", "Setup", current, &version));
    EXPECT_EQ(Doc()->BaseRevision() == version.revision, applied);
    // Whatever the answer, the profile is still the stored one.
    EXPECT_TRUE(Doc()->IsOnServer());
    ASSERT_TRUE(session.SaveProfile("Direct", "Setup", "Lines", original, 1));
  }
}

}  // namespace
