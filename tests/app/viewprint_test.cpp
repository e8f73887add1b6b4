// Printing the profile view: the page layout on known devices, the tiling
// and page counts through a recording device, the header and footer, the
// selection frame kept off paper, the printer without bitmap transfer, a
// cancelled job, the Print and Preview commands, and a real print to PDF
// read back with pdftotext.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "app/queltdoc.h"
#include "app/queltview.h"
#include "platform/cprintinfo.h"
#include "platform/cpreviewdialog.h"
#include "platform/cwinapp.h"
#include "platform/printloop.h"
#include "platform/qtdc.h"
#include "platform/recordingdc.h"
#include "platform/scriptedmodalhost.h"
#include "platform/syscolor.h"
#include "tests/support/containers.h"
#include "tree/bmstore.h"
#include "tree/kvs_node.h"

using testsupport::Kvs;

namespace {

// A document whose identity the test sets.
class NamedDoc : public CQueltDoc {
 public:
  void SetIdentity(const char* server, const char* profileClass, const char* name) {
    m_strServer = server;
    m_strClass = profileClass;
    m_strName = name;
  }
};

// Counts the pages the loop asks for.
class CountingView : public CQueltView {
 public:
  void OnPrint(CDC* dc, CPrintInfo* info) override {
    pages.push_back(info->m_nCurPage);
    selectedDuringPrint |= GetSelected() != nullptr && GetSelected()->IsSelected();
    CQueltView::OnPrint(dc, info);
  }
  void OnBeginPrinting(CDC* dc, CPrintInfo* info) override {
    ++begins;
    if (endAtBegin) {
      info->m_bContinuePrinting = FALSE;
      return;
    }
    CQueltView::OnBeginPrinting(dc, info);
  }
  void OnEndPrinting(CDC* dc, CPrintInfo* info) override {
    ++ends;
    CQueltView::OnEndPrinting(dc, info);
  }
  std::vector<UINT> pages;
  int begins = 0;
  int ends = 0;
  bool selectedDuringPrint = false;
  bool endAtBegin = false;  // end every job before its first page
};

struct Device {
  int width, height;      // pixels
  int widthMm, heightMm;  // millimetres
};
// The example device: 2400 x 3300 pixels on 203 x 279 mm.
constexpr Device kLetter = {2400, 3300, 203, 279};

void SetDevice(CRecordingDC& dc, const Device& d) {
  dc.SetDeviceCaps(HORZRES, d.width);
  dc.SetDeviceCaps(VERTRES, d.height);
  dc.SetDeviceCaps(HORZSIZE, d.widthMm);
  dc.SetDeviceCaps(VERTSIZE, d.heightMm);
  dc.SetPrinting(true);
}

bool HasSelectionPen(const CRecordingDC& dc) {
  for (const DCRecord& r : dc.RecordsOf(DCRecord::Op::SelectPen))
    if (r.pen.lopnColor == GetSysColor(COLOR_HIGHLIGHT) && r.pen.lopnWidth == 2) return true;
  return false;
}

class ViewPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CBitmapStore::LoadBitmaps());
    window = std::make_unique<QMainWindow>();
    view = std::make_unique<CountingView>();
    ASSERT_TRUE(view->Create(window.get()));
    window->setCentralWidget(view->ScrollArea());
    doc.AddView(view.get());
    doc.SetIdentity("Local", "Demo_Class", "Demo");
  }
  void TearDown() override {
    doc.RemoveView(view.get());
    view.reset();
    window.reset();
    CBitmapStore::FreeBitmaps();
  }
  // A profile of `pairs` integers, with the selection on the second row.
  void Load(int pairs) {
    Kvs set;
    for (int i = 0; i < pairs; ++i) CTkvs_PutInt(set, 0x7001 + i, i * 7, nullptr);
    ASSERT_TRUE(view->PutProfile("Local", set));
    CTreeNode* second = view->GetRoot()->NodeAtRow(pairs > 0 ? 1 : 0);
    view->SelectNode(second);
    ASSERT_TRUE(second->IsSelected());
  }
  // Runs a job on the recording device; returns the pages drawn.
  UINT Print(CRecordingDC& dc, CPrintInfo& info) {
    view->pages.clear();
    return RunPrintPages(*view, dc, info);
  }
  // The tree's width and height at origin (0, 0).
  CSize Extent() const {
    int w = 0;
    int h = 0;
    view->GetRoot()->GetExtent(0, 0, w, h);
    return CSize(w, h);
  }

  ScriptedModalHost host;
  ScopedModalHost scope{&host};
  std::unique_ptr<QMainWindow> window;
  std::unique_ptr<CountingView> view;
  NamedDoc doc;
};

