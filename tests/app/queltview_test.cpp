// The profile view: drawing at two zooms, hit-testing through zoom and
// scrolling, every navigation key, the zoom dialog, and the exchange of a
// profile of every kind with an embedded server.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QTest>
#include <memory>
#include <vector>

#include "app/queltview.h"
#include "tests/app/viewwindow.h"
#include "common/multises.h"
#include "model/dataelt.h"
#include "platform/modalhost.h"
#include "platform/recordingdc.h"
#include "platform/scriptedmodalhost.h"
#include "platform/vkeys.h"
#include "tests/common/sessions_fixture.h"
#include "tests/support/containers.h"
#include "tests/tree/plainwalks.h"
#include "tree/bmstore.h"
#include "tree/denode.h"
#include "tree/intnode.h"
#include "tree/kvs_node.h"

using testsupport::Kvs;

namespace {


// A profile of `pairs` integers (keys 0x7001 ...), with a nested set of
// three integers as its second pair when nested is set.
void FillProfile(CTkvs set, int pairs, bool nested) {
  for (int i = 0; i < pairs; ++i) CTkvs_PutInt(set, 0x7001 + i, i * 7, nullptr);
  if (nested) {
    Kvs inner;
    for (int i = 0; i < 3; ++i) CTkvs_PutInt(inner, 0x7101 + i, i, nullptr);
    CTkvs_PutKVSet(set, 0x7002, inner, nullptr);
  }
}

class QueltViewTest : public ViewWindowTest {
 protected:
  // Builds the tree, paints once so that the scroll range is known.
  void Load(int pairs, bool nested = false) {
    Kvs set;
    FillProfile(set, pairs, nested);
    ASSERT_TRUE(view->PutProfile("Local", set));
    Paint();
  }
  int SelectedRow() const { return view->GetRoot()->GetRowOf(view->GetSelected()); }
  CTreeNode* Row(int row) const { return view->GetRoot()->NodeAtRow(row); }
  int LastRow() const { return view->GetRoot()->GetRowCount() - 1; }
  // A node's box with the tree's corner at (0, 0).
  CRect Box(CTreeNode* node) const {
    CRect rect;
    int y = 0;
    EXPECT_TRUE(plainwalks::GetDims(view->GetRoot(), node, 0, y, rect));
    return rect;
  }
  // The client point of a logical point of the tree, drawn at the margin.
  // inset: device pixels inward from where the point is drawn.
  CPoint ClientOf(int x, int y, int inset = 1) const {
    const float zoom = view->GetZoom();
    const CPoint scroll = view->GetScrollPosition();
    return CPoint(static_cast<int>((x + CQueltView::kTreeMargin) * zoom) - scroll.x + inset,
                  static_cast<int>((y + CQueltView::kTreeMargin) * zoom) - scroll.y + inset);
  }
  void SetZoom(int percent) {
    host.ExpectDialog([percent](DialogDriver& d) {
      d.Type(49171, QString::number(percent));
      d.PressEnter();
    });
    view->OnViewZoom();
    Paint();
  }

};

TEST_F(QueltViewTest, DrawsAtTheZoomWithItsFontBackgroundAndScrollSizes) {
  Load(5, true);
  struct Case {
    int percent;
    int fontHeight, fontWidth;
  };
  const Case cases[] = {{100, 16, 6}, {200, 32, 12}};
  std::vector<CPoint> textAt100;
  for (const Case& c : cases) {
    if (c.percent != 100) SetZoom(c.percent);
    const float scale = c.percent / 100.0f;
    CRecordingDC dc;
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(RGB(1, 2, 3));
    view->OnDraw(&dc);
    const auto texts = dc.RecordsOf(DCRecord::Op::TextOut);
    ASSERT_FALSE(texts.empty()) << c.percent;
    for (const DCRecord& t : texts) {
      EXPECT_EQ(t.font.lfHeight, c.fontHeight) << c.percent;
      EXPECT_EQ(t.font.lfWidth, c.fontWidth) << c.percent;
      EXPECT_EQ(t.font.lfWeight, FW_NORMAL);
      EXPECT_EQ(t.font.lfQuality, PROOF_QUALITY);
      EXPECT_EQ(t.font.lfOutPrecision, OUT_TT_PRECIS);
      EXPECT_EQ(t.font.lfPitchAndFamily, FF_SWISS);
      EXPECT_EQ(t.bkMode, TRANSPARENT);
      EXPECT_EQ(t.bkColor, RGB(192, 192, 192));
    }
    // Every text lands at the scaled place of the same text at 100 %.
    if (c.percent == 100) {
      for (const DCRecord& t : texts) textAt100.push_back(t.from);
    } else {
      ASSERT_EQ(texts.size(), textAt100.size());
      for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(texts[i].from, CPoint(textAt100[i].x * 2, textAt100[i].y * 2)) << i;
    }
    // The state is given back, and the scroll range is the scaled extent.
    EXPECT_EQ(dc.GetBkMode(), OPAQUE);
    EXPECT_EQ(dc.GetBkColor(), RGB(1, 2, 3));
    int w = 0, h = 0;
    view->GetRoot()->GetExtent(CQueltView::kTreeMargin, CQueltView::kTreeMargin, w, h);
    Paint();
    EXPECT_EQ(view->GetTotalSize(), CSize(static_cast<int>(w * scale), static_cast<int>(h * scale))) << c.percent;
  }
  // The background is the clip box filled grey.
  CRecordingDC dc;
  dc.IntersectClipRect(10, 20, 110, 70);
  EXPECT_TRUE(view->OnEraseBkgnd(&dc));
  const auto fills = dc.RecordsOf(DCRecord::Op::PatBlt);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].rect, CRect(10, 20, 110, 70));
  EXPECT_EQ(fills[0].brush.lbColor, RGB(192, 192, 192));
}

