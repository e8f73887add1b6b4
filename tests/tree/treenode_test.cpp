// CTreeNode: links, insertion and removal, navigation in display order,
// the position search, hit-testing and the row operations.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/recordingdc.h"
#include "tests/tree/plainwalks.h"
#include "tests/tree/treetestnode.h"

namespace {

// A tree described by lines "parent child child ..."; the first name of the
// first line is the root.  Every node is 16 x 16 unless told otherwise.
struct Tree {
  std::unique_ptr<TestNode> root;
  std::map<std::string, TestNode*> nodes;

  explicit Tree(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      std::vector<std::string> names;
      size_t start = 0;
      while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        names.push_back(line.substr(start, end - start));
        start = end + 1;
      }
      if (!root) {
        root = std::make_unique<TestNode>(16, 16, names[0]);
        nodes[names[0]] = root.get();
      }
      TestNode* parent = nodes.at(names[0]);
      for (size_t i = 1; i < names.size(); ++i) {
        auto* child = new TestNode(16, 16, names[i]);
        EXPECT_EQ(parent->AddSubNode(child, -1), 1);
        nodes[names[i]] = child;
      }
    }
  }
  TestNode* operator[](const std::string& name) { return nodes.at(name); }
  std::string NameOf(CTreeNode* node) const { return node ? static_cast<TestNode*>(node)->Name() : "-"; }
  std::string Children(const std::string& name) {
    std::string out;
    for (CTreeNode* c = nodes.at(name)->GetFirstChild(); c; c = c->GetNextSibling()) out += NameOf(c) + " ";
    return out;
  }
  // Down from the root, then Up from the last node back to the root.
  std::string DownWalk() {
    std::string out;
    for (CTreeNode* n = root.get(); n; n = n->Down()) out += NameOf(n) + " ";
    return out;
  }
  std::string UpWalk() {
    CTreeNode* last = root.get();
    while (last->Down()) last = last->Down();
    std::string out;
    for (CTreeNode* n = last; n; n = n->Up()) out += NameOf(n) + " ";
    return out;
  }
};

const std::vector<std::string> kShape = {
    "r a b c",
    "a a1 a2",
    "a2 a21 a22",
    "a22 a221",
    "b b1",
    "c c1 c2",
};

TEST(TreeNodeNavigation, DisplayOrderWithCollapsedAndDeepSubtrees) {
  struct Case {
    std::vector<std::string> collapsed;
    const char* down;
    const char* up;
  } cases[] = {
      {{}, "r a a1 a2 a21 a22 a221 b b1 c c1 c2 ", "c2 c1 c b1 b a221 a22 a21 a2 a1 a r "},
      {{"a"}, "r a b b1 c c1 c2 ", "c2 c1 c b1 b a r "},
      {{"a22", "c"}, "r a a1 a2 a21 a22 b b1 c ", "c b1 b a22 a21 a2 a1 a r "},
      {{"r"}, "r ", "r "},
      {{"b", "a2"}, "r a a1 a2 b c c1 c2 ", "c2 c1 c b a2 a1 a r "},
  };
  for (const Case& test : cases) {
    Tree tree(kShape);
    for (const std::string& name : test.collapsed) tree[name]->SetExpanded(0);
    EXPECT_EQ(tree.DownWalk(), test.down);
    EXPECT_EQ(tree.UpWalk(), test.up);
  }
  Tree tree(kShape);
  EXPECT_EQ(tree.root->Up(), nullptr);
  EXPECT_EQ(tree["c2"]->Down(), nullptr);
  // Up from b reaches the deepest last visible node of a.
  EXPECT_EQ(tree.NameOf(tree["b"]->Up()), "a221");
  // A collapsed node: FirstChild is none but the children still count.
  tree["a"]->SetExpanded(0);
  EXPECT_EQ(tree["a"]->FirstChild(), nullptr);
  EXPECT_EQ(tree["a"]->CountSubNodes(), 2);
  EXPECT_EQ(tree.NameOf(tree["a"]->Down()), "b");
  EXPECT_EQ(tree.NameOf(tree["a"]->NextChild(tree["a1"])), "a2");
  EXPECT_EQ(tree["a"]->NextChild(nullptr), nullptr);
  EXPECT_EQ(tree.NameOf(tree["a1"]->Parent()), "a");
}

