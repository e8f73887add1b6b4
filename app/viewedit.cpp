// The view's editing commands: create an object inside the selected
// container, edit the selected object's value, delete it, and the context
// menu of a node.  The nodes decide what is allowed and ask for keys,
// positions and values themselves.
#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "app/queltview.h"
#include "app/undo.h"
#include "common/ctstring.h"
#include "dialogs/errorbox.h"
#include "platform/cmdtarget.h"
#include "platform/cmenu.h"
#include "platform/stringtable.h"
#include "tree/arrynode.h"
#include "tree/boolnode.h"
#include "tree/fltnode.h"
#include "tree/frngnode.h"
#include "tree/intnode.h"
#include "tree/irngnode.h"
#include "tree/kvs_node.h"
#include "tree/str_node.h"
#include "tree/sym_node.h"
#include "tree/uintnode.h"
#include "model/dataelt.h"
#include "resources/stringids.h"
#include "s100/ctlimits.h"

namespace {

// One create-object command: its node class and the context menu's text.
// The table is in the context menu's order.
struct ObjectKind {
  UINT command;
  const char* typeName;
  UINT menuText;
  CDENode* (*create)();
};

template <typename Node>
CDENode* Make() {
  return new (std::nothrow) Node;
}

constexpr ObjectKind kObjectKinds[] = {
    {ID_ADD_ARRAY, "CArrayNode", 4164, &Make<CArrayNode>},
    {ID_ADD_BOOLEAN, "CBoolNode", 4160, &Make<CBoolNode>},
    {ID_ADD_FLOAT, "CFloatNode", 4176, &Make<CFloatNode>},
    {ID_ADD_FRANGE, "CFRangeNode", 4175, &Make<CFRangeNode>},
    {ID_ADD_INTEGER, "CIntegerNode", 4158, &Make<CIntegerNode>},
    {ID_ADD_IRANGE, "CIRangeNode", 4163, &Make<CIRangeNode>},
    {ID_ADD_KVSET, "CKVSetNode", 4165, &Make<CKVSetNode>},
    {ID_ADD_STRING, "CStringNode", 4162, &Make<CStringNode>},
    {ID_ADD_SYMBOL, "CSymbolNode", 4161, &Make<CSymbolNode>},
    {ID_ADD_UINT, "CUIntNode", 4159, &Make<CUIntNode>},
};

const ObjectKind* KindOf(UINT command) {
  for (const ObjectKind& kind : kObjectKinds)
    if (kind.command == command) return &kind;
  return nullptr;
}

// Sets and arrays are the levels of nesting; pairs and scalars are not.
bool IsContainer(const CTreeNode* node) {
  return dynamic_cast<const CKVSetNode*>(node) != nullptr || dynamic_cast<const CArrayNode*>(node) != nullptr;
}

// The containers from the node up to the root, the node included.
int LevelsAbove(const CTreeNode* node) {
  int levels = 0;
  for (; node != nullptr; node = node->GetParent())
    if (IsContainer(node)) ++levels;
  return levels;
}

// The deepest nesting of containers within the sub-tree, the top included.
// Walked with a stack of its own: a pasted sub-tree may be large.
int LevelsWithin(const CTreeNode* top) {
  int deepest = 0;
  std::vector<std::pair<const CTreeNode*, int>> pending{{top, 0}};
  while (!pending.empty()) {
    const auto [node, above] = pending.back();
    pending.pop_back();
    const int levels = above + (IsContainer(node) ? 1 : 0);
    deepest = std::max(deepest, levels);
    for (const CTreeNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling())
      if (IsContainer(child) || child->GetFirstChild() != nullptr) pending.emplace_back(child, levels);
  }
  return deepest;
}

}  // namespace