TEST_F(QueltViewTest, ClicksHitTheNodeDrawnUnderThemAtEveryZoomAndScroll) {
  Load(40, true);
  const struct {
    int percent;
    CPoint scroll;
  } cases[] = {{100, {0, 0}}, {100, {0, 200}}, {200, {30, 300}}, {50, {0, 0}}, {1000, {440, 3000}}};
  for (const auto& c : cases) {
    SetZoom(c.percent);
    view->ScrollToPosition(c.scroll);
    const CPoint scroll = view->GetScrollPosition();
    int hits = 0;
    for (int row = 0; row <= LastRow(); ++row) {
      CTreeNode* node = Row(row);
      const CRect box = Box(node);
      // The box's first and last pixels as drawn.
      for (const CPoint p : {ClientOf(box.left, box.top), ClientOf(box.right - 1, box.bottom - 1, 0)}) {
        if (p.x < 0 || p.y < 0 || p.x >= kClientWidth || p.y >= kClientHeight) continue;
        view->SelectNode(view->GetRoot() == node ? Row(LastRow()) : view->GetRoot());
        view->OnLButtonDown(0, p);
        EXPECT_EQ(view->GetSelected(), node) << c.percent << "% row " << row << " at " << p.x << "," << p.y;
        EXPECT_TRUE(node->IsSelected());
        ++hits;
      }
    }
    EXPECT_GT(hits, 0) << c.percent;
    // Empty space and the selected node change nothing.
    CTreeNode* before = view->GetSelected();
    view->OnLButtonDown(0, CPoint(kClientWidth - 1, kClientHeight - 1));
    EXPECT_EQ(view->GetSelected(), before);
    EXPECT_EQ(view->GetScrollPosition(), scroll);
  }
  // Exactly one node carries the selected flag.
  int flagged = 0;
  for (int row = 0; row <= LastRow(); ++row) flagged += Row(row)->IsSelected() ? 1 : 0;
  EXPECT_EQ(flagged, 1);
}

