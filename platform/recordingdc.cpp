#include "platform/recordingdc.h"

#include <cstdlib>
#include <utility>

#include "platform/dib.h"

CRecordingDC::CRecordingDC() {
  m_caps[TECHNOLOGY] = DT_RASDISPLAY;
  m_caps[HORZRES] = 1024;
  m_caps[VERTRES] = 768;
  m_caps[HORZSIZE] = 271;
  m_caps[VERTSIZE] = 203;
  m_caps[LOGPIXELSX] = 96;
  m_caps[LOGPIXELSY] = 96;
  m_caps[BITSPIXEL] = 24;
  m_caps[PLANES] = 1;
  m_caps[NUMCOLORS] = -1;
  m_caps[RASTERCAPS] = RC_BITBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
}

std::vector<DCRecord> CRecordingDC::RecordsOf(DCRecord::Op op) const {
  std::vector<DCRecord> out;
  for (const DCRecord& r : m_records)
    if (r.op == op) out.push_back(r);
  return out;
}

int CRecordingDC::CellHeight(const LOGFONT& font) {
  if (font.lfHeight == 0) return 16;
  // Guard the one value whose absolute value does not fit.
  return font.lfHeight == -2147483647 - 1 ? 2147483647 : std::abs(font.lfHeight);
}

int CRecordingDC::CharWidth(const LOGFONT& font) { return CellHeight(font) / 2; }

DCRecord& CRecordingDC::Add(DCRecord::Op op) {
  DCRecord r;
  r.op = op;
  r.pen = m_state.pen;
  r.brush = m_state.brush;
  r.font = m_state.font;
  r.textColor = m_state.textColor;
  r.bkColor = m_state.bkColor;
  r.bkMode = m_state.bkMode;
  r.textAlign = m_state.textAlign;
  r.clip = DeviceClip();
  m_records.push_back(std::move(r));
  return m_records.back();
}

void CRecordingDC::AddCall(DCRecord::Op op, int value, int result) {
  DCRecord& r = Add(op);
  r.value = value;
  r.result = result;
}

CPen* CRecordingDC::SelectObject(CPen* pen) {
  CPen* old = CDC::SelectObject(pen);
  AddCall(DCRecord::Op::SelectPen, pen != nullptr && pen->IsStock(), old != nullptr);
  return old;
}

CBrush* CRecordingDC::SelectObject(CBrush* brush) {
  CBrush* old = CDC::SelectObject(brush);
  AddCall(DCRecord::Op::SelectBrush, brush != nullptr && brush->IsStock(), old != nullptr);
  return old;
}

CFont* CRecordingDC::SelectObject(CFont* font) {
  CFont* old = CDC::SelectObject(font);
  AddCall(DCRecord::Op::SelectFont, font != nullptr && font->IsStock(), old != nullptr);
  return old;
}

CPoint CRecordingDC::MoveTo(int x, int y) {
  const CPoint old = CDC::MoveTo(x, y);
  CPoint p(x, y);
  LPtoDP(&p);
  DCRecord& r = Add(DCRecord::Op::MoveTo);
  r.to = p;
  r.result = 1;
  return old;
}

BOOL CRecordingDC::LineTo(int x, int y) {
  CPoint from = m_state.position;
  CPoint to(x, y);
  LPtoDP(&from);
  LPtoDP(&to);
  CDC::MoveTo(x, y);
  DCRecord& r = Add(DCRecord::Op::LineTo);
  r.from = from;
  r.to = to;
  r.result = 1;
  return TRUE;
}