TEST(TreeNodeLinks, InsertionPositions) {
  struct Case {
    int children;
    int position;
    const char* order;
  } cases[] = {
      {2, 5, "x0 x1 n "}, {2, 1, "x0 n x1 "},    {2, -1, "x0 x1 n "}, {2, -7, "x0 x1 n "},
      {2, 0, "n x0 x1 "}, {2, 2, "x0 x1 n "},    {0, 3, "n "},        {0, 0, "n "},
      {3, 2, "x0 x1 n x2 "}, {1, 1, "x0 n "},
  };
  for (const Case& test : cases) {
    Tree tree({"p"});
    for (int i = 0; i < test.children; ++i) {
      auto* child = new TestNode(16, 16, "x" + std::to_string(i));
      tree.nodes[child->Name()] = child;
      tree["p"]->AddSubNode(child, -1);
    }
    auto* node = new TestNode(16, 16, "n");
    tree.nodes["n"] = node;
    EXPECT_EQ(tree["p"]->AddSubNode(node, test.position), 1);
    EXPECT_EQ(tree.Children("p"), test.order) << test.children << " children, position " << test.position;
    EXPECT_EQ(tree.root->CountSubNodes(), test.children + 1);
    // The links agree both ways, and the last child is the end of the chain.
    CTreeNode* prev = nullptr;
    for (CTreeNode* c = tree.root->GetFirstChild(); c; c = c->GetNextSibling()) {
      EXPECT_EQ(c->GetPrevSibling(), prev);
      EXPECT_EQ(c->Parent(), tree.root.get());
      prev = c;
    }
    EXPECT_EQ(tree.root->GetLastChild(), prev);
  }
}

TEST(TreeNodeLinks, RefusesNodesThatWouldCorruptTheTree) {
  Tree tree(kShape);
  EXPECT_EQ(tree.root->AddSubNode(nullptr, -1), 0);
  EXPECT_EQ(tree["b"]->AddSubNode(tree["a1"], -1), 0);   // linked elsewhere
  EXPECT_EQ(tree["a22"]->AddSubNode(tree["a"], 0), 0);   // its own ancestor
  EXPECT_EQ(tree["c"]->AddSubNode(tree["c"], 0), 0);     // itself
  EXPECT_EQ(tree["a"]->DeleteChild(nullptr), 0);
  EXPECT_EQ(tree["a"]->DeleteChild(tree["b1"]), 0);      // not its child
  EXPECT_EQ(tree.DownWalk(), "r a a1 a2 a21 a22 a221 b b1 c c1 c2 ");
  EXPECT_EQ(tree.root->GetRowCount(), 12);
}

TEST(TreeNodeLinks, DeleteChildUnlinksOnlyThatSubtree) {
  struct Case {
    const char* victim;
    const char* left;
    int destroyed;
  } cases[] = {
      {"a", "b c ", 6}, {"b", "a c ", 2}, {"c", "a b ", 3},
  };
  for (const Case& test : cases) {
    const int before = TestNode::Live();
    {
      Tree tree(kShape);
      const int live = TestNode::Live();
      EXPECT_EQ(tree.root->DeleteChild(tree[test.victim]), 1);
      EXPECT_EQ(tree.Children("r"), test.left);
      EXPECT_EQ(live - TestNode::Live(), test.destroyed);
      EXPECT_EQ(tree.root->GetFirstChild()->GetPrevSibling(), nullptr);
      EXPECT_EQ(tree.root->GetLastChild()->GetNextSibling(), nullptr);
      EXPECT_EQ(tree.root->CountSubNodes(), 2);
      EXPECT_EQ(tree.root->GetRowCount(), 12 - test.destroyed);
    }
    EXPECT_EQ(TestNode::Live(), before);
  }
  // Deleting all children, then reusing the parent.
  Tree tree(kShape);
  tree["a"]->DeleteChildren();
  EXPECT_EQ(tree["a"]->CountSubNodes(), 0);
  EXPECT_EQ(tree.DownWalk(), "r a b b1 c c1 c2 ");
  EXPECT_EQ(tree["a"]->AddSubNode(new TestNode(16, 16, "z"), 4), 1);
  EXPECT_EQ(tree.DownWalk(), "r a z b b1 c c1 c2 ");
}