TEST_F(QueltViewTest, DoubleClickExpandsOnTheIconAndEditsEditableValues) {
  Load(3, true);
  // Find the nested set's pair and its value, and an integer value.
  CKVSetNode* inner = nullptr;
  CIntegerNode* integer = nullptr;
  for (int row = 0; row <= LastRow(); ++row) {
    if (auto* set = dynamic_cast<CKVSetNode*>(Row(row)); set != nullptr && set != view->GetRoot() && !inner) inner = set;
    if (auto* n = dynamic_cast<CIntegerNode*>(Row(row)); n != nullptr && !integer) integer = n;
  }
  ASSERT_NE(inner, nullptr);
  ASSERT_NE(integer, nullptr);
  const int innerRows = inner->GetRowCount();
  ASSERT_GT(innerRows, 1);
  auto onIcon = [&](CTreeNode* n) {
    const CRect b = Box(n);
    return ClientOf(b.left + 1, b.top + 1);
  };
  auto onText = [&](CTreeNode* n) {
    const CRect b = Box(n);
    return ClientOf(b.right - 3, b.top + 1);
  };

  // The set's icon toggles it, twice back again, and never edits.
  view->OnLButtonDblClk(0, onIcon(inner));
  EXPECT_EQ(view->GetSelected(), inner);
  EXPECT_FALSE(inner->IsExpanded());
  EXPECT_EQ(inner->GetRowCount(), 1);
  view->OnLButtonDblClk(0, onIcon(inner));
  EXPECT_TRUE(inner->IsExpanded());
  EXPECT_TRUE(host.Dialogs().empty());

  // An integer on its text and on its icon opens its dialog; cancel keeps
  // the value, OK takes the new one.
  const long old = integer->GetValue();
  host.ExpectDialog([](DialogDriver& d) { d.PressEscape(); });
  view->OnLButtonDblClk(0, onText(integer));
  EXPECT_EQ(view->GetSelected(), integer);
  EXPECT_EQ(integer->GetValue(), old);
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(49153, "-77");
    d.PressEnter();
  });
  view->OnLButtonDblClk(0, onIcon(integer));
  EXPECT_EQ(integer->GetValue(), -77);
  EXPECT_EQ(host.PendingScripts(), 0u);
  EXPECT_EQ(host.Dialogs().size(), 2u);

  // Empty space: nothing at all.
  CTreeNode* before = view->GetSelected();
  view->OnLButtonDblClk(0, CPoint(kClientWidth - 1, kClientHeight - 1));
  EXPECT_EQ(view->GetSelected(), before);
}

TEST_F(QueltViewTest, ArrowsHomeEndAndEnterMoveTheSelectionOrDoNothing) {
  Load(4, true);
  const int last = LastRow();
  CTreeNode* root = view->GetRoot();
  struct Step {
    UINT key;
    int fromRow;  // -1: the last row
    int toRow;
  };
  const Step steps[] = {
      {VK_UP, 0, 0},                // nothing above the root
      {VK_LEFT, 0, 0},              // the root has no parent
      {VK_DOWN, 0, 1},
      {VK_UP, 2, 1},
      {VK_RIGHT, 0, 1},             // the first child
      {VK_LEFT, 1, 0},
      {VK_DOWN, -1, -1},            // nothing below the last row
      {VK_HOME, -1, 0},
      {VK_END, 0, -1},
      {VK_END, -1, -1},
  };
  for (const Step& s : steps) {
    const int from = s.fromRow < 0 ? last : s.fromRow;
    const int to = s.toRow < 0 ? last : s.toRow;
    view->SelectNode(Row(from));
    view->OnKeyDown(s.key, 1, 0);
    EXPECT_EQ(SelectedRow(), to) << "key " << s.key << " from " << from;
    EXPECT_TRUE(view->GetSelected()->IsSelected());
    if (from != to) {
      EXPECT_FALSE(Row(from)->IsSelected());
    }
  }
  // Left from a deep node goes to its parent, wherever that row is.
  CTreeNode* deep = Row(last);
  view->SelectNode(deep);
  view->OnKeyDown(VK_LEFT, 1, 0);
  EXPECT_EQ(view->GetSelected(), deep->Parent());

  // Enter collapses and expands the selected node; Right on a collapsed
  // node does nothing.
  view->SelectNode(root);
  view->OnKeyDown(VK_RETURN, 1, 0);
  EXPECT_FALSE(root->IsExpanded());
  EXPECT_EQ(root->GetRowCount(), 1);
  view->OnKeyDown(VK_RIGHT, 1, 0);
  EXPECT_EQ(view->GetSelected(), root);
  view->OnKeyDown(VK_END, 1, 0);
  EXPECT_EQ(view->GetSelected(), root);
  view->OnKeyDown(VK_RETURN, 1, 0);
  EXPECT_TRUE(root->IsExpanded());
}

