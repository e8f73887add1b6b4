#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QPrinter>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/qtconvert.h"
#include "platform/qtdc.h"
#include "platform/syscolor.h"
#include "tests/platform/dibfixture.h"

namespace {

constexpr QRgb kGrey = 0xFF808080;

QImage Canvas(int w = 40, int h = 30) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kGrey);
  return image;
}

QRgb Rgb(uint32_t rrggbb) { return 0xFF000000u | rrggbb; }

// The colour each listed pixel is to have.
struct PixelAt {
  int x;
  int y;
  uint32_t rrggbb;
};
void ExpectPixels(const QImage& image, const std::vector<PixelAt>& pixels) {
  for (const PixelAt& p : pixels) EXPECT_EQ(image.pixel(p.x, p.y), Rgb(p.rrggbb)) << "at " << p.x << "," << p.y;
}

// The bounding box of pixels that differ from the background.
QRect Drawn(const QImage& image, QRgb background = kGrey) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != background) box |= QRect(x, y, 1, 1);
  return box;
}

// Makes font (a plain font of the family) and draws text with it on a
// transparent background; false when the font cannot be made.
bool UseTransparentFont(CQtDC& dc, CFont& font, int height, int width, int weight, BYTE family) {
  if (!font.CreateFont(height, width, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       PROOF_QUALITY, family | DEFAULT_PITCH, nullptr))
    return false;
  dc.SelectObject(&font);
  dc.SetBkMode(TRANSPARENT);
  return true;
}

// The sample bitmap drawn by draw on a fresh canvas, colour on colour
// stretching; *lines is what draw returned.
QImage DrawSampleDib(int* lines, const std::function<int(CQtDC&, const TestDib&)>& draw) {
  const TestDib dib = SampleDib();
  QImage image = Canvas();
  {
    CQtDC dc(&image);
    dc.SetStretchBltMode(COLORONCOLOR);
    *lines = draw(dc, dib);
  }
  return image;
}

}  // namespace

