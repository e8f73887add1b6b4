// CTreeNode: the abstract base of every node of the drawn profile tree.
//
// It holds the links (parent, first child, siblings), the expanded and
// selected flags and the node's box size, and it implements every walk of
// the tree: drawing with the connecting lines, the position search, hit-
// testing, keyboard navigation, insertion and removal of children.  What a
// node looks like (icon size, indents, link points, the drawing of one node)
// is asked of the node through the pure virtual operations.
//
// Coordinates are logical units, x to the right and y downwards; a node's
// position is the top-left corner of its box.  Drawing takes a scale and
// turns each logical coordinate into a device coordinate with Scaled().
//
// Scale.  Trees of a million nodes must paint, hit-test and scroll in time
// proportional to the visible rows plus the depth.  Each node therefore
// keeps, over its children, the sums of their visible row counts, of their
// visible heights (the drawing cursor's advance) and of their extent heights
// (the layout GetExtent uses), the widest right edge of their subtrees, the
// child count and the last child.  Every change updates these sums up the
// parent chain: linking and unlinking children, expanding and collapsing,
// and the size setters below.  The drawing, position, hit-testing and extent
// walks use them to skip whole subtrees outside the area they need; their
// results are exactly those of plain walks that visit every visible node
// (the tests keep those as their reference).
//
// What subclasses must do so that the sums stay current:
//  - never keep sizes of their own that the walks read: set the box size only
//    through SetWidth / SetHeight / SetSize (CDENode adds the icon size),
//    both in constructors and while drawing (a width that changes in
//    DrawNode goes through SetWidth);
//  - when anything that GetYIndent, GetBorderWidth, LinkOrigY or LinkDestY
//    return changes, call GeometryChanged(old pitch) at once (CDENode's size
//    setters do this);
//  - change the flags only through SetExpanded / ToggleExpanded /
//    SetSelected, and the links only through AddSubNode / DeleteChild /
//    DeleteChildren.
// Sizes are never negative: a negative size is taken as 0.
#pragma once

#include "platform/geometry.h"

class CDC;

class CTreeNode {
 public:
  CTreeNode();
  // Destroys the following siblings and the whole subtree below.  The walk
  // is iterative, so neither a long sibling chain nor a deep tree can
  // exhaust the stack.
  virtual ~CTreeNode();
  CTreeNode(const CTreeNode&) = delete;
  CTreeNode& operator=(const CTreeNode&) = delete;

  // --- Drawing.  Draws this node and its visible subtree with the node's
  // top-left corner at (x, y).  Only nodes whose box, grown by the border
  // width, meets the device context's clip area are drawn; connecting lines
  // are drawn wherever they cross it.  0 when a node could not be drawn (the
  // drawing then stops after it), else 1.
  virtual int DrawTree(int x, int y, CDC* dc, float scale);
  // Draws this node alone at (x, y); 0 when it cannot be drawn.
  virtual int DrawNode(int x, int y, CDC* dc, float scale) = 0;
  // Grows max x and max y to cover this node and its visible subtree at (x, y).
  virtual void GetExtent(int x, int y, int& maxX, int& maxY) = 0;
  // Finds target among the visible nodes of this subtree placed at (x, y).
  // 1: rect is the target's box and y its top.  0: target hidden or not in
  // the subtree, and y advanced past this subtree's visible rows.
  virtual int GetDims(CTreeNode* target, int x, int& y, CRect& rect);
  // Draws the selection frame when the node is selected; 1.
  virtual int DrawSelectionBar(int x, int y, CDC* dc, float scale);
  virtual int GetBorderWidth();
  // Unlinks one child and destroys it with its subtree; 1.  0, changing
  // nothing, for a null node or a node that is not a child of this one.
  virtual int DeleteChild(CTreeNode* child);
  virtual void SetExpanded(int expanded);
  virtual void SetSelected(int selected);
  // Hit-tests a point relative to this node's top-left corner: the first
  // visible node in display order whose box holds it, or null.  onIcon is
  // set for the node hit and left alone when nothing is hit.
  virtual CTreeNode* Clicked(int x, int y, int& onIcon);
  // Whether a point relative to the node's top-left corner is in its box
  // (the walks only ask for x >= 0 and y >= 0), or on its icon.
  virtual int IsInside(int x, int y) = 0;
  virtual int IsOnIcon(int x, int y) = 0;
  // Horizontal offset of the children; vertical pitch of the node's row.
  virtual int GetXIndent() = 0;
  virtual int GetYIndent() = 0;
  // Inserts node as the child with 0-based index position; -1, a negative
  // position or one at or beyond the child count appends it.  1 when done;
  // 0, changing nothing, for a null node, a node that is already linked
  // into a tree, or this node or one of its ancestors.
  virtual int AddSubNode(CTreeNode* node, int position);
  // Number of children, expanded or not.
  virtual int CountSubNodes();
  // Where the line to the children starts / the line from the parent ends,
  // relative to the node's top-left corner.
  virtual int LinkOrigX() = 0;
  virtual int LinkOrigY() = 0;
  virtual int LinkDestX() = 0;
  virtual int LinkDestY() = 0;
  // Next and previous visible node in display order, or null.
  virtual CTreeNode* Down();
  virtual CTreeNode* Up();
  virtual CTreeNode* Parent();
  // The first child when expanded; null when collapsed or childless.
  virtual CTreeNode* FirstChild();
  // The given child's next sibling; null for a null child.
  virtual CTreeNode* NextChild(CTreeNode* child);

