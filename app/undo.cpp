#include "app/undo.h"

#include <utility>

#include "app/queltview.h"
#include "common/ctstring.h"
#include "tree/denode.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"
#include "tree/sym_node.h"

namespace {

// A rough cost of one node of a kept sub-tree: its container entry and
// the node rebuilt from it.
constexpr size_t kBytesPerNode = 64;

size_t CountNodes(const CTreeNode* node) {
  size_t count = 0;
  // Iterative: a deep or long sub-tree must not grow the stack.
  const CTreeNode* n = node;
  while (n != nullptr) {
    ++count;
    if (n->GetFirstChild() != nullptr) {
      n = n->GetFirstChild();
      continue;
    }
    while (n != node && n->GetNextSibling() == nullptr) n = n->GetParent();
    if (n == node) break;
    n = n->GetNextSibling();
  }
  return count;
}

CTreeNode* ChildAt(CTreeNode* parent, int index) {
  if (parent == nullptr || index < 0) return nullptr;
  CTreeNode* child = parent->GetFirstChild();
  while (child != nullptr && index-- > 0) child = child->GetNextSibling();
  return child;
}

// A node rebuilt from its content, for the view's server; null on failure.
CTreeNode* BuildSlot(const SlotContent& content, CQueltView* view) {
  const QV_String server(view->GetSymbolServer().GetString());
  CDENode* value = CDENode::CreateDENode(content.value, view->GetSession(), server);
  if (value == nullptr) return nullptr;
  value->SetExpanded(content.expanded ? 1 : 0);
  if (!content.isPair) return value;
  auto* key = new CSymbolNode();
  QV_DataElement symbol;
  symbol.SetToSymbol(content.key);
  key->PutDE(symbol, view->GetSession(), server);
  return new CKVPairNode(key, value);
}

// The base of the steps: the view they change and the name they show.
class TreeStep : public CUndoStep {
 public:
  TreeStep(CQueltView* view, CString name) : m_pView(view), m_strName(std::move(name)) {}
  CString Name() const override { return m_strName; }

 protected:
  // Puts a rebuilt child at the index under the parent at the path.
  void Insert(const TreePath& place, const SlotContent& content) {
    if (place.empty()) return;  // the root is never a child
    TreePath parentPath(place.begin(), place.end() - 1);
    CTreeNode* parent = NodeAt(m_pView->GetRoot(), parentPath);
    CTreeNode* node = parent != nullptr ? BuildSlot(content, m_pView) : nullptr;
    if (node == nullptr) return;
    if (!parent->AddSubNode(node, place.back())) {
      delete node;
      return;
    }
    m_pView->ShowChangedNode(node);
  }
  // Removes the child at the place; the node above it becomes the selection.
  void Remove(const TreePath& place) {
    CTreeNode* node = NodeAt(m_pView->GetRoot(), place);
    if (node == nullptr || node->GetParent() == nullptr) return;
    CTreeNode* above = node->Up();
    if (m_pView->GetSelected() != nullptr && (m_pView->GetSelected() == node || IsWithin(m_pView->GetSelected(), node)))
      m_pView->SelectNode(nullptr);
    node->GetParent()->DeleteChild(node);
    m_pView->ShowChangedNode(above != nullptr ? above : m_pView->GetRoot());
  }
  static bool IsWithin(const CTreeNode* node, const CTreeNode* ancestor) {
    for (const CTreeNode* n = node; n != nullptr; n = n->GetParent())
      if (n == ancestor) return true;
    return false;
  }

  CQueltView* m_pView;
  CString m_strName;
};

class SlotStep final : public TreeStep {
 public:
  SlotStep(CQueltView* view, CString name, TreePath place, bool inserted, SlotContent content)
      : TreeStep(view, std::move(name)), m_place(std::move(place)), m_bInserted(inserted), m_content(std::move(content)) {}
  void Undo() override { m_bInserted ? Remove(m_place) : Insert(m_place, m_content); }
  void Redo() override { m_bInserted ? Insert(m_place, m_content) : Remove(m_place); }
  size_t Bytes() const override { return m_content.bytes; }

 private:
  TreePath m_place;
  bool m_bInserted;
  SlotContent m_content;
};

class ReplaceStep final : public TreeStep {
 public:
  ReplaceStep(CQueltView* view, CString name, TreePath place, SlotContent before, SlotContent after)
      : TreeStep(view, std::move(name)), m_place(std::move(place)), m_before(std::move(before)), m_after(std::move(after)) {}
  void Undo() override { Put(m_before); }
  void Redo() override { Put(m_after); }
  size_t Bytes() const override { return m_before.bytes + m_after.bytes; }