BOOL CRecordingDC::TextOut(int x, int y, const char* text, int count) {
  if (text == nullptr || count < 0) return FALSE;
  const CSize extent = GetOutputTextExtent(text, count);
  CPoint at(x, y);
  LPtoDP(&at);
  const UINT align = m_state.textAlign;
  int left = at.x;
  if ((align & TA_HORZ_MASK) == TA_CENTER)
    left = SaturateInt(static_cast<long long>(at.x) - extent.cx / 2);
  else if ((align & TA_HORZ_MASK) == TA_RIGHT)
    left = SaturateInt(static_cast<long long>(at.x) - extent.cx);
  int top = at.y;
  const int height = CellHeight(m_state.font);
  if ((align & TA_VERT_MASK) == TA_BASELINE)
    top = SaturateInt(static_cast<long long>(at.y) - static_cast<long long>(height) * 3 / 4);
  else if ((align & TA_VERT_MASK) == TA_BOTTOM)
    top = SaturateInt(static_cast<long long>(at.y) - height);
  DCRecord& r = Add(DCRecord::Op::TextOut);
  r.from = at;
  r.rect = RectFromSize(left, top, extent.cx, extent.cy);
  r.text.assign(text, static_cast<size_t>(count));
  r.result = 1;
  return TRUE;
}

CSize CRecordingDC::GetOutputTextExtent(const char* text, int count) const {
  if (text == nullptr || count <= 0) return CSize(0, CellHeight(m_state.font));
  const long long w = static_cast<long long>(count) * CharWidth(m_state.font);
  return CSize(w > 2147483647LL ? 2147483647 : static_cast<int>(w), CellHeight(m_state.font));
}

BOOL CRecordingDC::GetTextMetrics(TEXTMETRIC* metrics) const {
  if (metrics == nullptr) return FALSE;
  const int h = CellHeight(m_state.font);
  TEXTMETRIC tm;
  tm.tmHeight = h;
  tm.tmAscent = static_cast<int>(static_cast<long long>(h) * 3 / 4);
  tm.tmDescent = h - tm.tmAscent;
  tm.tmAveCharWidth = CharWidth(m_state.font);
  tm.tmMaxCharWidth = tm.tmAveCharWidth;
  tm.tmWeight = m_state.font.lfWeight == FW_DONTCARE ? FW_NORMAL : m_state.font.lfWeight;
  tm.tmItalic = m_state.font.lfItalic;
  tm.tmUnderlined = m_state.font.lfUnderline;
  tm.tmStruckOut = m_state.font.lfStrikeOut;
  tm.tmPitchAndFamily = m_state.font.lfPitchAndFamily;
  tm.tmCharSet = m_state.font.lfCharSet;
  *metrics = tm;
  return TRUE;
}

void CRecordingDC::FillSolidRect(const CRect& rect, COLORREF color) {
  CRect r = rect;
  LPtoDP(&r);
  DCRecord& rec = Add(DCRecord::Op::FillSolidRect);
  rec.rect = r;
  rec.value = static_cast<int>(color);
  rec.result = 1;
}

BOOL CRecordingDC::FillRect(const CRect& rect, CBrush* brush) {
  CRect r = rect;
  LPtoDP(&r);
  DCRecord& rec = Add(DCRecord::Op::FillRect);
  rec.rect = r;
  if (brush != nullptr && brush->IsCreated()) rec.brush = brush->GetLogBrush();
  rec.value = static_cast<int>(rec.brush.lbColor);
  rec.result = brush == nullptr || brush->IsCreated();
  return rec.result;
}

BOOL CRecordingDC::PatBlt(int x, int y, int width, int height, uint32_t rop) {
  CRect r = RectFromSize(x, y, width, height);
  LPtoDP(&r);
  DCRecord& rec = Add(DCRecord::Op::PatBlt);
  rec.rect = r;
  rec.value = static_cast<int>(rop);
  rec.result = rop == PATCOPY || rop == BLACKNESS || rop == WHITENESS;
  return rec.result;
}

int CRecordingDC::SetBkMode(int mode) {
  const int old = CDC::SetBkMode(mode);
  AddCall(DCRecord::Op::SetBkMode, mode, old);
  return old;
}

COLORREF CRecordingDC::SetBkColor(COLORREF color) {
  const COLORREF old = CDC::SetBkColor(color);
  AddCall(DCRecord::Op::SetBkColor, static_cast<int>(color), static_cast<int>(old));
  return old;
}

