// Comparison of the open profile with another version of it: the server's
// current content, a revision, a file or a profile on another server.  The
// differences from the other side to the open profile are marked on the
// nodes they concern: an added node on itself, a changed value on its node
// with the other value beside it.  A node only the other side has is a row
// of its own (a CRemovedNode) linked into its container at the place it had
// there.  The marks and those rows are drawing only: the containers leave
// the rows out of their values, the editing commands put them aside while
// they change the tree, and Find never matches them.
#include <algorithm>
#include <atomic>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/undo.h"
#include "common/multises.h"
#include "compare/difftext.h"
#include "compare/elementio.h"
#include "dialogs/errorbox.h"
#include "platform/cframewnd.h"
#include "platform/cmdtarget.h"
#include "platform/progresscall.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"
#include "resources/stringids.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"
#include "tree/removednode.h"

namespace {

// A value beside a node is cut to this many bytes: the row stays readable.
constexpr int kMaxNoteValue = 60;

// The node after n in the pre-order over the whole tree, expanded or not.
CTreeNode* NextInTree(CTreeNode* n) {
  if (n->GetFirstChild() != nullptr) return n->GetFirstChild();
  for (; n != nullptr; n = n->GetParent())
    if (n->GetNextSibling() != nullptr) return n->GetNextSibling();
  return nullptr;
}

// Finds the nodes of difference paths in the tree.  A container's children
// are indexed the first time a path passes it, so that many differences in
// one large set or array cost one pass over its children, not one each.
class PathResolver {
 public:
  explicit PathResolver(CTreeNode* root) : m_root(root) {}

  // The node a difference is marked on: the node itself for an addition or
  // a change (a pair for a key added, the value for a value changed), the
  // container for a removal.  Null when the tree has no such place.
  CTreeNode* MarkedNodeOf(const compare::Difference& d) {
    CTreeNode* node = m_root;
    for (size_t i = 0; i < d.path.size() && node != nullptr; ++i) {
      const compare::PathStep& step = d.path[i];
      const bool last = i + 1 == d.path.size();
      if (last && d.kind == compare::DiffKind::Removed) break;
      if (!step.isKey) {
        const std::vector<CTreeNode*>& items = Items(node);
        node = step.newIndex < items.size() ? items[step.newIndex] : nullptr;
        continue;
      }
      const auto& pairs = Pairs(node);
      const auto found = pairs.find(step.key);
      node = found != pairs.end() ? found->second : nullptr;
      if (node == nullptr || (last && d.kind == compare::DiffKind::Added)) break;
      node = static_cast<CKVPairNode*>(node)->GetValueNode();
    }
    return node;
  }

 private:
  const std::unordered_map<CTsymbol, CTreeNode*>& Pairs(CTreeNode* set) {
    auto [at, added] = m_pairs.try_emplace(set);
    if (added)
      for (CTreeNode* c = set->GetFirstChild(); c != nullptr; c = c->GetNextSibling())
        if (auto* pair = dynamic_cast<CKVPairNode*>(c)) at->second.emplace(static_cast<CTsymbol>(pair->GetKey()), pair);
    return at->second;
  }
  const std::vector<CTreeNode*>& Items(CTreeNode* array) {
    auto [at, added] = m_items.try_emplace(array);
    if (added)
      for (CTreeNode* c = array->GetFirstChild(); c != nullptr; c = c->GetNextSibling()) at->second.push_back(c);
    return at->second;
  }

