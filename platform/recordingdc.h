// CRecordingDC: a device context that draws nothing and records every call,
// with its coordinates in device units (after the viewport origin) and the
// state it was made in, so that drawing and layout are checked exactly.
//
// Text metrics are fixed, independent of any real font: a font of height h
// (its absolute lfHeight; 16 when 0) has cells h units high with an ascent
// of h * 3 / 4, and every character is h / 2 units wide (8 at height 16).
// The font's width field is ignored.
//
// The device is 1024 x 768 pixels at 96 per inch (271 x 203 mm) and can
// transfer and stretch bitmaps, until SetDeviceCaps changes it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/cdc.h"

struct DCRecord {
  enum class Op {
    SelectPen,
    SelectBrush,
    SelectFont,
    MoveTo,
    LineTo,
    TextOut,
    FillSolidRect,
    FillRect,
    PatBlt,
    SetBkMode,
    SetBkColor,
    SetTextColor,
    SetTextAlign,
    SetViewportOrg,
    IntersectClipRect,
    SelectClipRect,
    SaveDC,
    RestoreDC,
    SetStretchBltMode,
    SetDIBitsToDevice,
    StretchDIBits,
  };
  Op op;
  // Selections: the pen, brush or font below is the one just selected.
  // MoveTo: to is the new position.  LineTo: from -> to.  TextOut: from is
  // the reference point given, rect the text's box after the alignment.
  CPoint from;
  CPoint to;
  // Fills, PatBlt and clipping: the rectangle.  Bitmap transfers: the
  // destination rectangle, with src the source rectangle (left, bottom-up
  // top row, width, height packed as left/top/right/bottom).
  CRect rect;
  CRect src;
  std::string text;
  int value = 0;   // the argument of a setter (mode, colour, flags, depth);
                   // for a selection, 1 when a stock object was selected
  int result = 0;  // what the call returned (as an int)
  // The state the call was made in.
  LOGPEN pen;
  LOGBRUSH brush;
  LOGFONT font;
  COLORREF textColor = 0;
  COLORREF bkColor = 0;
  int bkMode = 0;
  UINT textAlign = 0;
  CRect clip;  // device clip area at the time of the call
};

class CRecordingDC : public CDC {
 public:
  CRecordingDC();

  const std::vector<DCRecord>& Records() const { return m_records; }
  void ClearRecords() { m_records.clear(); }
  // The records of one kind, in order.
  std::vector<DCRecord> RecordsOf(DCRecord::Op op) const;

  void SetDeviceCaps(int index, int value) { m_caps[index] = value; }
  void SetPrinting(bool printing) { m_printing = printing; }
  // Character width and cell height the fixed metrics give for the font.
  static int CharWidth(const LOGFONT& font);
  static int CellHeight(const LOGFONT& font);

  CPen* SelectObject(CPen* pen) override;
  CBrush* SelectObject(CBrush* brush) override;
  CFont* SelectObject(CFont* font) override;
  using CDC::SelectStockObject;

  CPoint MoveTo(int x, int y) override;
  using CDC::MoveTo;
  BOOL LineTo(int x, int y) override;
  using CDC::LineTo;
  BOOL TextOut(int x, int y, const char* text, int count) override;
  using CDC::TextOut;
  CSize GetOutputTextExtent(const char* text, int count) const override;
  using CDC::GetOutputTextExtent;
  BOOL GetTextMetrics(TEXTMETRIC* metrics) const override;

  void FillSolidRect(const CRect& rect, COLORREF color) override;
  using CDC::FillSolidRect;
  BOOL FillRect(const CRect& rect, CBrush* brush) override;
  BOOL PatBlt(int x, int y, int width, int height, uint32_t rop) override;

  int SetBkMode(int mode) override;
  COLORREF SetBkColor(COLORREF color) override;
  COLORREF SetTextColor(COLORREF color) override;
  UINT SetTextAlign(UINT flags) override;
  CPoint SetViewportOrg(int x, int y) override;
  using CDC::SetViewportOrg;
  int IntersectClipRect(int left, int top, int right, int bottom) override;
  using CDC::IntersectClipRect;
  int SelectClipRect(const CRect* deviceRect) override;
  int SaveDC() override;
  BOOL RestoreDC(int saved) override;

  int GetDeviceCaps(int index) const override;
  BOOL IsPrinting() const override { return m_printing ? TRUE : FALSE; }

  int SetStretchBltMode(int mode) override;
  int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY, unsigned startScan,
                        unsigned scanLines, const void* bits, const BITMAPINFO* info, unsigned colorUse) override;
  int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                    const void* bits, const BITMAPINFO* info, unsigned colorUse, uint32_t rop) override;

 protected:
  CRect DeviceBounds() const override;

 private:
  DCRecord& Add(DCRecord::Op op);
  // A record of a call that takes one value and gives one result back.
  void AddCall(DCRecord::Op op, int value, int result);
  // A record of a bitmap drawn into the logical rectangle dest from the part
  // src of the bitmap; gives result back.
  int AddBitmapCall(DCRecord::Op op, CRect dest, const CRect& src, int result);

  std::vector<DCRecord> m_records;
  std::map<int, int> m_caps;
  bool m_printing = false;
};
