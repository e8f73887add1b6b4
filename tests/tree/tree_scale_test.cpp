// The row sums and the walks that skip subtrees, against the plain walks, on
// random trees with random expand states, icon sizes and drawn widths,
// through random edits: the same drawing calls in the visible area, the
// same nodes drawn, the same hits, boxes, extents and rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/recordingdc.h"
#include "tests/tree/plainwalks.h"
#include "tests/tree/treetestnode.h"

namespace {

const int kIconSizes[][2] = {{16, 16}, {35, 26}, {38, 29}, {30, 16}, {19, 16}, {0, 0}};

// Makes the same random trees and edits for two trees from one seed.
class Generator {
 public:
  explicit Generator(unsigned seed) : m_random(seed), m_wideTop(seed % 3 == 0) {}
  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
  float PickScale() {
    const float scales[] = {1.0f, 0.5f, 2.0f, 1.37f, 0.8f, 3.0f};
    return scales[Pick(6)];
  }
  TestNode* MakeNode() {
    const int* icon = kIconSizes[Pick(6)];
    auto* node = new TestNode(icon[0], icon[1], "n" + std::to_string(m_next++), Pick(4) == 0 ? -1 : Pick(300));
    if (Pick(4) == 0) node->SetExpanded(0);
    return node;
  }
  // A subtree of about budget nodes; now and then a wide fan-out.
  TestNode* MakeTree(int budget, int depth) {
    TestNode* node = MakeNode();
    --budget;
    // Now and then enough children for the child index.
    const int wide = Pick(12);
    int fanOut = depth > 6 ? 0 : (wide == 0 && budget > 280 ? 260 + Pick(150) : wide == 1 ? 40 + Pick(60) : Pick(6));
    if (m_wideTop && depth <= 1) fanOut = 260 + Pick(200);
    for (int i = 0; i < fanOut && budget > 0; ++i) {
      const int share = std::max(1, budget / std::max(1, fanOut - i) + Pick(3) - 1);
      node->AddSubNode(MakeTree(share, depth + 1), -1);
      budget -= share;
    }
    return node;
  }

 private:
  std::mt19937 m_random;
  bool m_wideTop;  // the root and its children get hundreds of children
  int m_next = 0;
};

// Every node, hidden or not, in display order of the fully expanded tree.
void AllNodes(CTreeNode* node, std::vector<TestNode*>& out) {
  out.push_back(static_cast<TestNode*>(node));
  for (CTreeNode* c = node->GetFirstChild(); c; c = c->GetNextSibling()) AllNodes(c, out);
}

// The widest right edge and visible rows, by the definitions.
int PlainRight(CTreeNode* node) {
  int right = node->GetWidth();
  if (node->IsExpanded())
    for (CTreeNode* c = node->GetFirstChild(); c; c = c->GetNextSibling())
      right = std::max(right, node->GetXIndent() + PlainRight(c));
  return right;
}

// The drawing calls that can show in the device clip area, with the state
// they were made in; lines that miss it are left out.
std::vector<std::string> VisibleCalls(const CRecordingDC& dc, const CRect& clip) {
  std::vector<std::string> out;
  for (const DCRecord& r : dc.Records()) {
    std::ostringstream line;
    switch (r.op) {
      case DCRecord::Op::LineTo: {
        const int left = std::min(r.from.x, r.to.x), right = std::max(r.from.x, r.to.x);
        const int top = std::min(r.from.y, r.to.y), bottom = std::max(r.from.y, r.to.y);
        if (left >= clip.right || right < clip.left || top >= clip.bottom || bottom < clip.top) continue;
        line << "L " << r.from.x << "," << r.from.y << ">" << r.to.x << "," << r.to.y;
        break;
      }
      case DCRecord::Op::TextOut:
        line << "T " << r.text << "@" << r.from.x << "," << r.from.y;
        break;
      case DCRecord::Op::FillSolidRect:
      case DCRecord::Op::FillRect:
      case DCRecord::Op::PatBlt:
      case DCRecord::Op::SetDIBitsToDevice:
      case DCRecord::Op::StretchDIBits:
        line << "F " << static_cast<int>(r.op) << " " << r.rect.left << "," << r.rect.top << "," << r.rect.right
             << "," << r.rect.bottom;
        break;
      default:
        continue;
    }
    line << " pen " << r.pen.lopnStyle << "/" << r.pen.lopnWidth << "/" << r.pen.lopnColor;
    out.push_back(line.str());
  }
  return out;
}

class TreePair {
 public:
  explicit TreePair(unsigned seed, int size) : m_genA(seed), m_genB(seed), m_edit(seed * 7 + 1) {
    m_fast.reset(m_genA.MakeTree(size, 0));
    m_plain.reset(m_genB.MakeTree(size, 0));
    m_fast->SetExpanded(1);
    m_plain->SetExpanded(1);
  }

