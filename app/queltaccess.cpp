#include "app/queltaccess.h"

#include "app/queltdoc.h"
#include "app/queltview.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "tree/arrynode.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"
#include "tree/removednode.h"
#include "tree/sym_node.h"

namespace {
int Trunc(float value) { return static_cast<int>(value); }
}  // namespace

CString CQueltViewAccess::NodeText(CTreeNode* node) {
  if (auto* pair = dynamic_cast<CKVPairNode*>(node))
    return pair->GetKeyNode() != nullptr ? pair->GetKeyNode()->SearchText() : CString();
  if (auto* removed = dynamic_cast<CRemovedNode*>(node)) return removed->Text();
  if (auto* array = dynamic_cast<CArrayNode*>(node)) return array->Label();
  if (dynamic_cast<CKVSetNode*>(node) != nullptr) return LoadStringById(IDS_KVSET_LABEL);
  if (auto* value = dynamic_cast<CDENode*>(node)) return value->SearchText();
  return CString();
}

CString CQueltViewAccess::TreeName() const {
  const CQueltDoc* doc = m_pView->GetDocument();
  return doc != nullptr ? doc->GetTitle() : CString();
}

bool CQueltViewAccess::HasCurrentItem() const { return m_pView->GetRoot() != nullptr && m_pView->GetSelected() != nullptr; }

// A node a comparison marked says so after its text: added, changed (with
// the other value) or what was removed below it.
CString CQueltViewAccess::CurrentItemText() const {
  CTreeNode* selected = m_pView->GetSelected();
  CString text = NodeText(selected);
  if (auto* node = dynamic_cast<CDENode*>(selected); node != nullptr && node->GetCompareMark() != CDENode::CompareMark::None)
    text += " " + node->CompareMarkText();
  return text;
}

bool CQueltViewAccess::CurrentItemHasChildren() const { return m_pView->GetSelected()->GetFirstChild() != nullptr; }

bool CQueltViewAccess::CurrentItemExpanded() const { return m_pView->GetSelected()->IsExpanded(); }

// The tree is drawn with its corner at the margin, zoomed, and scrolled.
bool CQueltViewAccess::CurrentItemRect(CRect* rect) const {
  CKVSetNode* root = m_pView->GetRoot();
  CTreeNode* selected = m_pView->GetSelected();
  if (root == nullptr || selected == nullptr) return false;
  CRect box;
  int y = CQueltView::kTreeMargin;
  if (root->GetDims(selected, CQueltView::kTreeMargin, y, box) == 0) return false;
  const float zoom = m_pView->GetZoom();
  const CPoint scroll = m_pView->GetScrollPosition();
  *rect = CRect(Trunc(static_cast<float>(box.left) * zoom) - scroll.x, Trunc(static_cast<float>(box.top) * zoom) - scroll.y,
                Trunc(static_cast<float>(box.right) * zoom) - scroll.x,
                Trunc(static_cast<float>(box.bottom) * zoom) - scroll.y);
  return true;
}
