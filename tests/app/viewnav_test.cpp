// Expand All, Collapse All and Find Previous in the view: rows, enable
// states and scrolling; Find Previous's order against Find Next's, its wrap
// and its not-found notice; the commands' menu items and keypad keys.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <memory>
#include <vector>

#include "app/cmdids.h"
#include "app/mainfrm.h"
#include "app/queltview.h"
#include "tests/app/viewwindow.h"
#include "platform/cmdtarget.h"
#include "platform/commandset.h"
#include "platform/modalhost.h"
#include "platform/scriptedmodalhost.h"
#include "resources/resourceids.h"
#include "tests/support/containers.h"
#include "tree/bmstore.h"
#include "tree/kvs_node.h"

using testsupport::Kvs;

namespace {

constexpr int kFindEdit = 49192;

// pairs integers, every third pair from the second a set filled the same
// way one level less deep.  Integers show "+n"; keys never show a '+'.
void FillNested(CTkvs set, int pairs, int depth) {
  for (int i = 0; i < pairs; ++i) {
    if (depth > 0 && i % 3 == 1) {
      Kvs inner;
      FillNested(inner, pairs, depth - 1);
      CTkvs_PutKVSet(set, 0x7001 + i, inner, nullptr);
    } else {
      CTkvs_PutInt(set, 0x7001 + i, i + 10 * depth, nullptr);
    }
  }
}

// The node and every node below it, in tree order.
std::vector<CTreeNode*> AllNodes(CTreeNode* node) {
  std::vector<CTreeNode*> out{node};
  for (CTreeNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextSibling()) {
    const std::vector<CTreeNode*> below = AllNodes(c);
    out.insert(out.end(), below.begin(), below.end());
  }
  return out;
}

class NavTest : public ViewWindowTest {
 protected:
  void Load(int pairs, int depth) {
    Kvs set;
    FillNested(set, pairs, depth);
    ASSERT_TRUE(view->PutProfile("Local", set));
    Paint();
  }
  CTreeNode* Root() const { return view->GetRoot(); }
  bool Enabled(UINT id) const {
    CCmdUI ui(id);
    view->OnCmdMsg(id, &ui);
    return ui.m_bEnabled;
  }
  void Run(UINT id) { view->OnCmdMsg(id, nullptr); }
  // Remembers a search text through the Find dialog, then puts the
  // selection back on the root.
  void SetFindText(const char* text) {
    view->SelectNode(Root());
    host.ExpectDialog([text](DialogDriver& d) {
      d.Type(kFindEdit, text);
      d.Click(IDOK);
    });
    view->OnEditFind();
    view->SelectNode(Root());
  }
  // Whether the node's box lies within the window, as the find scroll
  // rules place it.
  bool Shown(CTreeNode* node) {
    CRect r;
    int y = 4;
    if (Root()->GetDims(node, 4, y, r) == 0) return false;
    const float zoom = view->GetZoom();
    const int top = view->GetScrollPosition().y;
    return static_cast<int>((r.top - 4) * zoom) >= top &&
           static_cast<int>((r.bottom + 4) * zoom) <= top + kClientHeight;
  }

};

TEST_F(NavTest, ExpandAndCollapseAllActOnTheSelectedSubtree) {
  Load(9, 3);
  const int total = static_cast<int>(AllNodes(Root()).size());
  // The second pair holds a set of 9 pairs with nested sets of their own.
  CTreeNode* pair = Root()->GetFirstChild()->GetNextSibling();
  CTreeNode* set = pair->GetFirstChild();
  const int pairNodes = static_cast<int>(AllNodes(pair).size());
  CTreeNode* leaf = Root()->GetFirstChild()->GetFirstChild();

  struct Step {
    CTreeNode* select;
    UINT command;
    int rows;  // of the whole tree
  } steps[] = {
      {Root(), ID_VIEW_COLLAPSEALL, 1},
      {Root(), ID_VIEW_EXPANDALL, total},
      {pair, ID_VIEW_COLLAPSEALL, total - pairNodes + 1},
      {Root(), ID_VIEW_COLLAPSEALL, 1},
      {Root(), ID_VIEW_EXPANDALL, total},
      {set, ID_VIEW_COLLAPSEALL, total - pairNodes + 2},
      {pair, ID_VIEW_EXPANDALL, total},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(::testing::Message() << "step " << (&step - steps));
    view->SelectNode(step.select);
    ASSERT_TRUE(Enabled(step.command));
    Run(step.command);
    EXPECT_EQ(Root()->GetRowCount(), step.rows);
    EXPECT_EQ(view->GetSelected(), step.select);
    EXPECT_GE(Root()->GetRowOf(step.select), 0);
    for (CTreeNode* node : AllNodes(step.select))
      ASSERT_EQ(node->IsExpanded(), step.command == ID_VIEW_EXPANDALL) << "every node below follows";
  }
  // Nothing to expand or collapse below a leaf, or without a selection.
  view->SelectNode(leaf);
  EXPECT_FALSE(Enabled(ID_VIEW_EXPANDALL));
  EXPECT_FALSE(Enabled(ID_VIEW_COLLAPSEALL));
  view->SelectNode(nullptr);
  EXPECT_FALSE(Enabled(ID_VIEW_EXPANDALL));
  Run(ID_VIEW_COLLAPSEALL);  // runs unguarded, as a stale menu would
  EXPECT_EQ(Root()->GetRowCount(), total);
}

// Collapsing a set far above the window, with many rows still below it:
// the window goes back to the selected set.
TEST_F(NavTest, CollapseAllKeepsTheSelectionInTheWindow) {
  Load(40, 2);
  const int total = static_cast<int>(AllNodes(Root()).size());
  CTreeNode* pair = Root()->GetFirstChild()->GetNextSibling();
  ASSERT_GT(pair->GetFirstChild()->CountSubNodes(), 0);
  view->SelectNode(pair);
  view->ScrollToPosition(CPoint(0, 1 << 20));  // clamped to the bottom
  Paint();
  ASSERT_GT(view->GetScrollPosition().y, 0);
  for (CTreeNode* target : {pair, Root()}) {
    view->SelectNode(target);
    Run(ID_VIEW_COLLAPSEALL);
    Paint();
    EXPECT_TRUE(Shown(target));
    Run(ID_VIEW_EXPANDALL);
    Paint();
    EXPECT_TRUE(Shown(target));
  }
  EXPECT_EQ(Root()->GetRowCount(), total);
}

TEST_F(NavTest, FindPreviousWalksFindNextsOrderBackwardsAndWraps) {
  Load(7, 3);
  // Every integer shows a '+'.
  SetFindText("+");
  EXPECT_TRUE(Enabled(ID_FIND_PREVIOUS));
  std::vector<CTreeNode*> forward;
  do {
    view->OnEditFindnext();
    forward.push_back(view->GetSelected());
  } while (forward.size() < 2 || forward.back() != forward.front());
  forward.pop_back();
  ASSERT_GT(forward.size(), 20u);

  // From the root of the whole tree collapsed, the last integer comes
  // first, each found node opened into view.
  Root()->SetExpandedAll(0);
  host.Clear();
  view->SelectNode(Root());
  for (size_t i = 0; i < forward.size() + 1; ++i) {
    view->OnEditFindprevious();
    CTreeNode* expected = forward[(forward.size() * 2 - 1 - i) % forward.size()];
    ASSERT_EQ(view->GetSelected(), expected) << i;
    ASSERT_TRUE(Shown(expected)) << i;
  }
  EXPECT_TRUE(host.Dialogs().empty()) << "every search found its node";

  // A collapsed set selected stays collapsed: its children come last.
  CTreeNode* set = Root()->GetFirstChild()->GetNextSibling()->GetFirstChild();
  set->SetExpanded(0);
  view->SelectNode(set);
  view->OnEditFindprevious();
  EXPECT_EQ(view->GetSelected(), Root()->GetFirstChild()->GetFirstChild());
  EXPECT_FALSE(set->IsExpanded());

  // The only match selected: the notice, and the selection stays.
  SetFindText("+33");
  CTreeNode* only = nullptr;
  for (CTreeNode* node : forward)
    if (static_cast<CDENode*>(node)->SearchText() == CString("+33")) only = node;
  ASSERT_NE(only, nullptr);
  view->SelectNode(only);
  host.Clear();
  host.ExpectDialog([](DialogDriver& d) { d.Click(IDOK); });
  view->OnEditFindprevious();
  ASSERT_EQ(host.Dialogs().size(), 1u);
  EXPECT_EQ(host.Dialogs().front().title.toStdString(), "Find");
  EXPECT_EQ(view->GetSelected(), only);

  // Without a search text there is nothing to repeat.
  SetFindText("");
  EXPECT_FALSE(Enabled(ID_FIND_PREVIOUS));
  EXPECT_FALSE(Enabled(ID_FIND_NEXT));
}

// The menu items and their keys: the keypad's * and / (not the main
// block's), and Shift+F3.
TEST(NavCommands, MenuItemsAndKeys) {
  EXPECT_EQ(CCommandSet::ParseKeys("Num+*"),
            std::vector<int>{QKeyCombination(Qt::KeypadModifier, Qt::Key_Asterisk).toCombined()});
  RegisterMainFrameResources();
  QWidget window;
  CCommandSet set(&window, [](UINT, CCmdUI*) { return FALSE; });
  QMenuBar bar;
  ASSERT_TRUE(set.LoadMenu(&bar, IDR_MAINFRAME));
  ASSERT_TRUE(set.LoadAccelerators(IDR_MAINFRAME));
  struct Case {
    UINT id;
    const char* text;
    QKeySequence key;
    QKeySequence notKey;
  } cases[] = {
      {ID_VIEW_EXPANDALL, "E&xpand All\tNum *", QKeySequence(Qt::KeypadModifier | Qt::Key_Asterisk),
       QKeySequence(Qt::Key_Asterisk)},
      {ID_VIEW_COLLAPSEALL, "Co&llapse All\tNum /", QKeySequence(Qt::KeypadModifier | Qt::Key_Slash),
       QKeySequence(Qt::Key_Slash)},
      {ID_FIND_PREVIOUS, "Find Previous\tShift+F3", QKeySequence(Qt::SHIFT | Qt::Key_F3), QKeySequence(Qt::Key_F3)},
      {ID_COMPARE_NEXT, "&Next Difference\tF8", QKeySequence(Qt::Key_F8), QKeySequence(Qt::SHIFT | Qt::Key_F8)},
      {ID_COMPARE_PREVIOUS, "Pre&vious Difference\tShift+F8", QKeySequence(Qt::SHIFT | Qt::Key_F8),
       QKeySequence(Qt::Key_F8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    QAction* action = set.Find(c.id);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text().toStdString(), c.text);
    EXPECT_TRUE(action->shortcuts().contains(c.key));
    EXPECT_FALSE(action->shortcuts().contains(c.notKey));
    EXPECT_TRUE(set.IsAccelerator(c.key[0].toCombined()));
    EXPECT_FALSE(action->statusTip().isEmpty());
  }
}

}  // namespace