TEST(QtDCTest, LinesLandAfterTheViewportOriginInThePenColourAndWidth) {
  constexpr uint32_t kBackground = 0x808080;
  const struct {
    const char* what;
    int penWidth;
    COLORREF colour;
    int originX, originY;
    int fromX, fromY, toX, toY;
    std::vector<PixelAt> pixels;
    int maxRight;  // nothing drawn right of this (a square cap at most)
  } cases[] = {
      {"thin, after the viewport origin", 1, RGB(255, 0, 0), 5, 5, 0, 10, 20, 10,
       {{5, 15, 0xFF0000}, {15, 15, 0xFF0000}, {15, 14, kBackground}, {15, 16, kBackground}, {4, 15, kBackground}},
       25},
      {"a wide pen covers its width", 4, RGB(0, 0, 255), 0, 0, 10, 10, 30, 10,
       {{20, 8, 0x0000FF}, {20, 11, 0x0000FF}, {20, 5, kBackground}},
       32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QImage image = Canvas();
    {
      CQtDC dc(&image);
      CPen pen(PS_SOLID, c.penWidth, c.colour);
      dc.SelectObject(&pen);
      dc.SetViewportOrg(c.originX, c.originY);
      dc.MoveTo(c.fromX, c.fromY);
      dc.LineTo(c.toX, c.toY);
    }
    ExpectPixels(image, c.pixels);
    EXPECT_LE(Drawn(image).right(), c.maxRight);
  }
}

TEST(QtDCTest, ClippingStopsLinesAndFills) {
  QImage image = Canvas();
  {
    CQtDC dc(&image);
    dc.SetViewportOrg(5, 0);
    dc.IntersectClipRect(0, 0, 10, 30);  // device x 5..14
    dc.SelectStockObject(BLACK_PEN);
    dc.MoveTo(-5, 3);
    dc.LineTo(30, 3);
    dc.FillSolidRect(CRect(-5, 10, 30, 12), RGB(0, 255, 0));
    EXPECT_FALSE(dc.RectVisible(CRect(10, 0, 20, 30)));
    EXPECT_TRUE(dc.RectVisible(CRect(9, 0, 20, 30)));
  }
  EXPECT_EQ(Drawn(image), QRect(QPoint(5, 3), QPoint(14, 11)));
  EXPECT_EQ(image.pixel(5, 3), Rgb(0));
  EXPECT_EQ(image.pixel(14, 11), Rgb(0x00FF00));
}

TEST(QtDCTest, TextLandsInsideItsMeasuredBox) {
  QImage image = Canvas(200, 60);
  CSize extent;
  {
    CQtDC dc(&image);
    CFont font;
    ASSERT_TRUE(UseTransparentFont(dc, font, 16, 6, FW_NORMAL, FF_SWISS));
    dc.SetViewportOrg(3, 4);
    extent = dc.GetOutputTextExtent(CString("Hxlo Wg"));
    dc.TextOut(20, 10, CString("Hxlo Wg"));
  }
  ASSERT_GT(extent.cx, 10);
  EXPECT_LE(extent.cy, 17);
  EXPECT_GE(extent.cy, 12);
  const QRect box = Drawn(image);
  ASSERT_FALSE(box.isNull());
  EXPECT_GE(box.left(), 23);
  EXPECT_GE(box.top(), 14);
  EXPECT_LE(box.right(), 23 + extent.cx);
  EXPECT_LE(box.bottom(), 14 + extent.cy);
  EXPECT_LE(box.left(), 26);  // starts at the reference point, not somewhere later
}

TEST(QtDCTest, CentredBaselineTextSitsAroundTheReferencePoint) {
  QImage image = Canvas(200, 60);
  {
    CQtDC dc(&image);
    CFont font;
    ASSERT_TRUE(UseTransparentFont(dc, font, 24, 0, FW_DONTCARE, FF_MODERN));
    dc.SetTextAlign(TA_CENTER | TA_BASELINE);
    dc.TextOut(100, 40, CString("MMMM"));
  }
  const QRect box = Drawn(image);
  ASSERT_FALSE(box.isNull());
  EXPECT_NEAR(box.center().x(), 100, 3);
  EXPECT_LE(box.bottom(), 41);  // capitals stand on the baseline
  EXPECT_GE(box.bottom(), 37);
}

TEST(QtDCTest, OpaqueTextFillsItsBackground) {
  QImage image = Canvas(100, 40);
  CSize extent;
  {
    CQtDC dc(&image);
    dc.SetBkColor(RGB(255, 255, 255));
    extent = dc.GetOutputTextExtent(CString("ab"));
    dc.TextOut(10, 10, CString("ab"));
  }
  EXPECT_EQ(image.pixel(10, 10), Rgb(0xFFFFFF));
  EXPECT_EQ(image.pixel(10 + extent.cx - 1, 10 + extent.cy - 1), Rgb(0xFFFFFF));
  EXPECT_EQ(image.pixel(10 + extent.cx + 1, 10), kGrey);
}

TEST(QtDCTest, UnscaledBitmapCopyDecodesEveryPixel) {
  int lines = 0;
  const QImage image = DrawSampleDib(&lines, [](CQtDC& dc, const TestDib& dib) {
    dc.SetViewportOrg(1, 1);
    return dc.SetDIBitsToDevice(1, 2, 3, 2, 0, 0, 0, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS);
  });
  EXPECT_EQ(lines, 2);
  ExpectPixels(image, {{2, 3, 0xFF0000}, {3, 3, 0x00FF00}, {4, 3, 0x0000FF},
                       {2, 4, 0xFFFFFF}, {3, 4, 0x000000}, {4, 4, 0xFFFF00}});
  EXPECT_EQ(Drawn(image), QRect(2, 3, 3, 2));
}

TEST(QtDCTest, DoubleSizeStretchRepeatsEachPixelTwiceEachWay) {
  int lines = 0;
  const QImage image = DrawSampleDib(&lines, [](CQtDC& dc, const TestDib& dib) {
    return dc.StretchDIBits(4, 6, 6, 4, 0, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY);
  });
  EXPECT_EQ(lines, 2);
  const uint32_t expected[2][3] = {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x000000, 0xFFFF00}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(image.pixel(4 + x, 6 + y), Rgb(expected[y / 2][x / 2])) << "at " << x << "," << y;
  EXPECT_EQ(Drawn(image), QRect(4, 6, 6, 4));
}

TEST(QtDCTest, StretchOfPartOfTheBitmapCountsRowsFromTheBottom) {
  const TestDib dib = SampleDib();
  QImage image = Canvas();
  {
    CQtDC dc(&image);
    // Source: columns 1..2 of the bottom row (black, yellow), to 4 x 2.
    ASSERT_EQ(dc.StretchDIBits(0, 0, 4, 2, 1, 0, 2, 1, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 1);
  }
  ExpectPixels(image, {{0, 0, 0x000000}, {1, 1, 0x000000}, {2, 0, 0xFFFF00}, {3, 1, 0xFFFF00}});
  EXPECT_EQ(Drawn(image), QRect(0, 0, 4, 2));
}

TEST(QtDCTest, ABandOfScanLinesDrawsOnlyItsRows) {
  const TestDib dib = SampleDib();
  // Row 1 from the bottom is the top row; hand over only its bytes.
  const std::vector<uint8_t> band(dib.bits.begin() + 4, dib.bits.end());
  QImage image = Canvas();
  {
    CQtDC dc(&image);
    EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 3, 2, 0, 0, 1, 1, band.data(), dib.info(), DIB_RGB_COLORS), 1);
  }
  EXPECT_EQ(image.pixel(0, 0), Rgb(0xFF0000));
  EXPECT_EQ(image.pixel(2, 0), Rgb(0x0000FF));
  EXPECT_EQ(Drawn(image), QRect(0, 0, 3, 1));
}

