// CPrintInfo: one print job or preview as the view's printing steps see it.
//
// The view's OnPreparePrinting may set the page range it already knows;
// OnBeginPrinting sets the real one once the device is known, or clears
// m_bContinuePrinting to end the job before any page.  m_nCurPage is the
// page being printed (from 1) while OnPrint runs.
#pragma once

#include "platform/geometry.h"
#include "platform/wintypes.h"

class QPrinter;

struct CPrintInfo {
  // The most pages one job prints; a larger range is cut to this.
  static constexpr UINT kMaxPages = 1000000;

  void SetMinPage(UINT page) { m_nMinPage = page; }
  void SetMaxPage(UINT page) { m_nMaxPage = page; }
  UINT GetMinPage() const { return m_nMinPage; }
  UINT GetMaxPage() const { return m_nMaxPage; }
  // The pages the user asked for (0: from the first, or to the last).
  UINT GetFromPage() const { return m_nFromPage; }
  UINT GetToPage() const { return m_nToPage; }

  BOOL m_bPreview = FALSE;          // the job draws for the preview
  BOOL m_bDirect = FALSE;           // print without the print dialog
  BOOL m_bContinuePrinting = TRUE;  // false: end the job
  UINT m_nCurPage = 1;
  UINT m_nMinPage = 1;
  UINT m_nMaxPage = 0xFFFF;
  UINT m_nFromPage = 0;
  UINT m_nToPage = 0;
  UINT m_nPagesPrinted = 0;         // pages the job has drawn so far
  BOOL m_bCancelled = FALSE;        // the user stopped the job
  CRect m_rectDraw;                 // the page's drawable area, in device units
  QPrinter* m_pPrinter = nullptr;   // the job's printer, while it runs
};