// The page keys against a step-by-step walk of the whole tree: after each
// key the selection is the node that walk gives for the scroll positions
// before and after, and the window shows it.
TEST_F(QueltViewTest, PageKeysAgreeWithTheStepwiseWalkAtBothEndsAndEveryZoom) {
  Load(120, true);
  CTreeNode* root = view->GetRoot();
  auto topOf = [&](CTreeNode* n) {
    CRect r;
    int y = 4;
    plainwalks::GetDims(root, n, 4, y, r);
    return r.top;
  };
  auto walk = [&](int newY) {
    CTreeNode* node = root;
    while (static_cast<float>(topOf(node)) * view->GetZoom() < static_cast<float>(newY) && node->Down() != nullptr)
      node = node->Down();
    return node;
  };
  auto lastNode = [&] {
    CTreeNode* node = root;
    while (node->Down() != nullptr) node = node->Down();
    return node;
  };
  for (int percent : {100, 200, 37}) {
    SetZoom(percent);
    const float zoom = percent / 100.0f;
    view->OnKeyDown(VK_HOME, 1, 0);
    view->ScrollToPosition(CPoint(0, 0));
    Paint();
    for (UINT key : {VK_NEXT, VK_PRIOR}) {
      // Enough presses to pass the far end and press there again.
      const int total = view->GetTotalSize().cy;
      const int presses = 2 * (total / kClientHeight) + 5;
      for (int i = 0; i < presses; ++i) {
        const CPoint old = view->GetScrollPosition();
        view->OnKeyDown(key, 1, 0);
        // What the scroll position was right after the page move: the key
        // then aligns the window with the chosen node's top.
        const int paged = key == VK_NEXT ? std::min(old.y + kClientHeight, std::max(0, total - kClientHeight))
                                         : std::max(0, old.y - kClientHeight);
        CTreeNode* expected = walk(paged);
        if (key == VK_NEXT && paged == old.y + kClientHeight) {
          if (expected->Up() != nullptr) expected = expected->Up();
        } else if (key == VK_NEXT && paged == old.y) {
          expected = lastNode();
        } else if (key == VK_PRIOR && paged == old.y - kClientHeight && expected->Down() != nullptr) {
          expected = expected->Down();
        }
        ASSERT_EQ(view->GetSelected(), expected) << percent << "% key " << key << " press " << i << " old " << old.y
                                                 << " paged " << paged << " now " << view->GetScrollPosition().y
                                                 << " total " << total << " rows " << SelectedRow() << " vs "
                                                 << root->GetRowOf(expected);
        ASSERT_TRUE(expected->IsSelected());
        Paint();
      }
      // Both ends: Page Down ends on the last node, Page Up on the root.
      EXPECT_EQ(view->GetSelected(), key == VK_NEXT ? lastNode() : root) << percent;
      EXPECT_EQ(view->GetScrollPosition().y, key == VK_NEXT ? std::max(0, total - kClientHeight) : 0);
    }
    // Up and Down reveal the selection: it stays inside the window.
    view->OnKeyDown(VK_END, 1, 0);
    Paint();
    for (int i = 0; i < 30; ++i) {
      view->OnKeyDown(VK_UP, 1, 0);
      Paint();
      const int top = static_cast<int>((topOf(view->GetSelected()) - 4) * zoom);
      EXPECT_GE(top, view->GetScrollPosition().y) << percent;
    }
  }
}