TEST(TreeNodeLinks, LongChainsAndDeepTreesAreDestroyedWithoutRecursion) {
  const int before = TestNode::Live();
  {
    TestNode root(16, 16);
    for (int i = 0; i < 200000; ++i) root.AddSubNode(new TestNode(16, 16), -1);
    // Built from the bottom up, as containers fill their nodes.
    TestNode* deep = new TestNode(16, 16);
    for (int i = 0; i < 100000; ++i) {
      auto* parent = new TestNode(16, 16);
      parent->AddSubNode(deep, 0);
      deep = parent;
    }
    root.AddSubNode(deep, 0);
    EXPECT_EQ(root.CountSubNodes(), 200001);
    EXPECT_EQ(root.GetRowCount(), 1 + 200000 + 100001);
  }
  EXPECT_EQ(TestNode::Live(), before);
}

TEST(TreeNodeFlags, ExpandedAndSelectedAreStoredAsGiven) {
  struct Case {
    int start;
    int afterToggle;
  } cases[] = {{5, 0}, {1, 0}, {0, 1}, {-3, 0}};
  for (const Case& test : cases) {
    Tree tree({"r a"});
    tree.root->SetExpanded(test.start);
    EXPECT_EQ(tree.root->GetExpanded(), test.start);
    tree.root->ToggleExpanded();
    EXPECT_EQ(tree.root->GetExpanded(), test.afterToggle);
    EXPECT_EQ(tree.root->GetRowCount(), test.afterToggle ? 2 : 1);
  }
  TestNode node(16, 16);
  EXPECT_EQ(node.GetExpanded(), 1);
  EXPECT_EQ(node.GetSelected(), 0);
  node.SetSelected(7);
  EXPECT_EQ(node.GetSelected(), 7);
}

// Rows are 22 units apart (16 + 6) and each level 48 units to the right.
TEST(TreeNodePosition, GetDimsFollowsTheDrawingOrder) {
  Tree tree(kShape);
  for (auto& entry : tree.nodes) entry.second->SetBoxWidth(40);
  tree["c"]->SetExpanded(0);
  struct Case {
    const char* target;
    int result;
    CRect rect;
    int y;
  } cases[] = {
      {"r", 1, CRect(4, 4, 44, 20), 4},         {"a", 1, CRect(52, 26, 92, 42), 26},
      {"a221", 1, CRect(196, 136, 236, 152), 136}, {"b1", 1, CRect(100, 180, 140, 196), 180},
      {"c", 1, CRect(52, 202, 92, 218), 202},   {"c1", 0, CRect(), 4 + 10 * 22},
  };
  for (const Case& test : cases) {
    for (int plain = 0; plain < 2; ++plain) {
      int y = 4;
      CRect rect;
      const int result = plain ? plainwalks::GetDims(tree.root.get(), tree[test.target], 4, y, rect)
                               : tree.root->GetDims(tree[test.target], 4, y, rect);
      EXPECT_EQ(result, test.result) << test.target;
      EXPECT_EQ(y, test.y) << test.target;
      if (test.result) {
        EXPECT_EQ(rect, test.rect) << test.target;
      }
    }
  }
  // A node of another tree is not found; y passes the whole visible tree.
  TestNode stranger(16, 16);
  int y = 0;
  CRect rect;
  EXPECT_EQ(tree["a"]->GetDims(&stranger, 0, y, rect), 0);
  EXPECT_EQ(y, 6 * 22);
}

