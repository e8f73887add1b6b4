// CDC: the device context the profile tree and the view draw through.
//
// The base class keeps the drawing state (selected pen, brush and font,
// background and text colours, text alignment, viewport origin, clip
// rectangle, stretch mode, pen position) and its save stack; a subclass
// supplies the device: CQtDC paints with a QPainter, CRecordingDC records
// every call for tests.  Logical coordinates become device coordinates by
// adding the viewport origin (one logical unit is one device unit).
// The clip rectangle is kept in device coordinates, as set.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/cstring.h"
#include "platform/dibtypes.h"
#include "platform/gdiobjects.h"
#include "platform/geometry.h"
#include "platform/wintypes.h"

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Text alignment flags.
inline constexpr UINT TA_NOUPDATECP = 0;
inline constexpr UINT TA_UPDATECP = 1;
inline constexpr UINT TA_LEFT = 0;
inline constexpr UINT TA_RIGHT = 2;
inline constexpr UINT TA_CENTER = 6;
inline constexpr UINT TA_TOP = 0;
inline constexpr UINT TA_BOTTOM = 8;
inline constexpr UINT TA_BASELINE = 24;
inline constexpr UINT TA_HORZ_MASK = 6;
inline constexpr UINT TA_VERT_MASK = 24;

// GetDeviceCaps indexes.
inline constexpr int TECHNOLOGY = 2;
inline constexpr int HORZSIZE = 4;  // millimetres
inline constexpr int VERTSIZE = 6;  // millimetres
inline constexpr int HORZRES = 8;   // pixels
inline constexpr int VERTRES = 10;  // pixels
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int NUMCOLORS = 24;
inline constexpr int RASTERCAPS = 38;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;

// TECHNOLOGY values.
inline constexpr int DT_RASDISPLAY = 1;
inline constexpr int DT_RASPRINTER = 2;

// RASTERCAPS bits.
inline constexpr int RC_BITBLT = 0x0001;
inline constexpr int RC_BANDING = 0x0002;
inline constexpr int RC_SCALING = 0x0004;
inline constexpr int RC_BITMAP64 = 0x0008;
inline constexpr int RC_DI_BITMAP = 0x0080;
inline constexpr int RC_PALETTE = 0x0100;
inline constexpr int RC_DIBTODEV = 0x0200;
inline constexpr int RC_STRETCHBLT = 0x0800;
inline constexpr int RC_STRETCHDIB = 0x2000;

// Stretch modes (COLORONCOLOR is in dibtypes.h).
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int HALFTONE = 4;

// Colour table use for the DIB transfers (DIB_RGB_COLORS is in dibtypes.h).
inline constexpr unsigned DIB_PAL_COLORS = 1;

// Raster operations for PatBlt.
inline constexpr uint32_t PATCOPY = 0x00F00021;
inline constexpr uint32_t BLACKNESS = 0x00000042;
inline constexpr uint32_t WHITENESS = 0x00FF0062;

// Region results of the clipping calls.
inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;

struct TEXTMETRIC {
  int tmHeight = 0;
  int tmAscent = 0;
  int tmDescent = 0;
  int tmInternalLeading = 0;
  int tmExternalLeading = 0;
  int tmAveCharWidth = 0;
  int tmMaxCharWidth = 0;
  int tmWeight = 0;
  BYTE tmItalic = 0;
  BYTE tmUnderlined = 0;
  BYTE tmStruckOut = 0;
  BYTE tmPitchAndFamily = 0;
  BYTE tmCharSet = 0;
};

class CDC {
 public:
  CDC();
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  // --- Drawing objects.  Each returns the object selected before (a stock
  // object when the caller has selected none); null for a null argument or
  // an object that was never created, leaving the selection unchanged.
  virtual CPen* SelectObject(CPen* pen);
  virtual CBrush* SelectObject(CBrush* brush);
  virtual CFont* SelectObject(CFont* font);
  virtual CGdiObject* SelectStockObject(int index);
  // The description of what is selected now.
  const LOGPEN& GetCurrentPen() const { return m_state.pen; }
  const LOGBRUSH& GetCurrentBrush() const { return m_state.brush; }
  const LOGFONT& GetCurrentFont() const { return m_state.font; }

