#include "tests/tree/plainwalks.h"

#include "platform/cdc.h"
#include "tree/denode.h"
#include "tree/treenode.h"

namespace plainwalks {
namespace {

int Scaled(int value, float scale) { return CTreeNode::Scaled(value, scale); }

// Draws at (x, y), advancing yCursor past every visible row.
int DrawFrom(CTreeNode* node, int x, int y, CDC* dc, int& yCursor, float scale) {
  int result = 1;
  int linkY = y + node->LinkOrigY();
  const int border = node->GetBorderWidth();
  const CRect box(Scaled(x - border, scale), Scaled(y - border, scale), Scaled(x + node->GetWidth() + border, scale),
                  Scaled(y + node->GetHeight() + border, scale));
  if (dc->RectVisible(box)) result = node->DrawNode(x, y, dc, scale);
  yCursor += node->GetYIndent();
  if (result == 0 || !node->IsExpanded() || node->GetFirstChild() == nullptr) return result;
  const int childX = x + node->GetXIndent();
  for (CTreeNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
    dc->SelectStockObject(BLACK_PEN);
    const int linkX = x + node->LinkOrigX();
    const int turnY = yCursor + child->LinkDestY();
    dc->MoveTo(Scaled(linkX, scale), Scaled(linkY, scale));
    dc->LineTo(Scaled(linkX, scale), Scaled(turnY, scale));
    dc->LineTo(Scaled(childX + child->LinkDestX(), scale), Scaled(turnY, scale));
    linkY = turnY;
    if (DrawFrom(child, childX, yCursor, dc, yCursor, scale) == 0) {
      result = 0;
      break;
    }
  }
  return result;
}

// Hit-tests; yRest shrinks by the pitch of each node passed.
CTreeNode* ClickedFrom(CTreeNode* node, int x, int y, int& onIcon, int& yRest) {
  if (x >= 0 && y >= 0 && node->IsInside(x, y)) {
    onIcon = node->IsOnIcon(x, y);
    return node;
  }
  yRest -= node->GetYIndent();
  CTreeNode* found = nullptr;
  if (node->IsExpanded()) {
    for (CTreeNode* child = node->GetFirstChild(); child != nullptr && found == nullptr;
         child = child->GetNextSibling())
      found = ClickedFrom(child, x - node->GetXIndent(), yRest, onIcon, yRest);
  }
  return found;
}

}  // namespace

int DrawTree(CTreeNode* node, int x, int y, CDC* dc, float scale) {
  if (dc == nullptr) return 0;
  int yCursor = y;
  return DrawFrom(node, x, y, dc, yCursor, scale);
}

int GetDims(CTreeNode* node, CTreeNode* target, int x, int& y, CRect& rect) {
  if (node == target) {
    rect = CRect(x, y, x + node->GetWidth(), y + node->GetHeight());
    return 1;
  }
  y += node->GetYIndent();
  if (!node->IsExpanded()) return 0;
  x += node->GetXIndent();
  int result = 0;
  for (CTreeNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
    result = GetDims(child, target, x, y, rect);
    if (result != 0) break;
  }
  return result;
}

CTreeNode* Clicked(CTreeNode* node, int x, int y, int& onIcon) {
  int yRest = y;
  return ClickedFrom(node, x, y, onIcon, yRest);
}

void GetExtent(CDENode* node, int x, int y, int& maxX, int& maxY) {
  if (x + node->GetWidth() > maxX) maxX = x + node->GetWidth();
  if (y + node->GetHeight() > maxY) maxY = y + node->GetHeight();
  if (!node->IsExpanded()) return;
  for (CTreeNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
    if (auto* de = dynamic_cast<CDENode*>(child))
      GetExtent(de, x + CDENode::kXIndent, maxY + CDENode::kRowGap, maxX, maxY);
    else
      child->GetExtent(x + CDENode::kXIndent, maxY + CDENode::kRowGap, maxX, maxY);
  }
}

}  // namespace plainwalks