TEST(TreeNodeHitTest, FirstBoxHoldingThePointInDisplayOrder) {
  Tree tree(kShape);
  for (auto& entry : tree.nodes) entry.second->SetBoxWidth(40);
  tree["a2"]->SetBoxWidth(100);
  struct Case {
    int x, y;
    const char* hit;
    int onIcon;
  } cases[] = {
      {0, 0, "r", 1},      {15, 15, "r", 1},    {16, 15, "r", 0},   {39, 0, "r", 0},
      {40, 0, "-", -1},    {0, 16, "-", -1},    {0, 21, "-", -1},   {48, 22, "a", 1},
      {47, 22, "-", -1},   {96, 66, "a2", 1},   {195, 66, "a2", 0}, {196, 66, "-", -1},
      {196, 132, "a221", 1}, {-5, 0, "-", -1},  {48, -1, "-", -1},  {0, 10000, "-", -1},
  };
  for (const Case& test : cases) {
    for (int plain = 0; plain < 2; ++plain) {
      int onIcon = -1;
      CTreeNode* hit = plain ? plainwalks::Clicked(tree.root.get(), test.x, test.y, onIcon)
                             : tree.root->Clicked(test.x, test.y, onIcon);
      EXPECT_EQ(tree.NameOf(hit), test.hit) << test.x << "," << test.y;
      EXPECT_EQ(onIcon, test.onIcon) << test.x << "," << test.y;
    }
  }
}

TEST(TreeNodeRows, RowsTopsAndYsAgreeWithDisplayOrder) {
  for (const char* collapsed : {"", "a", "a22", "r"}) {
    Tree tree(kShape);
    if (*collapsed) tree[collapsed]->SetExpanded(0);
    tree["b1"]->SetIcon(35, 26);  // a taller row
    std::vector<CTreeNode*> order;
    for (CTreeNode* n = tree.root.get(); n; n = n->Down()) order.push_back(n);
    ASSERT_EQ(tree.root->GetRowCount(), static_cast<int>(order.size()));
    int top = 0;
    for (int row = 0; row < static_cast<int>(order.size()); ++row) {
      int at = -1;
      EXPECT_EQ(tree.root->NodeAtRow(row, &at), order[row]);
      EXPECT_EQ(at, top);
      EXPECT_EQ(tree.root->GetRowTop(row), top);
      EXPECT_EQ(tree.root->GetRowOf(order[row]), row);
      const int pitch = order[row]->GetYIndent();
      EXPECT_EQ(tree.root->GetRowAtY(top), row);
      EXPECT_EQ(tree.root->GetRowAtY(top + pitch - 1), row);
      top += pitch;
    }
    EXPECT_EQ(tree.root->GetSubtreeHeight(), top);
    EXPECT_EQ(tree.root->GetRowAtY(top), tree.root->GetRowCount());
    EXPECT_EQ(tree.root->GetRowAtY(-1), -1);
    EXPECT_EQ(tree.root->NodeAtRow(-1), nullptr);
    EXPECT_EQ(tree.root->NodeAtRow(tree.root->GetRowCount()), nullptr);
    EXPECT_EQ(tree.root->GetRowTop(tree.root->GetRowCount()), -1);
    if (std::string(collapsed) == "a") {
      EXPECT_EQ(tree.root->GetRowOf(tree["a1"]), -1);
    }
    EXPECT_EQ(tree["b"]->GetRowOf(tree["a"]), -1);  // not in that subtree
    EXPECT_EQ(tree.root->GetRowOf(nullptr), -1);
  }
}

}  // namespace