TEST_F(QueltViewTest, ZoomDialogPresetsTheZoomAndAcceptsOnlyItsRange) {
  Load(2);
  struct Case {
    QString typed;
    bool confirm;
    float zoomAfter;
    bool refused;
  };
  const Case cases[] = {
      {"200", true, 2.0f, false}, {"986", true, 9.86f, false}, {"986", true, 9.86f, false},  // no drift
      {"10", true, 0.1f, false},  {"5", true, 0.1f, true},     {"1001", true, 0.1f, true},
      {"abc", true, 0.1f, true},  {"300", false, 0.1f, false},
  };
  for (const Case& c : cases) {
    const float before = view->GetZoom();
    QString preset;
    bool stayedOpen = false;
    host.ExpectDialog([&](DialogDriver& d) {
      preset = d.Text(49171);
      d.Type(49171, c.typed);
      if (c.confirm) {
        d.PressEnter();
        stayedOpen = d.IsOpen();
      }
      if (d.IsOpen()) d.PressEscape();
    });
    view->OnViewZoom();
    EXPECT_EQ(preset.toInt(), static_cast<int>(std::lround(before * 100))) << c.typed.toStdString();
    EXPECT_FLOAT_EQ(view->GetZoom(), c.zoomAfter) << c.typed.toStdString();
    EXPECT_EQ(stayedOpen, c.refused) << c.typed.toStdString();
  }
}

// Reading a profile: the caller's set is emptied first and refilled from
// the tree; without a tree it is refused with its message.
TEST_F(QueltViewTest, GetProfileRefillsTheCallersSetOrRefusesWithoutATree) {
  Load(3);
  Kvs out;
  CTkvs_PutInt(out, 0x9999, 1, nullptr);
  EXPECT_TRUE(view->GetProfile("", out));
  uint32_t count = 0;
  CTkvs_Count(out, &count, nullptr);
  EXPECT_EQ(count, 3u);
  int32_t value = 0;
  EXPECT_FALSE(CTkvs_GetInt(out, 0x9999, &value, nullptr));

  // Without any tree the profile cannot be read.
  CQueltView empty;
  Kvs none;
  EXPECT_FALSE(empty.GetProfile("", none));
  EXPECT_EQ(host.MessageIds(), std::vector<UINT>{4116});
}

class QueltViewServerTest : public sessions_test::SessionsTest {};

TEST_P(QueltViewServerTest, EveryKindSurvivesPutAndGetAgainstTheServer) {
  MultiAdminSession session;
  CQueltView::SetAppSession(&session);
  CQueltView view;
  CQueltView::SetAppSession(nullptr);
  ASSERT_EQ(view.GetSession(), &session);
  ScriptedModalHost host;
  ScopedModalHost scope(&host);

  for (int variant : {0, 1}) {
    Kvs in;
    sessions_test::FillEveryKind(in, variant);
    ASSERT_TRUE(view.PutProfile("A", in)) << variant;
    EXPECT_EQ(view.GetSelected(), view.GetRoot());
    EXPECT_EQ(view.GetSymbolServer(), CString("A"));
    Kvs out;
    CTkvs_PutInt(out, 0x1234, 1, nullptr);  // emptied first
    ASSERT_TRUE(view.GetProfile("ignored", out));
    std::string why;
    EXPECT_TRUE(sessions_test::SameContent(in, out, &why)) << variant << ": " << why;
  }
  EXPECT_TRUE(host.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, QueltViewServerTest,
                         ::testing::Values(sessions_test::Where::Embedded, sessions_test::Where::Process),
                         sessions_test::WhereName);

}  // namespace