  // Expanded becomes 1 when it was 0, else 0.
  void ToggleExpanded();
  // Sets the expanded flag of this node and of every node below it.  One
  // pass over the subtree, each node's sums taken from its children's, and
  // one update of the ancestors: instant on a million nodes, where setting
  // each flag alone would update the ancestors once per node.
  void SetExpandedAll(int expanded);

  // --- The pre-order over the fully expanded tree, walked backwards: what
  // Down() gives, reversed, when every node passed is expanded first.  Each
  // node descended through is expanded, so the node reached is visible
  // whenever this one is.
  // The node before this one: the last node of the previous sibling's
  // subtree, or the parent; null at the root.
  CTreeNode* UpExpanding();
  // The last node of this subtree (this node when it has no children).
  CTreeNode* LastExpanding();

  // --- Links and flags as stored (FirstChild and Down honour expansion;
  // these do not).
  CTreeNode* GetParent() const { return m_pParent; }
  CTreeNode* GetFirstChild() const { return m_pFirstChild; }
  CTreeNode* GetLastChild() const { return m_pLastChild; }
  CTreeNode* GetNextSibling() const { return m_pNextSibling; }
  CTreeNode* GetPrevSibling() const { return m_pPrevSibling; }
  int GetExpanded() const { return m_bExpanded; }  // the flag as stored
  bool IsExpanded() const { return m_bExpanded != 0; }
  int GetSelected() const { return m_bSelected; }
  bool IsSelected() const { return m_bSelected != 0; }
  int GetWidth() const { return m_nWidth; }
  int GetHeight() const { return m_nHeight; }

  // Destroys every child with its subtree; the node is left childless.
  void DeleteChildren();

  // --- Rows.  The visible nodes of a subtree, in display order, are its
  // rows; row 0 is the node itself.  A row's top is the drawing cursor at
  // that node, relative to this node's top.
  // Visible rows of this subtree (1 when collapsed or childless).
  int GetRowCount();
  // Height of the visible rows: how far the drawing cursor advances.
  int GetSubtreeHeight();
  // The row of node in this subtree; -1 when it is hidden or not in it.
  int GetRowOf(const CTreeNode* node);
  // The node of a row, or null outside 0 .. GetRowCount() - 1.  top, when
  // given, receives the row's top.
  CTreeNode* NodeAtRow(int row, int* top = nullptr);
  // The top of a row; -1 outside the rows.
  int GetRowTop(int row);
  // The row whose pitch band [top, top + GetYIndent()) holds y: -1 for y
  // below 0, GetRowCount() for y at or past GetSubtreeHeight().
  int GetRowAtY(int y);
  // The widest right edge of the visible subtree (x + box width of each
  // visible node, each child GetXIndent() right of its parent), relative to
  // this node's left.
  int GetWidestRight();

