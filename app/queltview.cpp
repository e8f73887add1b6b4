#include "app/queltview.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "app/queltaccess.h"
#include "app/queltdoc.h"
#include "common/ctstring.h"
#include "dialogs/errorbox.h"
#include "dialogs/zoombox.h"
#include "model/dataelt.h"
#include "platform/cdc.h"
#include "platform/cdialog.h"
#include "platform/cframewnd.h"
#include "platform/cwinapp.h"
#include "platform/gdiobjects.h"
#include "platform/vkeys.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"
#include "tree/kvs_node.h"

namespace {

// Where the key scroll rules and the page keys place the tree.
constexpr int kKeyOrigin = 4;
// The zoom the dialog allows.
constexpr float kMinZoom = 0.1f;
constexpr float kMaxZoom = 10.0f;

MultiAdminSession* s_pAppSession = nullptr;

}  // namespace

int CQueltView::Trunc(float value) {
  if (!(value > -2147483520.0f)) return std::numeric_limits<int>::min();
  if (!(value < 2147483520.0f)) return std::numeric_limits<int>::max();
  return static_cast<int>(value);
}

void CQueltView::SetAppSession(MultiAdminSession* session) { s_pAppSession = session; }
MultiAdminSession* CQueltView::AppSession() { return s_pAppSession; }

CQueltView::CQueltView()
    : m_pRoot(nullptr),
      m_pSelected(nullptr),
      m_fZoom(1.0f),
      m_pSession(s_pAppSession),
      m_nPageWidth(1),
      m_nPageHeight(1),
      m_nPagesAcross(1),
      m_nPagesDown(1),
      m_nMarginX(1),
      m_nMarginY(1),
      m_nClipSlackX(0),
      m_nClipSlackY(0),
      m_nHeaderY(0),
      m_nFooterY(0),
      m_nCentreX(0),
      m_nNewSymbolValue(1024) {
  AddCommand(ID_VIEW_ZOOM, &CQueltView::OnViewZoom);
  AddEditingCommands();
  AddNavigationCommands();
  AddCompareCommands();
  // Print and Print Preview are the framework's own.
  AddCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
  AddCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
  // Screen readers see the tree and its selected node.
  SetAccessibleTree(std::make_unique<CQueltViewAccess>(this));
}

CQueltView::~CQueltView() {
  delete m_pRoot;
  m_pRoot = nullptr;
  m_pSelected = nullptr;
}

void CQueltView::OnPrepareDC(CDC* dc) { CScrollView::OnPrepareDC(dc); }

void CQueltView::OnInitialUpdate() {
  CScrollView::OnInitialUpdate();
  SetScrollSizes(MM_TEXT, CSize(10, 10));
  if (m_pRoot != nullptr) return;
  m_pRoot = new (std::nothrow) CKVSetNode;
  if (m_pRoot == nullptr) {
    CErrorBox(IDS_NO_MEMORY, this).DoModal();
    return;
  }
  m_pSelected = m_pRoot;
  m_pSelected->SetSelected(1);
}

void CQueltView::OnDraw(CDC* dc) {
  if (dc == nullptr) return;
  const float scale = dc->IsPrinting() ? kPrintScale : m_fZoom;

  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColour = dc->SetBkColor(BackgroundColour());
  CBitmapStore::ChangePalettes(kIconBackgroundEntry, dc->GetBkColor());

  CFont font;
  font.CreateFont(Trunc(16 * scale), Trunc(6 * scale), 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_TT_PRECIS,
                  CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FF_SWISS | DEFAULT_PITCH, nullptr);
  CFont* oldFont = dc->SelectObject(&font);

  if (m_pRoot != nullptr) {
    m_pRoot->DrawTree(kTreeMargin, kTreeMargin, dc, scale);
    // The scroll range belongs to the screen; a printed page has its own.
    if (!dc->IsPrinting()) UpdateScrollSizes();
  }

  if (oldFont != nullptr) dc->SelectObject(oldFont);
  dc->SetBkColor(oldColour);
  dc->SetBkMode(oldMode);
}

void CQueltView::UpdateScrollSizes() {
  if (m_pRoot == nullptr) return;
  int width = 0;
  int height = 0;
  m_pRoot->GetExtent(kTreeMargin, kTreeMargin, width, height);
  CRect client;
  GetClientRect(&client);
  SetScrollSizes(MM_TEXT, CSize(Trunc(width * m_fZoom), Trunc(height * m_fZoom)), CSize(client.Width(), client.Height()),
                 sizeDefault);
}

BOOL CQueltView::OnEraseBkgnd(CDC* dc) {
  if (dc == nullptr) return FALSE;
  CBrush brush(BackgroundColour());
  CBrush* oldBrush = dc->SelectObject(&brush);
  CRect clip;
  dc->GetClipBox(&clip);
  dc->PatBlt(clip.left, clip.top, clip.Width(), clip.Height(), PATCOPY);
  if (oldBrush != nullptr) dc->SelectObject(oldBrush);
  return TRUE;
}