TEST(QtDCTest, BitmapsAreClippedLikeEverythingElse) {
  const TestDib dib = SampleDib();
  QImage image = Canvas();
  {
    CQtDC dc(&image);
    dc.IntersectClipRect(0, 0, 8, 30);
    dc.StretchDIBits(4, 0, 6, 4, 0, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY);
  }
  EXPECT_EQ(Drawn(image), QRect(4, 0, 4, 4));
}

TEST(QtDCTest, MalformedBitmapsDrawNothing) {
  struct Case {
    const char* what;
    void (*spoil)(TestDib&);
  };
  const Case cases[] = {
      {"image size one byte short", [](TestDib& d) {
         d.header().biSizeImage -= 1;
         d.bits.resize(d.header().biSizeImage);
       }},
      {"header size wrong", [](TestDib& d) { d.header().biSize = 12; }},
      {"compressed", [](TestDib& d) { d.header().biCompression = 2; }},
      {"more colours than four bits hold", [](TestDib& d) { d.header().biClrUsed = 17; }},
      {"unsupported depth", [](TestDib& d) { d.header().biBitCount = 16; }},
      {"zero width", [](TestDib& d) { d.header().biWidth = 0; }},
      {"top-down rows", [](TestDib& d) { d.header().biHeight = -2; }},
      {"two planes", [](TestDib& d) { d.header().biPlanes = 2; }},
      {"huge width with computed size", [](TestDib& d) {
         d.header().biWidth = 1 << 20;
         d.header().biSizeImage = 0;
       }},
      {"taller than the pixel data", [](TestDib& d) { d.header().biHeight = 3; }},
  };
  for (const Case& c : cases) {
    TestDib dib = SampleDib();
    c.spoil(dib);
    QImage image = Canvas();
    {
      CQtDC dc(&image);
      EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 3, 2, 0, 0, 0, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS), 0)
          << c.what;
      EXPECT_EQ(dc.StretchDIBits(0, 0, 6, 4, 0, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 0)
          << c.what;
    }
    EXPECT_TRUE(Drawn(image).isNull()) << c.what;
  }
}

TEST(QtDCTest, BadTransferArgumentsDrawNothing) {
  const TestDib dib = SampleDib();
  QImage image = Canvas();
  {
    CQtDC dc(&image);
    EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 3, 2, 0, 0, 0, 2, nullptr, dib.info(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 3, 2, 0, 0, 0, 2, dib.bits.data(), nullptr, DIB_RGB_COLORS), 0);
    EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 3, 2, 0, 0, 0, 2, dib.bits.data(), dib.info(), DIB_PAL_COLORS), 0);
    EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 3, 2, 0, 0, 2, 1, dib.bits.data(), dib.info(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 6, 4, 2, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(dc.StretchDIBits(0, 0, -6, 4, 0, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 6, 4, 0, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, 0xBAD), 0);
  }
  EXPECT_TRUE(Drawn(image).isNull());
}

TEST(QtDCTest, ImageDeviceReportsItsSizeAndIsNotPrinting) {
  QImage image = Canvas(321, 123);
  CQtDC dc(&image);
  EXPECT_EQ(dc.GetDeviceCaps(HORZRES), 321);
  EXPECT_EQ(dc.GetDeviceCaps(VERTRES), 123);
  EXPECT_GT(dc.GetDeviceCaps(LOGPIXELSX), 0);
  EXPECT_NE(dc.GetDeviceCaps(RASTERCAPS) & RC_BITBLT, 0);
  EXPECT_FALSE(dc.IsPrinting());
  dc.SetPrinting(true);
  EXPECT_TRUE(dc.IsPrinting());
}

