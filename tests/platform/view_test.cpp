#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QMainWindow>
#include <QScrollBar>
#include <QTest>
#include <memory>

#include "platform/vkeys.h"
#include "tests/platform/appfixture.h"

using namespace apptest;

namespace {

// A scroll view in a plain window, 400 x 300 client pixels, with a large
// scrollable content.
class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<QMainWindow>();
    view = std::make_unique<SampleView>();
    ASSERT_TRUE(view->Create(window.get()));
    window->setCentralWidget(view->ScrollArea());
    window->resize(400, 300);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    view->SetScrollSizes(MM_TEXT, CSize(2000, 3000));
    view->ScrollArea()->setFocus();
    QApplication::processEvents();
  }
  void TearDown() override {
    view.reset();
    window.reset();
  }
  QAbstractScrollArea* Area() const { return static_cast<QAbstractScrollArea*>(view->ScrollArea()); }

  std::unique_ptr<QMainWindow> window;
  std::unique_ptr<SampleView> view;
};

TEST_F(ViewTest, KeysReachOnKeyDownAsVirtualKeysAndNeverScrollByThemselves) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    UINT expected;
  };
  const Case cases[] = {
      {Qt::Key_Up, Qt::NoModifier, VK_UP},          {Qt::Key_Down, Qt::NoModifier, VK_DOWN},
      {Qt::Key_Left, Qt::NoModifier, VK_LEFT},      {Qt::Key_Right, Qt::NoModifier, VK_RIGHT},
      {Qt::Key_PageUp, Qt::NoModifier, VK_PRIOR},   {Qt::Key_PageDown, Qt::NoModifier, VK_NEXT},
      {Qt::Key_Home, Qt::NoModifier, VK_HOME},      {Qt::Key_End, Qt::NoModifier, VK_END},
      {Qt::Key_Return, Qt::NoModifier, VK_RETURN},  {Qt::Key_Enter, Qt::KeypadModifier, VK_RETURN},
      {Qt::Key_Plus, Qt::KeypadModifier, VK_ADD},   {Qt::Key_Minus, Qt::KeypadModifier, VK_SUBTRACT},
      {Qt::Key_Asterisk, Qt::KeypadModifier, VK_MULTIPLY}, {Qt::Key_Plus, Qt::NoModifier, VK_OEM_PLUS},
      {Qt::Key_F5, Qt::NoModifier, VK_F1 + 4},      {Qt::Key_A, Qt::NoModifier, 'A'},
      {Qt::Key_Delete, Qt::NoModifier, VK_DELETE},  {Qt::Key_Space, Qt::NoModifier, VK_SPACE},
  };
  view->ScrollToPosition(CPoint(300, 900));
  const CPoint start = view->GetScrollPosition();
  ASSERT_EQ(start, CPoint(300, 900));
  for (const Case& c : cases) {
    view->keys.clear();
    QTest::keyClick(Area(), c.key, c.modifiers);
    ASSERT_EQ(view->keys.size(), 1u) << c.key;
    EXPECT_EQ(view->keys[0].key, c.expected) << c.key;
    EXPECT_EQ(view->GetScrollPosition(), start) << c.key;
  }
}

TEST_F(ViewTest, MouseMessagesCarryClientPointsAndKeyFlags) {
  view->ScrollToPosition(CPoint(50, 70));  // client points do not move with scrolling
  QWidget* viewport = view->Viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(12, 34));
  QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 6));
  QTest::mouseClick(viewport, Qt::RightButton, Qt::ControlModifier, QPoint(7, 8));
  // The test library sends a double click as the second press alone.
  QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(40, 41));
  const MouseCall expected[] = {
      {'L', MK_LBUTTON, CPoint(12, 34)},
      {'L', MK_LBUTTON | MK_SHIFT, CPoint(5, 6)},
      {'R', MK_RBUTTON | MK_CONTROL, CPoint(7, 8)},
      {'D', MK_LBUTTON, CPoint(40, 41)},
  };
  ASSERT_EQ(view->mouse.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(view->mouse[i].kind, expected[i].kind);
    EXPECT_EQ(view->mouse[i].flags, expected[i].flags);
    EXPECT_EQ(view->mouse[i].point, expected[i].point);
  }
}

