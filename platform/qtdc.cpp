#include "platform/qtdc.h"

#include <QFontMetrics>
#include <QHashFunctions>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPaintDevice>
#include <algorithm>
#include <cstring>

#include "platform/dib.h"
#include "platform/qtconvert.h"

namespace {

Qt::PenStyle ToQtPenStyle(UINT style) {
  switch (style) {
    case PS_DASH:
      return Qt::DashLine;
    case PS_DOT:
      return Qt::DotLine;
    case PS_DASHDOT:
      return Qt::DashDotLine;
    case PS_NULL:
      return Qt::NoPen;
    default:
      return Qt::SolidLine;
  }
}

bool SameFont(const LOGFONT& a, const LOGFONT& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfWeight == b.lfWeight &&
         a.lfItalic == b.lfItalic && a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut &&
         a.lfPitchAndFamily == b.lfPitchAndFamily &&
         std::strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

// Builds the image of a source rectangle of the bitmap (bottom-up
// coordinates), top row first; pixels outside the rows the bitmap holds
// stay transparent.
QImage SourceImage(const DibView& view, int srcX, int srcY, int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  if (image.isNull()) return image;
  image.fill(Qt::transparent);
  for (int j = 0; j < height; ++j) {
    const int row = srcY + height - 1 - j;
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(j));
    for (int i = 0; i < width; ++i) {
      const int col = srcX + i;
      if (!view.HasPixel(col, row)) continue;
      const COLORREF c = view.PixelAt(col, row);
      line[i] = qRgb(static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)), static_cast<int>(GetBValue(c)));
    }
  }
  return image;
}

}  // namespace

CQtDC::CQtDC(QPainter* painter) : m_painter(painter) { Init(); }

CQtDC::CQtDC(QImage* image) {
  if (image != nullptr && !image->isNull()) {
    m_ownPainter = std::make_unique<QPainter>(image);
    m_painter = m_ownPainter.get();
  }
  Init();
}

CQtDC::~CQtDC() {
  if (m_ownPainter && m_ownPainter->isActive()) m_ownPainter->end();
}

void CQtDC::Init() {
  if (m_painter != nullptr && !m_painter->isActive()) m_painter = nullptr;
  m_device = m_painter != nullptr ? m_painter->device() : nullptr;
  m_printing = m_device != nullptr && dynamic_cast<QPagedPaintDevice*>(m_device) != nullptr;
  // A clip the owner set on the painter bounds everything drawn here.
  if (m_painter != nullptr && m_painter->hasClipping()) {
    m_ownerClip = FromQRect(m_painter->clipBoundingRect().toAlignedRect());
    m_hasOwnerClip = true;
  }
}

CRect CQtDC::DeviceBounds() const {
  if (m_device == nullptr) return CRect();
  CRect bounds(0, 0, m_hasMetrics ? m_metrics.width : m_device->width(),
               m_hasMetrics ? m_metrics.height : m_device->height());
  if (m_hasOwnerClip) {
    CRect narrowed;
    narrowed.IntersectRect(bounds, m_ownerClip);
    bounds = narrowed;
  }
  return bounds;
}

bool CQtDC::ApplyClip() {
  if (m_painter == nullptr) return false;
  const CRect clip = DeviceClip();
  if (clip.IsRectEmpty()) return false;
  if (m_state.hasClip || m_hasOwnerClip)
    m_painter->setClipRect(ToQRect(clip));
  else
    m_painter->setClipping(false);
  return true;
}