TEST_F(ViewPrintTest, LayoutFollowsTheDevicesResolutionAndSize) {
  Load(3);
  struct Case {
    Device device;
    int marginX, marginY, tileW, tileH, slackX, slackY, headerY, footerY, centreX;
  };
  const Case cases[] = {
      {kLetter, 118, 141, 2164, 3018, 23, 23, 59, 3241, 1200},
      // A4 at 600 dpi.
      {{4960, 7016, 210, 297}, 236, 283, 4488, 6450, 47, 47, 118, 6898, 2480},
      // A device so small that the margins leave no tile: the tile is 1.
      {{101, 100, 15, 15}, 67, 80, 1, 1, 13, 13, 33, 67, 50},
  };
  for (const Case& c : cases) {
    CRecordingDC dc;
    SetDevice(dc, c.device);
    CPrintInfo info;
    view->OnBeginPrinting(&dc, &info);
    EXPECT_TRUE(info.m_bContinuePrinting);
    EXPECT_EQ(view->MarginX(), c.marginX) << c.device.width;
    EXPECT_EQ(view->MarginY(), c.marginY) << c.device.width;
    EXPECT_EQ(view->PageWidth(), c.tileW) << c.device.width;
    EXPECT_EQ(view->PageHeight(), c.tileH) << c.device.width;
    EXPECT_EQ(view->ClipSlackX(), c.slackX) << c.device.width;
    EXPECT_EQ(view->ClipSlackY(), c.slackY) << c.device.width;
    EXPECT_EQ(view->HeaderY(), c.headerY) << c.device.width;
    EXPECT_EQ(view->FooterY(), c.footerY) << c.device.width;
    EXPECT_EQ(view->CentreX(), c.centreX) << c.device.width;
    EXPECT_GE(info.GetMaxPage(), 1u);
    EXPECT_LE(info.GetMaxPage(), CPrintInfo::kMaxPages);
    view->OnEndPrinting(&dc, &info);
  }
}

TEST_F(ViewPrintTest, SmallProfilePrintsOnePageWithHeaderFooterAndFonts) {
  Load(3);
  CRecordingDC dc;
  SetDevice(dc, kLetter);
  CPrintInfo info;
  ASSERT_EQ(Print(dc, info), 1u);
  EXPECT_EQ(info.GetMaxPage(), 1u);

  const auto texts = dc.RecordsOf(DCRecord::Op::TextOut);
  ASSERT_GE(texts.size(), 3u);
  struct Expected {
    const char* text;
    CPoint at;
  };
  const Expected framing[] = {
      {"PROFILE: Demo     CLASS: Demo_Class     SERVER: Local", CPoint(1200, 54)},
      {"Page 1 of 1", CPoint(1200, 3236)},
  };
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(texts[i].text, framing[i].text);
    EXPECT_EQ(texts[i].from, framing[i].at) << framing[i].text;
    EXPECT_EQ(texts[i].textAlign, TA_CENTER | TA_BASELINE);
    EXPECT_EQ(texts[i].font.lfHeight, 24);
    EXPECT_EQ(texts[i].font.lfWidth, 0);
    EXPECT_EQ(texts[i].font.lfPitchAndFamily, FF_MODERN);
    EXPECT_EQ(texts[i].font.lfQuality, PROOF_QUALITY);
    EXPECT_EQ(texts[i].bkMode, TRANSPARENT);
  }
  // The tree: 32 units high, below the margins, left aligned again.
  for (size_t i = 2; i < texts.size(); ++i) {
    EXPECT_EQ(texts[i].font.lfHeight, 32) << texts[i].text;
    EXPECT_EQ(texts[i].font.lfPitchAndFamily, FF_MODERN);
    EXPECT_EQ(texts[i].textAlign & TA_CENTER, 0u);
    EXPECT_GE(texts[i].from.x, 118);
    EXPECT_GE(texts[i].from.y, 141);
  }
  // Everything the page changed is put back.
  EXPECT_EQ(dc.GetBkMode(), OPAQUE);
  EXPECT_EQ(dc.GetViewportOrg(), CPoint(0, 0));
  EXPECT_EQ(dc.GetTextAlign(), TA_LEFT | TA_TOP);
}