int CQueltView::PutProfile(const CString& server, CTkvs set) {
  if (!BuildTree(server, set)) return FALSE;
  // A new or retrieved profile starts a history of its own, and is no
  // longer compared with anything.
  m_history.Clear();
  if (m_pCompare != nullptr) {
    m_pCompare.reset();
    m_strCompareStatus.Empty();
    if (CFrameWnd* frame = GetParentFrame()) frame->SetMessageText("");
  }
  return TRUE;
}

int CQueltView::BuildTree(const CString& server, CTkvs set) {
  // The new tree is built beside the old one, so that a profile that cannot
  // be understood leaves the tree (and the profile it belongs to) as it was.
  CKVSetNode* root = new (std::nothrow) CKVSetNode;
  if (root == nullptr) {
    CErrorBox(IDS_NO_MEMORY, this).DoModal();
    return FALSE;
  }
  QV_DataElement element;
  element.SetToKVSet(set);
  root->SetSelected(1);
  if (root->PutDE(element, m_pSession, QV_String(server.GetString())) == 0) {
    delete root;
    CErrorBox(IDS_PROFILE_NOT_UNDERSTOOD, this).DoModal();
    return FALSE;
  }
  delete m_pRoot;
  m_pRoot = root;
  m_pSelected = root;
  m_strSymbolServer = server;
  return TRUE;
}

int CQueltView::GetProfile(const CString& /*server*/, CTkvs set) {
  uint32_t err = 0;
  CTkvs_Clear(set, &err);
  QV_DataElement element;
  if (m_pRoot == nullptr || m_pRoot->GetDE(element) == 0) {
    CErrorBox(IDS_RENDER_FAILED, this).DoModal();
    return FALSE;
  }
  return CTkvs_Copy(set, element.KVSet(), &err) == 1 ? TRUE : FALSE;
}

CQueltDoc* CQueltView::GetDocument() const { return static_cast<CQueltDoc*>(CView::GetDocument()); }

void CQueltView::DocumentModified() {
  CQueltDoc* doc = GetDocument();
  if (doc == nullptr) return;
  doc->SetModifiedFlag(TRUE);
  doc->UpdateTitle();
}

void CQueltView::SelectNode(CTreeNode* node) {
  if (m_pSelected != nullptr) m_pSelected->SetSelected(0);
  m_pSelected = node;
  if (m_pSelected != nullptr) m_pSelected->SetSelected(1);
  if (m_pCompare != nullptr) ShowCompareStatus();
  NotifyAccessibleFocus();
}

void CQueltView::Redraw() { RedrawNow(); }

// The tree is drawn with its corner at the margin scaled, so a client point
// maps back by dividing by the zoom first and taking off the margin after.
CTreeNode* CQueltView::HitTest(CPoint point, int& onIcon) {
  if (m_pRoot == nullptr) return nullptr;
  const CPoint scroll = GetScrollPosition();
  const int x = Trunc(static_cast<float>(point.x + scroll.x) / m_fZoom) - kTreeMargin;
  const int y = Trunc(static_cast<float>(point.y + scroll.y) / m_fZoom) - kTreeMargin;
  onIcon = 0;
  return m_pRoot->Clicked(x, y, onIcon);
}

void CQueltView::OnLButtonDown(UINT /*flags*/, CPoint point) {
  if (m_pRoot == nullptr) return;
  int onIcon = 0;
  CTreeNode* hit = HitTest(point, onIcon);
  if (hit == nullptr || hit == m_pSelected) return;
  SelectNode(hit);
  Redraw();
}

void CQueltView::OnLButtonDblClk(UINT /*flags*/, CPoint point) {
  if (m_pRoot == nullptr) return;
  int onIcon = 0;
  CTreeNode* hit = HitTest(point, onIcon);
  if (hit == nullptr) return;
  SelectNode(hit);
  Redraw();
  auto* node = dynamic_cast<CDENode*>(hit);
  const bool canEdit = node != nullptr && node->CanEdit() != 0;
  if ((onIcon != 0 && hit->CountSubNodes() > 0) || !canEdit) {
    if (onIcon != 0) {
      hit->ToggleExpanded();
      Redraw();
    }
    return;
  }
  if (EditWithUndo(node) != 0) {
    Redraw();
    DocumentModified();
  }
}

bool CQueltView::SelectedDims(CRect& rect) {
  if (m_pRoot == nullptr || m_pSelected == nullptr) return false;
  int y = kKeyOrigin;
  return m_pRoot->GetDims(m_pSelected, kKeyOrigin, y, rect) != 0;
}

void CQueltView::RevealUpwards() {
  CRect r;
  if (!SelectedDims(r)) return;
  const int top = Trunc(static_cast<float>(r.top - kKeyOrigin) * m_fZoom);
  const CPoint scroll = GetScrollPosition();
  if (top < scroll.y) ScrollToPosition(CPoint(scroll.x, top));
}

