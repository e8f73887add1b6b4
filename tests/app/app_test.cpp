// The editor end to end: start-up command lines, New, Retrieve, Store and
// Store As with their dialogs and messages, the Confirm dialog, the title,
// a profile of every kind through the whole round trip, a server restarted
// mid-session, the About box, the frame and the runtime's balance.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QToolBar>
#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/helpwnd.h"
#include "app/mainfrm.h"
#include "app/misc.h"
#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "platform/scriptedmodalhost.h"
#include "s100/cterrors.h"
#include "s100/ctruntime.h"
#include "tests/common/sessions_fixture.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"
#include "tree/kvs_node.h"

namespace {

using testsupport::Kvs;
using Script = ScriptedModalHost::Script;

constexpr int kServerList = 53254;
constexpr int kProfileList = 53248;

// Picks the row with the text in the dialog's list and confirms.
Script Choose(int listId, const std::string& text) {
  return [listId, text](DialogDriver& d) {
    auto* list = qobject_cast<QListWidget*>(d.Control(listId));
    ASSERT_NE(list, nullptr);
    const auto found = list->findItems(QString::fromStdString(text), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text;
    list->setCurrentItem(found.front());
    d.Click(IDOK);
  };
}
Script Server(const std::string& name) { return Choose(kServerList, name); }
Script Profile(const std::string& entry) { return Choose(kProfileList, entry); }
Script Cancel() {
  return [](DialogDriver& d) { d.Click(IDCANCEL); };
}
Script StoreAs(const std::string& name, const std::string& cls, const std::string& server) {
  return [=](DialogDriver& d) {
    d.Type(1004, QString::fromStdString(name));
    d.Type(1005, QString::fromStdString(cls));
    d.Type(1006, QString::fromStdString(server));
    d.Click(IDOK);
  };
}
Script Press(int id) {
  return [id](DialogDriver& d) { d.Click(id); };
}

// An installation of the test's own: a registry file with the version,
// the root path and the known servers; an embedded server with a few
// profiles, an embedded server with none, and one that cannot be reached.
class AppEnv : public ::testing::Test {
 protected:
  void SetUp() override { Install({}); }

  void Install(std::map<std::string, std::string> extra) {
    testsupport::RegistryContents contents;
    contents.servers = {{"Default_Server", "embedded:" + dir_.File("profiles.db")},
                        {"Empty", "embedded:" + dir_.File("empty.db")},
                        {"Dead", "127.0.0.1:" + std::to_string(testsupport::UnusedPort())}};
    for (auto& [k, v] : extra) contents.servers[k] = v;
    contents.connectTimeoutMs = 2000;
    registry_.Write(testsupport::RegistryText(contents) +
                    "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Environment]\r\n\"RootPath\"=\"" +
                    dir_.path() +
                    "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\CurrentVersion]\r\n"
                    "\"Major Version\"=dword:00000002\r\n\"Minor Version\"=dword:00000000\r\n"
                    "\"User Name\"=\"Ada\"\r\n\"Company Name\"=\"Velcor <b>Ltd</b>\"\r\n");
  }

  // A fresh application with the profiles Lines/Setup and Trunks/Setup on
  // Default_Server; the command line is run by Start.
  void MakeApp() {
    app_ = std::make_unique<CQueltApp>();
    Kvs lines, trunks;
    CTkvs_PutInt(lines, 0x7001, 42, nullptr);
    CTkvs_PutInt(trunks, 0x7001, 7, nullptr);
    app_->m_session.SaveProfile("Default_Server", "Setup", "Lines", lines, 0);
    app_->m_session.SaveProfile("Default_Server", "Setup", "Trunks", trunks, 0);
  }
  BOOL Start(const std::string& commandLine) {
    if (!app_) MakeApp();
    app_->m_lpCmdLine = commandLine.c_str();
    return app_->InitInstance();
  }
  // Starts without a profile (Default_Server chosen), modifies the new
  // profile and forgets the dialogs seen so far.
  bool StartModifiedUntitled() {
    host_.ExpectDialog(Server("Default_Server"));
    if (!Start("")) return false;
    Doc()->GetView()->DocumentModified();
    host_.Clear();
    return true;
  }
  void TearDown() override {
    if (app_) app_->ExitInstance();
    app_.reset();
  }
  CQueltDoc* Doc() const {
    if (!app_ || app_->m_pMainWnd == nullptr) return nullptr;
    return dynamic_cast<CQueltDoc*>(app_->m_pMainWnd->GetActiveDocument());
  }
  std::string Title() const { return Doc() != nullptr ? Doc()->GetTitle().GetString() : "<no document>"; }
  std::string Caption() const {
    return app_->m_pMainWnd != nullptr ? app_->m_pMainWnd->Window()->windowTitle().toStdString() : "";
  }
  void Run(std::vector<Script> scripts, const std::function<void()>& action) {
    for (auto& s : scripts) host_.ExpectDialog(std::move(s));
    action();
  }
  std::vector<QString> DialogTitles() const {
    std::vector<QString> titles;
    for (const auto& d : host_.Dialogs()) titles.push_back(d.title);
    return titles;
  }

  testsupport::TempDir dir_;
  testsupport::TempRegistry registry_;
  ScriptedModalHost host_;
  ScopedModalHost scope_{&host_};
  std::unique_ptr<CQueltApp> app_;
};

TEST_F(AppEnv, StartUpCommandLinesAreAcceptedOrRefused) {
  const std::string longWord(256, 'x');
  struct Case {
    std::string line;
    std::vector<Script> scripts;
    BOOL ok;
    std::string title;
    std::vector<UINT> messages;
    size_t dialogs;
  };
  Case cases[] = {
      {"", {Server("Default_Server")}, TRUE, "[Untitled, No_Class, Default_Server]", {}, 1},
      {"", {Cancel()}, FALSE, "<no document>", {}, 1},
      {"S1 new Setup", {Server("Empty")}, TRUE, "[Untitled, Setup, Empty]", {}, 1},
      {"  Default_Server   edit Lines Setup ", {}, TRUE, "[Lines, Setup, Default_Server]", {}, 0},
      {"Default_Server edit Missing Setup", {}, FALSE, "<no document>", {16392}, 0},
      {"Dead edit Lines Setup", {}, FALSE, "<no document>", {16390}, 0},
      {"S1 open Lines Setup", {}, FALSE, "<no document>", {}, 0},
      {"S1 new", {}, FALSE, "<no document>", {}, 0},
      {"S1 edit Lines", {}, FALSE, "<no document>", {}, 0},
      {"S1 new " + longWord, {}, FALSE, "<no document>", {}, 0},
      {"Default_Server edit " + longWord + " Setup", {}, FALSE, "<no document>", {}, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE("command line: " + c.line.substr(0, 60));
    host_.Clear();
    MakeApp();
    for (auto& s : c.scripts) host_.ExpectDialog(std::move(s));
    EXPECT_EQ(Start(c.line), c.ok);
    EXPECT_EQ(app_->m_pMainWnd != nullptr, c.ok != FALSE);
    EXPECT_EQ(Title(), c.title);
    EXPECT_EQ(host_.MessageIds(), c.messages);
    EXPECT_EQ(host_.Dialogs().size(), c.dialogs);
    if (c.ok) {
      EXPECT_EQ(Caption(), c.title + " - Quelt");
    }
    TearDown();
  }
}

TEST_F(AppEnv, NewAndRetrieveKeepTheCurrentProfileUnlessTheyComplete) {
  struct Case {
    const char* what;
    bool retrieve;
    std::vector<Script> scripts;
    std::string title;
    std::vector<UINT> messages;
  };
  Case cases[] = {
      {"retrieve", true, {Server("Default_Server"), Profile("Trunks  [ Setup ]")}, "[Trunks, Setup, Default_Server]", {}},
      {"server dialog cancelled", true, {Cancel()}, "[Lines, Setup, Default_Server]", {}},
      {"profile dialog cancelled", true, {Server("Default_Server"), Cancel()}, "[Lines, Setup, Default_Server]", {}},
      {"unreachable server", true, {Server("Dead")}, "[Lines, Setup, Default_Server]", {16390}},
      {"server without profiles", true, {Server("Empty")}, "[Lines, Setup, Default_Server]", {16391}},
      {"new", false, {Server("Empty")}, "[Untitled, No_Class, Empty]", {}},
      {"new cancelled", false, {Cancel()}, "[Lines, Setup, Default_Server]", {}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Start("Default_Server edit Lines Setup"));
    host_.Clear();
    Run(std::move(c.scripts), [&] {
      if (c.retrieve)
        app_->OnFileOpen();
      else
        app_->OnFileNew();
    });
    EXPECT_EQ(Title(), c.title);
    EXPECT_EQ(host_.MessageIds(), c.messages);
    EXPECT_EQ(host_.PendingScripts(), 0u);
    TearDown();
  }
}

TEST_F(AppEnv, RetrieveListsTheProfilesSortedWithTheirClasses) {
  ASSERT_TRUE(Start("Default_Server edit Lines Setup"));
  std::vector<std::string> rows, servers;
  host_.ExpectDialog([&](DialogDriver& d) {
    auto* list = qobject_cast<QListWidget*>(d.Control(kServerList));
    for (int i = 0; list != nullptr && i < list->count(); ++i) servers.push_back(list->item(i)->text().toStdString());
    EXPECT_EQ(list->currentItem()->text(), "Default_Server");
    d.Click(IDOK);
  });
  host_.ExpectDialog([&](DialogDriver& d) {
    auto* list = qobject_cast<QListWidget*>(d.Control(kProfileList));
    for (int i = 0; list != nullptr && i < list->count(); ++i) rows.push_back(list->item(i)->text().toStdString());
    d.Click(IDCANCEL);
  });
  app_->OnFileOpen();
  EXPECT_EQ(servers, (std::vector<std::string>{"Dead", "Default_Server", "Empty"}));
  EXPECT_EQ(rows, (std::vector<std::string>{"Lines  [ Setup ]", "Trunks  [ Setup ]"}));
}

// The chosen row's name and class are the listed ones, whatever blanks or
// brackets the class holds, and the profile loads with its content.
TEST_F(AppEnv, RetrieveOpensTheListedNameAndClassWhateverTheyHold) {
  const char* classes[] = {"Night Shift", "Setup ] [ x", "A  [ B ]"};
  MakeApp();
  int32_t value = 100;
  for (const char* cls : classes) {
    Kvs odd;
    CTkvs_PutInt(odd, 0x7001, ++value, nullptr);
    const std::string name = "Odd" + std::to_string(value);
    ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", cls, name.c_str(), odd, 0)) << cls;
  }
  ASSERT_TRUE(Start("Default_Server edit Lines Setup"));
  value = 100;
  for (const char* cls : classes) {
    SCOPED_TRACE(cls);
    host_.Clear();
    const std::string name = "Odd" + std::to_string(value + 1);
    Run({Server("Default_Server"), Profile(MakeProfileEntry(name.c_str(), cls).GetString())},
        [&] { app_->OnFileOpen(); });
    EXPECT_TRUE(host_.Messages().empty());
    EXPECT_EQ(Title(), "[" + name + ", " + cls + ", Default_Server]");
    EXPECT_STREQ(Doc()->GetProfileClass().GetString(), cls);
    int32_t got = 0;
    Kvs shown;
    ASSERT_TRUE(Doc()->GetView()->GetProfile("Default_Server", shown));
    EXPECT_EQ(CTkvs_GetInt(shown, 0x7001, &got, nullptr), 1);
    EXPECT_EQ(got, ++value);
  }
}

// Cancelling the server dialog of New changes nothing about the open
// profile: it is still the stored one, Store updates it in place, and its
// unsaved changes and their history are still there.
TEST_F(AppEnv, ACancelledNewLeavesTheOpenProfileAsItWas) {
  struct Case {
    const char* what;
    bool edited;
    std::vector<Script> scripts;
  } cases[] = {
      {"unchanged", false, {Cancel()}},
      {"edited, No in Confirm", true, {Press(IDNO), Cancel()}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Start("Default_Server edit Lines Setup"));
    CQueltView* view = Doc()->GetView();
    if (c.edited) {
      view->SelectNode(view->GetRoot()->GetFirstChild());
      ASSERT_TRUE(app_->m_pMainWnd->ExecuteCommand(ID_EDIT_DELETE));
    }
    const std::string title = Title();
    host_.Clear();
    Run(std::move(c.scripts), [&] { app_->OnFileNew(); });
    EXPECT_EQ(host_.PendingScripts(), 0u);
    EXPECT_EQ(Title(), title);
    EXPECT_TRUE(Doc()->IsOnServer());
    EXPECT_EQ(Doc()->IsModified() != FALSE, c.edited);
    EXPECT_EQ(view->History().CanUndo(), c.edited);
    EXPECT_EQ(view->GetRoot()->GetFirstChild() == nullptr, c.edited);
    EXPECT_TRUE(app_->m_pMainWnd->Commands()->UpdateCommand(ID_PROFILE_HISTORY));

    std::vector<CT_RevisionInfo> before, after;
    ASSERT_TRUE(app_->m_session.ListRevisions("Default_Server", "Lines", "Setup", &before));
    host_.Clear();
    app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
    EXPECT_TRUE(host_.Dialogs().empty()) << "updated in place, without Store As";
    EXPECT_TRUE(host_.Messages().empty());
    EXPECT_EQ(Title(), "[Lines, Setup, Default_Server]");
    ASSERT_TRUE(app_->m_session.ListRevisions("Default_Server", "Lines", "Setup", &after));
    EXPECT_EQ(after.size(), before.size() + 1);
    Kvs stored;
    ASSERT_TRUE(app_->m_session.LoadProfile("Default_Server", "Lines", "Setup", stored));
    int32_t value = 0;
    EXPECT_EQ(CTkvs_GetInt(stored, 0x7001, &value, nullptr) == 1, !c.edited);
    TearDown();
  }
}

TEST_F(AppEnv, StoreAsChecksInOrderAndNeverOverwrites) {
  struct Case {
    const char* what;
    std::string name, cls, server;
    std::vector<UINT> messages;
    std::string title;
  } cases[] = {
      {"stored", "Fresh", "Setup", "Default_Server", {}, "[Fresh, Setup, Default_Server]"},
      {"no name", "", "Setup", "Default_Server", {4125}, "[Untitled, No_Class, Default_Server] *"},
      {"nothing", "", "", "", {4125, 4129, 4127}, "[Untitled, No_Class, Default_Server] *"},
      {"taken name", "Lines", "Setup", "Default_Server", {16393}, "[Untitled, No_Class, Default_Server] *"},
      {"unreachable", "Fresh2", "Setup", "Dead", {16390}, "[Untitled, No_Class, Default_Server] *"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(StartModifiedUntitled());
    std::vector<std::string> preset;
    host_.ExpectDialog([&](DialogDriver& d) {
      preset = {d.Text(1004).toStdString(), d.Text(1005).toStdString(), d.Text(1006).toStdString()};
      StoreAs(c.name, c.cls, c.server)(d);
    });
    // Store on a never-stored profile is Store As.
    app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
    EXPECT_EQ(preset, (std::vector<std::string>{"Untitled", "No_Class", "Default_Server"}));
    EXPECT_EQ(host_.MessageIds(), c.messages);
    EXPECT_EQ(Title(), c.title);
    EXPECT_EQ(Doc()->IsOnServer(), c.messages.empty());
    TearDown();
  }
  // The taken name kept its own content.
  MakeApp();
  Kvs lines;
  ASSERT_TRUE(app_->m_session.LoadProfile("Default_Server", "Lines", "Setup", lines));
  int32_t value = 0;
  EXPECT_EQ(CTkvs_GetInt(lines, 0x7001, &value, nullptr), 1);
  EXPECT_EQ(value, 42);
}

TEST_F(AppEnv, StoreUpdatesInPlaceAndTheTitleFollowsTheModifiedFlag) {
  ASSERT_TRUE(Start("Default_Server edit Lines Setup"));
  EXPECT_EQ(Title(), "[Lines, Setup, Default_Server]");
  Doc()->GetView()->DocumentModified();
  EXPECT_EQ(Title(), "[Lines, Setup, Default_Server] *");
  EXPECT_EQ(Caption(), "[Lines, Setup, Default_Server] * - Quelt");
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_TRUE(host_.Dialogs().empty()) << "a stored profile is updated without asking";
  EXPECT_EQ(Title(), "[Lines, Setup, Default_Server]");
}

TEST_F(AppEnv, ConfirmAnswersDecideWhetherNewGoesOn) {
  struct Case {
    const char* what;
    std::vector<Script> scripts;
    std::string title;
  } cases[] = {
      {"no: discard", {Press(IDNO), Server("Empty")}, "[Untitled, No_Class, Empty]"},
      {"cancel: keep", {Press(IDCANCEL)}, "[Untitled, No_Class, Default_Server] *"},
      {"yes, store as cancelled: keep", {Press(IDOK), Cancel()}, "[Untitled, No_Class, Default_Server] *"},
      {"yes, stored: go on",
       {Press(IDOK), StoreAs("Kept", "Setup", "Default_Server"), Server("Empty")},
       "[Untitled, No_Class, Empty]"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(StartModifiedUntitled());
    Run(std::move(c.scripts), [&] { app_->OnFileNew(); });
    EXPECT_EQ(Title(), c.title);
    EXPECT_EQ(host_.PendingScripts(), 0u);
    EXPECT_EQ(host_.Dialogs().front().title, "Confirm");
    TearDown();
  }
}

TEST_F(AppEnv, EveryKindSurvivesRetrieveEditStoreAndRetrieve) {
  MakeApp();
  Kvs original;
  sessions_test::FillEveryKind(original);
  ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Test", "Every_Kind", original, 0));
  ASSERT_TRUE(Start("Default_Server edit Every_Kind Test"));
  CQueltView* view = Doc()->GetView();
  // One value changes: the tree is read, one integer replaced, put back.
  Kvs edited;
  ASSERT_TRUE(view->GetProfile("Default_Server", edited));
  std::string why;
  EXPECT_TRUE(sessions_test::SameContent(original, edited, &why)) << "tree changed the profile: " << why;
  ASSERT_EQ(CTkvs_PutInt(edited, 0x7001, 12345, nullptr), 1);
  ASSERT_TRUE(view->PutProfile("Default_Server", edited));
  view->DocumentModified();
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  EXPECT_TRUE(host_.Messages().empty());
  Kvs stored;
  ASSERT_TRUE(app_->m_session.LoadProfile("Default_Server", "Every_Kind", "Test", stored));
  EXPECT_TRUE(sessions_test::SameContent(edited, stored, &why)) << why;
  EXPECT_FALSE(sessions_test::SameContent(original, stored));
  // Retrieve it again through the dialogs: the same content.
  Run({Server("Default_Server"), Profile("Every_Kind  [ Test ]")}, [&] { app_->OnFileOpen(); });
  Kvs again;
  ASSERT_TRUE(view->GetProfile("Default_Server", again));
  EXPECT_TRUE(sessions_test::SameContent(edited, again, &why)) << why;
}

TEST_F(AppEnv, ARestartedServerIsReachedAgainOnTheNextCall) {
  if (!testsupport::HaveServerBinary()) GTEST_SKIP() << "no ctserver";
  testsupport::TempDir serverDir;
  auto server = std::make_unique<testsupport::ServerProcess>(serverDir.path());
  ASSERT_TRUE(server->Start()) << server->Log();
  const int port = server->port();
  Install({{"Live", server->address()}});
  MakeApp();
  Kvs profile;
  CTkvs_PutInt(profile, 0x7001, 5, nullptr);
  ASSERT_TRUE(app_->m_session.SaveProfile("Live", "Setup", "Remote", profile, 0));
  ASSERT_TRUE(Start("Live edit Remote Setup"));

  server->Kill(SIGTERM);
  server.reset();
  server = std::make_unique<testsupport::ServerProcess>(serverDir.path());
  ASSERT_TRUE(server->Start({"--listen", "127.0.0.1:" + std::to_string(port)}, false)) << server->Log();

  // Store and Retrieve go through without the user quitting first.
  Doc()->GetView()->DocumentModified();
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(Title(), "[Remote, Setup, Live]");
  Run({Server("Live"), Profile("Remote  [ Setup ]")}, [&] { app_->OnFileOpen(); });
  EXPECT_TRUE(host_.Messages().empty());

  // A server that stays away is reported once the one reconnection fails.
  server.reset();
  host_.Clear();
  Run({Server("Live")}, [&] { app_->OnFileOpen(); });
  EXPECT_EQ(host_.MessageIds(), (std::vector<UINT>{16396}));
}

TEST_F(AppEnv, FrameCarriesMenuToolbarStatusBarAndAboutBox) {
  ASSERT_TRUE(Start("Default_Server edit Lines Setup"));
  auto* frame = dynamic_cast<CMainFrame*>(app_->m_pMainWnd);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->ToolBar().ToolBar()->actions().size(), 10);
  EXPECT_EQ(frame->StatusBar().GetCount(), 4);
  struct Command {
    UINT id;
    const char* text;
    bool enabled;
  } commands[] = {
      {ID_FILE_NEW, "&New profile...\tCtrl+N", true},  {ID_FILE_OPEN, "&Retrieve from server...\tCtrl+R", true},
      {ID_FILE_SAVE, "&Store on Server\tCtrl+S", true}, {ID_FILE_SAVE_AS, "Store on server &As...", true},
      {ID_APP_ABOUT, "&About this application...", true}, {ID_HELP_CONTENTS, "&Contents...\tF1", true},
      {57643, nullptr, false},                         {32770, nullptr, false},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.id);
    QAction* action = frame->GetCommandAction(c.id);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(frame->Commands()->UpdateCommand(c.id), c.enabled);
    if (c.text != nullptr) {
      EXPECT_EQ(action->text().toStdString(), c.text);
    }
  }
  for (int key : {QKeyCombination(Qt::ALT, Qt::Key_Backspace).toCombined(), int(Qt::Key_F6),
                  QKeyCombination(Qt::SHIFT, Qt::Key_F6).toCombined(), int(Qt::Key_F9)})
    EXPECT_TRUE(frame->IsAcceleratorKey(key)) << key;

  std::vector<std::string> fields;
  host_.ExpectDialog([&](DialogDriver& d) {
    for (int id : {49194, 49196, 49198, 49200}) fields.push_back(d.Text(id).toStdString());
    d.Click(IDOK);
  });
  frame->ExecuteCommand(ID_APP_ABOUT);
  EXPECT_EQ(fields, (std::vector<std::string>{"Quelt", "2.0", "Ada", "Velcor <b>Ltd</b>"}));

  // Help: the installation has no pages, so the built-in ones open.
  frame->ExecuteCommand(ID_HELP_CONTENTS);
  ASSERT_NE(app_->HelpWindow(), nullptr);
  EXPECT_EQ(app_->HelpWindow()->CurrentPage().toStdString(), "index.html");
  EXPECT_FALSE(app_->HelpWindow()->Search("Store As").isEmpty());
  EXPECT_TRUE(app_->HelpWindow()->Search("zzqqxx").isEmpty());
  frame->ExecuteCommand(ID_HELP_HOWTOUSEHELP);
  EXPECT_EQ(app_->HelpWindow()->CurrentPage().toStdString(), "usinghelp.html");
}

TEST(AppRuntime, StartAndExitBalanceTheRuntime) {
  testsupport::TempRegistry registry;
  registry.Write("Windows Registry Editor Version 5.00\r\n");
  ScriptedModalHost host;
  ScopedModalHost scope(&host);
  {
    CQueltApp app;  // no RootPath: message 4112
    app.m_lpCmdLine = "S1 open";
    EXPECT_FALSE(app.InitInstance());
    app.ExitInstance();
    EXPECT_EQ(host.MessageIds(), (std::vector<UINT>{4112}));
  }
  uint32_t err = 0;
  EXPECT_NE(CT_Shutdown(&err), 1) << "the runtime was left initialised";
  EXPECT_EQ(err, ct::kErrNotInitialized);
}

}  // namespace
