// Find and Find Next: a case-insensitive search for a piece of a node's
// text, in display order from the node after the selection, wrapping from
// the last node to the root.  Every node passed over is expanded, so the
// walk reaches the whole tree and the found node is visible.
#include <algorithm>
#include <string_view>

#include "app/findbox.h"
#include "app/queltview.h"
#include "platform/cmdtarget.h"
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

void CQueltView::OnEditFindnext() {
  CString wanted = m_strFindText;
  wanted.MakeUpper();
  // An empty text would match the very next node.
  if (wanted.IsEmpty()) return;
  if (m_pSelected == nullptr || m_pRoot == nullptr) return;
  const std::string_view needle(wanted.GetString(), static_cast<size_t>(wanted.GetLength()));

  CTreeNode* start = m_pSelected;
  start->SetExpanded(1);
  CTreeNode* node = start->Down();
  if (node == nullptr) node = m_pRoot;
  bool found = false;
  while (node != start && !found) {
    // Every node of the view's tree is a data-element node.
    const CString text = static_cast<CDENode*>(node)->SearchText();
    if (ContainsUpper(std::string_view(text.GetString(), static_cast<size_t>(text.GetLength())), needle)) {
      found = true;
      break;
    }
    node->SetExpanded(1);
    node = node->Down();
    if (node == nullptr) node = m_pRoot;
  }
  if (!found) {
    // The nodes passed over stay expanded; the window shows them so.
    Redraw();
    CFindNotFoundBox(this).DoModal();
    return;
  }
  SelectNode(node);

  CRect r;
  int y = kFindOrigin;
  if (m_pRoot->GetDims(node, kFindOrigin, y, r) != 0) {
    // The branches opened on the way may have grown the scroll range.
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
  Redraw();
}

void CQueltView::OnUpdateEditFindnext(CCmdUI* ui) { ui->Enable(!m_strFindText.IsEmpty()); }