TEST_F(ViewPrintTest, ColumnsFollowTheTreeWidthAgainstTheTile) {
  Load(3);
  // Node widths are measured when drawn: draw once on the device first.
  {
    CRecordingDC dc;
    SetDevice(dc, kLetter);
    CPrintInfo info;
    Print(dc, info);
  }
  const int printedWidth = Extent().cx * 2;
  struct Case {
    int tile;
    int across;
  };
  // Exactly twice a tile wide gives three columns, the last one empty.
  const Case cases[] = {{printedWidth / 2, 3}, {printedWidth, 2}, {printedWidth + 1, 1}};
  ASSERT_EQ(printedWidth % 2, 0);
  for (const Case& c : cases) {
    // Find the device width whose tile is exactly c.tile.
    bool found = false;
    for (int width = c.tile; width < c.tile * 2 + 400 && !found; ++width) {
      CRecordingDC dc;
      SetDevice(dc, {width, 3300, 203, 279});
      CPrintInfo info;
      view->OnBeginPrinting(&dc, &info);
      view->OnEndPrinting(&dc, &info);
      if (view->PageWidth() != c.tile) continue;
      found = true;
      EXPECT_EQ(view->PagesAcross(), c.across) << c.tile;
      EXPECT_EQ(view->PagesDown(), 1) << c.tile;
      EXPECT_EQ(info.GetMaxPage(), static_cast<UINT>(c.across));
      EXPECT_EQ(Print(dc, info), static_cast<UINT>(c.across));
    }
    EXPECT_TRUE(found) << c.tile;
  }
}

TEST_F(ViewPrintTest, PagesRunRowByRowThroughOverlappingTiles) {
  Load(120);
  CRecordingDC dc;
  // A small page, so that the tree spans several rows and columns.
  SetDevice(dc, {400, 500, 40, 50});
  CPrintInfo info;
  const UINT pages = Print(dc, info);
  const int across = view->PagesAcross();
  const int down = view->PagesDown();
  ASSERT_GE(across, 2);
  ASSERT_GE(down, 3);
  ASSERT_EQ(pages, static_cast<UINT>(across * down));
  std::vector<UINT> expectedPages(pages);
  for (UINT i = 0; i < pages; ++i) expectedPages[i] = i + 1;
  EXPECT_EQ(view->pages, expectedPages);

  // Each page: the header's origin, then the tile's, and one clip.
  const auto origins = dc.RecordsOf(DCRecord::Op::SetViewportOrg);
  const auto clips = dc.RecordsOf(DCRecord::Op::IntersectClipRect);
  ASSERT_EQ(origins.size(), 2 * pages);
  ASSERT_EQ(clips.size(), pages);
  const int mx = view->MarginX(), my = view->MarginY();
  const int w = view->PageWidth(), h = view->PageHeight();
  const int sx = view->ClipSlackX(), sy = view->ClipSlackY();
  for (UINT n = 1; n <= pages; ++n) {
    const int col = static_cast<int>((n - 1) % across);
    const int row = static_cast<int>((n - 1) / across);
    EXPECT_EQ(origins[2 * (n - 1)].to, CPoint(0, 0)) << n;
    EXPECT_EQ(origins[2 * (n - 1) + 1].to, CPoint(mx - col * w, my - row * h)) << n;
    // In device units every tile's clip is the same window on the page.
    EXPECT_EQ(clips[n - 1].rect, CRect(mx - sx, my - sy, mx + w + sx, my + h + sy)) << n;
  }
  // Every footer counts the whole job.
  int footers = 0;
  for (const DCRecord& t : dc.RecordsOf(DCRecord::Op::TextOut))
    if (t.text.rfind("Page ", 0) == 0) {
      ++footers;
      EXPECT_EQ(t.text, "Page " + std::to_string(footers) + " of " + std::to_string(pages));
    }
  EXPECT_EQ(footers, static_cast<int>(pages));
}