TEST(QtDCTest, PdfPageIsAPrintingDeviceWithItsSizeInMillimetres) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  QPdfWriter pdf(&out);
  pdf.setPageSize(QPageSize(QPageSize::A4));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  pdf.setResolution(300);
  QPainter painter(&pdf);
  {
    CQtDC dc(&painter);
    EXPECT_TRUE(dc.IsPrinting());
    EXPECT_NEAR(dc.GetDeviceCaps(HORZSIZE), 210, 2);
    EXPECT_NEAR(dc.GetDeviceCaps(VERTSIZE), 297, 2);
    EXPECT_NEAR(dc.GetDeviceCaps(HORZRES), 2480, 5);
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSY), 300);
    const TestDib dib = SampleDib();
    EXPECT_EQ(dc.StretchDIBits(100, 100, 60, 40, 0, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 2);
  }
  painter.end();
  EXPECT_TRUE(out.data().startsWith("%PDF"));
}

namespace {

// A widget that draws through the device context in its paint event.
class PaintedWidget : public QWidget {
 public:
  CRect clipBox;
  int horzRes = 0;
  bool printing = true;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    CQtDC dc(&painter);
    const CRect paintRect = FromQRect(event->rect());
    dc.SelectClipRect(&paintRect);
    dc.GetClipBox(&clipBox);
    horzRes = dc.GetDeviceCaps(HORZRES);
    printing = dc.IsPrinting() != FALSE;
    dc.FillSolidRect(CRect(0, 0, width(), height()), RGB(192, 192, 192));
    CPen pen(PS_SOLID, 1, RGB(0, 0, 255));
    dc.SelectObject(&pen);
    dc.MoveTo(0, 5);
    dc.LineTo(width(), 5);
  }
};

}  // namespace

// A printer page drawn at a quarter of its size on an image (as the print
// preview does): the page's metrics are the printer's, and drawing in page
// pixels lands scaled, clipped like on the page.
TEST(QtDCTest, ScaledPageAnswersThePagesMetrics) {
  QImage image(100, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.scale(0.25, 0.25);
  CQtDC dc(&painter);
  dc.SetPrinting(true);
  CQtDC::PageMetrics metrics;
  metrics.width = 400;
  metrics.height = 380;
  metrics.widthMM = 34;
  metrics.heightMM = 32;
  metrics.dpiX = 300;
  metrics.dpiY = 301;
  dc.SetPageMetrics(metrics);
  const struct {
    int index, expected;
  } caps[] = {{HORZRES, 400}, {VERTRES, 380}, {HORZSIZE, 34}, {VERTSIZE, 32},
              {LOGPIXELSX, 300}, {LOGPIXELSY, 301}, {TECHNOLOGY, DT_RASPRINTER}};
  for (const auto& c : caps) EXPECT_EQ(dc.GetDeviceCaps(c.index), c.expected) << c.index;

  dc.FillSolidRect(CRect(200, 200, 400, 380), RGB(255, 0, 0));
  dc.IntersectClipRect(0, 0, 200, 200);
  dc.FillSolidRect(CRect(0, 0, 400, 380), RGB(0, 0, 255));
  painter.end();
  const struct {
    int x, y;
    QRgb expected;
  } pixels[] = {{25, 25, qRgb(0, 0, 255)}, {75, 75, qRgb(255, 0, 0)}, {75, 25, qRgb(255, 255, 255)},
                {75, 98, qRgb(255, 255, 255)}};
  for (const auto& p : pixels) EXPECT_EQ(image.pixel(p.x, p.y), p.expected) << p.x << "," << p.y;
}

TEST(QtDCTest, WidgetPaintEventDrawsThroughTheDeviceContext) {
  PaintedWidget widget;
  widget.resize(60, 20);
  const QImage shot = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(widget.horzRes, 60);
  EXPECT_FALSE(widget.printing);
  EXPECT_EQ(widget.clipBox, CRect(0, 0, 60, 20));
  EXPECT_EQ(shot.pixel(30, 5), Rgb(0x0000FF));
  EXPECT_EQ(shot.pixel(30, 10), Rgb(0xC0C0C0));
}

TEST(QtDCTest, PrinterIsAPrintingDevice) {
  const QString path = QDir::temp().filePath(QStringLiteral("quelt-qtdc-%1.pdf").arg(QCoreApplication::applicationPid()));
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    QPainter painter(&printer);
    CQtDC dc(&painter);
    EXPECT_TRUE(dc.IsPrinting());
    EXPECT_EQ(dc.GetDeviceCaps(TECHNOLOGY), DT_RASPRINTER);
    const int res = dc.GetDeviceCaps(HORZRES);
    const int mm = dc.GetDeviceCaps(HORZSIZE);
    ASSERT_GT(mm, 0);
    // Pixels per millimetre agree with the resolution.
    EXPECT_NEAR(static_cast<double>(res) / mm, dc.GetDeviceCaps(LOGPIXELSX) / 25.4, 0.5);
    dc.TextOut(100, 100, CString("PROFILE: Lines"));
  }
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.read(4).startsWith("%PDF"));
  file.close();
  QFile::remove(path);
}