void CQueltView::AddEditingCommands() {
  AddCommand(ID_EDIT_PROPERTIES, &CQueltView::OnEditProperties);
  AddCommandUpdate(ID_EDIT_PROPERTIES, &CQueltView::OnUpdateEditProperties);
  AddCommand(ID_EDIT_DELETE, &CQueltView::OnEditDelete);
  AddCommandUpdate(ID_EDIT_DELETE, &CQueltView::OnUpdateEditDelete);
  for (const ObjectKind& kind : kObjectKinds) {
    const UINT id = kind.command;
    AddCommand(id, [this, id] { CreateObject(id); });
    AddCommandUpdate(id, [this, id](CCmdUI* ui) { UpdateCreateObject(ui, id); });
  }
  AddCommand(ID_EDIT_COPY, &CQueltView::OnEditCopy);
  AddCommandUpdate(ID_EDIT_COPY, &CQueltView::OnUpdateEditCopy);
  AddCommand(ID_EDIT_CUT, &CQueltView::OnEditCut);
  AddCommandUpdate(ID_EDIT_CUT, &CQueltView::OnUpdateEditCut);
  AddCommand(ID_EDIT_PASTE, &CQueltView::OnEditPaste);
  AddCommandUpdate(ID_EDIT_PASTE, &CQueltView::OnUpdateEditPaste);
  AddCommand(ID_EDIT_UNDO, &CQueltView::OnEditUndo);
  AddCommandUpdate(ID_EDIT_UNDO, &CQueltView::OnUpdateEditUndo);
  AddCommand(ID_EDIT_REDO, &CQueltView::OnEditRedo);
  AddCommandUpdate(ID_EDIT_REDO, &CQueltView::OnUpdateEditRedo);
  AddCommand(ID_EDIT_FIND, &CQueltView::OnEditFind);
  AddCommand(ID_FIND_NEXT, &CQueltView::OnEditFindnext);
  AddCommandUpdate(ID_FIND_NEXT, &CQueltView::OnUpdateEditFindnext);
}

CDENode* CQueltView::SelectedDENode() const { return dynamic_cast<CDENode*>(m_pSelected); }

int CQueltView::CanAddNode(const CString& typeName) {
  CDENode* selected = SelectedDENode();
  return selected != nullptr && selected->CanContain(typeName) != 0 ? TRUE : FALSE;
}

int CQueltView::AddNodeToProfile(CDENode* node) {
  CDENode* selected = SelectedDENode();
  if (selected == nullptr) {
    CErrorBox(IDS_SELECT_A_NODE, this).DoModal();
    return FALSE;
  }
  if (node == nullptr || selected->CanContain(node->Type()) == 0) {
    CErrorBox(IDS_CANNOT_INSERT, this).DoModal();
    return FALSE;
  }
  if (selected->AddSubNode(node, this, m_pSession, QV_String(m_strSymbolServer.GetString())) == 0) return FALSE;
  Redraw();
  return TRUE;
}

int CQueltView::FitsNestingLimit(CDENode* node) {
  if (node == nullptr || m_pSelected == nullptr) return TRUE;
  if (LevelsAbove(m_pSelected) + LevelsWithin(node) <= kCtMaxElementDepth) return TRUE;
  CErrorBox(IDS_TOO_DEEP, this).DoModal();
  return FALSE;
}

void CQueltView::CreateObject(UINT id) {
  const ObjectKind* kind = KindOf(id);
  if (kind == nullptr) return;
  CDENode* node = kind->create();
  if (node == nullptr) {
    CErrorBox(IDS_NO_MEMORY, this).DoModal();
    return;
  }
  if (id == ID_ADD_SYMBOL) {
    QV_DataElement symbol;
    symbol.SetToSymbol(m_nNewSymbolValue);
    node->PutDE(symbol, m_pSession, QV_String(m_strSymbolServer.GetString()));
  }
  // A refused object changes nothing, so the document stays as it was.
  if (!CanAddNode(node->Type()) || !FitsNestingLimit(node)) {
    delete node;
    return;
  }
  RemovedRowsAside aside(this);
  CTreeNode* container = m_pSelected;
  if (AddNodeToProfile(node)) {
    CString name = LoadStringById(kind->menuText);
    const int dots = name.Find("...");
    if (dots >= 0) name = name.Left(dots);
    RecordInsert(container, node, name);
  } else {
    delete node;
  }
  // Marked even when the user cancelled the key or value dialog.
  DocumentModified();
}

