#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "comnmfc/getservb.h"
#include "comnmfc/notsaved.h"
#include "comnmfc/retrieve.h"
#include "platform/qtconvert.h"
#include "platform/scriptedmodalhost.h"

namespace {

constexpr UINT kRetrievePrompt = 16410;
constexpr UINT kDefaultServerId = 16386;
constexpr int kServerList = 53254;
constexpr int kServerPrompt = 53253;
constexpr int kProfileList = 53248;

// What a script does to a list dialog.
enum class Action { Enter, Escape, OkButton, CancelButton, DoubleClick, DownThenEnter, CloseWindow };

QListWidget* List(DialogDriver& d, int id) { return qobject_cast<QListWidget*>(d.Control(id)); }

std::vector<std::string> Rows(QListWidget* list) {
  std::vector<std::string> rows;
  for (int i = 0; list != nullptr && i < list->count(); ++i) rows.push_back(list->item(i)->text().toStdString());
  return rows;
}

std::string Current(QListWidget* list) {
  QListWidgetItem* item = list != nullptr ? list->currentItem() : nullptr;
  return item != nullptr && item->isSelected() ? item->text().toStdString() : std::string("<none>");
}

void Perform(DialogDriver& d, int listId, Action action, const QString& rowText) {
  QListWidget* list = List(d, listId);
  switch (action) {
    case Action::Enter:
      d.PressEnter();
      break;
    case Action::Escape:
      d.PressEscape();
      break;
    case Action::OkButton:
      d.Click(IDOK);
      break;
    case Action::CancelButton:
      d.Click(IDCANCEL);
      break;
    case Action::CloseWindow:
      d.Dialog()->close();
      break;
    case Action::DownThenEnter:
      QTest::keyClick(list, Qt::Key_Down);
      d.PressEnter();
      break;
    case Action::DoubleClick: {
      const QList<QListWidgetItem*> found = list->findItems(rowText, Qt::MatchExactly);
      ASSERT_EQ(found.size(), 1);
      const QPoint at = list->visualItemRect(found.front()).center();
      QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
      break;
    }
  }
}

struct ServerCase {
  const char* what;
  std::vector<std::string> servers;  // passed with an empty terminator unless nullList
  bool nullList;
  UINT preselect;  // 0: SetServerSelected is not called
  Action action;
  const char* rowText;
  std::vector<std::string> rows;  // the list as shown, in order
  std::string current;            // current row when the dialog opens
  int result;
  std::string chosen;
};

TEST(SharedDialogs, ServerListSortsPreselectsAndReturnsTheChosenName) {
  const std::vector<ServerCase> cases = {
      {"sorted, Default_Server preselected, Enter confirms it",
       {"Zeta", "Default_Server", "alpha", "Beta"}, false, kDefaultServerId, Action::Enter, "",
       {"alpha", "Beta", "Default_Server", "Zeta"}, "Default_Server", IDOK, "Default_Server"},
      {"no Default_Server: the first row is current",
       {"ct2", "Lab"}, false, kDefaultServerId, Action::Enter, "", {"ct2", "Lab"}, "ct2", IDOK, "ct2"},
      {"preselection found without regard to case",
       {"x", "default_server"}, false, kDefaultServerId, Action::OkButton, "", {"default_server", "x"},
       "default_server", IDOK, "default_server"},
      {"no preselection asked", {"b", "a"}, false, 0, Action::Enter, "", {"a", "b"}, "a", IDOK, "a"},
      {"double-click confirms that row",
       {"Default_Server", "Lab", "Site"}, false, kDefaultServerId, Action::DoubleClick, "Site",
       {"Default_Server", "Lab", "Site"}, "Default_Server", IDOK, "Site"},
      {"arrow key moves the choice",
       {"Default_Server", "Lab"}, false, kDefaultServerId, Action::DownThenEnter, "", {"Default_Server", "Lab"},
       "Default_Server", IDOK, "Lab"},
      {"Escape cancels", {"Default_Server"}, false, kDefaultServerId, Action::Escape, "", {"Default_Server"},
       "Default_Server", IDCANCEL, ""},
      {"Cancel button", {"Default_Server"}, false, kDefaultServerId, Action::CancelButton, "", {"Default_Server"},
       "Default_Server", IDCANCEL, ""},
      {"closing the window cancels", {"a"}, false, kDefaultServerId, Action::CloseWindow, "", {"a"}, "a",
       IDCANCEL, ""},
      {"only the terminator: nothing to confirm", {}, false, kDefaultServerId, Action::Enter, "", {}, "<none>",
       IDCANCEL, ""},
      {"no list at all", {}, true, kDefaultServerId, Action::OkButton, "", {}, "<none>", IDCANCEL, ""},
      {"equal names in other case keep a fixed order",
       {"lab", "LAB", "Lab"}, false, 0, Action::DownThenEnter, "", {"LAB", "Lab", "lab"}, "LAB", IDOK, "Lab"},
      {"registry errors are listed as given",
       {"***RegistryError***", "Default_Server"}, false, kDefaultServerId, Action::Enter, "",
       {"***RegistryError***", "Default_Server"}, "Default_Server", IDOK, "Default_Server"},
  };
  for (const ServerCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<CString> servers;
    for (const std::string& s : c.servers) servers.emplace_back(s.c_str());
    servers.emplace_back("");
    ScriptedModalHost host;
    ScopedModalHost scope(&host);
    std::vector<std::string> rows;
    std::string current;
    std::string prompt;
    bool okEnabled = false;
    host.ExpectDialog([&](DialogDriver& d) {
      rows = Rows(List(d, kServerList));
      current = Current(List(d, kServerList));
      prompt = d.Text(kServerPrompt).toStdString();
      okEnabled = d.IsEnabled(IDOK);
      EXPECT_TRUE(d.IsDefault(IDOK));
      Perform(d, kServerList, c.action, c.rowText);
    });
    CGetServerBox box(kRetrievePrompt, c.nullList ? nullptr : servers.data(), nullptr);
    if (c.preselect != 0) box.SetServerSelected(c.preselect);
    EXPECT_EQ(box.DoModal(), c.result);
    EXPECT_EQ(std::string(box.GetServerSelected().GetString()), c.chosen);
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(current, c.current);
    EXPECT_EQ(okEnabled, !c.rows.empty());
    EXPECT_EQ(prompt, "Select the Server from which to retrieve the profile from:");
    ASSERT_EQ(host.Dialogs().size(), 1u);
    EXPECT_EQ(host.Dialogs()[0].title.toStdString(), "Select Server");
    EXPECT_TRUE(host.Messages().empty());
  }
}

TEST(SharedDialogs, ServerListGivesNamesBackByteForByteAndStopsAtTheTerminator) {
  // Not UTF-8: shown as something, returned unchanged.
  const CString servers[] = {"caf\xe9", "", "hidden", ""};
  ScriptedModalHost host;
  ScopedModalHost scope(&host);
  std::vector<std::string> rows;
  host.ExpectDialog([&](DialogDriver& d) {
    rows = Rows(List(d, kServerList));
    d.PressEnter();
  });
  CGetServerBox box(4115, servers, nullptr);
  ASSERT_EQ(box.DoModal(), IDOK);
  EXPECT_EQ(std::string(box.GetServerSelected().GetString()), "caf\xe9");
  EXPECT_EQ(rows.size(), 1u);

  // A second run that is cancelled forgets the first choice.
  host.ExpectDialog([](DialogDriver& d) { d.PressEscape(); });
  EXPECT_EQ(box.DoModal(), IDCANCEL);
  EXPECT_TRUE(box.GetServerSelected().IsEmpty());
}

struct ProfileCase {
  const char* what;
  std::vector<std::string> entries;
  int32_t count;  // may be less than the entries given
  Action action;
  const char* rowText;
  std::vector<std::string> rows;
  int result;
  std::string chosen;
};

TEST(SharedDialogs, ProfileListSortsAndReturnsTheEntryUnchanged) {
  const std::vector<ProfileCase> cases = {
      {"sorted, first row current, Enter retrieves it",
       {"Lines  [ Setup ]", "alpha  [ X ]", "Trunks  [ Setup ]"}, 3, Action::Enter, "",
       {"alpha  [ X ]", "Lines  [ Setup ]", "Trunks  [ Setup ]"}, IDOK, "alpha  [ X ]"},
      {"double-click retrieves that entry",
       {"Lines  [ Setup ]", "Lines  [ Backup ]"}, 2, Action::DoubleClick, "Lines  [ Setup ]",
       {"Lines  [ Backup ]", "Lines  [ Setup ]"}, IDOK, "Lines  [ Setup ]"},
      {"the Retrieve button", {"b  [ c ]", "a  [ c ]"}, 2, Action::DownThenEnter, "", {"a  [ c ]", "b  [ c ]"},
       IDOK, "b  [ c ]"},
      {"only count entries are read", {"one  [ c ]", "two  [ c ]"}, 1, Action::OkButton, "", {"one  [ c ]"}, IDOK,
       "one  [ c ]"},
      {"Escape cancels", {"one  [ c ]"}, 1, Action::Escape, "", {"one  [ c ]"}, IDCANCEL, ""},
      {"Cancel button", {"one  [ c ]"}, 1, Action::CancelButton, "", {"one  [ c ]"}, IDCANCEL, ""},
      {"no entries: nothing to retrieve", {}, 0, Action::Enter, "", {}, IDCANCEL, ""},
      {"a negative count is no entries", {"one  [ c ]"}, -5, Action::OkButton, "", {}, IDCANCEL, ""},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<QV_String> entries;
    for (const std::string& e : c.entries) entries.emplace_back(e.c_str());
    ScriptedModalHost host;
    ScopedModalHost scope(&host);
    std::vector<std::string> rows;
    std::string retrieveText;
    QWidget* buddy = nullptr;
    host.ExpectDialog([&](DialogDriver& d) {
      rows = Rows(List(d, kProfileList));
      retrieveText = d.Text(IDOK).toStdString();
      EXPECT_TRUE(d.IsDefault(IDOK));
      EXPECT_EQ(d.IsEnabled(IDOK), !c.rows.empty());
      for (QLabel* label : d.Dialog()->findChildren<QLabel*>())
        if (label->text() == QStringLiteral("&Select Profile:")) buddy = label->buddy();
      EXPECT_EQ(buddy, List(d, kProfileList));
      Perform(d, kProfileList, c.action, c.rowText);
    });
    CRetrieveBox box(entries.empty() ? nullptr : entries.data(), c.count, nullptr);
    EXPECT_EQ(box.DoModal(), c.result);
    EXPECT_EQ(std::string(static_cast<const char*>(box.GetProfileName())), c.chosen);
    // The index names the caller's entry (not the sorted row), or -1.
    const int32_t index = box.GetProfileIndex();
    if (c.chosen.empty()) {
      EXPECT_EQ(index, -1);
    } else {
      ASSERT_TRUE(index >= 0 && index < c.count);
      EXPECT_EQ(c.entries[static_cast<size_t>(index)], c.chosen);
    }
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(retrieveText, "&Retrieve");
    EXPECT_NE(buddy, nullptr);
    ASSERT_EQ(host.Dialogs().size(), 1u);
    EXPECT_EQ(host.Dialogs()[0].title.toStdString(), "Retrieve");
  }
}

TEST(SharedDialogs, ConfirmAnswersYesNoOrCancel) {
  struct Case {
    const char* what;
    std::function<void(DialogDriver&)> script;
    int result;
  };
  const std::vector<Case> cases = {
      {"Yes", [](DialogDriver& d) { d.Click(IDOK); }, IDOK},
      {"No", [](DialogDriver& d) { d.Click(IDNO); }, IDNO},
      {"Cancel", [](DialogDriver& d) { d.Click(IDCANCEL); }, IDCANCEL},
      {"Enter answers Yes", [](DialogDriver& d) { d.PressEnter(); }, IDOK},
      {"Escape cancels", [](DialogDriver& d) { d.PressEscape(); }, IDCANCEL},
      {"closing the window cancels", [](DialogDriver& d) { d.Dialog()->close(); }, IDCANCEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedModalHost host;
    ScopedModalHost scope(&host);
    QStringList texts;
    host.ExpectDialog([&](DialogDriver& d) {
      for (QLabel* label : d.Dialog()->findChildren<QLabel*>()) texts << label->text();
      EXPECT_TRUE(d.IsDefault(IDOK));
      EXPECT_EQ(d.Text(IDOK), QStringLiteral("&Yes"));
      EXPECT_EQ(d.Text(IDNO), QStringLiteral("&No"));
      EXPECT_EQ(d.Text(IDCANCEL), QStringLiteral("Cancel"));
      c.script(d);
    });
    CNotSavedBox box(nullptr);
    EXPECT_EQ(box.DoModal(), c.result);
    ASSERT_EQ(host.Dialogs().size(), 1u);
    EXPECT_EQ(host.Dialogs()[0].title.toStdString(), "Confirm");
    EXPECT_FALSE(host.Dialogs()[0].leftOpen);
    EXPECT_TRUE(texts.contains(QStringLiteral("The profile currently being edited has not been saved. ")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Save changes now?")));
  }
}

}  // namespace