TEST_F(ViewPrintTest, SelectionFrameStaysOffPaperAndComesBack) {
  Load(3);
  CTreeNode* selected = view->GetSelected();
  // The control: the screen drawing shows the frame.
  {
    CRecordingDC screen;
    view->OnDraw(&screen);
    ASSERT_TRUE(HasSelectionPen(screen));
  }
  struct Case {
    const char* what;
    bool stop;  // the hook cancels the job after the first page
  };
  const Case cases[] = {{"whole job", false}, {"cancelled job", true}};
  for (const Case& c : cases) {
    CRecordingDC dc;
    SetDevice(dc, {400, 500, 40, 50});
    CPrintInfo info;
    view->pages.clear();
    view->selectedDuringPrint = false;
    const UINT pages = RunPrintPages(*view, dc, info, [&c](UINT index, UINT) { return !(c.stop && index == 1); });
    EXPECT_GE(pages, 1u) << c.what;
    EXPECT_EQ(info.m_bCancelled != FALSE, c.stop) << c.what;
    if (c.stop) {
      EXPECT_EQ(pages, 1u);
    }
    EXPECT_FALSE(view->selectedDuringPrint) << c.what;
    EXPECT_FALSE(HasSelectionPen(dc)) << c.what;
    EXPECT_EQ(view->GetSelected(), selected) << c.what;
    EXPECT_TRUE(selected->IsSelected()) << c.what;
  }
}

TEST_F(ViewPrintTest, PrinterWithoutBitmapTransferPrintsNothing) {
  Load(3);
  CTreeNode* selected = view->GetSelected();
  CRecordingDC dc;
  SetDevice(dc, kLetter);
  dc.SetDeviceCaps(RASTERCAPS, RC_STRETCHDIB);
  CPrintInfo info;
  EXPECT_EQ(Print(dc, info), 0u);
  EXPECT_FALSE(info.m_bContinuePrinting);
  EXPECT_TRUE(view->pages.empty());
  EXPECT_TRUE(dc.RecordsOf(DCRecord::Op::TextOut).empty());
  ASSERT_EQ(host.MessageIds(), std::vector<UINT>{4114});
  EXPECT_EQ(host.Messages()[0].text, CString("The selected printer cannot produce bitmaps. Printing has been aborted."));
  EXPECT_EQ(host.Messages()[0].owner.data(), view->Widget());
  EXPECT_TRUE(selected->IsSelected());
}