  CTreeNode* m_root;
  std::unordered_map<CTreeNode*, std::unordered_map<CTsymbol, CTreeNode*>> m_pairs;
  std::unordered_map<CTreeNode*, std::vector<CTreeNode*>> m_items;
};

CString Shortened(const std::string& text) {
  if (text.size() <= static_cast<size_t>(kMaxNoteValue)) return CString(text.c_str());
  // Cut at a character's start, so a UTF-8 text is never split inside one.
  size_t end = static_cast<size_t>(kMaxNoteValue);
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return CString((text.substr(0, end) + "...").c_str());
}

// The set the path's container is on the other side, read from the other
// element (steps as the other side has them); false when there is none.
bool OldSetAt(const QV_DataElement& other, const std::vector<compare::PathStep>& path,
              std::vector<compare::Entry>* entries) {
  compare::Item item = compare::FromElement(other);
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    const compare::PathStep& step = path[i];
    if (step.isKey) {
      std::vector<compare::Entry> here;
      if (item.type != CT_TYPE_KVSET || !compare::ReadSet(item.handle, &here)) return false;
      const auto found =
          std::find_if(here.begin(), here.end(), [&](const compare::Entry& e) { return e.key == step.oldKey; });
      if (found == here.end()) return false;
      item = found->value;
    } else {
      compare::ArrayItems items;
      if (item.type < CT_TYPE_ARRAY || !compare::ReadArray(item.handle, &items) || step.oldIndex >= items.count)
        return false;
      item = items.At(step.oldIndex);
    }
  }
  return item.type == CT_TYPE_KVSET && compare::ReadSet(item.handle, entries);
}

// A key as both sides can meet it: by number, or by name when the sides
// number names differently.
std::string KeyIdentity(CTsymbol key, const compare::SymbolNamer& names, bool byName) {
  std::string name;
  if (byName && names && names(key, &name) && !name.empty()) return name;
  return "#" + std::to_string(key);
}

}  // namespace

CQueltView::RemovedRowsAside::RemovedRowsAside(CQueltView* view) : m_pView(view) {
  if (m_pView->m_nRowsAside++ == 0 && m_pView->m_pCompare != nullptr && m_pView->m_pCompare->removedRowsShown) {
    m_pView->RemoveRemovedRows();
    m_pView->ListMarkedNodes();
  }
}

CQueltView::RemovedRowsAside::~RemovedRowsAside() {
  if (--m_pView->m_nRowsAside != 0 || m_pView->m_pCompare == nullptr || m_pView->m_pCompare->removedRowsShown) return;
  m_pView->PlaceRemovedRows();
  m_pView->ListMarkedNodes();
  m_pView->ShowCompareStatus();
  m_pView->Redraw();
}

void CQueltView::AddCompareCommands() {
  AddCommand(ID_COMPARE_NEXT, &CQueltView::OnCompareNext);
  AddCommandUpdate(ID_COMPARE_NEXT, &CQueltView::OnUpdateComparing);
  AddCommand(ID_COMPARE_PREVIOUS, &CQueltView::OnComparePrevious);
  AddCommandUpdate(ID_COMPARE_PREVIOUS, &CQueltView::OnUpdateComparing);
  AddCommand(ID_COMPARE_TAKE_OTHER, &CQueltView::OnCompareTakeOther);
  AddCommandUpdate(ID_COMPARE_TAKE_OTHER, &CQueltView::OnUpdateCompareMarked);
  AddCommand(ID_COMPARE_END, &CQueltView::EndComparison);
  AddCommandUpdate(ID_COMPARE_END, &CQueltView::OnUpdateCompareEnd);
  AddCommand(ID_COMPARE_KEEP_MINE, &CQueltView::OnCompareKeepMine);
  AddCommandUpdate(ID_COMPARE_KEEP_MINE, &CQueltView::OnUpdateCompareConflict);
}

const std::vector<CTreeNode*>& CQueltView::MarkedNodes() const {
  static const std::vector<CTreeNode*> kNone;
  return m_pCompare != nullptr ? m_pCompare->marked : kNone;
}

compare::SymbolNamer CQueltView::NamerOf(const CString& server) const {
  MultiAdminSession* session = m_pSession;
  const std::string serverName = server.GetString();
  return [session, serverName](uint32_t symbol, std::string* name) {
    QV_String text;
    if (session == nullptr || !session->SymbolToName(QV_String(serverName.c_str()), symbol, &text) ||
        static_cast<const char*>(text) == nullptr)
      return false;
    *name = static_cast<const char*>(text);
    return true;
  };
}

int CQueltView::StartComparison(const QV_DataElement& other, const CString& otherName, const CString& otherServer) {
  if (m_pRoot == nullptr) return FALSE;
  if (other.Type() != CT_TYPE_KVSET) {
    CErrorBox(IDS_COMPARE_FAILED, this).DoModal();
    return FALSE;
  }
  auto comparison = std::make_unique<Comparison>();
  comparison->other = other;
  comparison->otherName = otherName;
  if (otherServer != m_strSymbolServer) comparison->otherServer = otherServer;
  return InstallComparison(std::move(comparison));
}

