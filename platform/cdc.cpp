#include "platform/cdc.h"

#include <limits>

namespace {

// Adds without overflowing: coordinates far outside any device saturate.
int Clamp(long long v) {
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

int AddClamped(int a, int b) { return Clamp(static_cast<long long>(a) + b); }

}  // namespace

CDC::CDC() {
  CGdiObject* pen = GetStockObject(BLACK_PEN);
  CGdiObject* brush = GetStockObject(WHITE_BRUSH);
  CGdiObject* font = GetStockObject(SYSTEM_FONT);
  m_state.pen = static_cast<CPen*>(pen)->GetLogPen();
  m_state.penObject = pen;
  m_state.brush = static_cast<CBrush*>(brush)->GetLogBrush();
  m_state.brushObject = brush;
  m_state.font = static_cast<CFont*>(font)->GetLogFont();
  m_state.fontObject = font;
}

CDC::~CDC() = default;

namespace {

const LOGPEN& LogOf(const CPen& pen) { return pen.GetLogPen(); }
const LOGBRUSH& LogOf(const CBrush& brush) { return brush.GetLogBrush(); }
const LOGFONT& LogOf(const CFont& font) { return font.GetLogFont(); }

// Selects a created object of one kind: its description goes to log and the
// object to selected.  Returns the object selected before, or null (and
// changes nothing) for an object not created.
template <typename Object, typename Log>
Object* SelectInto(Object* object, Log& log, CGdiObject*& selected) {
  if (object == nullptr || !object->IsCreated()) return nullptr;
  Object* old = static_cast<Object*>(selected);
  log = LogOf(*object);
  selected = object;
  return old;
}

}  // namespace

CPen* CDC::SelectObject(CPen* pen) { return SelectInto(pen, m_state.pen, m_state.penObject); }

CBrush* CDC::SelectObject(CBrush* brush) { return SelectInto(brush, m_state.brush, m_state.brushObject); }

CFont* CDC::SelectObject(CFont* font) { return SelectInto(font, m_state.font, m_state.fontObject); }

CGdiObject* CDC::SelectStockObject(int index) {
  CGdiObject* object = GetStockObject(index);
  if (object == nullptr) return nullptr;
  switch (object->GetKind()) {
    case CGdiObject::Kind::Pen:
      return SelectObject(static_cast<CPen*>(object));
    case CGdiObject::Kind::Brush:
      return SelectObject(static_cast<CBrush*>(object));
    case CGdiObject::Kind::Font:
      return SelectObject(static_cast<CFont*>(object));
  }
  return nullptr;
}

CPoint CDC::MoveTo(int x, int y) {
  const CPoint old = m_state.position;
  m_state.position = CPoint(x, y);
  return old;
}

int CDC::SetBkMode(int mode) {
  const int old = m_state.bkMode;
  if (mode == TRANSPARENT || mode == OPAQUE) m_state.bkMode = mode;
  return old;
}

COLORREF CDC::SetBkColor(COLORREF color) {
  const COLORREF old = m_state.bkColor;
  m_state.bkColor = color & 0x00FFFFFFu;
  return old;
}

COLORREF CDC::SetTextColor(COLORREF color) {
  const COLORREF old = m_state.textColor;
  m_state.textColor = color & 0x00FFFFFFu;
  return old;
}

UINT CDC::SetTextAlign(UINT flags) {
  const UINT old = m_state.textAlign;
  m_state.textAlign = flags;
  return old;
}

CPoint CDC::SetViewportOrg(int x, int y) {
  const CPoint old = m_state.viewportOrg;
  m_state.viewportOrg = CPoint(x, y);
  return old;
}

void CDC::LPtoDP(CPoint* p) const {
  if (p == nullptr) return;
  p->x = AddClamped(p->x, m_state.viewportOrg.x);
  p->y = AddClamped(p->y, m_state.viewportOrg.y);
}

void CDC::LPtoDP(CRect* r) const {
  if (r == nullptr) return;
  r->left = AddClamped(r->left, m_state.viewportOrg.x);
  r->right = AddClamped(r->right, m_state.viewportOrg.x);
  r->top = AddClamped(r->top, m_state.viewportOrg.y);
  r->bottom = AddClamped(r->bottom, m_state.viewportOrg.y);
}

void CDC::DPtoLP(CPoint* p) const {
  if (p == nullptr) return;
  p->x = Clamp(static_cast<long long>(p->x) - m_state.viewportOrg.x);
  p->y = Clamp(static_cast<long long>(p->y) - m_state.viewportOrg.y);
}

void CDC::DPtoLP(CRect* r) const {
  if (r == nullptr) return;
  CPoint a = r->TopLeft();
  CPoint b = r->BottomRight();
  DPtoLP(&a);
  DPtoLP(&b);
  *r = CRect(a, b);
}

CRect CDC::DeviceClip() const {
  CRect area = DeviceBounds();
  if (m_state.hasClip) {
    CRect narrowed;
    narrowed.IntersectRect(area, m_state.clip);
    area = narrowed;
  }
  return area;
}

int CDC::IntersectClipRect(int left, int top, int right, int bottom) {
  CRect r(left, top, right, bottom);
  r.NormalizeRect();
  LPtoDP(&r);
  if (m_state.hasClip) {
    CRect narrowed;
    narrowed.IntersectRect(m_state.clip, r);
    m_state.clip = narrowed;
  } else {
    m_state.clip = r;
    m_state.hasClip = true;
  }
  return DeviceClip().IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

int CDC::SelectClipRect(const CRect* deviceRect) {
  if (deviceRect == nullptr) {
    m_state.hasClip = false;
    m_state.clip = CRect();
  } else {
    m_state.clip = *deviceRect;
    m_state.clip.NormalizeRect();
    m_state.hasClip = true;
  }
  return DeviceClip().IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

int CDC::GetClipBox(CRect* rect) const {
  CRect box = DeviceClip();
  if (box.IsRectEmpty()) {
    if (rect != nullptr) rect->SetRectEmpty();
    return NULLREGION;
  }
  DPtoLP(&box);
  if (rect != nullptr) *rect = box;
  return SIMPLEREGION;
}

BOOL CDC::RectVisible(const CRect& rect) const {
  CRect r = rect;
  r.NormalizeRect();
  LPtoDP(&r);
  CRect overlap;
  return overlap.IntersectRect(r, DeviceClip()) ? TRUE : FALSE;
}

BOOL CDC::PtVisible(int x, int y) const {
  CPoint p(x, y);
  LPtoDP(&p);
  return DeviceClip().PtInRect(p) ? TRUE : FALSE;
}

int CDC::SaveDC() {
  m_saved.push_back(m_state);
  return static_cast<int>(m_saved.size());
}

BOOL CDC::RestoreDC(int saved) {
  const int depth = static_cast<int>(m_saved.size());
  int target = saved;  // the depth to return to
  if (saved < 0) target = depth + saved + 1;
  if (saved == 0 || target < 1 || target > depth) return FALSE;
  m_state = m_saved[static_cast<size_t>(target - 1)];
  m_saved.resize(static_cast<size_t>(target - 1));
  StateRestored();
  return TRUE;
}

int CDC::StoreStretchBltMode(int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  const int old = m_state.stretchMode;
  m_state.stretchMode = mode;
  return old;
}
