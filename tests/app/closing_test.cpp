// Closing the editor while a server does not answer: a close that arrives
// during a Store waits for the Store to end, and the program's exit does not
// wait on a server that has stopped answering.  A real ctserver sits behind a
// proxy that the test stalls; the deadlines are far longer than any case
// here may take, so an exit that waited on them would fail.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "platform/cframewnd.h"
#include "platform/scriptedmodalhost.h"
#include "s100/ctruntime.h"
#include "tests/app/serverapp.h"
#include "tests/support/containers.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tcpproxy.h"
#include "tests/support/tempdir.h"

namespace {

using testsupport::Kvs;

// Far beyond the hang bound (ten times the second in which the program is
// to end): a wait for a deadline fails the test.
constexpr int64_t kHugeDeadlineMs = 60000;
using testsupport::kHangBoundMs;

class ClosingTest : public ServerAppTest {
 protected:
  void SetUp() override {
    ServerAppTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    proxy_ = std::make_unique<testsupport::Proxy>(server_->port());
    ASSERT_TRUE(proxy_->ok());
    testsupport::RegistryContents contents;
    contents.servers = {{"Proxied", proxy_->address()}, {"Direct", server_->address()}};
    contents.connectTimeoutMs = contents.callTimeoutMs = kHugeDeadlineMs;
    InstallAndCreateApp(contents);
    Kvs lines;
    CTkvs_PutInt(lines, 0x7001, 42, nullptr);
    ASSERT_TRUE(app_->m_session.SaveProfile("Direct", "Setup", "Lines", lines, 0));
    ASSERT_TRUE(Launch());
  }
  // Starts the application (a fresh one when there is none) on Lines
  // through the proxy.
  bool Launch() {
    if (!app_) app_ = std::make_unique<CQueltApp>();
    app_->m_lpCmdLine = "Proxied edit Lines Setup";
    return app_->InitInstance() && Doc() != nullptr;
  }
  void TearDown() override {
    if (proxy_) proxy_->stalled = false;
    ServerAppTest::TearDown();
    proxy_.reset();
    server_.reset();
  }

  // The value under 0x7001 of Lines as the server holds it now.
  // (The runtime is the test's own here: the application may have ended.)
  int32_t StoredValue() {
    CT_Initialize(nullptr);
    int32_t value = 0;
    {
      MultiAdminSession direct;
      Kvs stored;
      EXPECT_TRUE(direct.LoadProfile("Direct", "Lines", "Setup", stored));
      EXPECT_EQ(CTkvs_GetInt(stored, 0x7001, &value, nullptr), 1);
    }
    CT_Shutdown(nullptr);
    return value;
  }

  std::unique_ptr<testsupport::Proxy> proxy_;
};

// The close comes before the progress window shows (the first thing the
// wait does), with the request on the stack and the frame, document and view
// beneath it.  The close is carried out once the request has ended, without
// a question, and the request's work stands.
TEST_F(ClosingTest, ACloseDuringARequestWaitsForTheRequestToEnd) {
  struct Case {
    const char* what;
    int32_t edit;  // 0: leave the profile as it is
    std::function<void(CQueltApp&)> request;
    int32_t expectStored;
  };
  const Case cases[] = {
      {"retrieve", 0, [](CQueltApp& app) { ASSERT_NE(app.OpenProfile("Proxied", "Setup", "Lines", FALSE), nullptr); },
       42},
      {"store", 43, [](CQueltApp& app) { app.m_pMainWnd->ExecuteCommand(ID_FILE_SAVE); }, 43},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!app_) {
      ASSERT_TRUE(Launch());
    }
    host_.Clear();
    QPointer<QMainWindow> window = app_->m_pMainWnd->Window();
    if (c.edit != 0) {
      Kvs edited;
      CTkvs_PutInt(edited, 0x7001, c.edit, nullptr);
      ASSERT_TRUE(Doc()->GetView()->PutProfile("Proxied", edited));
      Doc()->GetView()->DocumentModified();
    }

    proxy_->stalled = true;
    bool closedAtOnce = true;
    QTimer::singleShot(0, window.data(), [&] {
      closedAtOnce = window->close();
      proxy_->stalled = false;
    });
    c.request(*app_);
    EXPECT_FALSE(closedAtOnce) << "the close was taken while the request waited";
    ASSERT_NE(Doc(), nullptr);
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_TRUE(host_.Messages().empty());

    EXPECT_TRUE(QTest::qWaitFor([&] { return app_->m_pMainWnd == nullptr; }, kHangBoundMs));
    EXPECT_TRUE(host_.Dialogs().empty()) << "an unmodified profile closes without asking";
    app_->ExitInstance();
    app_.reset();
    EXPECT_EQ(StoredValue(), c.expectStored);
  }
}

// The server stops answering after the profile was retrieved; closing the
// window and ending the program do not wait for it.
TEST_F(ClosingTest, ExitDoesNotWaitForAServerThatStoppedAnswering) {
  proxy_->stalled = true;
  ASSERT_TRUE(app_->m_pMainWnd->Window()->close());
  EXPECT_EQ(app_->m_pMainWnd, nullptr);
  const int64_t start = testsupport::NowMs();
  app_->ExitInstance();
  app_.reset();
  EXPECT_LT(testsupport::NowMs() - start, kHangBoundMs);
  proxy_->stalled = false;
  EXPECT_EQ(StoredValue(), 42) << "nothing stored is touched";
}

}  // namespace
