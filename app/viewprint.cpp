// The view's printing steps: the profile tree at twice its size, cut into a
// grid of page tiles that overlap by 2 mm, each page with a centred header
// naming the profile and a centred page-number footer.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "app/queltdoc.h"
#include "app/queltview.h"
#include "dialogs/errorbox.h"
#include "platform/cdc.h"
#include "platform/cprintinfo.h"
#include "platform/gdiobjects.h"
#include "platform/textbytes.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"
#include "tree/kvs_node.h"

namespace {

// Header and footer cell height, and the tree's at scale 1, in device units.
constexpr int kHeaderFontHeight = 24;
constexpr int kTreeFontHeight = 16;
// The header is formatted into this many characters (longer is cut).
constexpr int kHeaderChars = 1024;
// Text baselines sit this far above the header and footer positions.
constexpr int kBaselineLift = 5;

int Clamp(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Device pixels per millimetre: resolution / size, as a 32-bit float.  A
// device that does not know its size is taken at its logical dpi.
float PixelsPerMm(const CDC& dc, int resIndex, int sizeIndex, int dpiIndex) {
  const int size = dc.GetDeviceCaps(sizeIndex);
  if (size > 0) return static_cast<float>(dc.GetDeviceCaps(resIndex)) / static_cast<float>(size);
  const int dpi = dc.GetDeviceCaps(dpiIndex);
  return dpi > 0 ? static_cast<float>(dpi) / 25.4f : 1.0f;
}

// The header and footer font, or the tree's at height.
void MakePrintFont(CFont& font, int height) {
  font.CreateFont(height, 0, 0, 0, FW_DONTCARE, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                  PROOF_QUALITY, FF_MODERN | DEFAULT_PITCH, nullptr);
}

}  // namespace

BOOL CQueltView::OnPreparePrinting(CPrintInfo* info) { return DoPreparePrinting(info); }

void CQueltView::ComputePageLayout(CDC* dc) {
  const int horzRes = dc->GetDeviceCaps(HORZRES);
  const int vertRes = dc->GetDeviceCaps(VERTRES);
  const float perMmX = PixelsPerMm(*dc, HORZRES, HORZSIZE, LOGPIXELSX);
  const float perMmY = PixelsPerMm(*dc, VERTRES, VERTSIZE, LOGPIXELSY);
  m_nMarginX = Trunc(10 * perMmX);
  m_nMarginY = Trunc(12 * perMmY);
  m_nPageWidth = std::max(1, Clamp(int64_t{horzRes} - 2 * int64_t{m_nMarginX}));
  m_nPageHeight = std::max(1, Clamp(int64_t{vertRes} - 2 * int64_t{m_nMarginY}));
  m_nClipSlackX = Trunc(2 * perMmX);
  m_nClipSlackY = Trunc(2 * perMmY);
  m_nHeaderY = Trunc(5 * perMmY);
  m_nFooterY = Clamp(int64_t{vertRes} - m_nHeaderY);
  m_nCentreX = horzRes / 2;
}

void CQueltView::OnBeginPrinting(CDC* dc, CPrintInfo* info) {
  if (dc == nullptr || info == nullptr) return;
  if ((dc->GetDeviceCaps(RASTERCAPS) & RC_BITBLT) == 0) {
    CErrorBox(IDS_NO_BITMAPS, this).DoModal();
    info->m_bContinuePrinting = FALSE;
    return;
  }
  // No selection frame on paper; OnEndPrinting puts it back.
  if (m_pSelected != nullptr) m_pSelected->SetSelected(0);

  ComputePageLayout(dc);

  int width = 0;
  int height = 0;
  if (m_pRoot != nullptr) m_pRoot->GetExtent(0, 0, width, height);
  width = Trunc(width * kPrintScale);
  height = Trunc(height * kPrintScale);
  m_nPagesAcross = width / m_nPageWidth + 1;
  m_nPagesDown = height / m_nPageHeight + 1;

  // A degenerate device (tiles a pixel wide) could ask for more pages than
  // a job can hold; the job stops at the limit.
  const int64_t pages = int64_t{m_nPagesAcross} * m_nPagesDown;
  info->SetMinPage(1);
  info->SetMaxPage(static_cast<UINT>(std::min<int64_t>(pages, CPrintInfo::kMaxPages)));
  CScrollView::OnBeginPrinting(dc, info);
}

void CQueltView::OnPrint(CDC* dc, CPrintInfo* info) {
  if (dc == nullptr || info == nullptr || !dc->IsPrinting()) return;

  const int saved = dc->SaveDC();
  const float scale = kPrintScale;
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  CBitmapStore::ChangePalettes(kIconBackgroundEntry, dc->GetBkColor());

  CFont headerFont;
  MakePrintFont(headerFont, kHeaderFontHeight);
  CFont* oldFont = dc->SelectObject(&headerFont);
  const UINT oldAlign = dc->SetTextAlign(TA_CENTER | TA_BASELINE);
  dc->SetViewportOrg(0, 0);

  CString name;
  CString profileClass;
  CString server;
  if (CQueltDoc* doc = GetDocument()) {
    name = doc->GetProfileName();
    profileClass = doc->GetProfileClass();
    server = doc->GetProfileServer();
  }
  CString format;
  format.LoadString(IDS_PRINT_HEADER);
  CString header;
  // Each name decoded on its own, as in the title; the cut falls between characters.
  header.Format(format.GetString(), ShownAsUtf8(name).GetString(), ShownAsUtf8(profileClass).GetString(),
                ShownAsUtf8(server).GetString());
  dc->TextOut(m_nCentreX, m_nHeaderY - kBaselineLift, header.GetString(),
              FitTextLength(header.GetString(), header.GetLength(), kHeaderChars - 1));

  const UINT page = info->m_nCurPage;
  format.LoadString(IDS_PRINT_FOOTER);
  CString footer;
  footer.Format(format.GetString(), page, info->GetMaxPage());
  dc->TextOut(m_nCentreX, m_nFooterY - kBaselineLift, footer);
  dc->SetTextAlign(oldAlign);

  // Pages run row by row, left to right.
  const UINT across = static_cast<UINT>(std::max(1, m_nPagesAcross));
  const int64_t column = (page - 1) % across;
  const int64_t row = (page - 1) / across;
  const int x0 = Clamp(column * m_nPageWidth);
  const int y0 = Clamp(row * m_nPageHeight);
  dc->SetViewportOrg(Clamp(int64_t{m_nMarginX} - x0), Clamp(int64_t{m_nMarginY} - y0));
  dc->IntersectClipRect(Clamp(int64_t{x0} - m_nClipSlackX), Clamp(int64_t{y0} - m_nClipSlackY),
                        Clamp(int64_t{x0} + m_nPageWidth + m_nClipSlackX),
                        Clamp(int64_t{y0} + m_nPageHeight + m_nClipSlackY));

  CFont treeFont;
  MakePrintFont(treeFont, std::max(1, Trunc(kTreeFontHeight * scale)));
  dc->SelectObject(&treeFont);
  if (m_pRoot != nullptr) m_pRoot->DrawTree(0, 0, dc, scale);

  if (oldFont != nullptr) dc->SelectObject(oldFont);
  dc->SetBkMode(oldMode);
  dc->RestoreDC(saved);
}

void CQueltView::OnEndPrinting(CDC* dc, CPrintInfo* info) {
  if (m_pSelected != nullptr) m_pSelected->SetSelected(1);
  CScrollView::OnEndPrinting(dc, info);
  // The screen may have been painted without the frame meanwhile.
  if (IsWindow()) Invalidate(TRUE);
}