int CQueltView::InstallComparison(std::unique_ptr<Comparison> comparison) {
  ClearMarks();
  m_pCompare = std::move(comparison);
  RecomputeComparison();
  if (m_pCompare == nullptr) return FALSE;
  m_pRoot->SetExpandedAll(0);
  m_pRoot->SetExpanded(1);
  for (CTreeNode* node : m_pCompare->marked)
    for (CTreeNode* above = node->GetParent(); above != nullptr; above = above->GetParent())
      if (!above->IsExpanded()) above->SetExpanded(1);
  if (!m_pCompare->marked.empty()) {
    ShowChangedNode(m_pCompare->marked.front());
  } else {
    SelectNode(m_pRoot);
    ScrollToPosition(CPoint(0, 0));
  }
  ShowCompareStatus();
  Redraw();
  return TRUE;
}

void CQueltView::EndComparison() {
  // A merge's undecided conflicts stay until each is decided.
  if (m_pCompare == nullptr || UnresolvedConflicts() > 0) return;
  ClearMarks();
  m_pCompare.reset();
  m_strCompareStatus.Empty();
  if (CFrameWnd* frame = GetParentFrame()) frame->SetMessageText("");
  Redraw();
}

void CQueltView::ClearMarks() {
  RemoveRemovedRows();
  for (CTreeNode* n = m_pRoot; n != nullptr; n = NextInTree(n))
    if (auto* node = dynamic_cast<CDENode*>(n); node != nullptr && node->GetCompareMark() != CDENode::CompareMark::None)
      node->SetCompareMark(CDENode::CompareMark::None, CString());
}

void CQueltView::RemoveRemovedRows() {
  std::vector<CTreeNode*> rows;
  for (CTreeNode* n = m_pRoot; n != nullptr; n = NextInTree(n))
    if (auto* node = dynamic_cast<CDENode*>(n); node != nullptr && node->IsRemovedRow()) rows.push_back(n);
  for (CTreeNode* row : rows) {
    if (row == m_pSelected) {
      CTreeNode* above = row->Up();
      while (above != nullptr && static_cast<CDENode*>(above)->IsRemovedRow()) above = above->Up();
      SelectNode(above != nullptr ? above : m_pRoot);
    }
    if (m_pCompare != nullptr) m_pCompare->diffsOf.erase(row);
    row->GetParent()->DeleteChild(row);
  }
  if (m_pCompare != nullptr) m_pCompare->removedRowsShown = false;
}