  // A logical coordinate at a scale: the product truncated towards zero
  // (saturated to the int range).  Every drawing coordinate goes through it.
  static int Scaled(int value, float scale);

  // Opaque: the index a node with many children keeps (see Index below).
  struct ChildIndex;

 protected:

  // Size setters; they keep the ancestors' sums current.
  void SetWidth(int width);
  void SetHeight(int height);
  void SetSize(int width, int height);
  // Call after GetYIndent, GetBorderWidth, LinkOrigY or LinkDestY changed;
  // oldPitch is what GetYIndent returned before.
  void GeometryChanged(int oldPitch);

  // The gap GetExtent leaves between a node's box bottom and its child.
  static constexpr int kExtentGap = 6;
  // Extent height of the visible subtree: the box height, plus for an
  // expanded node kExtentGap + the child's extent height for each child.
  int GetExtentHeight();

 private:
  int SubHeightOf() { return GetYIndent() + (m_bExpanded ? m_nChildHeight : 0); }
  // Applies changes of a child's row count, height and extent height to
  // this node's sums and upwards while the nodes are expanded.
  void PropagateSums(int dRows, int dHeight, int dExtent);
  // The widest right edge of child went from oldRight to newRight.
  void ChildRightChanged(CTreeNode* child, int oldRight, int newRight);
  // The node's own widest right edge; valid when RightKnown().
  int OwnRight() const;
  bool RightKnown() const { return !(m_bExpanded && m_bRightDirty); }
  // Tells the parent when the own right edge moved from before.
  void RightMayHaveChanged(int before);
  // This node's own widest right edge may have dropped: recompute lazily.
  void MarkRightDirty(CTreeNode* child);
  // The run of children in the index that holds child must recompute its edge.
  void NoteChildRight(CTreeNode* child);
  // Records how far this node's drawing may reach outside its row.
  void NoteOverhang();
  void Unlink(CTreeNode* child);
  int DrawFast(int x, int y, CDC* dc, float scale, int clipTop, int clipBottom);
  CTreeNode* ClickedFast(int x, int y, int& onIcon);
  // Sets the stored flag and the sums.
  void StoreExpanded(int expanded);
  // Sets the flag and takes the sums over the children afresh from the
  // children's own; nothing above is told.
  void StoreExpandedFromChildren(int expanded);
  // The index, if any, must be rebuilt before its next use.
  void MarkIndexStale();

  // For a node with many children: the children at fixed steps with the
  // rows and heights before them, built when needed and dropped whenever a
  // child's rows or height change, so that a walk finds the child at a row or
  // y, and a child's offset, without passing every sibling before it.
  ChildIndex* Index();
  void DropIndex();
  // Rows and height of the children before child (a child of this node).
  int RowsBefore(CTreeNode* child);
  int HeightBefore(CTreeNode* child);

  // The links and flags.
  CTreeNode* m_pFirstChild = nullptr;
  CTreeNode* m_pParent = nullptr;
  CTreeNode* m_pNextSibling = nullptr;
  CTreeNode* m_pPrevSibling = nullptr;
  int m_bExpanded = 1;
  int m_bSelected = 0;
  int m_nHeight = 0;
  int m_nWidth = 0;

  // The sums over the children, kept whether expanded or not.
  CTreeNode* m_pLastChild = nullptr;
  int m_nChildCount = 0;
  int m_nChildRows = 0;      // visible rows of all children's subtrees
  int m_nChildHeight = 0;    // their visible heights
  int m_nChildExtent = 0;    // sum of kExtentGap + extent height
  int m_nChildRight;         // widest GetXIndent() + child's right edge
  bool m_bRightDirty = false;  // m_nChildRight must be recomputed
  bool m_bHasIndex = false;    // a ChildIndex exists for this node

  // How far any node's drawing reaches above its row top or below its row's
  // pitch, over every node linked so far; the walks widen their bands by it.
  static int s_nOverhang;
};
