// The array type, position, key, symbol and zoom dialogs, and the error box.
#include <QApplication>
#include <QWidget>

#include "dialog_fixture.h"
#include "dialogs/arrayin2.h"
#include "dialogs/arrayins.h"
#include "dialogs/editarry.h"
#include "dialogs/editsym.h"
#include "dialogs/editsymb.h"
#include "dialogs/errorbox.h"
#include "dialogs/zoombox.h"
#include "test_nodes.h"

namespace {

class EntryDialogs : public DialogFixture {};

constexpr int kArrayTypeRadios[] = {49199, 49191, 49188, 49189, 49186, 49187, 49197, 49195, 49193, 49190};

}  // namespace

TEST_F(EntryDialogs, ArrayTypeDialogChecksTheChoiceAndReturnsTheIndexChosen) {
  for (int choice = -1; choice < 10; ++choice) {
    CEditArrayBox box;
    EXPECT_EQ(box.m_nChoice, -1);
    box.m_nChoice = choice;
    const int pick = (choice + 3) % 10;  // another type than the one checked
    host.ExpectDialog([choice, pick](DialogDriver& d) {
      for (int i = 0; i < 10; ++i) EXPECT_EQ(d.IsChecked(kArrayTypeRadios[i]), i == choice) << choice << " " << i;
      d.Click(kArrayTypeRadios[pick]);
      d.Click(IDOK);
    });
    EXPECT_EQ(box.DoModal(), IDOK);
    EXPECT_EQ(box.m_nChoice, pick) << choice;
  }
}

TEST_F(EntryDialogs, PositionsAndPercentagesAreRefusedWithTheRangeNamed) {
  const struct {
    const char* typed;
    UINT prompt;  // 0: accepted
    const char* text;
    unsigned value;
  } zoom[] = {
      {"9", AFX_IDP_PARSE_INT_RANGE, "Enter a whole number between 10 and 1000.", 0},
      {"1001", AFX_IDP_PARSE_INT_RANGE, "Enter a whole number between 10 and 1000.", 0},
      {"abc", AFX_IDP_PARSE_UINT, "Enter a whole number between 10 and 1000.", 0},
      {"-5", AFX_IDP_PARSE_UINT, "Enter a whole number between 10 and 1000.", 0},
      {"", AFX_IDP_PARSE_UINT, "Enter a whole number between 10 and 1000.", 0},
      {"10", 0, nullptr, 10},
      {"1000", 0, nullptr, 1000},
      {" 250 ", 0, nullptr, 250},
  };
  for (const auto& c : zoom) {
    CZoomBox box;
    box.m_nPercent = 100;
    const Outcome outcome = TypeAndPressOK(box, {{49171, c.typed}});
    EXPECT_EQ(outcome.stayedOpen, c.prompt != 0) << c.typed;
    if (c.prompt == 0) {
      EXPECT_TRUE(outcome.messages.empty()) << c.typed;
      EXPECT_EQ(box.m_nPercent, c.value) << c.typed;
      continue;
    }
    ASSERT_EQ(outcome.messages, std::vector<UINT>{c.prompt}) << c.typed;
    EXPECT_EQ(host.Messages()[0].text, c.text) << c.typed;
    EXPECT_EQ(host.Messages()[0].caption, "Error") << c.typed;
  }
  const struct {
    const char* typed;
    bool accepted;
    unsigned value;
  } positions[] = {{"5", true, 5}, {"4294967295", true, 4294967295u}, {"4294967296", false, 0},
                   {"-1", false, 0}, {"two", false, 0}};
  for (const auto& c : positions) {
    CArrayInsertKVSBox box(nullptr, nullptr, nullptr, "alpha");
    const Outcome outcome = TypeAndPressOK(box, {{49166, c.typed}});
    EXPECT_EQ(outcome.result, c.accepted ? IDOK : IDCANCEL) << c.typed;
    if (c.accepted) {
      EXPECT_EQ(box.m_nPosition, c.value);
      continue;
    }
    ASSERT_EQ(outcome.messages, std::vector<UINT>{AFX_IDP_PARSE_UINT}) << c.typed;
    EXPECT_EQ(host.Messages()[0].text, "Enter a whole number between 0 and 4294967295.") << c.typed;
    EXPECT_EQ(host.Messages()[0].caption, "Error") << c.typed;
  }
}

TEST_F(EntryDialogs, InsertDialogsOpenAtTheCallersPosition) {
  TestNode node;
  CArrayInsertBox insert(nullptr, &node, nullptr, "alpha");
  CArrayInsertKVSBox insertSet(nullptr, &node, nullptr, "alpha");
  EXPECT_EQ(insert.m_nPosition, 0u);
  EXPECT_EQ(insertSet.m_nPosition, 0u);
  EXPECT_EQ(insert.m_pNode, &node);
  EXPECT_EQ(insert.m_strServer, "alpha");
  EXPECT_EQ(InitialTexts(insert, {49166}), std::vector<QString>{"0"});
  insertSet.m_nPosition = 2;
  EXPECT_EQ(InitialTexts(insertSet, {49166}), std::vector<QString>{"2"});
}