// Each removed node goes where it was: an array item before the item that
// now holds its old position among the kept ones; a set member after the
// member that preceded it on the other side (first when none did).
void CQueltView::PlaceRemovedRows() {
  if (m_pCompare == nullptr || m_pRoot == nullptr || m_nRowsAside > 0 || m_pCompare->removedRowsShown ||
      m_pCompare->conflicts)
    return;  // a merge marks its conflicts only
  Comparison& c = *m_pCompare;
  c.removedRowsShown = true;
  const compare::SymbolNamer names = NamerOf(m_strSymbolServer);
  const bool byName = !c.otherServer.IsEmpty();
  const compare::SymbolNamer otherNames = byName ? NamerOf(c.otherServer) : names;
  PathResolver resolver(m_pRoot);
  std::vector<std::pair<CTreeNode*, std::vector<size_t>>> groups;
  std::unordered_map<CTreeNode*, size_t> groupOf;
  for (size_t i = 0; i < c.diffs.size(); ++i) {
    if (c.diffs[i].kind != compare::DiffKind::Removed || c.diffs[i].path.empty()) continue;
    CTreeNode* container = resolver.MarkedNodeOf(c.diffs[i]);
    if (container == nullptr) continue;
    auto [at, added] = groupOf.try_emplace(container, groups.size());
    if (added) groups.emplace_back(container, std::vector<size_t>());
    groups[at->second].second.push_back(i);
  }
  struct Row {
    size_t before;  // the number of the container's own children before it
    size_t diff;
  };
  for (auto& [container, removed] : groups) {
    std::vector<Row> rows;
    size_t children = 0;
    for (CTreeNode* n = container->GetFirstChild(); n != nullptr; n = n->GetNextSibling()) ++children;
    if (!c.diffs[removed.front()].path.back().isKey) {
      for (size_t i : removed) rows.push_back({std::min<size_t>(c.diffs[i].path.back().newIndex, children), i});
    } else {
      std::unordered_map<std::string, size_t> keptAt;
      size_t index = 0;
      for (CTreeNode* n = container->GetFirstChild(); n != nullptr; n = n->GetNextSibling(), ++index)
        if (auto* pair = dynamic_cast<CKVPairNode*>(n))
          keptAt.emplace(KeyIdentity(static_cast<CTsymbol>(pair->GetKey()), names, byName), index);
      std::unordered_map<CTsymbol, size_t> removedKeys;
      for (size_t i : removed) removedKeys.emplace(c.diffs[i].path.back().oldKey, i);
      std::vector<compare::Entry> entries;
      if (OldSetAt(c.other, c.diffs[removed.front()].path, &entries)) {
        size_t after = 0;
        for (const compare::Entry& e : entries) {
          if (auto r = removedKeys.find(e.key); r != removedKeys.end()) {
            rows.push_back({after, r->second});
            removedKeys.erase(r);
          } else if (auto k = keptAt.find(KeyIdentity(e.key, otherNames, byName)); k != keptAt.end()) {
            after = k->second + 1;
          }
        }
      }
      for (size_t i : removed)  // not found on the other side: at the end
        if (removedKeys.count(c.diffs[i].path.back().oldKey) != 0) rows.push_back({children, i});
      std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.before < b.before; });
    }
    int inserted = 0;
    for (const Row& row : rows) {
      const compare::Difference& d = c.diffs[row.diff];
      const compare::PathStep& step = d.path.back();
      std::string place;
      if (step.isKey)
        place = KeyIdentity(step.oldKey, otherNames, true);
      else
        place = "[" + std::to_string(step.oldIndex) + "]";
      CString text((place + " = ").c_str());
      text += Shortened(compare::ValueText(d.oldValue, otherNames));
      auto* node = new CRemovedNode(text, d.oldValue.Type(), step.isKey, row.diff);
      if (!container->CTreeNode::AddSubNode(node, static_cast<int>(row.before) + inserted)) {
        delete node;
        continue;
      }
      ++inserted;
      c.diffsOf[node].push_back(row.diff);
    }
  }
}

void CQueltView::ListMarkedNodes() {
  if (m_pCompare == nullptr) return;
  m_pCompare->marked.clear();
  for (CTreeNode* n = m_pRoot; n != nullptr; n = NextInTree(n))
    if (m_pCompare->diffsOf.count(n) != 0) m_pCompare->marked.push_back(n);
}

void CQueltView::RecomputeComparison() {
  if (m_pCompare == nullptr || m_pRoot == nullptr) return;
  Comparison& c = *m_pCompare;
  ClearMarks();
  c.marked.clear();
  c.diffsOf.clear();
  c.diffs.clear();
  const compare::SymbolNamer names = NamerOf(m_strSymbolServer);
  const bool byName = !c.otherServer.IsEmpty();
  const compare::SymbolNamer otherNames = byName ? NamerOf(c.otherServer) : names;
  compare::Options options;
  if (byName) {
    options.byName = true;
    options.oldNames = otherNames;
    options.newNames = names;
  }
  QV_DataElement open;
  bool read = m_pRoot->GetDE(open) != 0;
  if (read) {
    // The symbol tables are loaded here, so that the worker only reads them.
    std::string warm;
    names(0, &warm);
    if (byName) otherNames(0, &warm);
    // A large profile takes a while: the comparison runs as server calls
    // do, with the progress window and Cancel.  Cancel waits for the walk
    // to end and drops its result.
    // Cancel stops the walk itself, so the worker ends promptly.
    bool cancelled = false;
    std::atomic<bool> stop{false};
    options.cancelled = [&stop] { return stop.load(std::memory_order_relaxed); };
    const bool ran = ProgressCallRunner().Run(
        IDS_COMPARING, {std::string(c.otherName.GetString())},
        [&] { read = compare::Diff(c.other, open, options, &c.diffs); },
        [&] {
          cancelled = true;
          stop = true;
        });
    if (!ran || cancelled) {
      m_pCompare.reset();
      m_strCompareStatus.Empty();
      if (CFrameWnd* frame = GetParentFrame()) frame->SetMessageText("");
      return;
    }
  }
  if (!read) {
    // Marks that no longer match the tree would mislead: the comparison ends.
    m_pCompare.reset();
    m_strCompareStatus.Empty();
    CErrorBox(IDS_COMPARE_FAILED, this).DoModal();
    return;
  }
  if (c.conflicts) {
    MarkConflicts();
    ShowCompareStatus();
    return;
  }
  PathResolver resolver(m_pRoot);
  for (size_t i = 0; i < c.diffs.size(); ++i) {
    const compare::Difference& d = c.diffs[i];
    if (d.kind == compare::DiffKind::Removed) continue;  // rows of their own, placed below
    auto* node = dynamic_cast<CDENode*>(resolver.MarkedNodeOf(d));
    if (node == nullptr) continue;
    c.diffsOf[node].push_back(i);
    if (d.kind == compare::DiffKind::Added)
      node->SetCompareMark(CDENode::CompareMark::Added, CString());
    else
      node->SetCompareMark(CDENode::CompareMark::Changed, Shortened(compare::ValueText(d.oldValue, otherNames)));
  }
  PlaceRemovedRows();
  ListMarkedNodes();
  ShowCompareStatus();
}

