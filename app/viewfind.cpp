// Find, Find Next and Find Previous: a case-insensitive search for a piece
// of a node's text, in display order from the node after (or before) the
// selection, wrapping at the ends of the tree.  Every node passed over is
// expanded, so the walk reaches the whole tree and the found node is
// visible.
#include <algorithm>
#include <string_view>

#include "app/findbox.h"
#include "app/queltview.h"
#include "platform/cmdtarget.h"
#include "platform/textbytes.h"
#include "tree/kvs_node.h"

namespace {

// Where the scroll rules place the tree.
constexpr int kFindOrigin = 4;

// Letters are compared as the text's own upper-casing does: ASCII only.
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether the upper-cased needle occurs in the text, compared upper-cased.
bool ContainsUpper(std::string_view text, std::string_view upperNeedle) {
  return std::search(text.begin(), text.end(), upperNeedle.begin(), upperNeedle.end(),
                     [](char a, char b) { return Upper(a) == b; }) != text.end();
}

bool IsAscii(const CString& text) {
  for (int i = 0; i < text.GetLength(); ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

// The search text in both encodings a node's bytes may be in, so that a
// typed "café" finds a UTF-8 and a Latin-1 "café" alike.  A needle is
// tried only on texts of its own encoding: Latin-1 bytes could otherwise
// match the middle of a UTF-8 character.
struct Needles {
  CString utf8;
  CString latin1;
  bool hasLatin1 = false;
  bool ascii = true;  // the same bytes in either encoding

  explicit Needles(const CString& searchText) {
    utf8 = ShownAsUtf8(searchText);
    hasLatin1 = Utf8ToLatin1(utf8, &latin1);
    ascii = IsAscii(utf8);
    utf8.MakeUpper();
    latin1.MakeUpper();
  }
  bool FoundIn(const CString& text) const {
    const std::string_view haystack(text.GetString(), static_cast<size_t>(text.GetLength()));
    if (ascii || EncodingOf(text) == TextEncoding::Utf8)
      return ContainsUpper(haystack, std::string_view(utf8.GetString(), static_cast<size_t>(utf8.GetLength())));
    return hasLatin1 &&
           ContainsUpper(haystack, std::string_view(latin1.GetString(), static_cast<size_t>(latin1.GetLength())));
  }
};

}  // namespace

void CQueltView::OnEditFind() {
  CDENode* selected = SelectedDENode();
  if (selected == nullptr) return;
  CFindBox box(this);
  box.m_strFindWhat = selected->SearchText();
  if (box.m_strFindWhat.IsEmpty()) box.m_strFindWhat = m_strFindText;
  if (box.DoModal() != IDOK) return;
  m_strFindText = box.m_strFindWhat;
  if (!m_strFindText.IsEmpty()) OnEditFindnext();
}

void CQueltView::OnEditFindnext() { FindFromSelection(false); }

void CQueltView::OnEditFindprevious() { FindFromSelection(true); }

// Forwards a node's successor is Down() once the node is expanded, wrapping
// to the root; backwards the walk is that order reversed, wrapping from the
// root to the last node.  Either way every node passed is expanded, so the
// node reached is visible and the whole tree is searched.
void CQueltView::FindFromSelection(bool backwards) {
  // An empty text would match the very next node.
  if (m_strFindText.IsEmpty()) return;
  if (m_pSelected == nullptr || m_pRoot == nullptr) return;
  const Needles needles(m_strFindText);
  auto step = [this, backwards](CTreeNode* from) {
    CTreeNode* next = backwards ? from->UpExpanding() : from->Down();
    if (next != nullptr) return next;
    return backwards ? m_pRoot->LastExpanding() : static_cast<CTreeNode*>(m_pRoot);
  };

  CTreeNode* start = m_pSelected;
  // Forwards the selection's own children come next; backwards they come
  // last, and are opened only if the walk gets that far.
  if (!backwards) start->SetExpanded(1);
  CTreeNode* node = step(start);
  bool found = false;
  while (node != start && !found) {
    // Every node of the view's tree is a data-element node.
    const CString text = static_cast<CDENode*>(node)->SearchText();
    if (needles.FoundIn(text)) {
      found = true;
      break;
    }
    node->SetExpanded(1);
    node = step(node);
  }
  if (!found) {
    // The nodes passed over stay expanded; the window shows them so.
    Redraw();
    CFindNotFoundBox(this).DoModal();
    return;
  }
  SelectNode(node);
  ScrollIntoView(node);
  Redraw();
}

void CQueltView::ScrollIntoView(CTreeNode* node) {
  CRect r;
  int y = kFindOrigin;
  if (m_pRoot == nullptr || m_pRoot->GetDims(node, kFindOrigin, y, r) == 0) return;
  // The branches opened or closed may have changed the scroll range.
  UpdateScrollSizes();
  const CPoint pos = GetScrollPosition();
  CRect client;
  GetClientRect(&client);
  const int h = client.Height();
  const int bottom = Trunc(static_cast<float>(r.bottom + kFindOrigin) * m_fZoom);
  const int top = Trunc(static_cast<float>(r.top - kFindOrigin) * m_fZoom);
  if (pos.y + h < bottom) ScrollToPosition(CPoint(pos.x, bottom - h));
  if (top < pos.y) ScrollToPosition(CPoint(pos.x, top));
}

// Rows are measured as they are drawn, so a wide row that a reveal brought
// in may make the horizontal bar appear only after the scroll: the row it
// covers is brought back by the same rule.
void CQueltView::OnSize(UINT type, int cx, int cy) {
  CScrollView::OnSize(type, cx, cy);
  const int before = m_nClientHeight;
  m_nClientHeight = cy;
  CRect r;
  if (cy >= before || !SelectedDims(r)) return;
  const CPoint pos = GetScrollPosition();
  const int top = Trunc(static_cast<float>(r.top - kFindOrigin) * m_fZoom);
  const int bottom = Trunc(static_cast<float>(r.bottom + kFindOrigin) * m_fZoom);
  const bool wasWhole = top >= pos.y && bottom <= pos.y + before;
  if (wasWhole && bottom > pos.y + cy) ScrollToPosition(CPoint(pos.x, bottom - cy));
}

void CQueltView::OnUpdateEditFindnext(CCmdUI* ui) { ui->Enable(!m_strFindText.IsEmpty()); }

void CQueltView::OnUpdateEditFindprevious(CCmdUI* ui) { OnUpdateEditFindnext(ui); }