TEST_F(EntryDialogs, EditValueRunsTheNodesDialogAndThenAcceptsAsOKDoes) {
  // Each case: the insert dialog or the key dialog, whether the node's own
  // dialog is confirmed, and how "Edit Value..." is pressed.
  const struct {
    bool keyDialog;
    bool confirm;
    bool byEnter;
  } cases[] = {
      {false, true, false}, {false, true, true}, {false, false, false},
      {true, true, false},  {true, true, true},  {true, false, false},
  };
  MultiAdminSession* session = reinterpret_cast<MultiAdminSession*>(0x10);  // only passed on
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.keyDialog << c.confirm << c.byEnter);
    host.Clear();
    TestNode node;
    node.m_lValue = 3;
    std::unique_ptr<CDialog> dialog;
    int field = 0;
    int button = 0;
    if (c.keyDialog) {
      dialog = std::make_unique<CEditSymBox>(nullptr, &node, session, "alpha");
      field = 49158;
      button = 49202;
    } else {
      dialog = std::make_unique<CArrayInsertBox>(nullptr, &node, session, "alpha");
      field = 49166;
      button = 49201;
    }
    bool stayedOpen = false;
    host.ExpectDialog([&](DialogDriver& d) {
      d.Type(field, c.keyDialog ? "Volume" : "4");
      if (c.byEnter)
        d.PressEnter();
      else
        d.Click(button);
      stayedOpen = d.IsOpen();
      if (stayedOpen) d.Click(IDCANCEL);
    });
    host.ExpectDialog([&](DialogDriver& d) {
      EXPECT_EQ(d.Title(), "Edit Integer");
      EXPECT_EQ(d.Text(49153), "3");
      d.Type(49153, "42");
      d.Click(c.confirm ? IDOK : IDCANCEL);
    });
    const int result = dialog->DoModal();
    EXPECT_EQ(node.m_edits, 1);
    EXPECT_EQ(node.m_pLastParent, dialog.get());  // the dialog owns the node's dialog
    EXPECT_EQ(node.m_pLastSession, session);
    EXPECT_EQ(node.m_strLastServer, "alpha");
    EXPECT_EQ(stayedOpen, !c.confirm);
    EXPECT_EQ(result, c.confirm ? IDOK : IDCANCEL);
    EXPECT_EQ(node.m_lValue, c.confirm ? 42 : 3);
    if (!c.confirm) continue;
    if (c.keyDialog)
      EXPECT_EQ(static_cast<CEditSymBox*>(dialog.get())->m_strKey, "Volume");
    else
      EXPECT_EQ(static_cast<CArrayInsertBox*>(dialog.get())->m_nPosition, 4u);
  }
}

TEST_F(EntryDialogs, EditValueWithABadPositionKeepsTheDialogOpenWithThePrompt) {
  TestNode node;
  CArrayInsertBox box(nullptr, &node, nullptr, "alpha");
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(49166, "x");
    d.Click(49201);
    EXPECT_TRUE(d.IsOpen());
    d.Type(49166, "1");
    d.Click(IDOK);
  });
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(49153, "8");
    d.Click(IDOK);
  });
  EXPECT_EQ(box.DoModal(), IDOK);
  EXPECT_EQ(node.m_lValue, 8);
  EXPECT_EQ(box.m_nPosition, 1u);
  EXPECT_EQ(host.MessageIds(), std::vector<UINT>{AFX_IDP_PARSE_UINT});
}

TEST_F(EntryDialogs, SymbolDialogTakesTheTextAsTyped) {
  CEditSymbolBox box;
  EXPECT_TRUE(box.m_strSymbol.IsEmpty());
  box.m_strSymbol = "CTkey_Old";
  EXPECT_EQ(InitialTexts(box, {49203}), std::vector<QString>{"CTkey_Old"});
  const Outcome outcome = TypeAndPressOK(box, {{49203, " 12345 "}});
  EXPECT_EQ(outcome.result, IDOK);
  EXPECT_EQ(box.m_strSymbol, " 12345 ");
}

TEST_F(EntryDialogs, ErrorBoxShowsTheTextOfItsIdOwnedByTheWindowAtHand) {
  QWidget window;
  CWnd owner(&window);
  CWnd gone;  // a handle to no window
  // A window other than the owner is active, so "the active window" can be
  // told apart from no owner at all.
  QWidget activeWindow;
  activeWindow.show();
  QApplication::setActiveWindow(&activeWindow);
  ASSERT_EQ(QApplication::activeWindow(), &activeWindow);
  const struct {
    UINT id;
    CWnd* owner;
    const char* text;
    QWidget* expectedOwner;
    bool active;  // owned by the active window
  } cases[] = {
      {4191, &owner, "You must enter a valid integer", &window, false},
      {4203, &gone, "The end value must be a valid real number", nullptr, false},
      {4191, nullptr, "You must enter a valid integer", nullptr, true},
      {1, &owner, "", &window, false},  // no such string: an empty message
  };
  for (const auto& c : cases) {
    host.Clear();
    CErrorBox box(c.id, c.owner);
    EXPECT_EQ(box.Message(), c.text);
    EXPECT_EQ(box.DoModal(), 1u);
    ASSERT_EQ(host.Messages().size(), 1u);
    const MessageRecord& m = host.Messages()[0];
    EXPECT_EQ(m.stringId, c.id);
    EXPECT_EQ(m.text, c.text);
    EXPECT_EQ(m.caption, "Error");
    EXPECT_EQ(m.type, MB_OK | MB_SYSTEMMODAL | MB_ICONWARNING);
    EXPECT_EQ(m.owner.data(), c.active ? &activeWindow : c.expectedOwner);
  }
  // Without an owner, a box shown from inside a running dialog belongs to
  // the active window.
  CZoomBox zoom;
  QWidget* active = nullptr;
  host.Clear();
  host.ExpectDialog([&active](DialogDriver& d) {
    QApplication::setActiveWindow(d.Dialog());
    active = QApplication::activeWindow();
    EXPECT_EQ(active, d.Dialog());
    CErrorBox(4141, nullptr).DoModal();
    d.Click(IDCANCEL);
  });
  zoom.DoModal();
  ASSERT_EQ(host.Messages().size(), 1u);
  ASSERT_NE(active, nullptr);
  EXPECT_EQ(host.Messages()[0].owner.data(), active);
}
