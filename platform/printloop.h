// The printing loop a view takes part in through its four printing steps
// (OnPreparePrinting, OnBeginPrinting, OnPrint, OnEndPrinting).
//
// RunPrintPages is the loop itself on any device context, so that it can
// run on a recording device as well as on a printer: begin, one OnPrint
// per page of the range (the view's OnPrepareDC first), end.  The printer
// functions run it on a QPrinter (a real printer, a PDF file or the
// preview's surface), with a progress window that can cancel a long job.
#pragma once

#include <functional>

#include "platform/cprintinfo.h"
#include "platform/wintypes.h"

class CDC;
class CView;
class QPrinter;
class QWidget;

// Called before each page is drawn with the page's place in the job (0 for
// the first) and the number of pages in it; false cancels the job.  The
// printer loop starts a new sheet here for every page after the first.
using PrintPageHook = std::function<bool(UINT index, UINT count)>;

// The pages of the job's range, in order: [first, last], cut to the most
// a job prints.  False when the range is empty.
bool JobPageRange(const CPrintInfo& info, UINT& first, UINT& last);

// Runs the steps on dc.  Returns the number of pages drawn; info records
// whether the view ended the job or the hook cancelled it.
UINT RunPrintPages(CView& view, CDC& dc, CPrintInfo& info, const PrintPageHook& beforePage = {});

// The print dialog on the printer (through the modal host), with the page
// range the view knows.  TRUE when the user chose to print; the range
// chosen is copied into info.
BOOL RunPrintDialog(QPrinter& printer, CPrintInfo& info, QWidget* parent);

// Prints the view's pages on the printer as it is set up, showing progress
// for a long job.  TRUE when every page of the job was printed; a job the
// view ended or the user cancelled is aborted.
BOOL PrintOnPrinter(CView& view, QPrinter& printer, CPrintInfo& info, QWidget* parent);

// Opens the print preview (CPreviewDialog) of the view's pages on the
// printer's settings.  It draws a page only when it shows it.  A job the
// view ends before its first page opens no preview (QDialog::Rejected);
// otherwise returns the dialog's result, CPreviewDialog::kPrintResult when
// the user asked to print.  The job is ended when this returns.
int RunPrintPreview(CView& view, QPrinter& printer, CPrintInfo& info, QWidget* parent);
