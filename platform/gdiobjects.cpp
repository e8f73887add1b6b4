#include "platform/gdiobjects.h"

#include <cstdio>

BOOL CGdiObject::DeleteObject() {
  if (m_stock || !m_created) return FALSE;
  m_created = false;
  return TRUE;
}

BOOL CPen::CreatePen(int style, int width, COLORREF color) {
  if (IsCreated()) return FALSE;
  if (style < PS_SOLID || style > PS_NULL) return FALSE;
  m_log.lopnStyle = static_cast<UINT>(style);
  m_log.lopnWidth = width < 0 ? 0 : width;
  m_log.lopnColor = color & 0x00FFFFFFu;
  MarkCreated();
  return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF color) {
  if (IsCreated()) return FALSE;
  m_log.lbStyle = BS_SOLID;
  m_log.lbColor = color & 0x00FFFFFFu;
  MarkCreated();
  return TRUE;
}

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, const char* faceName) {
  LOGFONT log;
  log.lfHeight = height;
  log.lfWidth = width;
  log.lfEscapement = escapement;
  log.lfOrientation = orientation;
  log.lfWeight = weight;
  log.lfItalic = italic;
  log.lfUnderline = underline;
  log.lfStrikeOut = strikeOut;
  log.lfCharSet = charSet;
  log.lfOutPrecision = outPrecision;
  log.lfClipPrecision = clipPrecision;
  log.lfQuality = quality;
  log.lfPitchAndFamily = pitchAndFamily;
  if (faceName != nullptr) std::snprintf(log.lfFaceName, sizeof log.lfFaceName, "%s", faceName);
  return CreateFontIndirect(&log);
}

BOOL CFont::CreateFontIndirect(const LOGFONT* log) {
  if (log == nullptr || IsCreated()) return FALSE;
  if (log->lfWeight < 0 || log->lfWeight > 1000) return FALSE;
  m_log = *log;
  m_log.lfFaceName[LF_FACESIZE - 1] = '\0';
  MarkCreated();
  return TRUE;
}

BOOL CFont::CreatePointFont(int pointSizeTenths, const char* faceName) {
  if (pointSizeTenths <= 0) return FALSE;
  LOGFONT log;
  // Points to pixels at 96 per inch: tenths * 96 / 720, rounded; negative
  // for a character height.
  log.lfHeight = -((pointSizeTenths * 96 + 360) / 720);
  log.lfWeight = FW_NORMAL;
  if (faceName != nullptr) std::snprintf(log.lfFaceName, sizeof log.lfFaceName, "%s", faceName);
  return CreateFontIndirect(&log);
}

int CFont::GetLogFont(LOGFONT* out) const {
  if (out == nullptr || !IsCreated()) return 0;
  *out = m_log;
  return static_cast<int>(sizeof(LOGFONT));
}

// Builds the stock objects once; they live for the whole process.
class CStockObjects {
 public:
  CStockObjects() {
    const COLORREF brushColors[5] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                     RGB(64, 64, 64), RGB(0, 0, 0)};
    for (int i = 0; i < 5; ++i) {
      m_brushes[i].m_log.lbColor = brushColors[i];
      m_brushes[i].MarkStock();
    }
    m_brushes[5].m_log.lbStyle = BS_NULL;
    m_brushes[5].MarkStock();
    m_whitePen.m_log.lopnColor = RGB(255, 255, 255);
    m_whitePen.MarkStock();
    m_blackPen.MarkStock();
    m_nullPen.m_log.lopnStyle = PS_NULL;
    m_nullPen.MarkStock();
    m_systemFont.m_log.lfHeight = 16;
    m_systemFont.m_log.lfWeight = FW_BOLD;
    m_systemFont.MarkStock();
    m_varFont.m_log.lfHeight = 13;
    m_varFont.m_log.lfWeight = FW_NORMAL;
    m_varFont.m_log.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    m_varFont.MarkStock();
    m_guiFont.m_log.lfHeight = -11;
    m_guiFont.m_log.lfWeight = FW_NORMAL;
    m_guiFont.m_log.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    m_guiFont.MarkStock();
  }

  CGdiObject* Get(int index) {
    switch (index) {
      case WHITE_BRUSH:
      case LTGRAY_BRUSH:
      case GRAY_BRUSH:
      case DKGRAY_BRUSH:
      case BLACK_BRUSH:
      case NULL_BRUSH:
        return &m_brushes[index];
      case WHITE_PEN:
        return &m_whitePen;
      case BLACK_PEN:
        return &m_blackPen;
      case NULL_PEN:
        return &m_nullPen;
      case ANSI_VAR_FONT:
        return &m_varFont;
      case SYSTEM_FONT:
        return &m_systemFont;
      case DEFAULT_GUI_FONT:
        return &m_guiFont;
      default:
        return nullptr;
    }
  }

 private:
  CBrush m_brushes[6];
  CPen m_whitePen, m_blackPen, m_nullPen;
  CFont m_systemFont, m_varFont, m_guiFont;
};

CGdiObject* GetStockObject(int index) {
  static CStockObjects stock;
  return stock.Get(index);
}
