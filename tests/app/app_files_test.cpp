// Profiles as local files and the server's revision history, end to end
// against a real ctserver: Export writes what `ctadm get` prints, Import
// brings it back as a new profile, bad files change nothing, and a revision
// opened from the history is stored as the newest.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QListWidget>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/history.h"
#include "app/proffile.h"
#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "platform/cframewnd.h"
#include "platform/scriptedmodalhost.h"
#include "s100/deif.h"
#include "tests/app/serverapp.h"
#include "tests/common/sessions_fixture.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"
#include "tree/kvs_node.h"

namespace {

using testsupport::Kvs;
using Script = ScriptedModalHost::Script;
namespace fs = std::filesystem;

constexpr int kServerList = 53254;

Script Server(const std::string& name) {
  return [name](DialogDriver& d) {
    auto* list = qobject_cast<QListWidget*>(d.Control(kServerList));
    ASSERT_NE(list, nullptr);
    const auto found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name;
    list->setCurrentItem(found.front());
    d.Click(IDOK);
  };
}
Script Press(int id) {
  return [id](DialogDriver& d) { d.Click(id); };
}
// Chooses the file in the file dialog; the dialog's filter goes to *filter.
Script PickFile(const std::string& path, QStringList* filter = nullptr) {
  return [path, filter](DialogDriver& d) {
    if (filter != nullptr) *filter = d.FileFilters();
    ASSERT_TRUE(d.ChooseFile(QString::fromStdString(path)));
  };
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Known servers: Default_Server, a real ctserver; Other, an embedded one;
// Dead, where nothing listens.
class FilesEnv : public ServerAppTest {
 protected:
  void SetUp() override {
    ServerAppTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    testsupport::RegistryContents contents;
    contents.servers = {{"Default_Server", server_->address()},
                        {"Other", "embedded:" + dir_.File("other.db")},
                        {"Dead", "127.0.0.1:" + std::to_string(testsupport::UnusedPort())}};
    contents.connectTimeoutMs = 2000;
    InstallAndCreateApp(contents);
    Kvs every;
    sessions_test::FillEveryKind(every);
    ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Test", "Every_Kind", every, 0));
  }
  bool Start(const std::string& commandLine) {
    app_->m_lpCmdLine = commandLine.c_str();
    return app_->InitInstance() != FALSE;
  }
  CQueltView* View() const { return Doc()->GetView(); }
  std::string Title() const { return Doc()->GetTitle().GetString(); }
  // What the view's tree holds, as a fresh set in *out.
  void Content(Kvs& out) const { ASSERT_TRUE(View()->GetProfile("Default_Server", out)); }

  // What `ctadm get` prints for a stored profile.
  std::string CtadmGet(const std::string& name, const std::string& cls) {
    const std::string out = dir_.File("ctadm.out");
    const std::string command = Quote(CTADM_PATH) + " --server Default_Server get " + Quote(name) + " " +
                                Quote(cls) + " > " + Quote(out) + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << testsupport::ReadFile(out);
    return testsupport::ReadFile(out);
  }

};

TEST_F(FilesEnv, ExportWritesWhatCtadmGetPrintsAndImportBringsItBack) {
  ASSERT_TRUE(Start("Default_Server edit Every_Kind Test"));
  // Through the file dialog to a new file, and straight over a longer one,
  // which is replaced whole.
  const std::string picked = dir_.File("picked.deif");
  QStringList filter;
  host_.ExpectDialog(PickFile(picked, &filter));
  app_->m_pMainWnd->ExecuteCommand(ID_PROFILE_EXPORT);
  EXPECT_EQ(filter, QStringList{"Profile text (*.deif)"});
  const std::string file = dir_.File("exported.v1.deif");
  testsupport::WriteFile(file, std::string(100000, 'x'));
  EXPECT_TRUE(Doc()->ExportProfileFile(file.c_str()));
  EXPECT_TRUE(host_.Messages().empty());
  const std::string exported = testsupport::ReadFile(file);
  EXPECT_EQ(exported, CtadmGet("Every_Kind", "Test"));
  EXPECT_EQ(testsupport::ReadFile(picked), exported);
  EXPECT_NE(exported.find("Admin_ProfileNames"), std::string::npos) << "symbols are written by name";
  EXPECT_EQ(Title(), "[Every_Kind, Test, Default_Server]") << "exporting changes nothing";
  for (const auto& entry : fs::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << "left behind: " << entry.path();

  // Import on the other server, discarding unsaved changes as New does: a
  // new profile named after the file.
  View()->DocumentModified();
  host_.Clear();
  for (Script s : {PickFile(file), Press(IDNO), Server("Other")}) host_.ExpectDialog(std::move(s));
  app_->m_pMainWnd->ExecuteCommand(ID_PROFILE_IMPORT);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(host_.Dialogs().at(1).title, "Confirm");
  EXPECT_EQ(Title(), "[exported.v1, No_Class, Other] *");
  EXPECT_FALSE(Doc()->IsOnServer());
  Kvs original, imported;
  sessions_test::FillEveryKind(original);
  Content(imported);
  std::string why;
  EXPECT_TRUE(sessions_test::SameContent(original, imported, &why)) << why;
  EXPECT_FALSE(app_->m_pMainWnd->Commands()->UpdateCommand(ID_PROFILE_HISTORY)) << "not on a server yet";
  // Store goes through Store As, preset with the new identity.
  std::vector<std::string> preset;
  host_.ExpectDialog([&](DialogDriver& d) {
    preset = {d.Text(1004).toStdString(), d.Text(1005).toStdString(), d.Text(1006).toStdString()};
    d.Click(IDCANCEL);
  });
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  EXPECT_EQ(preset, (std::vector<std::string>{"exported.v1", "No_Class", "Other"}));
}

// The mark says whether the content differs from what is stored under the
// document's identity: an imported profile is marked whatever Undo and
// Redo do until it is stored; from then on it is clean exactly there.
TEST_F(FilesEnv, TheModifiedMarkFollowsWhetherTheContentIsStored) {
  ASSERT_TRUE(Start("Default_Server edit Every_Kind Test"));
  const std::string file = dir_.File("copy.deif");
  ASSERT_TRUE(Doc()->ExportProfileFile(file.c_str()));
  host_.ExpectDialog(Server("Default_Server"));
  ASSERT_TRUE(Doc()->ImportProfileFile(file.c_str()));
  auto Command = [&](UINT id) { return [this, id] { app_->m_pMainWnd->ExecuteCommand(id); }; };
  struct Step {
    const char* what;
    std::function<void()> act;
    bool marked;
  } steps[] = {
      {"imported", [] {}, true},
      {"edited",
       [&] {
         View()->SelectNode(View()->GetRoot()->GetFirstChild());
         app_->m_pMainWnd->ExecuteCommand(ID_EDIT_DELETE);
       },
       true},
      {"edit undone", Command(ID_EDIT_UNDO), true},
      {"edit redone", Command(ID_EDIT_REDO), true},
      {"edit undone again", Command(ID_EDIT_UNDO), true},
      {"stored as",
       [&] {
         host_.ExpectDialog([](DialogDriver& d) {
           d.Type(1004, QStringLiteral("Copy"));
           d.Type(1005, QStringLiteral("Test"));
           d.Click(IDOK);
         });
         app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
       },
       false},
      {"redone after the store", Command(ID_EDIT_REDO), true},
      {"undone back to the stored state", Command(ID_EDIT_UNDO), false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    host_.Clear();
    step.act();
    EXPECT_TRUE(host_.Messages().empty());
    EXPECT_EQ(host_.PendingScripts(), 0u);
    EXPECT_EQ(Doc()->IsModified() != FALSE, step.marked);
    EXPECT_EQ(Title().find(" *") != std::string::npos, step.marked) << Title();
    // Exit and New ask exactly when something would be lost.
    host_.Clear();
    if (step.marked) host_.ExpectDialog(Press(IDCANCEL));
    EXPECT_EQ(Doc()->SaveModified() != FALSE, !step.marked);
    EXPECT_EQ(host_.Dialogs().size(), step.marked ? 1u : 0u);
  }
  EXPECT_EQ(Title(), "[Copy, Test, Default_Server]");
}

TEST_F(FilesEnv, BadFilesGiveOneMessageAndChangeNothing) {
  ASSERT_TRUE(Start("Default_Server edit Every_Kind Test"));
  const std::string fifo = dir_.File("fifo.deif");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = dir_.File("huge.deif");
  testsupport::WriteFile(huge, "kvset {}");
  fs::resize_file(huge, kDeifMaxTextBytes + 1);

  struct Case {
    const char* what;
    std::string path;  // empty: a file with `text`
    std::string text;
    const char* server;  // chosen in the server dialog; null: no dialog shows
    UINT message;
  } cases[] = {
      {"missing", dir_.File("missing.deif"), "", nullptr, IDS_FILE_UNREADABLE},
      {"fifo", fifo, "", nullptr, IDS_FILE_UNREADABLE},
      {"over the limit", huge, "", nullptr, IDS_FILE_TOO_LARGE},
      {"binary", "", std::string("\x7f" "ELF\x02\x00kvset", 11), "Default_Server", IDS_FILE_NOT_PROFILE_TEXT},
      {"syntax", "", "kvset {\n  Admin_ProfileNames = ;\n}\n", "Default_Server", IDS_FILE_NOT_PROFILE_TEXT},
      {"unknown name", "", "kvset {\n  #1 = symbol No_Such_Symbol;\n}\n", "Default_Server", IDS_FILE_UNKNOWN_SYMBOL},
      {"not a set", "", "array kvset [kvset {}]\n", "Default_Server", IDS_FILE_NOT_KVSET},
      {"server down", "", "kvset {\n  Admin_ProfileNames = int 1;\n}\n", "Dead", IDS_ADM_COULD_NOT_CONNECT},
  };
  Kvs before;
  Content(before);
  const std::string title = Title();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = c.path;
    if (path.empty()) testsupport::WriteFile(path = dir_.File(std::string(c.what) + ".deif"), c.text);
    host_.Clear();
    if (c.server != nullptr) host_.ExpectDialog(Server(c.server));
    EXPECT_FALSE(Doc()->ImportProfileFile(path.c_str()));
    EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{c.message});
    EXPECT_EQ(host_.Dialogs().size(), c.server != nullptr ? 1u : 0u);
    EXPECT_EQ(Title(), title);
    Kvs after;
    Content(after);
    EXPECT_TRUE(sessions_test::SameContent(before, after));
  }
  // Export where a file is in the way of the folder: nothing written, one message.
  host_.Clear();
  testsupport::WriteFile(dir_.File("plain"), "x");
  EXPECT_FALSE(Doc()->ExportProfileFile(dir_.File("plain/out.deif").c_str()));
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{IDS_FILE_NOT_WRITTEN});
}

TEST_F(FilesEnv, HistoryListsRevisionsAndOpensOneThatStoreMakesNewest) {
  for (int32_t value : {10, 20, 30}) {
    Kvs lines;
    CTkvs_PutInt(lines, 0x7001, value, nullptr);
    ASSERT_TRUE(app_->m_session.SaveProfile("Default_Server", "Setup", "Lines", lines, value == 10 ? 0 : 1));
  }
  auto ValueIn = [](CTkvs set) {
    int32_t value = 0;
    EXPECT_EQ(CTkvs_GetInt(set, 0x7001, &value, nullptr), 1);
    return value;
  };
  auto ValueShown = [&] {
    Kvs content;
    Content(content);
    return ValueIn(content);
  };
  ASSERT_TRUE(Start("Default_Server edit Lines Setup"));
  EXPECT_TRUE(app_->m_pMainWnd->Commands()->UpdateCommand(ID_PROFILE_HISTORY));
  std::vector<CT_RevisionInfo> revisions;
  ASSERT_TRUE(app_->m_session.ListRevisions("Default_Server", "Lines", "Setup", &revisions));
  ASSERT_EQ(revisions.size(), 3u);
  const std::vector<std::vector<std::string>> listed = {{std::to_string(revisions[0].revision), "current"},
                                                        {std::to_string(revisions[1].revision), ""},
                                                        {std::to_string(revisions[2].revision), ""}};

  struct Case {
    const char* what;
    int row;  // the row opened; -1: the dialog is cancelled
    int32_t shown;
    std::string title;
  } cases[] = {
      {"cancelled", -1, 30, "[Lines, Setup, Default_Server]"},
      {"oldest opened", 2, 10, "[Lines, Setup, Default_Server] *"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.Clear();
    std::vector<std::vector<std::string>> rows;
    host_.ExpectDialog([&](DialogDriver& d) {
      auto* list = qobject_cast<QTreeWidget*>(d.Control(CRevisionHistoryBox::IDC_REVISIONS));
      ASSERT_NE(list, nullptr);
      for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows.push_back({item->text(0).toStdString(), item->text(2).toStdString()});
      }
      EXPECT_EQ(list->currentItem(), list->topLevelItem(0)) << "the newest is chosen to begin with";
      if (c.row < 0) {
        d.Click(IDCANCEL);
        return;
      }
      list->setCurrentItem(list->topLevelItem(c.row));
      d.Click(IDOK);
    });
    // Wherever the focus was, the keys move through the tree afterwards.
    View()->ScrollArea()->clearFocus();
    app_->m_pMainWnd->ExecuteCommand(ID_PROFILE_HISTORY);
    EXPECT_EQ(app_->m_pMainWnd->Window()->focusWidget(), View()->ScrollArea());
    EXPECT_EQ(host_.PendingScripts(), 0u);
    EXPECT_EQ(host_.Dialogs().size(), 1u);
    EXPECT_TRUE(host_.Messages().empty());
    EXPECT_EQ(rows, listed);
    EXPECT_EQ(ValueShown(), c.shown);
    EXPECT_EQ(Title(), c.title);
    EXPECT_TRUE(Doc()->IsOnServer());
  }

  // Undo takes the view back to what it showed; Redo opens the revision again.
  app_->m_pMainWnd->ExecuteCommand(ID_EDIT_UNDO);
  EXPECT_EQ(ValueShown(), 30);
  EXPECT_EQ(Title(), "[Lines, Setup, Default_Server]");
  app_->m_pMainWnd->ExecuteCommand(ID_EDIT_REDO);
  EXPECT_EQ(ValueShown(), 10);

  // Store makes the opened revision the newest, in place, without asking.
  host_.Clear();
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  EXPECT_TRUE(host_.Dialogs().empty());
  EXPECT_EQ(Title(), "[Lines, Setup, Default_Server]");
  ASSERT_TRUE(app_->m_session.ListRevisions("Default_Server", "Lines", "Setup", &revisions));
  ASSERT_EQ(revisions.size(), 4u);
  EXPECT_TRUE(revisions[0].current);
  Kvs newest;
  ASSERT_TRUE(app_->m_session.LoadProfile("Default_Server", "Lines", "Setup", newest));
  EXPECT_EQ(ValueIn(newest), 10);

  // A server that has gone away: one message, nothing changed.
  server_.reset();
  host_.Clear();
  app_->m_pMainWnd->ExecuteCommand(ID_PROFILE_HISTORY);
  EXPECT_EQ(host_.Messages().size(), 1u);
  EXPECT_TRUE(host_.Dialogs().empty());
  EXPECT_EQ(Title(), "[Lines, Setup, Default_Server]");
}

}  // namespace