QFont CQtDC::MakeFont(const LOGFONT& log) const {
  QFont font;
  if (log.lfFaceName[0] != '\0') {
    font.setFamily(ToQString(log.lfFaceName, static_cast<int>(strnlen(log.lfFaceName, LF_FACESIZE))));
  } else {
    switch (log.lfPitchAndFamily & 0xF0) {
      case FF_MODERN:
        font.setFamily(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::Monospace);
        break;
      case FF_ROMAN:
        font.setFamily(QStringLiteral("DejaVu Serif"));
        font.setStyleHint(QFont::Serif);
        break;
      default:
        font.setFamily(QStringLiteral("DejaVu Sans"));
        font.setStyleHint(QFont::SansSerif);
        break;
    }
  }
  if ((log.lfPitchAndFamily & 0x0F) == FIXED_PITCH) font.setFixedPitch(true);
  const int weight = log.lfWeight == FW_DONTCARE ? FW_NORMAL : std::clamp(log.lfWeight, 100, 900);
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setItalic(log.lfItalic != 0);
  font.setUnderline(log.lfUnderline != 0);
  font.setStrikeOut(log.lfStrikeOut != 0);
  font.setStyleStrategy(log.lfQuality == PROOF_QUALITY ? QFont::PreferQuality : QFont::PreferDefault);

  // Sizes are in device pixels; keep them within what a page can show.
  const int limit = 10000;
  int height = log.lfHeight == 0 ? 16 : std::min(limit, log.lfHeight < 0 ? -std::max(log.lfHeight, -limit) : log.lfHeight);
  if (height < 1) height = 1;
  font.setPixelSize(height);
  if (log.lfHeight > 0) {
    // A positive height is the whole cell: shrink the em until the cell fits.
    const int cell = QFontMetrics(font, m_device).height();
    if (cell > height) font.setPixelSize(std::max(1, height * height / cell));
  }
  if (log.lfWidth > 0) {
    const int natural = QFontMetrics(font, m_device).averageCharWidth();
    if (natural > 0) {
      const long long stretch = 100LL * std::min(log.lfWidth, limit) / natural;
      font.setStretch(static_cast<int>(std::clamp<long long>(stretch, 1, 4000)));
    }
  }
  return font;
}

const QFont& CQtDC::CurrentFont() const {
  if (!m_fontValid || !SameFont(m_fontFor, m_state.font)) {
    m_font = MakeFont(m_state.font);
    m_fontFor = m_state.font;
    m_fontValid = true;
  }
  return m_font;
}

BOOL CQtDC::LineTo(int x, int y) {
  CPoint from = m_state.position;
  CPoint to(x, y);
  CDC::MoveTo(x, y);
  if (!ApplyClip()) return m_painter != nullptr;
  LPtoDP(&from);
  LPtoDP(&to);
  const LOGPEN& lp = m_state.pen;
  QPen pen(ToQColor(lp.lopnColor));
  pen.setStyle(ToQtPenStyle(lp.lopnStyle));
  if (lp.lopnWidth <= 1) {
    // A thin line leaves out its last pixel, so joined lines meet once.
    pen.setWidth(lp.lopnWidth <= 0 ? 0 : 1);
    pen.setCapStyle(Qt::FlatCap);
  } else {
    pen.setWidth(lp.lopnWidth);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
  }
  m_painter->setRenderHint(QPainter::Antialiasing, false);
  m_painter->setPen(pen);
  m_painter->drawLine(ToQPoint(from), ToQPoint(to));
  return TRUE;
}

BOOL CQtDC::TextOut(int x, int y, const char* text, int count) {
  if (m_painter == nullptr || text == nullptr || count < 0) return FALSE;
  const QString s = ToQString(text, count);
  const QFont& font = CurrentFont();
  const QFontMetrics fm(font, m_device);
  const int width = fm.horizontalAdvance(s);
  const UINT align = m_state.textAlign;
  CPoint at(x, y);
  if (align & TA_UPDATECP) {
    at = m_state.position;
    m_state.position.x = SaturateInt(static_cast<long long>(m_state.position.x) + width);
  }
  LPtoDP(&at);
  if (!ApplyClip()) return TRUE;
  long long left = at.x;
  if ((align & TA_HORZ_MASK) == TA_CENTER)
    left -= width / 2;
  else if ((align & TA_HORZ_MASK) == TA_RIGHT)
    left -= width;
  long long baseline = at.y;
  if ((align & TA_VERT_MASK) == TA_TOP)
    baseline += fm.ascent();
  else if ((align & TA_VERT_MASK) == TA_BOTTOM)
    baseline -= fm.descent();
  const int l = SaturateInt(left);
  const int b = SaturateInt(baseline);
  if (m_state.bkMode == OPAQUE)
    m_painter->fillRect(QRect(l, b - fm.ascent(), width, fm.height()), ToQColor(m_state.bkColor));
  m_painter->setFont(font);
  m_painter->setPen(ToQColor(m_state.textColor));
  m_painter->drawText(QPoint(l, b), s);
  return TRUE;
}

