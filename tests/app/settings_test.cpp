// What the editor remembers between runs, in a configuration folder of the
// test's own: the file read back and checked, the recent profiles, and two
// runs of the application (window, bars, zoom, the Profile menu's entries).
#include <gtest/gtest.h>

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/mainfrm.h"
#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/settings.h"
#include "platform/scriptedmodalhost.h"
#include "tests/support/containers.h"
#include "tests/support/registry.h"
#include "tests/support/tempdir.h"

namespace {

using testsupport::Kvs;
using Names = std::vector<std::string>;

Names NamesOf(const std::vector<CRecentProfile>& recent) {
  Names names;
  for (const CRecentProfile& p : recent) names.push_back(p.name.GetString());
  return names;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    ASSERT_EQ(CEditorSettings::FilePath().toStdString(), config_.path() + "/Velcor/Quelt.conf");
  }
  void TearDown() override {
    if (app_) app_->ExitInstance();
    app_.reset();
    unsetenv("XDG_CONFIG_HOME");
  }
  // The installation: Default_Server embedded, with Lines and Trunks.
  void StartApp(const std::string& commandLine) {
    testsupport::RegistryContents contents;
    contents.servers = {{"Default_Server", "embedded:" + dir_.File("profiles.db")}};
    contents.rootPath = dir_.path();
    registry_.Install(contents);
    app_ = std::make_unique<CQueltApp>();
    Kvs content;
    CTkvs_PutInt(content, 0x7001, 1, nullptr);
    app_->m_session.SaveProfile("Default_Server", "Setup", "Lines", content, 0);
    app_->m_session.SaveProfile("Default_Server", "Setup", "Trunks", content, 0);
    app_->m_lpCmdLine = commandLine.c_str();
    ASSERT_TRUE(app_->InitInstance());
  }
  CMainFrame* Frame() const { return dynamic_cast<CMainFrame*>(app_->m_pMainWnd); }
  CQueltView* View() const { return dynamic_cast<CQueltView*>(Frame()->GetActiveView()); }
  // The Profile menu's visible entries from the separator above the recent
  // ones to Exit.
  Names MenuTail() const {
    Names tail;
    QAction* exit = Frame()->GetCommandAction(ID_APP_EXIT);
    QMenu* menu = nullptr;
    for (QObject* o : exit->associatedObjects())
      if ((menu = qobject_cast<QMenu*>(o)) != nullptr) break;
    if (menu == nullptr) return tail;
    const QList<QAction*> actions = menu->actions();
    const int end = static_cast<int>(actions.indexOf(exit));
    int start = end;
    while (start > 0 && (actions[start - 1]->isSeparator() || !actions[start - 1]->isVisible() ||
                         (actions[start - 1]->text().startsWith('&') && actions[start - 1]->text()[1].isDigit())))
      --start;
    for (int i = start; i <= end; ++i)
      if (actions[i]->isVisible()) tail.push_back(actions[i]->isSeparator() ? "--" : actions[i]->text().toStdString());
    return tail;
  }
  void EndApp() {
    app_->ExitInstance();
    app_.reset();  // the frame goes with the application and leaves its settings
  }

  testsupport::TempDir config_;
  testsupport::TempDir dir_;
  testsupport::TempRegistry registry_;
  ScriptedModalHost host_;
  ScopedModalHost scope_{&host_};
  std::unique_ptr<CQueltApp> app_;
};

TEST_F(SettingsTest, TheFileIsReadBackAndWhatIsWrongInItKeepsItsDefault) {
  CEditorSettings written;
  written.m_geometry = QByteArray("\x01\xd9\xd0\xcb\x00\x03", 6);
  written.m_bToolBar = false;
  written.m_fZoom = 2.5f;
  for (const char* name : {"A", "B&C", "D", "E", "F"}) written.AddRecent({"S1", name, "Lines"});
  ASSERT_TRUE(written.Save());
  CEditorSettings read;
  read.Load();
  EXPECT_EQ(read.m_geometry, written.m_geometry);
  EXPECT_FALSE(read.m_bToolBar);
  EXPECT_TRUE(read.m_bStatusBar);
  EXPECT_FLOAT_EQ(read.m_fZoom, 2.5f);
  ASSERT_EQ(NamesOf(read.m_recent), (Names{"F", "E", "D", "B&C"}));
  EXPECT_TRUE(read.m_recent[0] == (CRecentProfile{"S1", "F", "Lines"}));

  struct Case {
    const char* what;
    std::string text;
    float zoom;
    Names names;  // the recent profiles' names, in order
  };
  const std::string big(5000, 'x');
  const Case cases[] = {
      {"no file", "", 1.0f, {}},
      {"zoom below the dialog's range", "[View]\nZoomPercent=5\n", 1.0f, {}},
      {"zoom not a number", "[View]\nZoomPercent=lots\n", 1.0f, {}},
      {"largest zoom", "[View]\nZoomPercent=1000\n", 10.0f, {}},
      {"geometry far too large", "[Window]\nGeometry=" + big + "\n", 1.0f, {}},
      {"entries that no command line could carry, and a repeat",
       "[RecentProfiles]\n1\\Server=S1\n1\\Name=Two words\n1\\Class=C\n2\\Server=S1\n2\\Name=Ok\n2\\Class=C\n"
       "3\\Server=\n3\\Name=X\n3\\Class=C\n4\\Server=S1\n4\\Name=Ok\n4\\Class=C\nsize=4\n",
       1.0f, {"Ok"}},
      {"more entries than remembered",
       "[RecentProfiles]\n1\\Server=S\n1\\Name=P1\n1\\Class=C\n2\\Server=S\n2\\Name=P2\n2\\Class=C\n"
       "3\\Server=S\n3\\Name=P3\n3\\Class=C\n4\\Server=S\n4\\Name=P4\n4\\Class=C\n5\\Server=S\n5\\Name=P5\n"
       "5\\Class=C\nsize=5\n",
       1.0f, {"P1", "P2", "P3", "P4"}},
  };
  size_t index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ++index;
    if (c.text.empty()) {
      std::remove(CEditorSettings::FilePath().toLocal8Bit().constData());
    } else {
      // QSettings takes a file of the same size and time as unchanged: each
      // case's file gets a size of its own.
      testsupport::WriteFile(config_.path() + "/Velcor/Quelt.conf",
                             c.text + ";" + std::string(10000 * index - c.text.size(), '-') + "\n");
    }
    CEditorSettings s;
    s.m_fZoom = 3.0f;  // Load starts from the defaults
    s.Load();
    EXPECT_FLOAT_EQ(s.m_fZoom, c.zoom);
    EXPECT_TRUE(s.m_geometry.isEmpty());
    EXPECT_TRUE(s.m_bToolBar && s.m_bStatusBar);
    EXPECT_EQ(NamesOf(s.m_recent), c.names);
  }
}