  // One random edit, the same on both trees.
  void Edit() {
    std::vector<TestNode*> fast, plain;
    AllNodes(m_fast.get(), fast);
    AllNodes(m_plain.get(), plain);
    const int index = m_edit.Pick(static_cast<int>(fast.size()));
    TestNode* a = fast[index];
    TestNode* b = plain[index];
    const int kind = m_edit.Pick(11);
    const int value = m_edit.Pick(400);
    switch (kind) {
      case 0:
      case 1:
        a->ToggleExpanded();
        b->ToggleExpanded();
        break;
      case 2: {
        const int position = m_edit.Pick(a->CountSubNodes() + 3) - 1;
        const int budget = 1 + m_edit.Pick(12);
        a->AddSubNode(m_genA.MakeTree(budget, 3), position);
        b->AddSubNode(m_genB.MakeTree(budget, 3), position);
        break;
      }
      case 3:
        if (index != 0) {
          a->GetParent()->DeleteChild(a);
          b->GetParent()->DeleteChild(b);
        }
        break;
      case 4: {
        const int* icon = kIconSizes[value % 6];
        a->SetIcon(icon[0], icon[1]);
        b->SetIcon(icon[0], icon[1]);
        break;
      }
      case 5:
        a->SetBoxWidth(value);
        b->SetBoxWidth(value);
        break;
      case 6:
        a->SetDrawnWidth(value % 3 == 0 ? -1 : value);
        b->SetDrawnWidth(value % 3 == 0 ? -1 : value);
        break;
      case 7:
        // A box taller or lower than the icon.
        a->SetBoxHeight(value % 40);
        b->SetBoxHeight(value % 40);
        break;
      case 8:
        if (value % 20 == 0) {
          a->DeleteChildren();
          b->DeleteChildren();
        } else if (value % 25 == 1) {
          a->SetFail(true);
          b->SetFail(true);
        }
        break;
      case 9:
      case 10: {
        // The whole subtree at once, against each flag set alone.
        const int flag = kind == 9 ? 0 : value % 7 == 0 ? 2 : 1;
        a->SetExpandedAll(flag);
        std::vector<TestNode*> below;
        AllNodes(b, below);
        for (TestNode* node : below) node->SetExpanded(flag);
        break;
      }
    }
  }

  // Draws both trees in the same random view and compares.
  void CompareDrawing() {
    const float scale = m_edit.PickScale();
    const int height = CTreeNode::Scaled(m_plain->GetSubtreeHeight() + 16, scale);
    const int scrollX = m_edit.Pick(4) == 0 ? m_edit.Pick(400) : 0;
    const int scrollY = m_edit.Pick(std::max(1, height));
    CRect clip(m_edit.Pick(600), m_edit.Pick(500), 0, 0);
    clip.right = clip.left + 1 + m_edit.Pick(1024);
    clip.bottom = clip.top + 1 + m_edit.Pick(m_edit.Pick(3) == 0 ? 8 : 768);
    CRecordingDC fastDC, plainDC;
    for (CRecordingDC* dc : {&fastDC, &plainDC}) {
      dc->SetViewportOrg(-scrollX, -scrollY);
      dc->SelectClipRect(&clip);
      dc->ClearRecords();
    }
    const int fastResult = m_fast->DrawTree(8, 8, &fastDC, scale);
    const int plainResult = plainwalks::DrawTree(m_plain.get(), 8, 8, &plainDC, scale);
    ASSERT_EQ(fastResult, plainResult);
    CRect visible;
    visible.IntersectRect(clip, CRect(0, 0, 1024, 768));
    ASSERT_EQ(VisibleCalls(fastDC, visible), VisibleCalls(plainDC, visible))
        << "scale " << scale << " scroll " << scrollY << " clip " << clip.top << ".." << clip.bottom;
    // The same nodes were drawn, so the same widths were taken.
    std::vector<TestNode*> fast, plain;
    AllNodes(m_fast.get(), fast);
    AllNodes(m_plain.get(), plain);
    ASSERT_EQ(fast.size(), plain.size());
    for (size_t i = 0; i < fast.size(); ++i) {
      ASSERT_EQ(fast[i]->Draws(), plain[i]->Draws()) << fast[i]->Name();
      ASSERT_EQ(fast[i]->GetWidth(), plain[i]->GetWidth()) << fast[i]->Name();
    }
    ASSERT_EQ(m_fast->GetWidestRight(), PlainRight(m_fast.get()));
  }