TEST_F(ViewTest, PaintIsClippedToTheUpdatedAreaInContentCoordinates) {
  view->ScrollToPosition(CPoint(100, 200));
  QApplication::processEvents();
  struct Probe {
    CRect rect;  // content coordinates
    bool visible;
  };
  // The repaint below covers client (10, 10)-(60, 40): content (110, 210)-(160, 240).
  const Probe probes[] = {
      {CRect(110, 210, 160, 240), true},  {CRect(150, 230, 200, 280), true},
      {CRect(0, 0, 100, 200), false},     {CRect(161, 210, 300, 240), false},
      {CRect(110, 241, 160, 300), false}, {CRect(10, 10, 60, 40), false},  // the client rectangle itself
  };
  std::vector<bool> seen;
  CPoint origin;
  view->onDraw = [&](CDC* dc) {
    seen.clear();
    origin = dc->GetViewportOrg();
    for (const Probe& p : probes) seen.push_back(dc->RectVisible(p.rect) != FALSE);
  };
  view->Viewport()->repaint(QRect(10, 10, 50, 30));
  ASSERT_EQ(seen.size(), std::size(probes));
  EXPECT_EQ(origin, CPoint(-100, -200));
  for (size_t i = 0; i < std::size(probes); ++i) EXPECT_EQ(seen[i], probes[i].visible) << i;
}

TEST_F(ViewTest, ScrollSizesSetRangesAndWaitWhenSetFromAPaint) {
  struct Case {
    CPoint asked;
    CPoint reached;
  };
  // The client is what the scroll bars leave of 400 x 300.
  const QSize client = view->Viewport()->size();
  const Case cases[] = {
      {CPoint(0, 0), CPoint(0, 0)},
      {CPoint(500, 700), CPoint(500, 700)},
      {CPoint(-5, -9), CPoint(0, 0)},
      {CPoint(99999, 99999), CPoint(2000 - client.width(), 3000 - client.height())},
  };
  for (const Case& c : cases) {
    view->ScrollToPosition(c.asked);
    EXPECT_EQ(view->GetScrollPosition(), c.reached);
  }
  CRect rect;
  view->GetClientRect(&rect);
  EXPECT_EQ(rect, CRect(0, 0, client.width(), client.height()));

  // A view that sets its sizes while drawing: the ranges follow after the
  // paint, without a paint inside the paint.
  // The position is beyond the new range, so the change also scrolls.
  view->ScrollToPosition(CPoint(0, 2000));
  int depth = 0;
  int deepest = 0;
  std::vector<int> barDuringPaint;
  view->onDraw = [&](CDC*) {
    deepest = std::max(deepest, ++depth);
    view->SetScrollSizes(MM_TEXT, CSize(500, 800));
    barDuringPaint.push_back(Area()->verticalScrollBar()->value());
    --depth;
  };
  view->Viewport()->repaint();
  ASSERT_FALSE(barDuringPaint.empty());
  EXPECT_EQ(barDuringPaint.front(), 2000) << "nothing scrolls under a paint";
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(view->GetTotalSize(), CSize(500, 800));
  EXPECT_EQ(Area()->verticalScrollBar()->maximum(), 800 - view->Viewport()->height());
  EXPECT_EQ(view->GetScrollPosition().y, 800 - view->Viewport()->height());
}

TEST_F(ViewTest, ContentThatFitsDoesNotScroll) {
  view->SetScrollSizes(MM_TEXT, CSize(100, 100));
  QApplication::processEvents();
  view->ScrollToPosition(CPoint(50, 50));
  EXPECT_EQ(view->GetScrollPosition(), CPoint(0, 0));
  EXPECT_EQ(Area()->verticalScrollBar()->maximum(), 0);
}

}  // namespace