TEST_F(ViewPrintTest, PrintAndPreviewCommandsRunTheFrameworkJobs) {
  Load(200);
  CWinApp app("quelt-print-test");
  QPrinter* printer = app.GetPrinter();
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(printer->resolution(), CWinApp::kPrinterDpi);
  const QString pdf = QCoreApplication::applicationDirPath() + QStringLiteral("/print_command_test.pdf");
  struct Case {
    const char* what;
    UINT command;
    bool accept;
    bool printFromPreview;  // the preview's "Print..." then the print dialog
    int from, to;           // range asked in the print dialog (0: all)
    int expectPdfPages;     // -1: no file
    size_t expectPages;     // pages drawn (0: every page of the job)
  };
  const Case cases[] = {
      {"print all", ID_FILE_PRINT, true, false, 0, 0, 0, 0},
      {"print pages 2 to 3", ID_FILE_PRINT, true, false, 2, 3, 2, 2},
      {"print cancelled", ID_FILE_PRINT, false, false, 0, 0, -1, 0},
      // The preview draws the first page only, until asked for others.
      {"preview", ID_FILE_PRINT_PREVIEW, true, false, 0, 0, -1, 1},
      {"print from the preview", ID_FILE_PRINT_PREVIEW, true, true, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    QFile::remove(pdf);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    printer->setPrintRange(c.from > 0 ? QPrinter::PageRange : QPrinter::AllPages);
    if (c.from > 0) printer->setFromTo(c.from, c.to);
    view->pages.clear();
    view->selectedDuringPrint = false;
    if (c.printFromPreview) {
      host.ExpectDialog([](DialogDriver& d) {
        EXPECT_TRUE(d.Click(CPreviewDialog::IDC_PRINT));
        EXPECT_FALSE(d.IsOpen());
      });
    }
    host.ExpectDialog([&c](DialogDriver& d) {
      if (c.accept)
        d.Dialog()->accept();
      else
        d.Dialog()->reject();
    });
    const int endsBefore = view->ends;
    ASSERT_TRUE(view->OnCmdMsg(c.command, nullptr)) << c.what;
    EXPECT_EQ(view->ends - endsBefore, c.accept ? (c.printFromPreview ? 2 : 1) : 0) << c.what;
    EXPECT_EQ(host.PendingScripts(), 0u) << c.what;
    const size_t jobPages = static_cast<size_t>(view->PagesAcross() * view->PagesDown());
    const bool ran = c.accept;
    if (ran) {
      const size_t expected = c.expectPages != 0 ? c.expectPages : jobPages;
      // Printing from the preview draws its first page, then the job.
      const size_t skip = c.printFromPreview ? 1 : 0;
      ASSERT_EQ(view->pages.size(), expected + skip) << c.what;
      if (skip != 0) {
        EXPECT_EQ(view->pages.front(), 1u) << c.what;
      }
      for (size_t i = 0; c.from == 0 && i < expected; ++i) EXPECT_EQ(view->pages[i + skip], i + 1) << c.what;
      EXPECT_FALSE(view->selectedDuringPrint) << c.what;
      if (c.from > 0) {
        EXPECT_EQ(view->pages.front(), static_cast<UINT>(c.from)) << c.what;
      }
    } else {
      EXPECT_TRUE(view->pages.empty()) << c.what;
    }
    if (c.expectPdfPages < 0) {
      EXPECT_FALSE(QFile::exists(pdf)) << c.what;
    } else {
      QProcess info;
      info.start(QStringLiteral("pdfinfo"), {pdf});
      ASSERT_TRUE(info.waitForFinished(30000));
      const int want = c.expectPdfPages != 0 ? c.expectPdfPages : static_cast<int>(jobPages);
      EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                      .contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(want))))
          << c.what;
    }
    EXPECT_TRUE(view->GetSelected()->IsSelected()) << c.what;
  }
  QFile::remove(pdf);
}

TEST_F(ViewPrintTest, PrinterThatCannotBeOpenedSaysSoInAnErrorBox) {
  Load(3);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QCoreApplication::applicationDirPath() + QStringLiteral("/no-such-folder/out.pdf"));
  EXPECT_FALSE(view->PrintDirect(printer));
  ASSERT_EQ(host.MessageIds(), std::vector<UINT>{4440});
  EXPECT_EQ(host.Messages()[0].text, "The printer could not be opened. Nothing has been printed.");
  EXPECT_EQ(host.Messages()[0].caption, "Error");
  EXPECT_TRUE(view->pages.empty());
}