CSize CQtDC::GetOutputTextExtent(const char* text, int count) const {
  const QFontMetrics fm(CurrentFont(), m_device);
  if (text == nullptr || count <= 0) return CSize(0, fm.height());
  return CSize(fm.horizontalAdvance(ToQString(text, count)), fm.height());
}

BOOL CQtDC::GetTextMetrics(TEXTMETRIC* metrics) const {
  if (metrics == nullptr) return FALSE;
  const QFont& font = CurrentFont();
  const QFontMetrics fm(font, m_device);
  TEXTMETRIC tm;
  tm.tmHeight = fm.height();
  tm.tmAscent = fm.ascent();
  tm.tmDescent = fm.descent();
  tm.tmInternalLeading = std::max(0, fm.height() - font.pixelSize());
  tm.tmExternalLeading = std::max(0, fm.leading());
  tm.tmAveCharWidth = fm.averageCharWidth();
  tm.tmMaxCharWidth = fm.maxWidth();
  tm.tmWeight = font.weight();
  tm.tmItalic = font.italic() ? 1 : 0;
  tm.tmUnderlined = font.underline() ? 1 : 0;
  tm.tmStruckOut = font.strikeOut() ? 1 : 0;
  tm.tmPitchAndFamily = m_state.font.lfPitchAndFamily;
  tm.tmCharSet = m_state.font.lfCharSet;
  *metrics = tm;
  return TRUE;
}

void CQtDC::FillSolidRect(const CRect& rect, COLORREF color) {
  if (!ApplyClip()) return;
  CRect r = rect;
  r.NormalizeRect();
  LPtoDP(&r);
  m_painter->fillRect(ToQRect(r), ToQColor(color));
}

BOOL CQtDC::FillRect(const CRect& rect, CBrush* brush) {
  if (m_painter == nullptr) return FALSE;
  LOGBRUSH lb = m_state.brush;
  if (brush != nullptr) {
    if (!brush->IsCreated()) return FALSE;
    lb = brush->GetLogBrush();
  }
  if (lb.lbStyle == BS_NULL || !ApplyClip()) return TRUE;
  CRect r = rect;
  r.NormalizeRect();
  LPtoDP(&r);
  m_painter->fillRect(ToQRect(r), ToQColor(lb.lbColor));
  return TRUE;
}

BOOL CQtDC::PatBlt(int x, int y, int width, int height, uint32_t rop) {
  if (m_painter == nullptr) return FALSE;
  COLORREF color = 0;
  if (rop == PATCOPY) {
    if (m_state.brush.lbStyle == BS_NULL) return TRUE;
    color = m_state.brush.lbColor;
  } else if (rop == BLACKNESS) {
    color = RGB(0, 0, 0);
  } else if (rop == WHITENESS) {
    color = RGB(255, 255, 255);
  } else {
    return FALSE;
  }
  if (!ApplyClip()) return TRUE;
  CRect r = RectFromSize(x, y, width, height);
  r.NormalizeRect();
  LPtoDP(&r);
  m_painter->fillRect(ToQRect(r), ToQColor(color));
  return TRUE;
}

int CQtDC::GetDeviceCaps(int index) const {
  if (m_device == nullptr) return 0;
  switch (index) {
    case TECHNOLOGY:
      return m_printing ? DT_RASPRINTER : DT_RASDISPLAY;
    case HORZRES:
      return m_hasMetrics ? m_metrics.width : m_device->width();
    case VERTRES:
      return m_hasMetrics ? m_metrics.height : m_device->height();
    case HORZSIZE:
      return m_hasMetrics ? m_metrics.widthMM : m_device->widthMM();
    case VERTSIZE:
      return m_hasMetrics ? m_metrics.heightMM : m_device->heightMM();
    case LOGPIXELSX:
      return m_hasMetrics ? m_metrics.dpiX : m_device->logicalDpiX();
    case LOGPIXELSY:
      return m_hasMetrics ? m_metrics.dpiY : m_device->logicalDpiY();
    case BITSPIXEL:
      return std::max(1, m_device->depth());
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;
    case RASTERCAPS:
      // QPainter draws and scales images on every device it supports.
      return RC_BITBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    default:
      return 0;
  }
}

