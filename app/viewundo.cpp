// The view's history: every change to the tree is recorded as an undoable
// step; Undo and Redo move through them and the document's modified flag
// follows whether the tree is the stored one.
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/undo.h"
#include "common/ctstring.h"
#include "platform/cmdtarget.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"

namespace {

// Whether two contents of one node are the same, bit for bit: compared as
// their data-element text, which is exact for every kind (all float bits,
// every byte of a string) and names symbols by number.
bool SameContent(const SlotContent& a, const SlotContent& b) {
  if (a.isPair != b.isPair || a.key != b.key) return false;
  const QV_RawDataElement rawA = ToRawDataElement(a.value);
  const QV_RawDataElement rawB = ToRawDataElement(b.value);
  char* textA = nullptr;
  char* textB = nullptr;
  const bool same = DEtoA(&rawA, &textA, nullptr, nullptr) == QV_OK && DEtoA(&rawB, &textB, nullptr, nullptr) == QV_OK &&
                    textA != nullptr && textB != nullptr && std::strcmp(textA, textB) == 0;
  std::free(textA);
  std::free(textB);
  return same;
}

}  // namespace

// The comparison, if any, follows every change.
void CQueltView::RecordChange(std::unique_ptr<CUndoStep> step) {
  m_history.Add(std::move(step));
  RecomputeComparison();
}

void CQueltView::MarkStored() { m_history.SetClean(); }

void CQueltView::MarkNeverStored() { m_history.ResetClean(); }

void CQueltView::RecordInsert(CTreeNode* container, CTreeNode* node, const CString& name) {
  // The container holds the node itself, or (a set) the pair around it.
  CTreeNode* slot = node;
  while (slot != nullptr && slot->GetParent() != container) slot = slot->GetParent();
  SlotContent content;
  if (slot == nullptr || !TakeSlot(slot, &content)) {
    RecomputeComparison();  // no step, but the tree has changed
    return;
  }
  RecordChange(MakeSlotStep(this, name, PathOf(slot), true, std::move(content)));
}

int CQueltView::EditWithUndo(CDENode* node) {
  if (node->IsRemovedRow()) return 0;
  RemovedRowsAside aside(this);
  const QV_String server(m_strSymbolServer.GetString());
  const CString name = LoadStringById(IDS_CHANGE_PROPERTIES);
  // A dialog confirmed without a change changes nothing: no step, and the
  // caller leaves the modified mark alone.  The row may still read
  // differently (a key typed as its number), so it is drawn again.
  // A pair's dialog changes only its key: the value stays where it is.
  if (auto* pair = dynamic_cast<CKVPairNode*>(node)) {
    const auto before = static_cast<uint32_t>(pair->GetKey());
    if (pair->EditNode(m_pSession, server, this) == 0) return 0;
    const auto after = static_cast<uint32_t>(pair->GetKey());
    if (after == before) {
      Redraw();
      return 0;
    }
    RecordChange(MakeKeyStep(this, name, PathOf(pair), before, after));
    return 1;
  }
  // A node that cannot be edited changes nothing: no copy of its sub-tree.
  if (node->CanEdit() == 0) return node->EditNode(m_pSession, server, this);
  SlotContent before;
  const bool kept = TakeSlot(node, &before);
  if (node->EditNode(m_pSession, server, this) == 0) return 0;
  SlotContent after;
  if (kept && TakeSlot(node, &after)) {
    if (SameContent(before, after)) {
      Redraw();
      return 0;
    }
    RecordChange(MakeReplaceStep(this, name, PathOf(node), std::move(before), std::move(after)));
  }
  return 1;
}

int CQueltView::ReplaceTree(CTkvs set) {
  if (!BuildTree(m_strSymbolServer, set)) return FALSE;
  RecomputeComparison();
  return TRUE;
}

int CQueltView::OpenRevisionContent(CTkvs set) {
  RemovedRowsAside aside(this);
  return ReplaceProfileAsStep(set, IDS_CHANGE_REVISION);
}

void CQueltView::ShowChangedNode(CTreeNode* node) {
  if (node == nullptr) return;
  for (CTreeNode* above = node->GetParent(); above != nullptr; above = above->GetParent())
    if (!above->IsExpanded()) above->SetExpanded(1);
  SelectNode(node);
  ScrollIntoView(node);
}

void CQueltView::HistoryMoved() {
  RecomputeComparison();
  Redraw();
  CQueltDoc* doc = GetDocument();
  if (doc == nullptr) return;
  doc->SetModifiedFlag(m_history.IsClean() ? FALSE : TRUE);
  doc->UpdateTitle();
}

void CQueltView::OnEditUndo() {
  if (!m_history.CanUndo()) return;
  RemovedRowsAside aside(this);
  m_history.Undo();
  HistoryMoved();
}

void CQueltView::OnEditRedo() {
  if (!m_history.CanRedo()) return;
  RemovedRowsAside aside(this);
  m_history.Redo();
  HistoryMoved();
}

void CQueltView::OnUpdateEditUndo(CCmdUI* ui) {
  ui->Enable(m_history.CanUndo());
  CString text;
  CString name = m_history.UndoName();
  if (!name.IsEmpty()) name = " " + name;
  text.Format(LoadStringById(IDS_UNDO_ITEM).GetString(), name.GetString());
  ui->SetText(text.GetString());
}

void CQueltView::OnUpdateEditRedo(CCmdUI* ui) {
  ui->Enable(m_history.CanRedo());
  CString text;
  CString name = m_history.RedoName();
  if (!name.IsEmpty()) name = " " + name;
  text.Format(LoadStringById(IDS_REDO_ITEM).GetString(), name.GetString());
  ui->SetText(text.GetString());
}
