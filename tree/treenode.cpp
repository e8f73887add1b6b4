// CTreeNode: links, drawing, hit-testing, navigation and the row sums.
#include "tree/treenode.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "platform/cdc.h"

int CTreeNode::s_nOverhang = 0;

struct CTreeNode::ChildIndex {
  bool stale = true;
  std::vector<CTreeNode*> first;  // every kIndexStep-th child
  std::vector<int> rowsBefore;    // visible rows of the children before it
  std::vector<int> heightBefore;  // their height
  std::vector<int> right;         // widest right edge of each run of children
  std::vector<char> rightDirty;   // that edge must be recomputed
  std::unordered_map<const CTreeNode*, int> slot;  // child -> its entry
};

namespace {

// Nodes with this many children keep an index of every kIndexStep-th child.
constexpr int kIndexFrom = 256;
constexpr int kIndexStep = 64;

// The indexes, by node; only nodes with many children have one, so the
// other nodes carry no field for it.  Never destroyed, so that a tree that
// outlives static destruction can still drop its index.
std::unordered_map<const CTreeNode*, std::unique_ptr<CTreeNode::ChildIndex>>& Indexes() {
  static auto* indexes = new std::unordered_map<const CTreeNode*, std::unique_ptr<CTreeNode::ChildIndex>>();
  return *indexes;
}

// The last entry whose key satisfies a predicate that holds for a prefix of
// the entries; -1 when none does.
template <typename Pred>
int LastWhere(const std::vector<int>& keys, Pred pred) {
  int low = 0, high = static_cast<int>(keys.size());  // answer + 1 in [low, high]
  while (low < high) {
    const int mid = (low + high) / 2;
    if (pred(keys[static_cast<size_t>(mid)]))
      low = mid + 1;
    else
      high = mid;
  }
  return low - 1;
}

// A right edge moved by an indent; INT_MIN stands for "nothing there".
int Shifted(int right, int indent) { return right == INT_MIN ? INT_MIN : right + indent; }

}  // namespace

CTreeNode::CTreeNode() : m_nChildRight(INT_MIN) {}

CTreeNode::~CTreeNode() {
  if (m_bHasIndex) DropIndex();
  // The following siblings and the subtree go with this node.  Nodes are
  // detached before they are deleted, so no destructor recurses further than
  // this loop.
  std::vector<CTreeNode*> pending;
  if (m_pFirstChild != nullptr) pending.push_back(m_pFirstChild);
  if (m_pNextSibling != nullptr) pending.push_back(m_pNextSibling);
  m_pFirstChild = m_pLastChild = m_pNextSibling = nullptr;
  while (!pending.empty()) {
    CTreeNode* node = pending.back();
    pending.pop_back();
    if (node->m_pFirstChild != nullptr) pending.push_back(node->m_pFirstChild);
    if (node->m_pNextSibling != nullptr) pending.push_back(node->m_pNextSibling);
    node->m_pFirstChild = node->m_pLastChild = node->m_pNextSibling = nullptr;
    delete node;
  }
}