  // Positions, hits, extents and rows of the fast tree against its plain walks.
  void CompareWalks() {
    CTreeNode* root = m_fast.get();
    std::vector<TestNode*> all;
    AllNodes(root, all);
    for (int i = 0; i < 150; ++i) {
      TestNode* node = all[m_edit.Pick(static_cast<int>(all.size()))];
      int yFast = 4, yPlain = 4;
      CRect fastRect(-1, -1, -1, -1), plainRect(-1, -1, -1, -1);
      const int fast = root->GetDims(node, 4, yFast, fastRect);
      const int plain = plainwalks::GetDims(root, node, 4, yPlain, plainRect);
      ASSERT_EQ(fast, plain) << node->Name();
      ASSERT_EQ(yFast, yPlain) << node->Name();
      if (fast) {
        ASSERT_EQ(fastRect, plainRect) << node->Name();
      }
      ASSERT_EQ(node->GetWidestRight(), PlainRight(node)) << node->Name();
    }
    int maxX = 0, maxY = 0;
    root->GetExtent(8, 8, maxX, maxY);
    for (int i = 0; i < 4; ++i) {
      int startX = i ? m_edit.Pick(2000) - 100 : 0, startY = i ? m_edit.Pick(maxY + 200) - 100 : 0;
      int fastX = startX, fastY = startY, plainX = startX, plainY = startY;
      CDENode* node = all[m_edit.Pick(static_cast<int>(all.size()))];
      node->GetExtent(8, 8, fastX, fastY);
      plainwalks::GetExtent(node, 8, 8, plainX, plainY);
      ASSERT_EQ(fastX, plainX);
      ASSERT_EQ(fastY, plainY);
    }
    for (int i = 0; i < 300; ++i) {
      const int x = m_edit.Pick(maxX + 60) - 30, y = m_edit.Pick(maxY + 60) - 30;
      int fastIcon = -1, plainIcon = -1;
      CTreeNode* fast = root->Clicked(x, y, fastIcon);
      CTreeNode* plain = plainwalks::Clicked(root, x, y, plainIcon);
      ASSERT_EQ(fast, plain) << x << "," << y;
      ASSERT_EQ(fastIcon, plainIcon) << x << "," << y;
    }
    std::vector<CTreeNode*> rows;
    for (CTreeNode* n = root; n; n = n->Down()) rows.push_back(n);
    ASSERT_EQ(root->GetRowCount(), static_cast<int>(rows.size()));
    for (int i = 0; i < 40; ++i) {
      const int row = m_edit.Pick(static_cast<int>(rows.size()));
      int top = -1;
      ASSERT_EQ(root->NodeAtRow(row, &top), rows[row]);
      ASSERT_EQ(root->GetRowOf(rows[row]), row);
      int y = 0;
      CRect rect;
      plainwalks::GetDims(root, rows[row], 0, y, rect);
      ASSERT_EQ(top, rect.top);
      ASSERT_EQ(root->GetRowAtY(top + m_edit.Pick(rows[row]->GetYIndent())), row);
      if (row > 0) {
        ASSERT_EQ(rows[row]->Up(), rows[row - 1]);
      }
    }
  }

  // Every node's stored flag, in the same order in both trees.
  void CompareFlags() {
    std::vector<TestNode*> fast, plain;
    AllNodes(m_fast.get(), fast);
    AllNodes(m_plain.get(), plain);
    ASSERT_EQ(fast.size(), plain.size());
    for (size_t i = 0; i < fast.size(); ++i) ASSERT_EQ(fast[i]->GetExpanded(), plain[i]->GetExpanded()) << i;
  }

  void CheckEqualShape() {
    std::vector<TestNode*> fast, plain;
    AllNodes(m_fast.get(), fast);
    AllNodes(m_plain.get(), plain);
    ASSERT_EQ(fast.size(), plain.size());
  }

