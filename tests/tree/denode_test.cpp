// CDENode: the shared geometry, the layout and lines of a drawn tree, the
// selection frame, the extent, deletion rules and the protocol defaults.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/ctstring.h"
#include "model/dataelt.h"
#include "platform/recordingdc.h"
#include "platform/syscolor.h"
#include "tests/tree/plainwalks.h"
#include "tests/tree/treetestnode.h"

namespace {

std::vector<std::string> Lines(const CRecordingDC& dc) {
  std::vector<std::string> out;
  for (const DCRecord& r : dc.RecordsOf(DCRecord::Op::LineTo))
    out.push_back(std::to_string(r.from.x) + "," + std::to_string(r.from.y) + ">" + std::to_string(r.to.x) + "," +
                  std::to_string(r.to.y));
  return out;
}

std::vector<std::string> Texts(const CRecordingDC& dc) {
  std::vector<std::string> out;
  for (const DCRecord& r : dc.RecordsOf(DCRecord::Op::TextOut))
    out.push_back(r.text + "@" + std::to_string(r.from.x) + "," + std::to_string(r.from.y));
  return out;
}

TEST(DENodeGeometry, FollowsTheIconSize) {
  struct Case {
    int iconWidth, iconHeight;
    int yIndent, origX, origY, destY;
  } cases[] = {
      {15, 16, 22, 7, 18, 8}, {35, 26, 32, 17, 28, 13}, {38, 29, 35, 19, 31, 14}, {0, 0, 6, 0, 2, 0},
  };
  for (const Case& test : cases) {
    TestNode node(test.iconWidth, test.iconHeight);
    EXPECT_EQ(node.GetXIndent(), 48);
    EXPECT_EQ(node.GetYIndent(), test.yIndent);
    EXPECT_EQ(node.GetBorderWidth(), 6);
    EXPECT_EQ(node.LinkOrigX(), test.origX);
    EXPECT_EQ(node.LinkOrigY(), test.origY);
    EXPECT_EQ(node.LinkDestX(), -2);
    EXPECT_EQ(node.LinkDestY(), test.destY);
    EXPECT_EQ(node.GetIconWidth(), test.iconWidth);
    EXPECT_EQ(node.GetIconHeight(), test.iconHeight);
    EXPECT_EQ(node.GetTotalWidth(), test.iconWidth);
    EXPECT_EQ(node.GetTotalHeight(), test.iconHeight);
  }
  // The box: x below the box width and y below its height; the icon: x only.
  TestNode node(16, 16);
  node.SetBoxWidth(60);
  struct Point {
    int x, y, inside, onIcon;
  } points[] = {{0, 0, 1, 1}, {59, 15, 1, 0}, {60, 0, 0, 0}, {0, 16, 0, 1}, {15, 1000, 0, 1}, {16, 0, 1, 0}};
  for (const Point& p : points) {
    EXPECT_EQ(node.IsInside(p.x, p.y), p.inside) << p.x << "," << p.y;
    EXPECT_EQ(node.IsOnIcon(p.x, p.y), p.onIcon) << p.x << "," << p.y;
  }
}

// A set with a 35 x 26 icon at (8, 8) and two pairs with 16 x 16 key icons,
// the first holding a value.
struct SetWithPairs {
  std::unique_ptr<TestNode> set = std::make_unique<TestNode>(35, 26, "set");
  TestNode* pair1 = new TestNode(16, 16, "pair1");
  TestNode* value = new TestNode(16, 16, "value");
  TestNode* pair2 = new TestNode(16, 16, "pair2");
  SetWithPairs() {
    pair1->AddSubNode(value, -1);
    set->AddSubNode(pair1, -1);
    set->AddSubNode(pair2, -1);
  }
};

TEST(DENodeDrawing, RowsIndentsAndConnectingLines) {
  struct Case {
    bool firstPairExpanded;
    float scale;
    std::vector<std::string> texts;
    std::vector<std::string> lines;
  } cases[] = {
      {false, 1.0f, {"set@8,8", "pair1@56,40", "pair2@56,62"}, {"25,36>25,48", "25,48>54,48", "25,48>25,70", "25,70>54,70"}},
      {true,
       1.0f,
       {"set@8,8", "pair1@56,40", "value@104,62", "pair2@56,84"},
       {"25,36>25,48", "25,48>54,48", "64,58>64,70", "64,70>102,70", "25,48>25,92", "25,92>54,92"}},
      {false,
       2.0f,
       {"set@16,16", "pair1@112,80", "pair2@112,124"},
       {"50,72>50,96", "50,96>108,96", "50,96>50,140", "50,140>108,140"}},
  };
  for (const Case& test : cases) {
    for (int plain = 0; plain < 2; ++plain) {
      SetWithPairs tree;
      tree.pair1->SetExpanded(test.firstPairExpanded ? 1 : 0);
      CRecordingDC dc;
      const int result = plain ? plainwalks::DrawTree(tree.set.get(), 8, 8, &dc, test.scale) : tree.set->DrawTree(8, 8, &dc, test.scale);
      EXPECT_EQ(result, 1);
      EXPECT_EQ(Texts(dc), test.texts);
      EXPECT_EQ(Lines(dc), test.lines);
      for (const DCRecord& r : dc.RecordsOf(DCRecord::Op::LineTo)) EXPECT_EQ(r.pen.lopnColor, RGB(0, 0, 0));
    }
  }
}

TEST(DENodeDrawing, AFailingNodeStopsTheRestOfTheDrawing) {
  for (int plain = 0; plain < 2; ++plain) {
    SetWithPairs tree;
    tree.value->SetFail(true);
    CRecordingDC dc;
    const int result = plain ? plainwalks::DrawTree(tree.set.get(), 8, 8, &dc, 1.0f) : tree.set->DrawTree(8, 8, &dc, 1.0f);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Texts(dc), (std::vector<std::string>{"set@8,8", "pair1@56,40"}));
    EXPECT_EQ(tree.pair2->Draws(), 0);
  }
}