  // --- Lines and text (logical coordinates).
  virtual CPoint MoveTo(int x, int y);  // returns the previous position
  CPoint MoveTo(CPoint p) { return MoveTo(p.x, p.y); }
  CPoint GetCurrentPosition() const { return m_state.position; }
  virtual BOOL LineTo(int x, int y) = 0;
  BOOL LineTo(CPoint p) { return LineTo(p.x, p.y); }
  virtual BOOL TextOut(int x, int y, const char* text, int count) = 0;
  BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text.GetString(), text.GetLength()); }
  // Width and height of the text in the selected font, in device units.
  virtual CSize GetOutputTextExtent(const char* text, int count) const = 0;
  CSize GetOutputTextExtent(const CString& text) const {
    return GetOutputTextExtent(text.GetString(), text.GetLength());
  }
  CSize GetTextExtent(const char* text, int count) const { return GetOutputTextExtent(text, count); }
  CSize GetTextExtent(const CString& text) const { return GetOutputTextExtent(text); }
  virtual BOOL GetTextMetrics(TEXTMETRIC* metrics) const = 0;

  // --- Areas.
  virtual void FillSolidRect(const CRect& rect, COLORREF color) = 0;
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color) { FillSolidRect(CRect(x, y, x + cx, y + cy), color); }
  // Fills with the brush (null: the selected brush).
  virtual BOOL FillRect(const CRect& rect, CBrush* brush) = 0;
  // PATCOPY fills with the selected brush; BLACKNESS and WHITENESS with black
  // and white.  Other operations do nothing and give false.
  virtual BOOL PatBlt(int x, int y, int width, int height, uint32_t rop) = 0;

  // --- Attributes.  Each setter returns the previous value.
  virtual int SetBkMode(int mode);
  int GetBkMode() const { return m_state.bkMode; }
  virtual COLORREF SetBkColor(COLORREF color);
  COLORREF GetBkColor() const { return m_state.bkColor; }
  virtual COLORREF SetTextColor(COLORREF color);
  COLORREF GetTextColor() const { return m_state.textColor; }
  virtual UINT SetTextAlign(UINT flags);
  UINT GetTextAlign() const { return m_state.textAlign; }

  // --- Viewport origin: the device point where logical (0, 0) lands.
  virtual CPoint SetViewportOrg(int x, int y);
  CPoint SetViewportOrg(CPoint p) { return SetViewportOrg(p.x, p.y); }
  CPoint GetViewportOrg() const { return m_state.viewportOrg; }
  CPoint OffsetViewportOrg(int dx, int dy) {
    return SetViewportOrg(m_state.viewportOrg.x + dx, m_state.viewportOrg.y + dy);
  }
  void LPtoDP(CPoint* p) const;
  void LPtoDP(CRect* r) const;
  void DPtoLP(CPoint* p) const;
  void DPtoLP(CRect* r) const;

  // --- Clipping.  IntersectClipRect takes logical coordinates and narrows
  // the clip area; SelectClipRect replaces it with a device rectangle (null:
  // no clipping beyond the device).  Both return NULLREGION when nothing is
  // left to draw in, else SIMPLEREGION.
  virtual int IntersectClipRect(int left, int top, int right, int bottom);
  int IntersectClipRect(const CRect& r) { return IntersectClipRect(r.left, r.top, r.right, r.bottom); }
  virtual int SelectClipRect(const CRect* deviceRect);
  // The area that can be drawn in, in logical coordinates.
  virtual int GetClipBox(CRect* rect) const;
  // True when any part of the logical rectangle lies in the clip area.
  virtual BOOL RectVisible(const CRect& rect) const;
  BOOL PtVisible(int x, int y) const;

  // --- State stack.  SaveDC returns the new depth (from 1); RestoreDC takes
  // a depth from SaveDC or a negative count back from the top (-1: the last
  // one saved).  Restoring an unknown depth does nothing and gives false.
  virtual int SaveDC();
  virtual BOOL RestoreDC(int saved);

  // --- The device.
  virtual int GetDeviceCaps(int index) const = 0;
  virtual BOOL IsPrinting() const = 0;
  int GetStretchBltMode() const { return m_state.stretchMode; }

  // Bitmap transfers of uncompressed bottom-up device-independent bitmaps.
  virtual int SetStretchBltMode(int mode) = 0;   // returns the previous mode; COLORONCOLOR = 3
  virtual int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                                unsigned startScan, unsigned scanLines, const void* bits,
                                const BITMAPINFO* info, unsigned colorUse) = 0;  // returns scan lines set, 0 on failure
  virtual int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY,
                            int srcWidth, int srcHeight, const void* bits,
                            const BITMAPINFO* info, unsigned colorUse, uint32_t rop) = 0;  // returns scan lines copied, 0 on failure

 protected:
  struct State {
    LOGPEN pen;
    CGdiObject* penObject = nullptr;
    LOGBRUSH brush;
    CGdiObject* brushObject = nullptr;
    LOGFONT font;
    CGdiObject* fontObject = nullptr;
    int bkMode = OPAQUE;
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF textColor = RGB(0, 0, 0);
    UINT textAlign = TA_LEFT | TA_TOP;
    CPoint viewportOrg;
    CPoint position;  // logical
    bool hasClip = false;
    CRect clip;  // device coordinates, when hasClip
    int stretchMode = BLACKONWHITE;
  };

  // The drawable area of the device, in device coordinates.  The clip area
  // never extends beyond it.
  virtual CRect DeviceBounds() const = 0;
  // The clip area in device coordinates: the device bounds narrowed by the
  // clip rectangle (may be empty).
  CRect DeviceClip() const;
  // Stores a new stretch mode and returns the old one (0, nothing stored, for an
  // unknown mode), for subclasses.
  int StoreStretchBltMode(int mode);
  // Called after RestoreDC replaced the state.
  virtual void StateRestored() {}

  State m_state;

 private:
  std::vector<State> m_saved;
};
