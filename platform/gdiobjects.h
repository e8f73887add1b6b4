// Pens, brushes and fonts as the editor creates them.  Each object only
// describes the drawing tool; a device context turns the description into
// the real thing when it draws, so an object may be destroyed safely after
// it has been deselected.  No Qt here.
#pragma once

#include <cstring>

#include "platform/wintypes.h"

// Pen styles.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DASH = 1;
inline constexpr int PS_DOT = 2;
inline constexpr int PS_DASHDOT = 3;
inline constexpr int PS_NULL = 5;

// Brush styles.
inline constexpr UINT BS_SOLID = 0;
inline constexpr UINT BS_NULL = 1;

// Font weights, character sets, precisions, quality, pitch and family.
inline constexpr int FW_DONTCARE = 0;
inline constexpr int FW_THIN = 100;
inline constexpr int FW_LIGHT = 300;
inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_MEDIUM = 500;
inline constexpr int FW_SEMIBOLD = 600;
inline constexpr int FW_BOLD = 700;
inline constexpr int FW_HEAVY = 900;
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE OUT_DEFAULT_PRECIS = 0;
inline constexpr BYTE OUT_TT_PRECIS = 4;
inline constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE DRAFT_QUALITY = 1;
inline constexpr BYTE PROOF_QUALITY = 2;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;
inline constexpr BYTE FF_SCRIPT = 0x40;
inline constexpr BYTE FF_DECORATIVE = 0x50;
inline constexpr int LF_FACESIZE = 32;

struct LOGPEN {
  UINT lopnStyle = PS_SOLID;
  int lopnWidth = 0;  // 0 draws one device pixel wide
  COLORREF lopnColor = 0;
};

struct LOGBRUSH {
  UINT lbStyle = BS_SOLID;
  COLORREF lbColor = 0;
};

struct LOGFONT {
  // Positive: cell height; negative: character height; 0: the default (16).
  int lfHeight = 0;
  int lfWidth = 0;  // average character width; 0 lets the device choose
  int lfEscapement = 0;
  int lfOrientation = 0;
  int lfWeight = FW_DONTCARE;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = ANSI_CHARSET;
  BYTE lfOutPrecision = OUT_DEFAULT_PRECIS;
  BYTE lfClipPrecision = CLIP_DEFAULT_PRECIS;
  BYTE lfQuality = DEFAULT_QUALITY;
  BYTE lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  char lfFaceName[LF_FACESIZE] = {};
};

class CGdiObject {
 public:
  enum class Kind { Pen, Brush, Font };
  explicit CGdiObject(Kind kind) : m_kind(kind) {}
  virtual ~CGdiObject() = default;
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  Kind GetKind() const { return m_kind; }
  // True once created (stock objects always are).
  bool IsCreated() const { return m_created; }
  // Forgets the description; stock objects cannot be deleted.
  BOOL DeleteObject();
  bool IsStock() const { return m_stock; }

 protected:
  void MarkCreated() { m_created = true; }
  void MarkStock() { m_stock = true; m_created = true; }

 private:
  Kind m_kind;
  bool m_created = false;
  bool m_stock = false;
  friend class CStockObjects;
};

class CPen : public CGdiObject {
 public:
  CPen() : CGdiObject(Kind::Pen) {}
  CPen(int style, int width, COLORREF color) : CGdiObject(Kind::Pen) { CreatePen(style, width, color); }
  BOOL CreatePen(int style, int width, COLORREF color);
  const LOGPEN& GetLogPen() const { return m_log; }

 private:
  LOGPEN m_log;
  friend class CStockObjects;
};

class CBrush : public CGdiObject {
 public:
  CBrush() : CGdiObject(Kind::Brush) {}
  explicit CBrush(COLORREF color) : CGdiObject(Kind::Brush) { CreateSolidBrush(color); }
  BOOL CreateSolidBrush(COLORREF color);
  const LOGBRUSH& GetLogBrush() const { return m_log; }

 private:
  LOGBRUSH m_log;
  friend class CStockObjects;
};

class CFont : public CGdiObject {
 public:
  CFont() : CGdiObject(Kind::Font) {}
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                  BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                  BYTE quality, BYTE pitchAndFamily, const char* faceName);
  BOOL CreateFontIndirect(const LOGFONT* log);
  // Height in tenths of a point, at 96 dots per inch.
  BOOL CreatePointFont(int pointSizeTenths, const char* faceName);
  const LOGFONT& GetLogFont() const { return m_log; }
  int GetLogFont(LOGFONT* out) const;

 private:
  LOGFONT m_log;
  friend class CStockObjects;
};

// Stock object indexes for CDC::SelectStockObject.
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int NULL_PEN = 8;
inline constexpr int ANSI_VAR_FONT = 12;
inline constexpr int SYSTEM_FONT = 13;
inline constexpr int DEFAULT_GUI_FONT = 17;

// The process-wide stock objects; null for an unknown index.
CGdiObject* GetStockObject(int index);