TEST_F(ViewPrintTest, JobEndedByTheViewLeavesNoOutput) {
  Load(3);
  view->endAtBegin = true;
  const QString pdf = QCoreApplication::applicationDirPath() + QStringLiteral("/print_ended_test.pdf");
  struct Case {
    const char* what;
    bool preview;
  };
  const Case cases[] = {{"print to PDF", false}, {"preview", true}};
  for (const Case& c : cases) {
    QFile::remove(pdf);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    view->pages.clear();
    if (c.preview) {
      // Nothing to show: no preview opens, and the job is ended.
      const size_t dialogs = host.Dialogs().size();
      const int ends = view->ends;
      CPrintInfo info;
      info.m_bPreview = TRUE;
      EXPECT_EQ(RunPrintPreview(*view, printer, info, window.get()), QDialog::Rejected);
      EXPECT_EQ(host.Dialogs().size(), dialogs) << c.what;
      EXPECT_EQ(view->ends, ends + 1) << c.what;
    } else {
      EXPECT_FALSE(view->PrintDirect(printer)) << c.what;
    }
    EXPECT_TRUE(view->pages.empty()) << c.what;
    EXPECT_FALSE(QFile::exists(pdf)) << c.what;
  }
}

// Renders page `page` of the PDF at a low resolution.
QImage RenderPage(const QString& pdf, int page) {
  const QString prefix = pdf + QStringLiteral(".page");
  QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("40"),
                                                 QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                 QString::number(page), QStringLiteral("-singlefile"), pdf, prefix});
  QImage image(prefix + QStringLiteral(".png"));
  QFile::remove(prefix + QStringLiteral(".png"));
  return image;
}

int HighlightPixels(const QImage& image) {
  const COLORREF c = GetSysColor(COLOR_HIGHLIGHT);
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (std::abs(p.red() - static_cast<int>(GetRValue(c))) < 24 && std::abs(p.green() - static_cast<int>(GetGValue(c))) < 24 &&
          std::abs(p.blue() - static_cast<int>(GetBValue(c))) < 24)
        ++count;
    }
  return count;
}

TEST_F(ViewPrintTest, PrintsToPdfWithHeaderAndFooterOnEveryPage) {
  Load(300);
  CTreeNode* selected = view->GetSelected();
  // Kept beside the build for a look at the pages.
  const QString pdf = QCoreApplication::applicationDirPath() + QStringLiteral("/../../print_sample.pdf");
  QFile::remove(pdf);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setResolution(CWinApp::kPrinterDpi);
  ASSERT_TRUE(view->PrintDirect(printer));
  const int pages = view->PagesAcross() * view->PagesDown();
  ASSERT_GE(pages, 2);

  QProcess text;
  text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  ASSERT_TRUE(text.waitForFinished(30000));
  ASSERT_EQ(text.exitCode(), 0) << text.readAllStandardError().toStdString();
  const QString out = QString::fromUtf8(text.readAllStandardOutput());
  QStringList sheets = out.split(QLatin1Char('\f'));
  if (!sheets.isEmpty() && sheets.last().trimmed().isEmpty()) sheets.removeLast();
  ASSERT_EQ(sheets.size(), pages);
  const QRegularExpression header(QStringLiteral("PROFILE: Demo\\s+CLASS: Demo_Class\\s+SERVER: Local"));
  for (int i = 0; i < pages; ++i) {
    EXPECT_TRUE(header.match(sheets[i]).hasMatch()) << i + 1;
    EXPECT_TRUE(sheets[i].contains(QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages))) << i + 1;
  }
  // The first page carries the tree's first rows.
  EXPECT_TRUE(sheets[0].contains(QStringLiteral("28673"))) << sheets[0].toStdString();

  // Each icon is stored once in the file, however often it is drawn.
  QProcess images;
  images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
  ASSERT_TRUE(images.waitForFinished(30000));
  const QStringList rows = QString::fromUtf8(images.readAllStandardOutput()).split(QLatin1Char('\n'));
  int uses = 0;
  QSet<QString> objects;
  for (int i = 2; i < rows.size(); ++i) {
    const QStringList cols = rows[i].simplified().split(QLatin1Char(' '));
    if (cols.size() < 12) continue;
    ++uses;
    objects.insert(cols[10]);
  }
  EXPECT_GT(uses, 300);
  EXPECT_LE(objects.size(), 16);

  // No selection frame on paper; the control page drawn with the frame on
  // shows that the check sees one.
  const QImage first = RenderPage(pdf, 1);
  ASSERT_FALSE(first.isNull());
  EXPECT_EQ(HighlightPixels(first), 0);
  const QString control = pdf + QStringLiteral(".control.pdf");
  {
    QPdfWriter writer(control);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(1200);
    QPainter painter(&writer);
    CQtDC dc(&painter);
    dc.SetViewportOrg(200, 200);
    view->OnDraw(&dc);
  }
  EXPECT_GT(HighlightPixels(RenderPage(control, 1)), 0);
  QFile::remove(control);

  EXPECT_TRUE(selected->IsSelected());
  EXPECT_EQ(view->GetSelected(), selected);
}