void CQueltView::ShowCompareStatus() {
  if (m_pCompare == nullptr) return;
  const auto& marked = m_pCompare->marked;
  // Only a marked selection is looked for in the list.
  const auto at = m_pCompare->diffsOf.count(m_pSelected) != 0 ? std::find(marked.begin(), marked.end(), m_pSelected)
                                                               : marked.end();
  if (m_pCompare->conflicts) {
    // A merge's conflicts: the count still to decide.
    if (at != marked.end())
      m_strCompareStatus.Format(LoadStringById(IDS_CONFLICT_I_OF_N).GetString(),
                                static_cast<int>(at - marked.begin()) + 1, static_cast<int>(marked.size()));
    else if (marked.empty())
      m_strCompareStatus = LoadStringById(IDS_NO_CONFLICTS_LEFT);
    else
      m_strCompareStatus.Format(LoadStringById(IDS_CONFLICTS_TO_DECIDE).GetString(), static_cast<int>(marked.size()));
  } else if (at != marked.end())
    m_strCompareStatus.Format(LoadStringById(IDS_DIFFERENCE_I_OF_N).GetString(),
                              static_cast<int>(at - marked.begin()) + 1, static_cast<int>(marked.size()));
  else if (marked.empty())
    m_strCompareStatus.Format(LoadStringById(IDS_NO_DIFFERENCES_FROM).GetString(),
                              m_pCompare->otherName.GetString());
  else
    m_strCompareStatus.Format(LoadStringById(IDS_DIFFERENCES_FROM).GetString(), static_cast<int>(marked.size()),
                              m_pCompare->otherName.GetString());
  if (CFrameWnd* frame = GetParentFrame()) frame->SetMessageText(m_strCompareStatus.GetString());
}

// The difference after (or before) the selection in tree order, wrapping:
// the branches above it are opened and it is scrolled in as Find does.
void CQueltView::StepDifference(bool backwards) {
  if (m_pCompare == nullptr || m_pRoot == nullptr) return;
  const auto& marked = m_pCompare->marked;
  if (marked.empty()) {
    ShowCompareStatus();
    return;
  }
  // How many marked nodes come before the selection, and whether it is one.
  int before = 0;
  bool onMarked = false;
  for (CTreeNode* n = m_pRoot; n != nullptr; n = NextInTree(n)) {
    const bool isMarked = m_pCompare->diffsOf.count(n) != 0;
    if (n == m_pSelected) {
      onMarked = isMarked;
      break;
    }
    if (isMarked) ++before;
  }
  const int count = static_cast<int>(marked.size());
  int index = backwards ? before - 1 : before + (onMarked ? 1 : 0);
  if (index < 0) index = count - 1;
  if (index >= count) index = 0;
  ShowChangedNode(marked[static_cast<size_t>(index)]);
  ShowCompareStatus();
  Redraw();
}