TEST_F(SettingsTest, RecentProfilesKeepTheLatestFourOnceEach) {
  CEditorSettings s;
  struct Step {
    bool add;
    const char* name;
    Names after;
  };
  const Step steps[] = {
      {true, "A", {"A"}},
      {true, "B", {"B", "A"}},
      {true, "A", {"A", "B"}},
      {true, "C", {"C", "A", "B"}},
      {true, "D", {"D", "C", "A", "B"}},
      {true, "E", {"E", "D", "C", "A"}},
      {true, "", {"E", "D", "C", "A"}},  // not rememberable
      {false, "C", {"E", "D", "A"}},
      {false, "Z", {"E", "D", "A"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    const CRecentProfile p{"S", step.name, "K"};
    step.add ? s.AddRecent(p) : s.RemoveRecent(p);
    EXPECT_EQ(NamesOf(s.m_recent), step.after);
  }
  EXPECT_EQ(CEditorSettings::MenuText(0, {"Default_Server", "Lines_Main", "Lines"}),
            "&1 Lines_Main (Lines) on Default_Server");
  EXPECT_EQ(CEditorSettings::MenuText(3, {"S&T", "A&B", "C"}), "&4 A&&B (C) on S&&T");
}

TEST_F(SettingsTest, TheNextRunHasTheWindowBarsZoomAndProfilesOfTheLast) {
  EnableEditorSettings();
  EditorSettings().Load();

  // First run: two profiles retrieved, the toolbar hidden, zoomed, resized.
  StartApp("Default_Server edit Lines Setup");
  ASSERT_NE(app_->OpenProfile("Default_Server", "Setup", "Trunks", FALSE), nullptr);
  EXPECT_EQ(MenuTail(), (Names{"--", "&1 Trunks (Setup) on Default_Server", "&2 Lines (Setup) on Default_Server",
                               "--", "E&xit"}));
  Frame()->ShowControlBar(&Frame()->ToolBar(), FALSE);
  View()->SetZoom(2.0f);
  Frame()->Window()->resize(640, 480);
  EndApp();

  CEditorSettings saved;
  saved.Load();
  EXPECT_FALSE(saved.m_bToolBar);
  EXPECT_TRUE(saved.m_bStatusBar);
  EXPECT_FLOAT_EQ(saved.m_fZoom, 2.0f);
  EXPECT_FALSE(saved.m_geometry.isEmpty());
  ASSERT_EQ(saved.m_recent.size(), 2u);

  // Second run, with a remembered profile the server no longer has.
  saved.m_recent.insert(saved.m_recent.begin(), CRecentProfile{"Default_Server", "Gone", "Setup"});
  ASSERT_TRUE(saved.Save());
  EditorSettings().Load();
  StartApp("Default_Server edit Trunks Setup");
  EXPECT_TRUE(Frame()->ToolBar().Widget()->isHidden());
  EXPECT_FALSE(Frame()->StatusBar().Widget()->isHidden());
  EXPECT_FLOAT_EQ(View()->GetZoom(), 2.0f);
  EXPECT_EQ(Frame()->Window()->size(), QSize(640, 480));
  EXPECT_EQ(MenuTail().size(), 6u);

  struct Choice {
    int entry;  // 1-based, as in the menu
    std::vector<UINT> messages;
    std::string title;
    Names menu;
  };
  const Choice choices[] = {
      {2, {16392}, "[Trunks, Setup, Default_Server]",
       {"--", "&1 Trunks (Setup) on Default_Server", "&2 Lines (Setup) on Default_Server", "--", "E&xit"}},
      {2, {}, "[Lines, Setup, Default_Server]",
       {"--", "&1 Lines (Setup) on Default_Server", "&2 Trunks (Setup) on Default_Server", "--", "E&xit"}},
  };
  for (const Choice& c : choices) {
    SCOPED_TRACE(c.entry);
    host_.Clear();
    ASSERT_TRUE(Frame()->ExecuteCommand(ID_FILE_MRU_FIRST + static_cast<UINT>(c.entry - 1)));
    EXPECT_EQ(host_.MessageIds(), c.messages);
    auto* doc = dynamic_cast<CQueltDoc*>(Frame()->GetActiveDocument());
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(std::string(doc->GetTitle().GetString()), c.title);
    EXPECT_EQ(MenuTail(), c.menu);
  }
  CEditorSettings after;
  after.Load();
  EXPECT_EQ(NamesOf(after.m_recent), (Names{"Lines", "Trunks"}));
}

}  // namespace