int CTreeNode::Scaled(int value, float scale) {
  const double product = static_cast<double>(value) * static_cast<double>(scale);
  if (std::isnan(product)) return 0;
  if (product >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (product <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(product);
}

// ---------------------------------------------------------------------------
// Drawing

int CTreeNode::DrawTree(int x, int y, CDC* dc, float scale) {
  if (dc == nullptr) return 0;
  CRect clip;
  // Nothing can show: every DrawNode would be skipped and no line would show.
  if (dc->GetClipBox(&clip) == NULLREGION) return 1;
  return DrawFast(x, y, dc, scale, clip.top, clip.bottom);
}

// The plain walk's drawing, restricted to the children whose rows or
// connecting lines can reach the band [clipTop, clipBottom] of the device
// context's logical coordinates.  Every node of a child's subtree draws
// within its rows widened by s_nOverhang, so a child whose widened rows miss
// the band draws nothing visible and is skipped whole.
int CTreeNode::DrawFast(int x, int y, CDC* dc, float scale, int clipTop, int clipBottom) {
  int result = 1;
  int linkY = y + LinkOrigY();
  const int border = GetBorderWidth();
  const CRect box(Scaled(x - border, scale), Scaled(y - border, scale), Scaled(x + m_nWidth + border, scale),
                  Scaled(y + m_nHeight + border, scale));
  if (dc->RectVisible(box)) result = DrawNode(x, y, dc, scale);
  int yCursor = y + GetYIndent();
  if (result == 0 || !m_bExpanded || m_pFirstChild == nullptr) return result;
  const int childX = x + GetXIndent();
  const int margin = s_nOverhang;
  CTreeNode* child = m_pFirstChild;
  if (ChildIndex* index = Index()) {
    // Children that end, with their lines, at least margin above the band
    // draw nothing that shows.
    const int first = yCursor;
    const int at = LastWhere(index->heightBefore,
                             [&](int before) { return Scaled(first + before + margin, scale) < clipTop; });
    if (at > 0) {
      child = index->first[static_cast<size_t>(at)];
      yCursor += index->heightBefore[static_cast<size_t>(at)];
      CTreeNode* before = child->m_pPrevSibling;
      linkY = yCursor - before->SubHeightOf() + before->LinkDestY();
    }
  }
  for (; child != nullptr; child = child->m_pNextSibling) {
    const int turnY = yCursor + child->LinkDestY();
    const int height = child->SubHeightOf();
    const bool rowsMeet =
        Scaled(yCursor - margin, scale) <= clipBottom && Scaled(yCursor + height + margin, scale) >= clipTop;
    const bool linesMeet = Scaled(std::min(linkY, turnY), scale) <= clipBottom &&
                           Scaled(std::max(linkY, turnY), scale) >= clipTop;
    if (rowsMeet || linesMeet) {
      dc->SelectStockObject(BLACK_PEN);
      const int linkX = x + LinkOrigX();
      dc->MoveTo(Scaled(linkX, scale), Scaled(linkY, scale));
      dc->LineTo(Scaled(linkX, scale), Scaled(turnY, scale));
      dc->LineTo(Scaled(childX + child->LinkDestX(), scale), Scaled(turnY, scale));
    }
    linkY = turnY;
    if (rowsMeet) {
      if (child->DrawFast(childX, yCursor, dc, scale, clipTop, clipBottom) == 0) return 0;
      // Drawing may have changed the child's pitch.
      yCursor += child->SubHeightOf();
    } else {
      yCursor += height;
    }
    // Every later row and line lies below the band.
    if (Scaled(yCursor - margin, scale) > clipBottom && Scaled(linkY, scale) > clipBottom) break;
  }
  return result;
}

int CTreeNode::DrawSelectionBar(int, int, CDC*, float) { return 1; }

int CTreeNode::GetBorderWidth() { return 0; }

// ---------------------------------------------------------------------------
// Position search

int CTreeNode::GetDims(CTreeNode* target, int x, int& y, CRect& rect) {
  // The target must be in this subtree with every node above it expanded.
  bool found = false;
  if (target != nullptr) {
    found = true;
    for (CTreeNode* node = target; node != this; node = node->m_pParent) {
      CTreeNode* parent = node->m_pParent;
      if (parent == nullptr || !parent->m_bExpanded) {
        found = false;
        break;
      }
    }
  }
  if (!found) {
    y += SubHeightOf();
    return 0;
  }
  int left = x;
  int top = y;
  for (CTreeNode* node = target; node != this; node = node->m_pParent) {
    CTreeNode* parent = node->m_pParent;
    left += parent->GetXIndent();
    top += parent->GetYIndent() + parent->HeightBefore(node);
  }
  rect = CRect(left, top, left + target->m_nWidth, top + target->m_nHeight);
  y = top;
  return 1;
}

// ---------------------------------------------------------------------------
// Hit-testing

CTreeNode* CTreeNode::Clicked(int x, int y, int& onIcon) { return ClickedFast(x, y, onIcon); }

// A node can be hit only at a y from its row top to its box bottom, which
// lies at most s_nOverhang below its row; a child whose rows so widened miss
// y is skipped whole, and no row starting below y can be hit.
CTreeNode* CTreeNode::ClickedFast(int x, int y, int& onIcon) {
  if (x >= 0 && y >= 0 && IsInside(x, y)) {
    onIcon = IsOnIcon(x, y);
    return this;
  }
  if (!m_bExpanded) return nullptr;
  const int childX = x - GetXIndent();
  const int margin = s_nOverhang;
  int top = GetYIndent();
  CTreeNode* child = m_pFirstChild;
  if (ChildIndex* index = Index()) {
    // Children that end at least margin above y cannot be hit.
    const int first = top;
    const int at = LastWhere(index->heightBefore, [&](int before) { return first + before + margin <= y; });
    if (at > 0) {
      child = index->first[static_cast<size_t>(at)];
      top += index->heightBefore[static_cast<size_t>(at)];
    }
  }
  for (; child != nullptr; child = child->m_pNextSibling) {
    if (y < top) break;
    const int height = child->SubHeightOf();
    if (y - top < height + margin) {
      CTreeNode* found = child->ClickedFast(childX, y - top, onIcon);
      if (found != nullptr) return found;
    }
    top += height;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Navigation

CTreeNode* CTreeNode::Down() {
  if (m_bExpanded && m_pFirstChild != nullptr) return m_pFirstChild;
  for (CTreeNode* node = this; node != nullptr; node = node->m_pParent)
    if (node->m_pNextSibling != nullptr) return node->m_pNextSibling;
  return nullptr;
}

// The node that Down() reaches just before this one: the last visible node
// of the previous sibling's subtree, or the parent.
CTreeNode* CTreeNode::Up() {
  if (m_pPrevSibling == nullptr) return m_pParent;
  CTreeNode* node = m_pPrevSibling;
  while (node->m_bExpanded && node->m_pLastChild != nullptr) node = node->m_pLastChild;
  return node;
}

CTreeNode* CTreeNode::UpExpanding() {
  if (m_pPrevSibling == nullptr) return m_pParent;
  return m_pPrevSibling->LastExpanding();
}

CTreeNode* CTreeNode::LastExpanding() {
  CTreeNode* node = this;
  while (node->m_pLastChild != nullptr) {
    node->SetExpanded(1);
    node = node->m_pLastChild;
  }
  return node;
}

CTreeNode* CTreeNode::Parent() { return m_pParent; }

CTreeNode* CTreeNode::FirstChild() { return m_bExpanded ? m_pFirstChild : nullptr; }

CTreeNode* CTreeNode::NextChild(CTreeNode* child) { return child != nullptr ? child->m_pNextSibling : nullptr; }

// ---------------------------------------------------------------------------
// Links

int CTreeNode::AddSubNode(CTreeNode* node, int position) {
  if (node == nullptr) return 0;
  // A node in a tree already, or one that would become its own ancestor,
  // would corrupt both trees.
  if (node->m_pParent != nullptr || node->m_pNextSibling != nullptr || node->m_pPrevSibling != nullptr) return 0;
  if (node == this) return 0;
  if (node->m_pFirstChild != nullptr)  // only a node with children can be an ancestor
    for (CTreeNode* above = m_pParent; above != nullptr; above = above->m_pParent)
      if (above == node) return 0;

  node->m_pParent = this;
  if (m_pFirstChild == nullptr) {
    m_pFirstChild = m_pLastChild = node;
  } else if (position == 0) {
    node->m_pNextSibling = m_pFirstChild;
    node->m_pPrevSibling = nullptr;
    m_pFirstChild->m_pPrevSibling = node;
    m_pFirstChild = node;
  } else if (position < 0 || position >= m_nChildCount) {
    // -1, other negative positions and positions past the end append.
    node->m_pPrevSibling = m_pLastChild;
    m_pLastChild->m_pNextSibling = node;
    m_pLastChild = node;
  } else {
    CTreeNode* before = m_pFirstChild;
    for (int index = 0; index != position; ++index) before = before->m_pNextSibling;
    node->m_pNextSibling = before;
    node->m_pPrevSibling = before->m_pPrevSibling;
    before->m_pPrevSibling->m_pNextSibling = node;
    before->m_pPrevSibling = node;
  }
  ++m_nChildCount;

  node->NoteOverhang();
  PropagateSums(node->GetRowCount(), node->SubHeightOf(), kExtentGap + node->GetExtentHeight());
  if (node->m_bRightDirty && node->m_bExpanded)
    MarkRightDirty(node);
  else
    ChildRightChanged(node, INT_MIN, node->OwnRight());
  return 1;
}

int CTreeNode::DeleteChild(CTreeNode* child) {
  if (child == nullptr || child->m_pParent != this) return 0;
  Unlink(child);
  delete child;
  return 1;
}

void CTreeNode::Unlink(CTreeNode* child) {
  const int rows = child->GetRowCount();
  const int height = child->SubHeightOf();
  const int extent = kExtentGap + child->GetExtentHeight();
  const bool rightKnown = child->RightKnown();
  const int right = rightKnown ? child->OwnRight() : 0;

  if (child == m_pFirstChild) {
    m_pFirstChild = child->m_pNextSibling;
    if (m_pFirstChild != nullptr) m_pFirstChild->m_pPrevSibling = child->m_pPrevSibling;
  } else {
    child->m_pPrevSibling->m_pNextSibling = child->m_pNextSibling;
    if (child->m_pNextSibling != nullptr) child->m_pNextSibling->m_pPrevSibling = child->m_pPrevSibling;
  }
  if (child == m_pLastChild) m_pLastChild = child->m_pPrevSibling;
  child->m_pNextSibling = child->m_pPrevSibling = child->m_pParent = nullptr;
  --m_nChildCount;

  PropagateSums(-rows, -height, -extent);
  if (m_nChildCount == 0) {
    const bool known = RightKnown();
    const int before = known ? OwnRight() : 0;
    m_nChildRight = INT_MIN;
    m_bRightDirty = false;
    // Unknown before means the ancestors recompute anyway.
    if (known) RightMayHaveChanged(before);
  } else if (rightKnown) {
    ChildRightChanged(child, right, INT_MIN);
  }
}

void CTreeNode::DeleteChildren() {
  if (m_pFirstChild == nullptr) return;
  const bool known = RightKnown();
  const int before = known ? OwnRight() : 0;
  PropagateSums(-m_nChildRows, -m_nChildHeight, -m_nChildExtent);
  CTreeNode* first = m_pFirstChild;
  for (CTreeNode* child = first; child != nullptr; child = child->m_pNextSibling) child->m_pParent = nullptr;
  m_pFirstChild = m_pLastChild = nullptr;
  m_nChildCount = 0;
  m_nChildRight = INT_MIN;
  m_bRightDirty = false;
  if (known) RightMayHaveChanged(before);
  first->m_pPrevSibling = nullptr;
  delete first;  // and its following siblings
}

int CTreeNode::CountSubNodes() { return m_nChildCount; }

// ---------------------------------------------------------------------------
// Flags

void CTreeNode::SetExpanded(int expanded) { StoreExpanded(expanded); }

void CTreeNode::SetSelected(int selected) { m_bSelected = selected; }

void CTreeNode::ToggleExpanded() { StoreExpanded(m_bExpanded == 0 ? 1 : 0); }

void CTreeNode::StoreExpanded(int expanded) {
  const bool was = m_bExpanded != 0;
  const bool now = expanded != 0;
  if (was == now) {
    m_bExpanded = expanded;
    return;
  }
  const bool knownBefore = RightKnown();
  const int before = knownBefore ? OwnRight() : 0;
  m_bExpanded = expanded;
  if (m_pParent != nullptr) {
    const int sign = now ? 1 : -1;
    m_pParent->PropagateSums(sign * m_nChildRows, sign * m_nChildHeight, sign * m_nChildExtent);
  }
  if (!RightKnown()) {
    if (m_pParent != nullptr) m_pParent->MarkRightDirty(this);
  } else if (knownBefore) {
    RightMayHaveChanged(before);
  }
}

void CTreeNode::SetExpandedAll(int expanded) {
  const int rows = GetRowCount();
  const int height = SubHeightOf();
  const int extent = GetExtentHeight();
  const bool knownBefore = RightKnown();
  const int before = knownBefore ? OwnRight() : 0;

  // Post-order, so that each node's children are done before it.  Iterative:
  // neither a deep tree nor a long sibling chain may exhaust the stack.
  CTreeNode* node = this;
  while (node->m_pFirstChild != nullptr) node = node->m_pFirstChild;
  for (;;) {
    node->StoreExpandedFromChildren(expanded);
    if (node == this) break;
    if (node->m_pNextSibling != nullptr) {
      node = node->m_pNextSibling;
      while (node->m_pFirstChild != nullptr) node = node->m_pFirstChild;
    } else {
      node = node->m_pParent;
    }
  }

  if (m_pParent != nullptr) {
    m_pParent->PropagateSums(GetRowCount() - rows, SubHeightOf() - height, GetExtentHeight() - extent);
    // An edge unknown before had its ancestors marked for recomputing.
    if (knownBefore) RightMayHaveChanged(before);
  }
}

void CTreeNode::StoreExpandedFromChildren(int expanded) {
  m_bExpanded = expanded;
  int rows = 0, height = 0, extent = 0;
  int right = INT_MIN;
  const int indent = m_pFirstChild != nullptr ? GetXIndent() : 0;
  for (CTreeNode* child = m_pFirstChild; child != nullptr; child = child->m_pNextSibling) {
    rows += child->GetRowCount();
    height += child->SubHeightOf();
    extent += kExtentGap + child->GetExtentHeight();
    right = std::max(right, Shifted(child->OwnRight(), indent));
  }
  m_nChildRows = rows;
  m_nChildHeight = height;
  m_nChildExtent = extent;
  m_nChildRight = right;
  m_bRightDirty = false;
  MarkIndexStale();
}

void CTreeNode::MarkIndexStale() {
  if (!m_bHasIndex) return;
  const auto found = Indexes().find(this);
  if (found != Indexes().end()) found->second->stale = true;
}

// ---------------------------------------------------------------------------
// Sizes and sums

void CTreeNode::SetWidth(int width) {
  width = std::max(width, 0);
  if (width == m_nWidth) return;
  const bool known = RightKnown();
  const int before = known ? OwnRight() : 0;
  m_nWidth = width;
  if (known) RightMayHaveChanged(before);
}

void CTreeNode::SetHeight(int height) {
  height = std::max(height, 0);
  const int change = height - m_nHeight;
  m_nHeight = height;
  NoteOverhang();
  if (change != 0 && m_pParent != nullptr) m_pParent->PropagateSums(0, 0, change);
}

void CTreeNode::SetSize(int width, int height) {
  SetWidth(width);
  SetHeight(height);
}

void CTreeNode::GeometryChanged(int oldPitch) {
  NoteOverhang();
  const int change = GetYIndent() - oldPitch;
  if (change != 0 && m_pParent != nullptr) m_pParent->PropagateSums(0, change, 0);
}

void CTreeNode::NoteOverhang() {
  const int pitch = GetYIndent();
  const int border = GetBorderWidth();
  const int origin = LinkOrigY();
  const int dest = LinkDestY();
  const int reach = std::max({0, border, m_nHeight + border - pitch, -origin, origin - pitch, -dest, dest - pitch});
  if (reach > s_nOverhang) s_nOverhang = reach;
}

void CTreeNode::PropagateSums(int dRows, int dHeight, int dExtent) {
  for (CTreeNode* node = this; node != nullptr; node = node->m_pParent) {
    node->MarkIndexStale();
    node->m_nChildRows += dRows;
    node->m_nChildHeight += dHeight;
    node->m_nChildExtent += dExtent;
    if (!node->m_bExpanded) break;  // its own rows did not change
  }
}

int CTreeNode::GetRowCount() { return 1 + (m_bExpanded ? m_nChildRows : 0); }

int CTreeNode::GetSubtreeHeight() { return SubHeightOf(); }

int CTreeNode::GetExtentHeight() { return m_nHeight + (m_bExpanded ? m_nChildExtent : 0); }

int CTreeNode::GetWidestRight() {
  if (!m_bExpanded) return m_nWidth;
  if (m_bRightDirty) {
    const int indent = GetXIndent();
    int widest = INT_MIN;
    if (ChildIndex* index = Index()) {
      // Only the runs of children whose edges changed are walked again.
      for (size_t run = 0; run < index->first.size(); ++run) {
        if (index->rightDirty[run]) {
          int right = INT_MIN;
          CTreeNode* child = index->first[run];
          for (int i = 0; i < kIndexStep && child != nullptr; ++i, child = child->m_pNextSibling)
            right = std::max(right, child->GetWidestRight());
          index->right[run] = right;
          index->rightDirty[run] = 0;
        }
        widest = std::max(widest, Shifted(index->right[run], indent));
      }
    } else {
      for (CTreeNode* child = m_pFirstChild; child != nullptr; child = child->m_pNextSibling)
        widest = std::max(widest, Shifted(child->GetWidestRight(), indent));
    }
    m_nChildRight = widest;
    m_bRightDirty = false;
  }
  return std::max(m_nWidth, m_nChildRight);
}

int CTreeNode::OwnRight() const { return m_bExpanded ? std::max(m_nWidth, m_nChildRight) : m_nWidth; }

void CTreeNode::RightMayHaveChanged(int before) {
  const int after = OwnRight();
  if (after != before && m_pParent != nullptr) m_pParent->ChildRightChanged(this, before, after);
}

void CTreeNode::ChildRightChanged(CTreeNode* child, int oldRight, int newRight) {
  for (CTreeNode* node = this; node != nullptr; child = node, node = node->m_pParent) {
    node->NoteChildRight(child);
    if (node->m_bRightDirty) return;  // recomputed when asked
    const int indent = node->GetXIndent();
    const int oldEdge = Shifted(oldRight, indent);
    const int newEdge = Shifted(newRight, indent);
    const int before = node->OwnRight();
    if (newEdge > node->m_nChildRight) {
      node->m_nChildRight = newEdge;
    } else if (newEdge < oldEdge && oldEdge == node->m_nChildRight) {
      node->MarkRightDirty(child);  // the widest child may have narrowed
      return;
    } else {
      return;
    }
    if (!node->m_bExpanded) return;
    const int after = node->OwnRight();
    if (after == before) return;
    oldRight = before;
    newRight = after;
  }
}

void CTreeNode::MarkRightDirty(CTreeNode* child) {
  for (CTreeNode* node = this; node != nullptr; child = node, node = node->m_pParent) {
    node->NoteChildRight(child);
    if (node->m_bRightDirty) return;
    node->m_bRightDirty = true;
    if (!node->m_bExpanded) return;  // its own edge is its box
  }
}

void CTreeNode::NoteChildRight(CTreeNode* child) {
  if (!m_bHasIndex || child == nullptr) return;
  const auto found = Indexes().find(this);
  if (found == Indexes().end() || found->second->stale) return;
  ChildIndex& index = *found->second;
  for (CTreeNode* node = child; node != nullptr; node = node->m_pPrevSibling) {
    const auto slot = index.slot.find(node);
    if (slot != index.slot.end()) {
      index.rightDirty[static_cast<size_t>(slot->second)] = 1;
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Rows

int CTreeNode::GetRowOf(const CTreeNode* target) {
  if (target == nullptr) return -1;
  for (const CTreeNode* node = target; node != this; node = node->m_pParent) {
    const CTreeNode* parent = node->m_pParent;
    if (parent == nullptr || !parent->m_bExpanded) return -1;
  }
  int row = 0;
  for (const CTreeNode* node = target; node != this; node = node->m_pParent) {
    row += 1 + node->m_pParent->RowsBefore(const_cast<CTreeNode*>(node));
  }
  return row;
}

CTreeNode* CTreeNode::NodeAtRow(int row, int* top) {
  if (row < 0 || row >= GetRowCount()) return nullptr;
  CTreeNode* node = this;
  int y = 0;
  while (row > 0) {
    row -= 1;
    y += node->GetYIndent();
    CTreeNode* child = node->m_pFirstChild;
    if (ChildIndex* index = node->Index()) {
      const int at = LastWhere(index->rowsBefore, [row](int before) { return before <= row; });
      if (at > 0) {
        child = index->first[static_cast<size_t>(at)];
        row -= index->rowsBefore[static_cast<size_t>(at)];
        y += index->heightBefore[static_cast<size_t>(at)];
      }
    }
    while (child != nullptr) {
      const int rows = child->GetRowCount();
      if (row < rows) break;
      row -= rows;
      y += child->SubHeightOf();
      child = child->m_pNextSibling;
    }
    if (child == nullptr) return nullptr;  // sums out of step: cannot happen
    node = child;
  }
  if (top != nullptr) *top = y;
  return node;
}

int CTreeNode::GetRowTop(int row) {
  int top = -1;
  return NodeAtRow(row, &top) != nullptr ? top : -1;
}

int CTreeNode::GetRowAtY(int y) {
  if (y < 0) return -1;
  if (y >= SubHeightOf()) return GetRowCount();
  int row = 0;
  CTreeNode* node = this;
  for (;;) {
    const int pitch = node->GetYIndent();
    if (y < pitch) return row;
    y -= pitch;
    row += 1;
    CTreeNode* child = node->m_pFirstChild;
    if (ChildIndex* index = node->Index()) {
      const int at = LastWhere(index->heightBefore, [y](int before) { return before <= y; });
      if (at > 0) {
        child = index->first[static_cast<size_t>(at)];
        row += index->rowsBefore[static_cast<size_t>(at)];
        y -= index->heightBefore[static_cast<size_t>(at)];
      }
    }
    while (child != nullptr) {
      const int height = child->SubHeightOf();
      if (y < height) break;
      y -= height;
      row += child->GetRowCount();
      child = child->m_pNextSibling;
    }
    if (child == nullptr) return row;  // sums out of step: cannot happen
    node = child;
  }
}

// ---------------------------------------------------------------------------
// The child index

CTreeNode::ChildIndex* CTreeNode::Index() {
  if (m_nChildCount < kIndexFrom) {
    if (m_bHasIndex) DropIndex();
    return nullptr;
  }
  std::unique_ptr<ChildIndex>& entry = Indexes()[this];
  if (!entry) entry = std::make_unique<ChildIndex>();
  m_bHasIndex = true;
  ChildIndex& index = *entry;
  if (index.stale) {
    index.first.clear();
    index.rowsBefore.clear();
    index.heightBefore.clear();
    index.right.clear();
    index.rightDirty.clear();
    index.slot.clear();
    int rows = 0, height = 0, position = 0;
    for (CTreeNode* child = m_pFirstChild; child != nullptr; child = child->m_pNextSibling, ++position) {
      if (position % kIndexStep == 0) {
        index.slot[child] = static_cast<int>(index.first.size());
        index.first.push_back(child);
        index.rowsBefore.push_back(rows);
        index.heightBefore.push_back(height);
        // Each run's edge is computed when it is first needed.
        index.right.push_back(INT_MIN);
        index.rightDirty.push_back(1);
      }
      rows += child->GetRowCount();
      height += child->SubHeightOf();
    }
    index.stale = false;
  }
  return &index;
}

void CTreeNode::DropIndex() {
  Indexes().erase(this);
  m_bHasIndex = false;
}

namespace {

// What the siblings before child add up to, one measure each, taken from the
// index's prefix sums at the nearest indexed sibling when there is one.
template <typename Measure>
int SumBefore(CTreeNode::ChildIndex* index, std::vector<int> CTreeNode::ChildIndex::*prefix, CTreeNode* child,
              Measure measure) {
  int sum = 0;
  for (CTreeNode* node = child;; node = node->GetPrevSibling()) {
    if (index != nullptr) {
      const auto found = index->slot.find(node);
      if (found != index->slot.end()) return sum + (index->*prefix)[static_cast<size_t>(found->second)];
    }
    if (node->GetPrevSibling() == nullptr) return sum;
    sum += measure(node->GetPrevSibling());
  }
}

}  // namespace

int CTreeNode::RowsBefore(CTreeNode* child) {
  return SumBefore(Index(), &ChildIndex::rowsBefore, child, [](CTreeNode* node) { return node->GetRowCount(); });
}

int CTreeNode::HeightBefore(CTreeNode* child) {
  return SumBefore(Index(), &ChildIndex::heightBefore, child, [](CTreeNode* node) { return node->SubHeightOf(); });
}
