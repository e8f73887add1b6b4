// The profile view's undoable changes.  Each step keeps only the sub-tree
// it changed, as a data element, and the place of that sub-tree: the path
// of child indexes from the root to its parent, and its index there.  So
// undoing a change in a large profile never copies the profile.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/dataelt.h"
#include "platform/cstring.h"
#include "platform/undohistory.h"

class CQueltView;
class CTreeNode;

// The child indexes from the root down to a node (empty for the root).
using TreePath = std::vector<int>;
TreePath PathOf(const CTreeNode* node);
// The node at the path, or null.
CTreeNode* NodeAt(CTreeNode* root, const TreePath& path);

// One child of a container, as it can be rebuilt: a pair keeps its key.
struct SlotContent {
  bool isPair = false;
  uint32_t key = 0;
  QV_DataElement value;
  bool expanded = true;
  size_t bytes = 0;  // an estimate of what the sub-tree takes
};
// Takes a node's content; false when the node cannot give its element.
bool TakeSlot(CTreeNode* node, SlotContent* content);

// A sub-tree was added (inserted true) or removed at a place.
std::unique_ptr<CUndoStep> MakeSlotStep(CQueltView* view, const CString& name, TreePath place, bool inserted,
                                        SlotContent content);
// A node's content was replaced in place (a value edited, an array's
// element type changed).
std::unique_ptr<CUndoStep> MakeReplaceStep(CQueltView* view, const CString& name, TreePath place,
                                           SlotContent before, SlotContent after);
// A pair's key changed.
std::unique_ptr<CUndoStep> MakeKeyStep(CQueltView* view, const CString& name, TreePath place, uint32_t before,
                                       uint32_t after);
// The whole profile was replaced (an old revision opened).
std::unique_ptr<CUndoStep> MakeProfileStep(CQueltView* view, const CString& name, SlotContent before,
                                           SlotContent after);
