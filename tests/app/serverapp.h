// The fixture of the editor tests on a real ctserver: the server in a folder
// of its own, a registry installed for the test with a temporary folder as
// the installation root, the scripted modal host, and the application, which
// is exited after each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/quelt.h"
#include "app/queltdoc.h"
#include "s100/ctcontainers.h"
#include "platform/cframewnd.h"
#include "platform/scriptedmodalhost.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

class ServerAppTest : public ::testing::Test {
 protected:
  // Starts the server; the test is skipped when the build has no ctserver.
  // A subclass's SetUp calls this first and returns when
  // IsSkipped() || HasFatalFailure().
  void SetUp() override {
    if (!testsupport::HaveServerBinary()) GTEST_SKIP() << "built without ctserver";
    server_ = std::make_unique<testsupport::ServerProcess>(serverDir_.path());
    ASSERT_TRUE(server_->Start()) << server_->Log();
  }
  void TearDown() override {
    if (app_) app_->ExitInstance();
    app_.reset();
  }

  // Installs the registry (dir_ as the installation root) and makes the
  // application that reads it.
  void InstallAndCreateApp(testsupport::RegistryContents contents) {
    contents.rootPath = dir_.path();
    registry_.Install(contents);
    app_ = std::make_unique<CQueltApp>();
  }

  // With the test's server alone as Default_Server, stores start there as
  // Lines (Setup) and starts the editor on it.  The caller returns on
  // HasFatalFailure().
  void StartEditingLines(CTkvs start) {
    testsupport::RegistryContents contents;
    contents.servers = {{"Default_Server", server_->address()}};
    contents.connectTimeoutMs = 2000;
    InstallAndCreateApp(contents);
    ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Setup", "Lines", start, 0));
    app_->m_lpCmdLine = "Default_Server edit Lines Setup";
    ASSERT_TRUE(app_->InitInstance());
  }

  // The open document; null before the application has a main window.
  CQueltDoc* Doc() const {
    if (!app_ || app_->m_pMainWnd == nullptr) return nullptr;
    return dynamic_cast<CQueltDoc*>(app_->m_pMainWnd->GetActiveDocument());
  }

  testsupport::TempDir dir_;
  testsupport::TempDir serverDir_;
  testsupport::TempRegistry registry_;
  ScriptedModalHost host_;
  ScopedModalHost scope_{&host_};
  std::unique_ptr<testsupport::ServerProcess> server_;
  std::unique_ptr<CQueltApp> app_;
};