 private:
  void Put(const SlotContent& content) {
    CTreeNode* old = NodeAt(m_pView->GetRoot(), m_place);
    if (old == nullptr || old->GetParent() == nullptr) return;
    if (m_pView->GetSelected() == old || IsWithin(m_pView->GetSelected(), old)) m_pView->SelectNode(nullptr);
    old->GetParent()->DeleteChild(old);
    Insert(m_place, content);
  }

  TreePath m_place;
  SlotContent m_before;
  SlotContent m_after;
};

class KeyStep final : public TreeStep {
 public:
  KeyStep(CQueltView* view, CString name, TreePath place, uint32_t before, uint32_t after)
      : TreeStep(view, std::move(name)), m_place(std::move(place)), m_nBefore(before), m_nAfter(after) {}
  void Undo() override { Put(m_nBefore); }
  void Redo() override { Put(m_nAfter); }
  size_t Bytes() const override { return sizeof(*this); }

 private:
  void Put(uint32_t key) {
    auto* pair = dynamic_cast<CKVPairNode*>(NodeAt(m_pView->GetRoot(), m_place));
    if (pair == nullptr || pair->GetKeyNode() == nullptr) return;
    QV_DataElement symbol;
    symbol.SetToSymbol(key);
    pair->GetKeyNode()->PutDE(symbol, m_pView->GetSession(), QV_String(m_pView->GetSymbolServer().GetString()));
    m_pView->ShowChangedNode(pair);
  }

  TreePath m_place;
  uint32_t m_nBefore;
  uint32_t m_nAfter;
};

class ProfileStep final : public TreeStep {
 public:
  ProfileStep(CQueltView* view, CString name, SlotContent before, SlotContent after)
      : TreeStep(view, std::move(name)), m_before(std::move(before)), m_after(std::move(after)) {}
  void Undo() override { Put(m_before); }
  void Redo() override { Put(m_after); }
  size_t Bytes() const override { return m_before.bytes + m_after.bytes; }

 private:
  void Put(const SlotContent& content) {
    if (m_pView->ReplaceTree(content.value.KVSet())) m_pView->ShowChangedNode(m_pView->GetRoot());
  }

  SlotContent m_before;
  SlotContent m_after;
};

}  // namespace

TreePath PathOf(const CTreeNode* node) {
  TreePath path;
  for (const CTreeNode* n = node; n != nullptr && n->GetParent() != nullptr; n = n->GetParent()) {
    int index = 0;
    for (const CTreeNode* s = n->GetPrevSibling(); s != nullptr; s = s->GetPrevSibling()) ++index;
    path.push_back(index);
  }
  return TreePath(path.rbegin(), path.rend());
}

CTreeNode* NodeAt(CTreeNode* root, const TreePath& path) {
  CTreeNode* node = root;
  for (int index : path) {
    node = ChildAt(node, index);
    if (node == nullptr) return nullptr;
  }
  return node;
}

bool TakeSlot(CTreeNode* node, SlotContent* content) {
  auto* de = dynamic_cast<CDENode*>(node);
  if (de == nullptr || de->GetDE(content->value) == 0) return false;
  auto* pair = dynamic_cast<CKVPairNode*>(node);
  content->isPair = pair != nullptr;
  content->key = pair != nullptr ? static_cast<uint32_t>(pair->GetKey()) : 0;
  CTreeNode* value = pair != nullptr ? pair->GetFirstChild() : node;
  content->expanded = value == nullptr || value->IsExpanded();
  content->bytes = CountNodes(node) * kBytesPerNode;
  return true;
}

std::unique_ptr<CUndoStep> MakeSlotStep(CQueltView* view, const CString& name, TreePath place, bool inserted,
                                        SlotContent content) {
  return std::make_unique<SlotStep>(view, name, std::move(place), inserted, std::move(content));
}

std::unique_ptr<CUndoStep> MakeReplaceStep(CQueltView* view, const CString& name, TreePath place,
                                           SlotContent before, SlotContent after) {
  return std::make_unique<ReplaceStep>(view, name, std::move(place), std::move(before), std::move(after));
}

std::unique_ptr<CUndoStep> MakeKeyStep(CQueltView* view, const CString& name, TreePath place, uint32_t before,
                                       uint32_t after) {
  return std::make_unique<KeyStep>(view, name, std::move(place), before, after);
}

std::unique_ptr<CUndoStep> MakeProfileStep(CQueltView* view, const CString& name, SlotContent before,
                                           SlotContent after) {
  return std::make_unique<ProfileStep>(view, name, std::move(before), std::move(after));
}