 private:
  Generator m_genA, m_genB, m_edit;
  std::unique_ptr<TestNode> m_fast, m_plain;
};

TEST(TreeScale, FastWalksMatchThePlainWalksThroughRandomEdits) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TreePair trees(seed, 60 + static_cast<int>(seed) * 40);
    for (int round = 0; round < 40; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      trees.CompareDrawing();
      if (round % 4 == 0) trees.CompareWalks();
      trees.CompareFlags();
      if (HasFatalFailure()) return;
      trees.Edit();
      trees.Edit();
    }
  }
}

TEST(TreeScale, ScaledTruncatesTowardsZeroAndSaturates) {
  struct Case {
    int value;
    float scale;
    int result;
  } cases[] = {
      {7, 1.5f, 10},  {-7, 1.5f, -10}, {3, 0.37f, 1},        {-3, 0.37f, -1},
      {22000001, 1.0f, 22000001},       {2000000000, 3.0f, INT_MAX}, {-2000000000, 3.0f, INT_MIN},
      {5, 0.0f, 0},
  };
  for (const Case& test : cases) EXPECT_EQ(CTreeNode::Scaled(test.value, test.scale), test.result) << test.value;
}

// Widths changing under a node with hundreds of children: the widest edge
// follows every rise and fall, also of grandchildren.
TEST(TreeScale, WidestEdgeUnderManyChildren) {
  TestNode root(16, 16, "root");
  std::vector<TestNode*> children;
  for (int i = 0; i < 300; ++i) {
    children.push_back(new TestNode(16, 16));
    root.AddSubNode(children.back(), -1);
    children.back()->SetBoxWidth(10);
  }
  auto* grandchild = new TestNode(16, 16);
  children[200]->AddSubNode(grandchild, -1);
  struct Step {
    int child;  // -1: the grandchild
    int width;
    int widest;
  } steps[] = {
      {-1, 0, 96},    {100, 80, 128}, {5, 60, 128}, {100, 0, 108}, {5, 10, 96},  {-1, 30, 126},
      {299, 90, 138}, {-1, 0, 138},   {299, 0, 96}, {0, 200, 248}, {0, 16, 96},  {-1, 5, 101},
  };
  EXPECT_EQ(root.GetWidestRight(), 96 + 16);
  for (const Step& step : steps) {
    (step.child < 0 ? grandchild : children[step.child])->SetBoxWidth(step.width);
    EXPECT_EQ(root.GetWidestRight(), step.widest) << step.child << " " << step.width;
    EXPECT_EQ(root.GetWidestRight(), PlainRight(&root));
  }
  children[200]->SetExpanded(0);
  EXPECT_EQ(root.GetWidestRight(), PlainRight(&root));
}

// A wide, deep tree: rows, tops and hits far down agree with the walks.
TEST(TreeScale, LargeTreeRowsAndPositions) {
  TestNode root(35, 26, "root");
  std::vector<TestNode*> leaves;
  for (int i = 0; i < 300; ++i) {
    auto* set = new TestNode(35, 26, "s" + std::to_string(i));
    root.AddSubNode(set, -1);
    for (int j = 0; j < 100; ++j) {
      auto* leaf = new TestNode(16, 16, "l", 64);
      set->AddSubNode(leaf, -1);
      leaves.push_back(leaf);
    }
  }
  EXPECT_EQ(root.GetRowCount(), 1 + 300 * 101);
  EXPECT_EQ(root.GetSubtreeHeight(), 32 + 300 * (32 + 100 * 22));
  TestNode* probe = leaves[29999];
  int y = 0;
  CRect rect;
  ASSERT_EQ(root.GetDims(probe, 0, y, rect), 1);
  EXPECT_EQ(rect, CRect(96, root.GetSubtreeHeight() - 22, 96 + 16, root.GetSubtreeHeight() - 6));
  EXPECT_EQ(root.GetRowOf(probe), root.GetRowCount() - 1);
  int onIcon = 0;
  EXPECT_EQ(root.Clicked(100, rect.top + 3, onIcon), probe);
  // Collapsing one set moves every later row up by its children's height.
  static_cast<TestNode*>(root.GetFirstChild())->SetExpanded(0);
  y = 0;
  ASSERT_EQ(root.GetDims(probe, 0, y, rect), 1);
  EXPECT_EQ(rect.top, root.GetSubtreeHeight() - 22);
  EXPECT_EQ(root.GetSubtreeHeight(), 32 + 300 * (32 + 100 * 22) - 100 * 22);
  // Widths taken while drawing reach the extent.
  int maxX = 0, maxY = 0;
  root.GetExtent(8, 8, maxX, maxY);
  EXPECT_EQ(maxX, 8 + 96 + 16);  // leaves are 16 wide until drawn
  CRecordingDC dc;
  root.DrawTree(8, 8, &dc, 1.0f);
  maxX = maxY = 0;
  root.GetExtent(8, 8, maxX, maxY);
  EXPECT_EQ(maxX, 8 + 96 + 64);
}

