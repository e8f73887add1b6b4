#include "platform/printloop.h"

#include <QFile>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <algorithm>
#include <memory>

#include "platform/cdc.h"
#include "platform/cpreviewdialog.h"
#include "platform/cview.h"
#include "platform/cwnd.h"
#include "platform/modalhost.h"
#include "platform/msgbox.h"
#include "platform/qtdc.h"
#include "resources/stringids.h"

namespace {

// A job of more pages than this shows the progress window (after a short
// delay, so that a quick job never flashes it).
constexpr UINT kProgressFromPages = 2;
constexpr int kProgressDelayMs = 400;

// The progress window of one job; created on the first page that needs it.
class JobProgress {
 public:
  JobProgress(QWidget* parent, const char* verb) : m_parent(parent), m_verb(verb) {}

  // False when the user has cancelled.
  bool Page(UINT index, UINT count) {
    if (count < kProgressFromPages) return true;
    if (!m_dialog) {
      m_dialog = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0, static_cast<int>(count),
                                                   m_parent);
      m_dialog->setWindowTitle(QString::fromLatin1(m_verb));
      m_dialog->setWindowModality(Qt::ApplicationModal);
      m_dialog->setMinimumDuration(kProgressDelayMs);
      m_dialog->setAutoClose(false);
      m_dialog->setAutoReset(false);
    }
    m_dialog->setLabelText(QStringLiteral("%1 page %2 of %3").arg(QString::fromLatin1(m_verb)).arg(index + 1).arg(count));
    m_dialog->setValue(static_cast<int>(index));
    return !m_dialog->wasCanceled();
  }

 private:
  QWidget* m_parent;
  const char* m_verb;
  std::unique_ptr<QProgressDialog> m_dialog;
};

// Draws the job on a painter begun on surface; the hook starts a new sheet
// for every page after the first.
UINT PaintJob(CView& view, QPrinter& surface, QPainter& painter, CPrintInfo& info, JobProgress& progress) {
  CQtDC dc(&painter);
  dc.SetPrinting(true);
  return RunPrintPages(view, dc, info, [&surface, &progress](UINT index, UINT count) {
    if (index > 0 && !surface.newPage()) return false;
    return progress.Page(index, count);
  });
}

}  // namespace

bool JobPageRange(const CPrintInfo& info, UINT& first, UINT& last) {
  first = std::max(info.GetMinPage(), info.GetFromPage());
  last = info.GetToPage() != 0 ? std::min(info.GetMaxPage(), info.GetToPage()) : info.GetMaxPage();
  if (first < 1) first = 1;
  if (last < first) return false;
  if (last - first >= CPrintInfo::kMaxPages) last = first + CPrintInfo::kMaxPages - 1;
  return true;
}

UINT RunPrintPages(CView& view, CDC& dc, CPrintInfo& info, const PrintPageHook& beforePage) {
  info.m_bContinuePrinting = TRUE;
  info.m_bCancelled = FALSE;
  info.m_nPagesPrinted = 0;
  view.OnBeginPrinting(&dc, &info);
  UINT first = 0;
  UINT last = 0;
  if (info.m_bContinuePrinting && JobPageRange(info, first, last)) {
    const UINT count = last - first + 1;
    for (UINT page = first; page <= last; ++page) {
      if (beforePage && !beforePage(page - first, count)) {
        info.m_bCancelled = TRUE;
        break;
      }
      info.m_nCurPage = page;
      info.m_rectDraw = CRect(0, 0, dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES));
      view.OnPrepareDC(&dc);
      if (!info.m_bContinuePrinting) break;
      view.OnPrint(&dc, &info);
      ++info.m_nPagesPrinted;
      if (page == last) break;  // last may be the largest UINT
    }
  }
  view.OnEndPrinting(&dc, &info);
  return info.m_nPagesPrinted;
}

BOOL RunPrintDialog(QPrinter& printer, CPrintInfo& info, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  if (info.GetMaxPage() >= info.GetMinPage() && info.GetMaxPage() < 0xFFFF)
    dialog.setMinMax(static_cast<int>(info.GetMinPage()), static_cast<int>(info.GetMaxPage()));
  if (ModalHost::Current().RunDialog(dialog) != QDialog::Accepted) return FALSE;
  info.m_nFromPage = 0;
  info.m_nToPage = 0;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    info.m_nFromPage = static_cast<UINT>(printer.fromPage());
    info.m_nToPage = static_cast<UINT>(std::max(printer.fromPage(), printer.toPage()));
  }
  return TRUE;
}

BOOL PrintOnPrinter(CView& view, QPrinter& printer, CPrintInfo& info, QWidget* parent) {
  info.m_pPrinter = &printer;
  QPainter painter;
  if (!painter.begin(&printer)) {
    CWnd owner(parent);
    ShowErrorMessage(IDS_PRINTER_NOT_OPENED, parent != nullptr ? &owner : nullptr);
    return FALSE;
  }
  JobProgress progress(parent, "Printing");
  PaintJob(view, printer, painter, info, progress);
  const bool complete = info.m_bContinuePrinting && !info.m_bCancelled && info.m_nPagesPrinted > 0;
  if (!complete) {
    // Nothing of an ended or cancelled job reaches the paper.  A PDF writer
    // cannot abort, so its part-written file is removed instead.
    printer.abort();
    painter.end();
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
      QFile::remove(printer.outputFileName());
  } else {
    painter.end();
  }
  info.m_pPrinter = nullptr;
  return complete ? TRUE : FALSE;
}

int RunPrintPreview(CView& view, QPrinter& printer, CPrintInfo& info, QWidget* parent) {
  CPreviewDialog dialog(view, printer, info, parent);
  // A job the view ends before its first page has nothing to show.
  if (!dialog.BeginJob()) return QDialog::Rejected;
  const int result = ModalHost::Current().RunDialog(dialog);
  dialog.EndJob();
  return result;
}