// The other side's value comes from applying every other difference to
// the other side: the open profile with just this difference undone.  The
// whole profile is replaced as one step, so Undo takes it back at once.
void CQueltView::OnCompareTakeOther() {
  // Values numbered as another server numbers them cannot enter the tree.
  if (m_pCompare == nullptr || !m_pCompare->otherServer.IsEmpty() || m_pRoot == nullptr || m_pSelected == nullptr)
    return;
  const auto found = m_pCompare->diffsOf.find(m_pSelected);
  if (found == m_pCompare->diffsOf.end()) return;
  CWaitCursor wait;
  const std::vector<size_t> taken = found->second;
  // A removed row is no node of the profile: the place to come back to is
  // its container, and then the member or item put back there.
  CTreeNode* container = nullptr;
  compare::PathStep restored;
  if (auto* row = dynamic_cast<CDENode*>(m_pSelected); row != nullptr && row->IsRemovedRow()) {
    container = m_pSelected->GetParent();
    restored = m_pCompare->diffs[taken.front()].path.back();
  }
  CTreeNode* target = nullptr;
  {
    RemovedRowsAside aside(this);
    std::vector<compare::Difference> keep;
    keep.reserve(m_pCompare->diffs.size());
    size_t skip = 0;
    for (size_t i = 0; i < m_pCompare->diffs.size(); ++i) {
      if (skip < taken.size() && taken[skip] == i) {
        ++skip;
        continue;
      }
      keep.push_back(m_pCompare->diffs[i]);
    }
    QV_DataElement result;
    SlotContent before;
    if (!compare::Apply(m_pCompare->other, keep, &result) || result.Type() != CT_TYPE_KVSET ||
        !TakeSlot(m_pRoot, &before)) {
      wait.Release();
      CErrorBox(IDS_TAKE_OTHER_FAILED, this).DoModal();
      return;
    }
    TreePath place = PathOf(container != nullptr ? container : m_pSelected);
    if (!ReplaceTree(result.KVSet())) return;
    SlotContent after;
    if (TakeSlot(m_pRoot, &after))
      RecordChange(MakeProfileStep(this, LoadStringById(IDS_TAKE_OTHER_VALUE), std::move(before), std::move(after)));
    else
      m_history.Clear();  // the step cannot be made: the way back is gone
    while (target == nullptr && !place.empty()) {
      target = NodeAt(m_pRoot, place);
      place.pop_back();
    }
    if (container != nullptr && target != nullptr) {
      // The node put back: the member with its old key, or the item at its place.
      CTreeNode* child = target->GetFirstChild();
      for (uint32_t index = 0; child != nullptr; child = child->GetNextSibling(), ++index) {
        auto* pair = dynamic_cast<CKVPairNode*>(child);
        if (restored.isKey ? pair != nullptr && pair->GetKey() == restored.oldKey : index == restored.newIndex) break;
      }
      if (child != nullptr) target = child;
    }
  }
  ShowChangedNode(target != nullptr ? target : m_pRoot);
  ShowCompareStatus();
  DocumentModified();
  Redraw();
}

void CQueltView::OnUpdateCompareMarked(CCmdUI* ui) {
  ui->Enable(m_pCompare != nullptr && m_pCompare->otherServer.IsEmpty() && m_pCompare->diffsOf.count(m_pSelected) != 0);
}

void CQueltView::OnUpdateComparing(CCmdUI* ui) { ui->Enable(m_pCompare != nullptr); }

// ---- Conflicts left by a merge with the server's changes -------------------

namespace {
// Whether the difference lies at or below the conflict's place: key steps
// match by key, array steps by the position in the tree.
bool WithinConflict(const std::vector<compare::PathStep>& place, const compare::Difference& d) {
  if (d.path.size() < place.size()) return false;
  for (size_t i = 0; i < place.size(); ++i) {
    const compare::PathStep& a = place[i];
    const compare::PathStep& b = d.path[i];
    if (a.isKey != b.isKey) return false;
    if (a.isKey ? a.key != b.key : a.newIndex != b.newIndex) return false;
  }
  return true;
}
}  // namespace

