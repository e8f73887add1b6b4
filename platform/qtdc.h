// CQtDC: the device context on a QPainter, over a widget, an image, a
// printer or a PDF writer.
//
// Device coordinates are the painter's coordinates; the painter's own
// transform, if the owner set one, applies on top, and a clip the owner set
// before handing the painter over bounds all drawing (and RectVisible).  The device's size,
// resolution and millimetre size come from the paint device; a paged device
// (printer, print preview, PDF) reports itself as printing.
//
// Pen widths and font heights are in device pixels.  A font's positive
// height is the cell height, a negative one the character (em) height, and
// a non-zero width stretches the face to that average character width.
// Without a face name the family flags choose a sans-serif, monospaced or
// serif face.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/cdc.h"

class QImage;
class QPaintDevice;

class CQtDC : public CDC {
 public:
  // Draws through a painter that the caller has begun on its device and
  // keeps alive for this object's life.
  explicit CQtDC(QPainter* painter);
  // Draws on the image (its own painter, ended with this object).
  explicit CQtDC(QImage* image);
  ~CQtDC() override;

  QPainter* Painter() const { return m_painter; }
  // Print preview draws on a printer but may want to say otherwise, and a
  // test may want an image to act as a page.
  void SetPrinting(bool printing) { m_printing = printing; }

  // The device the drawing stands for, when it is not the one painted on:
  // the preview draws a printer's page on an image through a scaling
  // transform, and answers the printer's size and resolution so that the
  // page is laid out exactly as it prints.
  struct PageMetrics {
    int width = 0, height = 0;      // pixels
    int widthMM = 0, heightMM = 0;  // millimetres
    int dpiX = 0, dpiY = 0;
  };
  void SetPageMetrics(const PageMetrics& metrics) {
    m_metrics = metrics;
    m_hasMetrics = metrics.width > 0 && metrics.height > 0;
  }

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

  int GetDeviceCaps(int index) const override;
  BOOL IsPrinting() const override { return m_printing ? TRUE : FALSE; }

  int SetStretchBltMode(int mode) override;
  int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY, unsigned startScan,
                        unsigned scanLines, const void* bits, const BITMAPINFO* info, unsigned colorUse) override;
  int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                    const void* bits, const BITMAPINFO* info, unsigned colorUse, uint32_t rop) override;

  // The Qt font a logical font turns into on this device.
  QFont MakeFont(const LOGFONT& log) const;

 protected:
  CRect DeviceBounds() const override;

 private:
  void Init();
  // Sets the painter's clip to the clip area; false when nothing is visible.
  bool ApplyClip();
  const QFont& CurrentFont() const;

  std::unique_ptr<QPainter> m_ownPainter;
  QPainter* m_painter = nullptr;
  QPaintDevice* m_device = nullptr;
  bool m_printing = false;
  bool m_hasMetrics = false;
  PageMetrics m_metrics;
  bool m_hasOwnerClip = false;
  CRect m_ownerClip;
  // An image equal to one drawn before is drawn as that same image, so
  // that a printer or PDF writer stores each icon once per job.
  QImage Shared(const QImage& image);
  static constexpr qint64 kSharedImagePixels = 64 * 64;
  static constexpr size_t kSharedImageLimit = 512;
  std::unordered_map<size_t, std::vector<QImage>> m_sharedImages;
  // The font made for the last selected logical font.
  mutable LOGFONT m_fontFor;
  mutable QFont m_font;
  mutable bool m_fontValid = false;
};