int CQtDC::SetStretchBltMode(int mode) { return StoreStretchBltMode(mode); }

int CQtDC::SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY, unsigned startScan,
                             unsigned scanLines, const void* bits, const BITMAPINFO* info, unsigned colorUse) {
  if (m_painter == nullptr) return 0;
  DibView view;
  const int result = DibCheckSetBits(width, height, startScan, scanLines, bits, info, colorUse, &view);
  if (result == 0) return 0;
  // The part of the source rectangle that lies in the bitmap.
  long long left = std::max(srcX, 0);
  long long right = std::min<long long>(static_cast<long long>(srcX) + width, view.width);
  long long bottom = std::max(srcY, 0);
  long long top = std::min<long long>(static_cast<long long>(srcY) + height, view.height);
  if (left >= right || bottom >= top || !ApplyClip()) return result;
  // Source column c lands at device x0 + (c - srcX); source row r (from
  // the bottom) at device y0 + (srcY + height - 1 - r).
  CPoint origin(x, y);
  LPtoDP(&origin);
  const long long x0 = origin.x;
  const long long y0 = origin.y;
  // Only the part that lands in the clip area is converted.
  const CRect clip = DeviceClip();
  left = std::max<long long>(left, srcX + (clip.left - x0));
  right = std::min<long long>(right, srcX + (clip.right - x0));
  top = std::min<long long>(top, static_cast<long long>(srcY) + height - (clip.top - y0));
  bottom = std::max<long long>(bottom, static_cast<long long>(srcY) + height - (clip.bottom - y0));
  if (left >= right || bottom >= top) return result;
  m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
  // In strips, so that a large bitmap never needs one large image.
  const long long strip = std::max<long long>(1, (1 << 20) / (right - left));
  for (long long stripTop = top; stripTop > bottom; stripTop -= strip) {
    const long long stripBottom = std::max(bottom, stripTop - strip);
    const QImage image = SourceImage(view, static_cast<int>(left), static_cast<int>(stripBottom),
                                     static_cast<int>(right - left), static_cast<int>(stripTop - stripBottom));
    if (image.isNull()) return 0;
    const QPoint at(SaturateInt(x0 + (left - srcX)),
                    SaturateInt(y0 + (static_cast<long long>(srcY) + height - stripTop)));
    m_painter->drawImage(at, image);
  }
  return result;
}

QImage CQtDC::Shared(const QImage& image) {
  if (image.isNull() || image.width() * static_cast<qint64>(image.height()) > kSharedImagePixels) return image;
  const size_t key = qHashBits(image.constBits(), static_cast<size_t>(image.sizeInBytes()),
                               static_cast<size_t>(image.width()) * 31u + static_cast<size_t>(image.height()));
  std::vector<QImage>& same = m_sharedImages[key];
  for (const QImage& known : same)
    if (known == image) return known;
  if (m_sharedImages.size() > kSharedImageLimit) {
    m_sharedImages.clear();
    return image;
  }
  same.push_back(image);
  return image;
}

int CQtDC::StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                         const void* bits, const BITMAPINFO* info, unsigned colorUse, uint32_t rop) {
  if (m_painter == nullptr) return 0;
  DibView view;
  const int result =
      DibCheckStretch(width, height, srcX, srcY, srcWidth, srcHeight, bits, info, colorUse, rop, &view);
  if (result == 0) return 0;
  if (!ApplyClip()) return result;
  const QImage image = Shared(SourceImage(view, srcX, srcY, srcWidth, srcHeight));
  if (image.isNull()) return 0;
  CRect dest = RectFromSize(x, y, width, height);
  LPtoDP(&dest);
  // Nearest neighbour unless the caller asked for smoothing.
  m_painter->setRenderHint(QPainter::SmoothPixmapTransform, m_state.stretchMode == HALFTONE);
  m_painter->drawImage(ToQRect(dest), image);
  return result;
}