// The preview draws the page on show and nothing else: on opening, when
// paging, and again only when the zoom changes its size.  Closing it ends
// the job and puts the selection frame back.
TEST_F(ViewPrintTest, PreviewDrawsOnlyThePageOnShow) {
  Load(300);
  CTreeNode* selected = view->GetSelected();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setPageSize(QPageSize(QPageSize::A6));
  printer.setResolution(CWinApp::kPrinterDpi);
  // The layout the print itself computes, for comparison.
  {
    CPrintInfo info;
    printer.setOutputFileName(QCoreApplication::applicationDirPath() + QStringLiteral("/preview_layout_test.pdf"));
    ASSERT_TRUE(view->PrintDirect(printer));
    QFile::remove(printer.outputFileName());
  }
  const UINT last = static_cast<UINT>(view->PagesAcross() * view->PagesDown());
  ASSERT_GE(last, 4u);
  const int printAcross = view->PagesAcross();
  view->pages.clear();
  view->begins = view->ends = 0;

  using Mode = CPreviewDialog::ZoomMode;
  enum Zoom { kSame, kLarger, kSmaller };
  struct Step {
    const char* what;
    std::function<void(CPreviewDialog&, DialogDriver&)> act;
    UINT page;                  // 0: the last
    std::vector<UINT> drawn;    // pages drawn by the step (0: the last)
    Mode mode;
    Zoom zoom;                  // the image against the step before
  };
  const auto key = [](int k) {
    return [k](CPreviewDialog& p, DialogDriver&) {
      QWidget* target = p.focusWidget() != nullptr ? p.focusWidget() : &p;
      QTest::keyClick(target, static_cast<Qt::Key>(k));
    };
  };
  const auto click = [](int id) { return [id](CPreviewDialog&, DialogDriver& d) { EXPECT_TRUE(d.Click(id)); }; };
  const auto type = [](const char* text) {
    return [text](CPreviewDialog& p, DialogDriver& d) {
      EXPECT_TRUE(d.Type(CPreviewDialog::IDC_PAGE_NUMBER, QString::fromLatin1(text)));
      QTest::keyClick(d.Control(CPreviewDialog::IDC_PAGE_NUMBER), Qt::Key_Return);
      EXPECT_TRUE(p.isVisible());  // Enter in the box never closes the preview
    };
  };
  const Step steps[] = {
      {"opens on the first page", [](CPreviewDialog&, DialogDriver&) {}, 1, {1}, Mode::FitPage, kSame},
      {"PgDn", key(Qt::Key_PageDown), 2, {2}, Mode::FitPage, kSame},
      {"next button", click(CPreviewDialog::IDC_NEXT_PAGE), 3, {3}, Mode::FitPage, kSame},
      {"PgUp", key(Qt::Key_PageUp), 2, {2}, Mode::FitPage, kSame},
      {"End", key(Qt::Key_End), 0, {0}, Mode::FitPage, kSame},
      {"PgDn on the last page", key(Qt::Key_PageDown), 0, {}, Mode::FitPage, kSame},
      {"previous button", click(CPreviewDialog::IDC_PREV_PAGE), last - 1, {last - 1}, Mode::FitPage, kSame},
      {"Home", key(Qt::Key_Home), 1, {1}, Mode::FitPage, kSame},
      {"PgUp on the first page", key(Qt::Key_PageUp), 1, {}, Mode::FitPage, kSame},
      {"page number typed", type("3"), 3, {3}, Mode::FitPage, kSame},
      {"page number out of range", type("99999"), 3, {}, Mode::FitPage, kSame},
      {"last page button", click(CPreviewDialog::IDC_LAST_PAGE), 0, {0}, Mode::FitPage, kSame},
      {"first page button", click(CPreviewDialog::IDC_FIRST_PAGE), 1, {1}, Mode::FitPage, kSame},
      {"+", key(Qt::Key_Plus), 1, {1}, Mode::Custom, kLarger},
      {"zoom in button", click(CPreviewDialog::IDC_ZOOM_IN), 1, {1}, Mode::Custom, kLarger},
      {"-", key(Qt::Key_Minus), 1, {1}, Mode::Custom, kSmaller},
      {"paging keeps the zoom", key(Qt::Key_PageDown), 2, {2}, Mode::Custom, kSame},
      {"fit width", click(CPreviewDialog::IDC_FIT_WIDTH), 2, {2}, Mode::FitWidth, kLarger},
      {"fit page", click(CPreviewDialog::IDC_FIT_PAGE), 2, {2}, Mode::FitPage, kSmaller},
      {"fit page again draws nothing", click(CPreviewDialog::IDC_FIT_PAGE), 2, {}, Mode::FitPage, kSame},
      {"zoom out button", click(CPreviewDialog::IDC_ZOOM_OUT), 2, {2}, Mode::Custom, kSmaller},
  };

  bool ranSteps = false;
  host.ExpectDialog([&](DialogDriver& d) {
    auto* preview = qobject_cast<CPreviewDialog*>(d.Dialog());
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->FirstPage(), 1u);
    EXPECT_EQ(preview->LastPage(), last);
    EXPECT_EQ(view->begins, 1);
    EXPECT_EQ(view->PagesAcross(), printAcross);  // laid out as printed
    QSize before;
    size_t seen = 0;
    for (const Step& s : steps) {
      s.act(*preview, d);
      const std::vector<UINT> drawn(view->pages.begin() + static_cast<std::ptrdiff_t>(seen), view->pages.end());
      seen = view->pages.size();
      std::vector<UINT> want = s.drawn;
      for (UINT& p : want) p = p == 0 ? last : p;
      EXPECT_EQ(drawn, want) << s.what;
      EXPECT_EQ(preview->CurrentPage(), s.page == 0 ? last : s.page) << s.what;
      EXPECT_EQ(d.Text(CPreviewDialog::IDC_PAGE_NUMBER).toUInt(), preview->CurrentPage()) << s.what;
      EXPECT_EQ(preview->Mode(), s.mode) << s.what;
      const QSize size = preview->PageImage().size();
      ASSERT_FALSE(size.isEmpty()) << s.what;
      if (s.zoom == kLarger) {
        EXPECT_GT(size.width(), before.width()) << s.what;
      } else if (s.zoom == kSmaller) {
        EXPECT_LT(size.width(), before.width()) << s.what;
      } else if (before.isValid()) {
        EXPECT_EQ(size, before) << s.what;
      }
      before = size;
      // The frame stays off while the job runs.
      EXPECT_FALSE(selected->IsSelected()) << s.what;
      EXPECT_EQ(view->ends, 0) << s.what;
    }
    // The page is drawn, not blank: its header's ink is there.
    const QImage& image = preview->PageImage();
    int ink = 0;
    for (int y = 0; y < image.height() / 8; ++y)
      for (int x = 0; x < image.width(); ++x) ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(ink, 0);
    ranSteps = true;
    QTest::keyClick(preview, Qt::Key_Escape);
    EXPECT_FALSE(d.IsOpen());
    EXPECT_EQ(view->ends, 1);
  });
  CPrintInfo info;
  info.m_bPreview = TRUE;
  EXPECT_EQ(RunPrintPreview(*view, printer, info, window.get()), QDialog::Rejected);
  EXPECT_TRUE(ranSteps);
  EXPECT_EQ(view->begins, 1);
  EXPECT_EQ(view->ends, 1);
  EXPECT_FALSE(view->selectedDuringPrint);
  EXPECT_TRUE(selected->IsSelected());
  EXPECT_EQ(view->GetSelected(), selected);
}

}  // namespace
