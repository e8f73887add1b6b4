// The plain walks of the tree: drawing, position, hit-testing and extent
// visiting every visible node one by one.  The product's walks skip whole
// subtrees through the sums each node keeps; the tests hold them to these.
#pragma once

#include "platform/geometry.h"

class CDC;
class CDENode;
class CTreeNode;

namespace plainwalks {

// As CTreeNode::DrawTree, drawing every visible node whose box meets the clip area.
int DrawTree(CTreeNode* node, int x, int y, CDC* dc, float scale);
// As CTreeNode::GetDims: 1 with target's box in rect and its top in y, when it shows.
int GetDims(CTreeNode* node, CTreeNode* target, int x, int& y, CRect& rect);
// As CTreeNode::Clicked.
CTreeNode* Clicked(CTreeNode* node, int x, int y, int& onIcon);
// As CDENode::GetExtent.
void GetExtent(CDENode* node, int x, int y, int& maxX, int& maxY);

}  // namespace plainwalks