int CQueltView::StartConflicts(const QV_DataElement& theirs, const std::vector<compare::Conflict>& conflicts,
                               const CString& otherName) {
  if (m_pRoot == nullptr || theirs.Type() != CT_TYPE_KVSET) return FALSE;
  auto comparison = std::make_unique<Comparison>();
  comparison->other = theirs;
  comparison->otherName = otherName;
  comparison->conflicts = true;
  const compare::SymbolNamer names = NamerOf(m_strSymbolServer);
  for (const compare::Conflict& conflict : conflicts) {
    comparison->conflictPaths.push_back(conflict.path);
    // Theirs removed the place: said so, the value being none.
    comparison->conflictNotes.push_back(conflict.theirs.Type() == CT_TYPE_NONE
                                            ? CString("removed")
                                            : Shortened(compare::ValueText(conflict.theirs, names)));
  }
  comparison->kept.assign(conflicts.size(), 0);
  return InstallComparison(std::move(comparison));
}

void CQueltView::MarkConflicts() {
  Comparison& c = *m_pCompare;
  c.conflictsOf.clear();
  for (size_t j = 0; j < c.conflictPaths.size(); ++j) {
    if (c.kept[j]) continue;
    const std::vector<compare::PathStep>& place = c.conflictPaths[j];
    std::vector<size_t> within;
    for (size_t i = 0; i < c.diffs.size(); ++i)
      if (WithinConflict(place, c.diffs[i])) within.push_back(i);
    // The tree equals theirs there: decided (Take Other Value or an edit).
    if (within.empty()) continue;
    // The node at the place; where mine removed it, the container it was in.
    compare::Difference at;
    at.path = place;
    at.kind = compare::DiffKind::Changed;
    PathResolver resolver(m_pRoot);
    CTreeNode* node = resolver.MarkedNodeOf(at);
    if (node == nullptr) {
      at.kind = compare::DiffKind::Removed;
      node = resolver.MarkedNodeOf(at);
    }
    auto* marked = dynamic_cast<CDENode*>(node);
    if (marked == nullptr) continue;
    marked->SetCompareMark(CDENode::CompareMark::Conflict, c.conflictNotes[j]);
    c.conflictsOf[marked].push_back(j);
    std::vector<size_t>& diffs = c.diffsOf[marked];
    diffs.insert(diffs.end(), within.begin(), within.end());
    std::sort(diffs.begin(), diffs.end());
    diffs.erase(std::unique(diffs.begin(), diffs.end()), diffs.end());
  }
  for (CTreeNode* n = m_pRoot; n != nullptr; n = NextInTree(n))
    if (c.conflictsOf.count(n) != 0) c.marked.push_back(n);
}

int CQueltView::UnresolvedConflicts() const {
  return m_pCompare != nullptr && m_pCompare->conflicts ? static_cast<int>(m_pCompare->marked.size()) : 0;
}

// Mine stays as it is: the mark goes, nothing in the profile changes.
void CQueltView::OnCompareKeepMine() {
  if (m_pCompare == nullptr || !m_pCompare->conflicts) return;
  const auto found = m_pCompare->conflictsOf.find(m_pSelected);
  if (found == m_pCompare->conflictsOf.end()) return;
  for (size_t j : found->second) m_pCompare->kept[j] = 1;
  RecomputeComparison();
  ShowCompareStatus();
  Redraw();
}

void CQueltView::OnUpdateCompareConflict(CCmdUI* ui) {
  ui->Enable(m_pCompare != nullptr && m_pCompare->conflicts && m_pCompare->conflictsOf.count(m_pSelected) != 0);
}

// A merge's comparison ends only when every conflict has been decided.
void CQueltView::OnUpdateCompareEnd(CCmdUI* ui) { ui->Enable(m_pCompare != nullptr && UnresolvedConflicts() == 0); }

int CQueltView::ReplaceProfileAsStep(CTkvs set, UINT labelId) {
  SlotContent before;
  if (m_pRoot == nullptr || !TakeSlot(m_pRoot, &before)) return ReplaceTree(set);
  if (!ReplaceTree(set)) return FALSE;
  SlotContent after;
  if (TakeSlot(m_pRoot, &after))
    RecordChange(MakeProfileStep(this, LoadStringById(labelId), std::move(before), std::move(after)));
  else
    m_history.Clear();  // the step cannot be made: the way back is gone
  return TRUE;
}