void CQueltView::UpdateCreateObject(CCmdUI* ui, UINT id) {
  const ObjectKind* kind = KindOf(id);
  ui->Enable(kind != nullptr && CanAddNode(kind->typeName));
}

void CQueltView::OnEditProperties() {
  CDENode* selected = SelectedDENode();
  if (selected == nullptr) {
    CErrorBox(IDS_SELECT_A_NODE, this).DoModal();
    return;
  }
  if (EditWithUndo(selected) == 0) return;
  Redraw();
  DocumentModified();
}

void CQueltView::OnUpdateEditProperties(CCmdUI* ui) {
  CDENode* selected = SelectedDENode();
  ui->Enable(selected != nullptr && selected->CanEdit() != 0);
}

void CQueltView::OnEditDelete() { DeleteSelected(LoadStringById(IDS_CHANGE_DELETE)); }

void CQueltView::DeleteSelected(const CString& name) {
  CDENode* selected = SelectedDENode();
  if (selected == nullptr) return;
  if (selected->CanDelete(nullptr) == 0) {
    CErrorBox(IDS_SELECT_A_NODE, this).DoModal();
    return;
  }
  RemovedRowsAside aside(this);
  CTreeNode* next = selected->Up();
  if (next == nullptr) next = selected;
  TreePath place = PathOf(selected);
  SlotContent content;
  const bool kept = TakeSlot(selected, &content);
  if (selected->Delete(this) == 0) {
    CErrorBox(IDS_DELETE_FAILED, this).DoModal();
    return;
  }
  // The deleted node is gone: never select it again, even if it had no
  // node above it.
  m_pSelected = nullptr;
  SelectNode(next != selected ? next : m_pRoot);
  if (kept)
    RecordChange(MakeSlotStep(this, name, std::move(place), false, std::move(content)));
  else
    RecomputeComparison();  // no step, but the tree has changed
  Redraw();
  DocumentModified();
}

void CQueltView::OnUpdateEditDelete(CCmdUI* ui) {
  CDENode* selected = SelectedDENode();
  ui->Enable(selected != nullptr && selected->CanDelete(nullptr) != 0);
}

void CQueltView::OnRButtonDown(UINT /*flags*/, CPoint point) {
  if (m_pRoot != nullptr) {
    int onIcon = 0;
    CTreeNode* hit = HitTest(point, onIcon);
    if (hit != nullptr && hit != m_pSelected) {
      SelectNode(hit);
      Redraw();
    }
  }
  CDENode* selected = SelectedDENode();
  if (selected == nullptr) return;

  CMenu menu;
  menu.CreatePopupMenu();
  menu.AppendMenu(selected->CanEdit() ? MF_STRING : MF_STRING | MF_GRAYED, ID_EDIT_PROPERTIES,
                  LoadStringById(IDS_MENU_PROPERTIES).GetString());
  menu.AppendMenu(selected->CanDelete(nullptr) ? MF_STRING : MF_STRING | MF_GRAYED, ID_EDIT_DELETE,
                  LoadStringById(IDS_MENU_DELETE).GetString());
  menu.AppendMenu(MF_SEPARATOR);
  bool anyAdd = false;
  for (const ObjectKind& kind : kObjectKinds) {
    if (!CanAddNode(kind.typeName)) continue;
    menu.AppendMenu(MF_STRING, kind.command, LoadStringById(kind.menuText).GetString());
    anyAdd = true;
  }
  // Without an "Add" entry the separator would end the menu.
  if (!anyAdd) menu.RemoveMenu(2, MF_BYPOSITION);
  // A node a comparison marked can take the other side's value from here too.
  if (m_pCompare != nullptr && m_pCompare->otherServer.IsEmpty() && m_pCompare->diffsOf.count(m_pSelected) != 0) {
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, ID_COMPARE_TAKE_OTHER, LoadStringById(IDS_MENU_TAKE_OTHER).GetString());
    if (m_pCompare->conflictsOf.count(m_pSelected) != 0)
      menu.AppendMenu(MF_STRING, ID_COMPARE_KEEP_MINE, LoadStringById(IDS_MENU_KEEP_MINE).GetString());
  }
  ClientToScreen(&point);
  menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x + 2, point.y + 2, this);
}
