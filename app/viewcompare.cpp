// Comparison of the open profile with another version of it: the server's
// current content, a revision, a file or a profile on another server.  The
// differences from the other side to the open profile are marked on the
// nodes they concern: an added node on itself, a changed value on its node
// with the other value beside it, and nodes only the other side has on the
// container they were in, listed beside it.  The marks are drawing only:
// GetProfile, the clipboard and Find see the profile alone.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/undo.h"
#include "common/multises.h"
#include "compare/difftext.h"
#include "dialogs/errorbox.h"
#include "platform/cframewnd.h"
#include "platform/cmdtarget.h"
#include "platform/progresscall.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"
#include "resources/stringids.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"

namespace {

// A value beside a node is cut to this many bytes: the row stays readable.
constexpr int kMaxNoteValue = 60;
// At most this many removed children are listed beside one container.
constexpr int kMaxRemovedListed = 8;

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

}  // namespace

void CQueltView::AddCompareCommands() {
  AddCommand(ID_COMPARE_NEXT, &CQueltView::OnCompareNext);
  AddCommandUpdate(ID_COMPARE_NEXT, &CQueltView::OnUpdateComparing);
  AddCommand(ID_COMPARE_PREVIOUS, &CQueltView::OnComparePrevious);
  AddCommandUpdate(ID_COMPARE_PREVIOUS, &CQueltView::OnUpdateComparing);
  AddCommand(ID_COMPARE_TAKE_OTHER, &CQueltView::OnCompareTakeOther);
  AddCommandUpdate(ID_COMPARE_TAKE_OTHER, &CQueltView::OnUpdateCompareMarked);
  AddCommand(ID_COMPARE_END, &CQueltView::EndComparison);
  AddCommandUpdate(ID_COMPARE_END, &CQueltView::OnUpdateComparing);
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
  ClearMarks();
  m_pCompare = std::move(comparison);
  RecomputeComparison();
  if (m_pCompare == nullptr) return FALSE;
  // The first screen shows the differences: branches without one closed,
  // those leading to one open, the first difference selected.
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
  if (m_pCompare == nullptr) return;
  ClearMarks();
  m_pCompare.reset();
  m_strCompareStatus.Empty();
  if (CFrameWnd* frame = GetParentFrame()) frame->SetMessageText("");
  Redraw();
}

void CQueltView::ClearMarks() {
  for (CTreeNode* n = m_pRoot; n != nullptr; n = NextInTree(n))
    if (auto* node = dynamic_cast<CDENode*>(n); node != nullptr && node->GetCompareMark() != CDENode::CompareMark::None)
      node->SetCompareMark(CDENode::CompareMark::None, CString());
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
    bool cancelled = false;
    const bool ran = ProgressCallRunner().Run(
        IDS_COMPARING, {std::string(c.otherName.GetString())},
        [&] { read = compare::Diff(c.other, open, options, &c.diffs); }, [&] { cancelled = true; });
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
  std::unordered_map<const CTreeNode*, int> removedListed;
  PathResolver resolver(m_pRoot);
  for (size_t i = 0; i < c.diffs.size(); ++i) {
    const compare::Difference& d = c.diffs[i];
    auto* node = dynamic_cast<CDENode*>(resolver.MarkedNodeOf(d));
    if (node == nullptr) continue;
    c.diffsOf[node].push_back(i);
    if (d.kind == compare::DiffKind::Added) {
      node->SetCompareMark(CDENode::CompareMark::Added, CString());
    } else if (d.kind == compare::DiffKind::Changed) {
      node->SetCompareMark(CDENode::CompareMark::Changed, Shortened(compare::ValueText(d.oldValue, otherNames)));
    } else {
      // The removed children of one container are listed together.
      int& listed = removedListed[node];
      CString note = node->GetCompareMark() == CDENode::CompareMark::Removed ? node->GetCompareNote() : CString();
      if (listed < kMaxRemovedListed) {
        const compare::PathStep& step = d.path.back();
        std::string place;
        if (step.isKey) {
          if (!otherNames(step.oldKey, &place)) place = "#" + std::to_string(step.oldKey);
        } else {
          place = "[" + std::to_string(step.oldIndex) + "]";
        }
        if (!note.IsEmpty()) note += "; ";
        note += (place + " = ").c_str();
        note += Shortened(compare::ValueText(d.oldValue, otherNames));
      } else if (listed == kMaxRemovedListed) {
        note += "; ...";
      }
      ++listed;
      node->SetCompareMark(CDENode::CompareMark::Removed, note);
    }
  }
  for (CTreeNode* n = m_pRoot; n != nullptr; n = NextInTree(n))
    if (c.diffsOf.count(n) != 0) c.marked.push_back(n);
  ShowCompareStatus();
}

void CQueltView::ShowCompareStatus() {
  if (m_pCompare == nullptr) return;
  const auto& marked = m_pCompare->marked;
  // Only a marked selection is looked for in the list.
  const auto at = m_pCompare->diffsOf.count(m_pSelected) != 0 ? std::find(marked.begin(), marked.end(), m_pSelected)
                                                               : marked.end();
  if (at != marked.end())
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
  std::vector<compare::Difference> keep;
  keep.reserve(m_pCompare->diffs.size());
  size_t skip = 0;
  const std::vector<size_t>& taken = found->second;
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
  // The place to come back to: the node itself, or what is left above it.
  TreePath place = PathOf(m_pSelected);
  if (!ReplaceTree(result.KVSet())) return;
  SlotContent after;
  if (TakeSlot(m_pRoot, &after))
    RecordChange(MakeProfileStep(this, LoadStringById(IDS_TAKE_OTHER_VALUE), std::move(before), std::move(after)));
  else
    m_history.Clear();  // the step cannot be made: the way back is gone
  CTreeNode* target = nullptr;
  while (target == nullptr && !place.empty()) {
    target = NodeAt(m_pRoot, place);
    place.pop_back();
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