TEST(DENodeDrawing, OnlyNodesMeetingTheClipAreaAreDrawnAndWidthsFollowTheDrawing) {
  for (int plain = 0; plain < 2; ++plain) {
    SetWithPairs tree;
    tree.pair2->SetDrawnWidth(90);
    CRecordingDC dc;
    // Device rows 90..91 meet only pair2's box grown by the border (78..105).
    CRect clip(0, 90, 1024, 92);
    dc.SelectClipRect(&clip);
    plain ? plainwalks::DrawTree(tree.set.get(), 8, 8, &dc, 1.0f) : tree.set->DrawTree(8, 8, &dc, 1.0f);
    EXPECT_EQ(tree.set->Draws() + tree.pair1->Draws() + tree.value->Draws(), 0);
    EXPECT_EQ(tree.pair2->Draws(), 1);
    EXPECT_EQ(tree.pair2->GetWidth(), 90);
    EXPECT_EQ(tree.pair1->GetWidth(), 16);
  }
}

TEST(DENodeDrawing, SelectionFrame) {
  struct Case {
    float scale;
    CPoint start;
    std::vector<std::string> lines;
  } cases[] = {
      {1.0f, CPoint(-4, -4), {"-4,-4>64,-4", "64,-4>64,20", "64,20>-4,20", "-4,20>-4,-4"}},
      {1.5f, CPoint(-6, -6), {"-6,-6>96,-6", "96,-6>96,30", "96,30>-6,30", "-6,30>-6,-6"}},
  };
  for (const Case& test : cases) {
    TestNode node(16, 16);
    node.SetBoxWidth(60);
    CRecordingDC dc;
    EXPECT_EQ(node.DrawSelectionBar(0, 0, &dc, test.scale), 1);
    EXPECT_TRUE(dc.Records().empty());  // not selected: nothing drawn
    node.SetSelected(1);
    const LOGPEN before = dc.GetCurrentPen();
    EXPECT_EQ(node.DrawSelectionBar(0, 0, &dc, test.scale), 1);
    EXPECT_EQ(Lines(dc), test.lines);
    const auto moves = dc.RecordsOf(DCRecord::Op::MoveTo);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].to, test.start);
    for (const DCRecord& r : dc.RecordsOf(DCRecord::Op::LineTo)) {
      EXPECT_EQ(r.pen.lopnWidth, 2);
      EXPECT_EQ(r.pen.lopnColor, GetSysColor(COLOR_HIGHLIGHT));
    }
    // The pen selected before is selected again.
    EXPECT_EQ(dc.GetCurrentPen().lopnWidth, before.lopnWidth);
    EXPECT_EQ(dc.GetCurrentPen().lopnColor, before.lopnColor);
  }
}