// Expand and collapse all of one subtree under an index-keeping parent: the
// rows, heights and positions of the whole tree follow at once.
TEST(TreeScale, ExpandAndCollapseAllOfASubtree) {
  TestNode root(35, 26, "root");
  std::vector<TestNode*> sets;
  for (int i = 0; i < 300; ++i) {
    auto* set = new TestNode(35, 26, "s" + std::to_string(i));
    root.AddSubNode(set, -1);
    sets.push_back(set);
    for (int j = 0; j < 3; ++j) {
      auto* inner = new TestNode(35, 26, "i", 50 + j);
      set->AddSubNode(inner, -1);
      for (int k = 0; k < 4; ++k) inner->AddSubNode(new TestNode(16, 16, "l", 90), -1);
    }
  }
  TestNode* probe = static_cast<TestNode*>(root.GetLastChild()->GetLastChild()->GetLastChild());
  const int full = 1 + 300 * (1 + 3 * 5);
  struct Step {
    TestNode* node;
    int flag;   // -1: expand this node alone
    int rows;   // of the whole tree
    bool probeShown;
  } steps[] = {
      {&root, 0, 1, false},
      {sets[299], 1, 1, false},  // below a collapsed root: nothing shows yet
      {&root, -1, 1 + 300 + 15, true},
      {&root, 1, full, true},
      {sets[150], 0, full - 15, true},
      {sets[299], 0, full - 30, false},
      {sets[299], 1, full - 15, true},
      {&root, 1, full, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.node->Name() + " " + std::to_string(step.flag));
    if (step.flag < 0)
      step.node->SetExpanded(1);
    else
      step.node->SetExpandedAll(step.flag);
    EXPECT_EQ(root.GetRowCount(), step.rows);
    std::vector<CTreeNode*> rows;
    for (CTreeNode* n = &root; n; n = n->Down()) rows.push_back(n);
    EXPECT_EQ(static_cast<int>(rows.size()), step.rows);
    EXPECT_EQ(root.GetRowOf(probe) >= 0, step.probeShown);
    int yFast = 0, yPlain = 0;
    CRect fast, plain;
    EXPECT_EQ(root.GetDims(probe, 0, yFast, fast), plainwalks::GetDims(&root, probe, 0, yPlain, plain));
    EXPECT_EQ(yFast, yPlain);
    if (step.probeShown) {
      EXPECT_EQ(fast, plain);
      EXPECT_EQ(root.NodeAtRow(root.GetRowOf(probe)), probe);
    }
    EXPECT_EQ(root.GetWidestRight(), PlainRight(&root));
    int maxX = 0, maxY = 0, plainX = 0, plainY = 0;
    root.GetExtent(8, 8, maxX, maxY);
    plainwalks::GetExtent(&root, 8, 8, plainX, plainY);
    EXPECT_EQ(maxX, plainX);
    EXPECT_EQ(maxY, plainY);
  }
}

// The backwards walk from any node, wrapping from the root to the last node,
// visits the fully expanded pre-order reversed, and every node it reaches
// is visible when reached.
TEST(TreeScale, BackwardsWalkIsThePreOrderReversed) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator generator(seed);
    std::unique_ptr<TestNode> root(generator.MakeTree(40 + static_cast<int>(seed) * 60, 0));
    std::vector<TestNode*> order;
    AllNodes(root.get(), order);
    // Start at a visible node, as the selection always is.
    CTreeNode* start = root->NodeAtRow(generator.Pick(root->GetRowCount()));
    size_t at = std::find(order.begin(), order.end(), start) - order.begin();
    CTreeNode* node = start;
    for (size_t step = 0; step < order.size(); ++step) {
      node = node->UpExpanding();
      if (node == nullptr) node = root->LastExpanding();
      at = (at + order.size() - 1) % order.size();
      ASSERT_EQ(node, order[at]) << step;
      ASSERT_GE(root->GetRowOf(node), 0) << step;
    }
    EXPECT_EQ(node, start);
  }
  TestNode single(16, 16);
  EXPECT_EQ(single.UpExpanding(), nullptr);
  EXPECT_EQ(single.LastExpanding(), &single);
}

}  // namespace