COLORREF CRecordingDC::SetTextColor(COLORREF color) {
  const COLORREF old = CDC::SetTextColor(color);
  AddCall(DCRecord::Op::SetTextColor, static_cast<int>(color), static_cast<int>(old));
  return old;
}

UINT CRecordingDC::SetTextAlign(UINT flags) {
  const UINT old = CDC::SetTextAlign(flags);
  AddCall(DCRecord::Op::SetTextAlign, static_cast<int>(flags), static_cast<int>(old));
  return old;
}

CPoint CRecordingDC::SetViewportOrg(int x, int y) {
  const CPoint old = CDC::SetViewportOrg(x, y);
  DCRecord& r = Add(DCRecord::Op::SetViewportOrg);
  r.from = old;
  r.to = CPoint(x, y);
  r.result = 1;
  return old;
}

int CRecordingDC::IntersectClipRect(int left, int top, int right, int bottom) {
  const int result = CDC::IntersectClipRect(left, top, right, bottom);
  CRect r(left, top, right, bottom);
  r.NormalizeRect();
  LPtoDP(&r);
  DCRecord& rec = Add(DCRecord::Op::IntersectClipRect);
  rec.rect = r;
  rec.result = result;
  return result;
}

int CRecordingDC::SelectClipRect(const CRect* deviceRect) {
  const int result = CDC::SelectClipRect(deviceRect);
  DCRecord& rec = Add(DCRecord::Op::SelectClipRect);
  if (deviceRect != nullptr) rec.rect = *deviceRect;
  rec.value = deviceRect != nullptr;
  rec.result = result;
  return result;
}

int CRecordingDC::SaveDC() {
  const int depth = CDC::SaveDC();
  Add(DCRecord::Op::SaveDC).result = depth;
  return depth;
}

BOOL CRecordingDC::RestoreDC(int saved) {
  const BOOL ok = CDC::RestoreDC(saved);
  AddCall(DCRecord::Op::RestoreDC, saved, ok);
  return ok;
}

int CRecordingDC::GetDeviceCaps(int index) const {
  const auto it = m_caps.find(index);
  return it == m_caps.end() ? 0 : it->second;
}

int CRecordingDC::SetStretchBltMode(int mode) {
  const int old = StoreStretchBltMode(mode);
  AddCall(DCRecord::Op::SetStretchBltMode, mode, old);
  return old;
}

int CRecordingDC::SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY, unsigned startScan,
                                    unsigned scanLines, const void* bits, const BITMAPINFO* info,
                                    unsigned colorUse) {
  DibView view;
  const int result = DibCheckSetBits(width, height, startScan, scanLines, bits, info, colorUse, &view);
  return AddBitmapCall(DCRecord::Op::SetDIBitsToDevice, RectFromSize(x, y, width, height),
                       RectFromSize(srcX, srcY, width, height), result);
}

int CRecordingDC::StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                                int srcHeight, const void* bits, const BITMAPINFO* info, unsigned colorUse,
                                uint32_t rop) {
  DibView view;
  const int result =
      DibCheckStretch(width, height, srcX, srcY, srcWidth, srcHeight, bits, info, colorUse, rop, &view);
  return AddBitmapCall(DCRecord::Op::StretchDIBits, RectFromSize(x, y, width, height),
                       RectFromSize(srcX, srcY, srcWidth, srcHeight), result);
}

int CRecordingDC::AddBitmapCall(DCRecord::Op op, CRect dest, const CRect& src, int result) {
  LPtoDP(&dest);
  DCRecord& r = Add(op);
  r.rect = dest;
  r.src = src;
  r.value = m_state.stretchMode;
  r.result = result;
  return result;
}

CRect CRecordingDC::DeviceBounds() const { return CRect(0, 0, GetDeviceCaps(HORZRES), GetDeviceCaps(VERTRES)); }