TEST(SysColorTest, HighlightComesFromTheApplicationPalette) {
  QPalette palette = QGuiApplication::palette();
  const QPalette saved = palette;
  palette.setColor(QPalette::Active, QPalette::Highlight, QColor(10, 20, 30));
  QGuiApplication::setPalette(palette);
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(10, 20, 30));
  QGuiApplication::setPalette(saved);
  EXPECT_EQ(GetSysColor(-3), RGB(0, 0, 0));
}

TEST(QtDCTest, ClipSetByThePaintersOwnerBoundsDrawingAndVisibility) {
  QImage image = Canvas();
  {
    QPainter painter(&image);
    painter.setClipRect(QRect(10, 0, 10, 30));
    CQtDC dc(&painter);
    EXPECT_FALSE(dc.RectVisible(CRect(0, 0, 10, 30)));
    EXPECT_TRUE(dc.RectVisible(CRect(0, 0, 11, 30)));
    dc.FillSolidRect(CRect(0, 0, 40, 2), RGB(0, 0, 0));
  }
  EXPECT_EQ(Drawn(image), QRect(10, 0, 10, 2));
}

TEST(QtDCTest, UnscaledCopyPartlyOutsideTheClipDrawsTheVisiblePartInPlace) {
  const TestDib dib = SampleDib();
  QImage image = Canvas();
  {
    CQtDC dc(&image);
    dc.SetViewportOrg(2, 2);
    dc.IntersectClipRect(1, 0, 20, 1);  // device x 3.., y 2 only: the top row from its middle on
    EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, 3, 2, 0, 0, 0, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS), 2);
  }
  EXPECT_EQ(Drawn(image), QRect(3, 2, 2, 1));
  EXPECT_EQ(image.pixel(3, 2), Rgb(0x00FF00));
  EXPECT_EQ(image.pixel(4, 2), Rgb(0x0000FF));
}

TEST(QtDCTest, LargeBitmapIsCopiedCompletelyPieceByPiece) {
  const int w = 600;
  const int h = 2500;  // more rows than one piece holds at this width
  std::vector<uint8_t> indexes(static_cast<size_t>(w) * h);
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) indexes[static_cast<size_t>(row) * w + col] = (col / 50 + row / 100) % 16;
  const TestDib dib = MakeDib4(w, h, indexes);
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kGrey);
  {
    CQtDC dc(&image);
    EXPECT_EQ(dc.SetDIBitsToDevice(0, 0, w, h, 0, 0, 0, h, dib.bits.data(), dib.info(), DIB_RGB_COLORS), h);
  }
  for (int row : {0, 99, 100, 1747, 1748, 2499})
    for (int col : {0, 49, 50, 599})
      EXPECT_EQ(image.pixel(col, row), Rgb(kPalette16[(col / 50 + row / 100) % 16])) << col << "," << row;
}

TEST(QtDCTest, OversizedStretchSourceIsRefused) {
  TestDib dib = MakeDib4(8, 1, std::vector<uint8_t>(8, 9));
  // Claim a source far larger than a stretch takes; the pixels are never read.
  dib.header().biWidth = 8192;
  dib.header().biHeight = 4096;
  dib.header().biSizeImage = 0;
  dib.bits.resize(static_cast<size_t>(4096) * 4096);
  QImage image = Canvas();
  CQtDC dc(&image);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 10, 10, 0, 0, 8192, 4096, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 10, 10, 0, 0, 4096, 4096, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY),
            4096);
}
