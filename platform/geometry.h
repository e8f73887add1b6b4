// Point, size and rectangle value types in integer device or logical units.
// A rectangle holds left, top, right and bottom; right and bottom are
// exclusive, so a rectangle is empty when right <= left or bottom <= top.
#pragma once

struct CSize {
  int cx = 0;
  int cy = 0;
  constexpr CSize() = default;
  constexpr CSize(int x, int y) : cx(x), cy(y) {}
  constexpr bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
  constexpr bool operator!=(const CSize& o) const { return !(*this == o); }
  constexpr CSize operator+(const CSize& o) const { return {cx + o.cx, cy + o.cy}; }
  constexpr CSize operator-(const CSize& o) const { return {cx - o.cx, cy - o.cy}; }
};

struct CPoint {
  int x = 0;
  int y = 0;
  constexpr CPoint() = default;
  constexpr CPoint(int px, int py) : x(px), y(py) {}
  constexpr bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
  constexpr bool operator!=(const CPoint& o) const { return !(*this == o); }
  constexpr CPoint operator+(const CSize& s) const { return {x + s.cx, y + s.cy}; }
  constexpr CPoint operator-(const CSize& s) const { return {x - s.cx, y - s.cy}; }
  constexpr CSize operator-(const CPoint& o) const { return {x - o.x, y - o.y}; }
  void Offset(int dx, int dy) { x += dx; y += dy; }
};

struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  constexpr CRect() = default;
  constexpr CRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
  constexpr CRect(CPoint topLeft, CSize size)
      : left(topLeft.x), top(topLeft.y), right(topLeft.x + size.cx), bottom(topLeft.y + size.cy) {}
  constexpr CRect(CPoint topLeft, CPoint bottomRight)
      : left(topLeft.x), top(topLeft.y), right(bottomRight.x), bottom(bottomRight.y) {}

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr CSize Size() const { return {Width(), Height()}; }
  constexpr CPoint TopLeft() const { return {left, top}; }
  constexpr CPoint BottomRight() const { return {right, bottom}; }
  constexpr CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }

  constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
  constexpr bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  constexpr bool PtInRect(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  constexpr bool operator==(const CRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  constexpr bool operator!=(const CRect& o) const { return !(*this == o); }

  void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
  void OffsetRect(CPoint p) { OffsetRect(p.x, p.y); }
  void OffsetRect(CSize s) { OffsetRect(s.cx, s.cy); }
  void InflateRect(int dx, int dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  // Swaps the edges of a rectangle given with right < left or bottom < top.
  void NormalizeRect();
  // Sets this to the overlap of a and b; an empty result becomes (0,0,0,0)
  // and gives false.
  bool IntersectRect(const CRect& a, const CRect& b);
  // Sets this to the smallest rectangle holding both; empty inputs are ignored.
  bool UnionRect(const CRect& a, const CRect& b);
};

// An int from a wider sum, saturated at the int range: coordinates far
// outside any device must not overflow.
inline int SaturateInt(long long v) {
  return v > 2147483647LL ? 2147483647 : (v < -2147483647LL - 1 ? -2147483647 - 1 : static_cast<int>(v));
}
// The rectangle at (x, y) with the given size, saturated.
inline CRect RectFromSize(int x, int y, int width, int height) {
  return CRect(x, y, SaturateInt(static_cast<long long>(x) + width), SaturateInt(static_cast<long long>(y) + height));
}
