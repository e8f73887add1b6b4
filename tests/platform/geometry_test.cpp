#include <gtest/gtest.h>

#include "platform/geometry.h"

TEST(RectTest, SizeAndEmptiness) {
  const CRect r(10, 20, 40, 25);
  EXPECT_EQ(r.Width(), 30);
  EXPECT_EQ(r.Height(), 5);
  EXPECT_FALSE(r.IsRectEmpty());
  EXPECT_TRUE(CRect(5, 5, 5, 10).IsRectEmpty());
  EXPECT_TRUE(CRect(5, 5, 10, 4).IsRectEmpty());
}

TEST(RectTest, PointInsideExcludesRightAndBottomEdges) {
  const CRect r(0, 0, 10, 10);
  EXPECT_TRUE(r.PtInRect(CPoint(0, 0)));
  EXPECT_TRUE(r.PtInRect(CPoint(9, 9)));
  EXPECT_FALSE(r.PtInRect(CPoint(10, 5)));
  EXPECT_FALSE(r.PtInRect(CPoint(5, 10)));
  EXPECT_FALSE(r.PtInRect(CPoint(-1, 5)));
}

TEST(RectTest, IntersectOverlapAndDisjoint) {
  CRect out;
  EXPECT_TRUE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(5, -5, 20, 7)));
  EXPECT_EQ(out, CRect(5, 0, 10, 7));
  out = CRect(1, 2, 3, 4);
  EXPECT_FALSE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(10, 0, 20, 10)));  // touching edges only
  EXPECT_EQ(out, CRect(0, 0, 0, 0));
}

TEST(RectTest, UnionIgnoresEmptyRectangles) {
  CRect out;
  EXPECT_TRUE(out.UnionRect(CRect(0, 0, 2, 2), CRect(5, 5, 6, 9)));
  EXPECT_EQ(out, CRect(0, 0, 6, 9));
  EXPECT_TRUE(out.UnionRect(CRect(), CRect(3, 3, 4, 4)));
  EXPECT_EQ(out, CRect(3, 3, 4, 4));
}

TEST(RectTest, OffsetInflateNormalize) {
  CRect r(0, 0, 10, 10);
  r.OffsetRect(3, -2);
  EXPECT_EQ(r, CRect(3, -2, 13, 8));
  r.InflateRect(2, 1);
  EXPECT_EQ(r, CRect(1, -3, 15, 9));
  CRect flipped(10, 8, 2, 1);
  flipped.NormalizeRect();
  EXPECT_EQ(flipped, CRect(2, 1, 10, 8));
}

TEST(RectTest, FromSizeSaturatesInsteadOfOverflowing) {
  const CRect r = RectFromSize(2147483000, -5, 10000, 10);
  EXPECT_EQ(r.right, 2147483647);
  EXPECT_EQ(r.bottom, 5);
}
