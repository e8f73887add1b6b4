// Printing at scale: a fully expanded 100,000-node profile printed to PDF
// at 300 dpi (pages per second), and the print preview of it: the time
// until its first page is drawn, until the preview is on screen with it,
// to turn to the next page, and to draw it again at the window's width.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QPageSize>
#include <QPrinter>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/queltview.h"
#include "bench/groupedprofile.h"
#include "bench/viewbench.h"
#include "platform/cpreviewdialog.h"
#include "platform/cprintinfo.h"
#include "platform/cwinapp.h"
#include "platform/modalhost.h"
#include "platform/printloop.h"
#include "platform/scriptedmodalhost.h"
#include "s100/ctcontainers.h"
#include "tree/bmstore.h"
#include "tree/kvs_node.h"

namespace {

// A profile of about `nodes` rows.
CTkvs MakeProfile(int nodes) { return MakeGroupedProfile(nodes / (2 + 2 * kValuesPerGroup)); }

// Notes when the first page of a job is done.
class TimedView : public CQueltView {
 public:
  void OnPrint(CDC* dc, CPrintInfo* info) override {
    CQueltView::OnPrint(dc, info);
    if (firstPageMs < 0) firstPageMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  }
  QElapsedTimer clock;
  double firstPageMs = -1;
};

struct PrintFixture {
  QMainWindow window;
  TimedView* view = new TimedView;
  explicit PrintFixture(int nodes) {
    view->Create(&window);
    window.setCentralWidget(view->ScrollArea());
    window.resize(1000, 800);
    window.show();
    CTkvs set = MakeProfile(nodes);
    view->PutProfile("Local", set);
    uint32_t err = 0;
    CTkvs_Destroy(set, &err);
    view->RedrawNow();
    QApplication::processEvents();
  }
  ~PrintFixture() { delete view; }
  static void SetUp(QPrinter& printer) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(CWinApp::kPrinterDpi);
  }
};

void BM_PrintToPdf(benchmark::State& state) {
  PrintFixture f(static_cast<int>(state.range(0)));
  const QString pdf = QDir::temp().filePath(QStringLiteral("quelt_print_bench.pdf"));
  double pages = 0;
  for (auto _ : state) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    PrintFixture::SetUp(printer);
    f.view->PrintDirect(printer);
    pages += f.view->PagesAcross() * f.view->PagesDown();
  }
  state.counters["pages"] = f.view->PagesAcross() * f.view->PagesDown();
  state.counters["pages_per_s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
  state.counters["pdf_bytes"] = static_cast<double>(QFile(pdf).size());
  QFile::remove(pdf);
}

void BM_PreviewFirstPage(benchmark::State& state) {
  PrintFixture f(static_cast<int>(state.range(0)));
  ScriptedModalHost host;
  ScopedModalHost scope(&host);
  double firstMs = 0;
  double shownMs = 0;
  double nextMs = 0;
  double wideMs = 0;
  for (auto _ : state) {
    QPrinter printer(QPrinter::HighResolution);
    PrintFixture::SetUp(printer);
    CPrintInfo info;
    info.m_bPreview = TRUE;
    f.view->firstPageMs = -1;
    f.view->clock.start();
    // The preview is shown with its first page, turns to the next, and is closed.
    host.ExpectDialog([&](DialogDriver& d) {
      shownMs += static_cast<double>(f.view->clock.nsecsElapsed()) / 1e6;
      QElapsedTimer next;
      next.start();
      d.Click(CPreviewDialog::IDC_NEXT_PAGE);
      nextMs += static_cast<double>(next.nsecsElapsed()) / 1e6;
      QElapsedTimer wide;
      wide.start();
      d.Click(CPreviewDialog::IDC_FIT_WIDTH);
      wideMs += static_cast<double>(wide.nsecsElapsed()) / 1e6;
      d.Dialog()->reject();
    });
    RunPrintPreview(*f.view, printer, info, &f.window);
    firstMs += f.view->firstPageMs;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["first_page_ms"] = firstMs / n;
  state.counters["shown_ms"] = shownMs / n;
  state.counters["next_page_ms"] = nextMs / n;
  state.counters["fit_width_ms"] = wideMs / n;
  state.counters["pages"] = f.view->PagesAcross() * f.view->PagesDown();
}

}  // namespace

BENCHMARK(BM_PrintToPdf)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewFirstPage)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunViewBenchmarks(argc, argv); }