TEST(DENodeExtent, ChildrenStartBelowTheLowestBoxReached) {
  struct Case {
    bool setExpanded;
    int startX, startY;
    int maxX, maxY;
  } cases[] = {
      {false, 0, 0, 43, 34},     // a collapsed node covers its own box only
      {true, 0, 0, 154, 100},    // pair1 at 40, value at 62, pair2 at 84
      {true, 500, 200, 500, 266},  // children placed below the caller's maximum
      {false, 10, 900, 43, 900},
  };
  for (const Case& test : cases) {
    SetWithPairs tree;
    tree.pair1->SetBoxWidth(40);
    tree.value->SetBoxWidth(50);
    tree.set->SetExpanded(test.setExpanded ? 1 : 0);
    int maxX = test.startX, maxY = test.startY;
    tree.set->GetExtent(8, 8, maxX, maxY);
    EXPECT_EQ(maxX, test.maxX);
    EXPECT_EQ(maxY, test.maxY);
    int plainX = test.startX, plainY = test.startY;
    plainwalks::GetExtent(tree.set.get(), 8, 8, plainX, plainY);
    EXPECT_EQ(plainX, test.maxX);
    EXPECT_EQ(plainY, test.maxY);
  }
}

TEST(DENodeDeletion, RootAndPairValuesCannotBeDeletedAlone) {
  TestNode root(35, 26);
  auto* pair = new TestNode(16, 16);
  pair->SetType("CKVPairNode");
  auto* value = new TestNode(16, 16);
  auto* array = new TestNode(38, 29);
  array->SetType("CArrayNode");
  auto* element = new TestNode(16, 16);
  root.AddSubNode(pair, -1);
  pair->AddSubNode(value, -1);
  root.AddSubNode(array, -1);
  array->AddSubNode(element, -1);
  struct Case {
    CDENode* node;
    int canDelete;
  } cases[] = {{&root, 0}, {value, 0}, {pair, 1}, {array, 1}, {element, 1}};
  for (const Case& test : cases) EXPECT_EQ(test.node->CanDelete(nullptr), test.canDelete);

  EXPECT_EQ(root.Delete(nullptr), 0);
  const int live = TestNode::Live();
  EXPECT_EQ(element->Delete(nullptr), 1);
  EXPECT_EQ(TestNode::Live(), live - 1);
  EXPECT_EQ(array->CountSubNodes(), 0);
  EXPECT_EQ(pair->Delete(nullptr), 1);  // with its value
  EXPECT_EQ(TestNode::Live(), live - 3);
  EXPECT_EQ(root.CountSubNodes(), 1);
  EXPECT_EQ(root.GetRowCount(), 2);
}

TEST(DENodeProtocol, DefaultsChangeNothing) {
  TestNode node(16, 16);
  TestNode other(16, 16);
  QV_DataElement element;
  element.SetToInt(5);
  EXPECT_EQ(node.EditNode(nullptr, QV_String("srv"), nullptr), 0);
  EXPECT_TRUE(node.SearchText().IsEmpty());
  EXPECT_EQ(node.AddNode(&other, nullptr), 0);
  EXPECT_EQ(node.CanContain(CString("CIntegerNode")), 0);
  EXPECT_EQ(node.CanEdit(), 1);
  EXPECT_EQ(node.AddSubNode(&other, nullptr, nullptr, QV_String("srv")), 0);
  EXPECT_EQ(node.CountSubNodes(), 0);
  EXPECT_EQ(node.GetDE(element), 0);
  EXPECT_EQ(element.Type(), 11u);
  EXPECT_EQ(element.Int(), 5);
  EXPECT_EQ(node.PutDE(element, nullptr, QV_String("srv")), 0);
}

TEST(DENodeFactory, NoNodeForNoValueOrAnUnknownCode) {
  QV_DataElement none;
  EXPECT_EQ(none.Type(), 10u);
  EXPECT_EQ(CDENode::CreateDENode(none, nullptr, QV_String("srv")), nullptr);
}

}  // namespace