void CQueltView::RevealDownwards() {
  CRect r;
  if (!SelectedDims(r)) return;
  const int bottom = Trunc(static_cast<float>(r.bottom + kKeyOrigin) * m_fZoom);
  CRect client;
  GetClientRect(&client);
  const int h = client.Height();
  const CPoint scroll = GetScrollPosition();
  if (scroll.y + h < bottom) ScrollToPosition(CPoint(scroll.x, bottom - h));
}

int CQueltView::RowTop(int row) { return kKeyOrigin + m_pRoot->GetRowTop(row); }

// The rows' tops never decrease, so the row is found from the row under y
// and corrected by the exact comparison, instead of stepping from the root.
int CQueltView::FirstRowAtOrBelow(int y) {
  const int last = m_pRoot->GetRowCount() - 1;
  auto above = [&](int row) { return static_cast<float>(RowTop(row)) * m_fZoom < static_cast<float>(y); };
  const int logical = std::max(0, Trunc(static_cast<float>(y) / m_fZoom) - kKeyOrigin);
  int row = std::clamp(m_pRoot->GetRowAtY(logical), 0, last);
  while (row > 0 && !above(row - 1)) --row;
  while (row < last && above(row)) ++row;
  return row;
}

void CQueltView::PageUp() {
  CRect client;
  GetClientRect(&client);
  const int h = client.Height();
  const CPoint old = GetScrollPosition();
  ScrollToPosition(CPoint(old.x, std::max(0, old.y - h)));
  const CPoint now = GetScrollPosition();
  const int last = m_pRoot->GetRowCount() - 1;
  int row = FirstRowAtOrBelow(now.y);
  if (now.y == old.y - h && row < last) {
    ++row;
    ScrollToPosition(CPoint(now.x, Trunc(static_cast<float>(RowTop(row)) * m_fZoom)));
  }
  SelectNode(m_pRoot->NodeAtRow(row));
}

void CQueltView::PageDown() {
  CRect client;
  GetClientRect(&client);
  const int h = client.Height();
  const CPoint old = GetScrollPosition();
  ScrollToPosition(CPoint(old.x, old.y + h));
  const CPoint now = GetScrollPosition();
  const int last = m_pRoot->GetRowCount() - 1;
  int row = FirstRowAtOrBelow(now.y);
  if (now.y == old.y + h) {
    if (row > 0) --row;
    ScrollToPosition(CPoint(now.x, Trunc(static_cast<float>(RowTop(row)) * m_fZoom)));
  } else if (now.y == old.y) {
    row = last;
  }
  SelectNode(m_pRoot->NodeAtRow(row));
}

void CQueltView::OnKeyDown(UINT key, UINT repeatCount, UINT flags) {
  CTreeNode* target = nullptr;
  switch (key) {
    case VK_RETURN:
      if (m_pSelected == nullptr) return;
      m_pSelected->ToggleExpanded();
      break;
    case VK_HOME:
      if (m_pRoot == nullptr) return;
      SelectNode(m_pRoot);
      RevealUpwards();
      break;
    case VK_END:
      if (m_pSelected == nullptr || m_pRoot == nullptr) return;
      // The last visible node, found by its row rather than by a walk.
      SelectNode(m_pRoot->NodeAtRow(m_pRoot->GetRowCount() - 1));
      RevealDownwards();
      break;
    case VK_LEFT:
      if (m_pSelected == nullptr || (target = m_pSelected->Parent()) == nullptr) return;
      SelectNode(target);
      RevealUpwards();
      break;
    case VK_UP:
      if (m_pSelected == nullptr || (target = m_pSelected->Up()) == nullptr) return;
      SelectNode(target);
      RevealUpwards();
      break;
    case VK_RIGHT:
      if (m_pSelected == nullptr || (target = m_pSelected->FirstChild()) == nullptr) return;
      SelectNode(target);
      RevealDownwards();
      break;
    case VK_DOWN:
      if (m_pSelected == nullptr || (target = m_pSelected->Down()) == nullptr) return;
      SelectNode(target);
      RevealDownwards();
      break;
    case VK_PRIOR:
      if (m_pSelected == nullptr || m_pRoot == nullptr) return;
      PageUp();
      break;
    case VK_NEXT:
      if (m_pSelected == nullptr || m_pRoot == nullptr) return;
      PageDown();
      break;
    default:
      CScrollView::OnKeyDown(key, repeatCount, flags);
      return;
  }
  Redraw();
}

void CQueltView::OnViewZoom() {
  CZoomBox box(this);
  // Rounded: a zoom of 9.86 is 985.99994 in single precision, and a
  // truncated preset would shrink the zoom each time the dialog is confirmed.
  box.m_nPercent = static_cast<unsigned int>(std::clamp(static_cast<int>(std::lround(m_fZoom * 100)), 10, 1000));
  if (box.DoModal() != IDOK) return;
  m_fZoom = std::clamp(static_cast<float>(box.m_nPercent) / 100.0f, kMinZoom, kMaxZoom);
  Redraw();
}
