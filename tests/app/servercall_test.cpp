// Server requests behind the progress window, against a listener that never
// answers and a real ctserver behind a proxy that holds its traffic back
// (stalled) or passes it on late (slow): the window repaints while they wait,
// the progress window names the request, and Cancel gives control back at
// once with a session that the next request replaces.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
#include "tests/support/tempdir.h"
#include "tree/kvs_node.h"

namespace {

using testsupport::Kvs;
using testsupport::NowMs;

int ListenLoopback(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

// Accepts connections on loopback, forwards each to `target` (0: nowhere,
// the connection just stays silent), and passes the bytes on after
// delayMs; while stalled it passes nothing on.
class Proxy {
 public:
  explicit Proxy(int target) : target_(target) {
    listen_ = ListenLoopback(&port_);
    if (listen_ >= 0) accept_ = std::thread([this] { AcceptLoop(); });
  }
  ~Proxy() {
    stop_ = true;
    if (accept_.joinable()) accept_.join();  // fds_ and threads_ are ours alone from here
    for (int fd : fds_) shutdown(fd, SHUT_RDWR);
    for (std::thread& t : threads_) t.join();
    for (int fd : fds_) close(fd);
    if (listen_ >= 0) close(listen_);
  }
  bool ok() const { return listen_ >= 0; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  std::atomic<int> delayMs{0};
  std::atomic<bool> stalled{false};

 private:
  void AcceptLoop() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      fds_.push_back(client);
      if (target_ == 0) continue;
      const int upstream = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      const sockaddr_in addr{AF_INET, htons(static_cast<uint16_t>(target_)), {htonl(INADDR_LOOPBACK)}, {}};
      if (upstream < 0 || connect(upstream, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (upstream >= 0) close(upstream);
        shutdown(client, SHUT_RDWR);
        continue;
      }
      fds_.push_back(upstream);
      threads_.emplace_back([this, client, upstream] { Pump(client, upstream); });
      threads_.emplace_back([this, upstream, client] { Pump(upstream, client); });
    }
  }
  void Pump(int from, int to) {
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(from, buffer, sizeof buffer);
      if (n <= 0 || stop_) break;
      for (int waited = 0; !stop_ && (stalled || waited < delayMs); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (stop_ || send(to, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) != n) break;
    }
    shutdown(to, SHUT_WR);
  }

  int target_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread accept_;
  std::vector<int> fds_;              // these two grow only on the accepting
  std::vector<std::thread> threads_;  // thread, so need no lock
};

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
      // Control is back at once: 100 ms is the aim; the bound leaves room for
      // a loaded machine and the sanitizers, far below the 20 s deadlines.
      ASSERT_GT(watch.cancelledAtMs, 0);
      const int64_t took = returnedAtMs - watch.cancelledAtMs;
      RecordProperty(std::string("cancel_ms_") + c.server, std::to_string(took));
      EXPECT_LT(took, 1000);
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
  EXPECT_LT(NowMs() - start, 1300);

  // No token now: the session itself is abandoned.
  start = NowMs();
  EXPECT_NE(CTsym_LoadTable(handle, &record, 0), 1);
  EXPECT_EQ(record.error, ct::kErrCancelled);
  EXPECT_NE(CTses_Destroy(handle, CT_kvsEmpty, &record, 0), 1);
  EXPECT_LT(NowMs() - start, 1000);

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
    // Whatever the answer, the profile is still the stored one.
    EXPECT_TRUE(Doc()->IsOnServer());
    ASSERT_TRUE(session.SaveProfile("Direct", "Setup", "Lines", original, 1));
  }
}

}  // namespace
