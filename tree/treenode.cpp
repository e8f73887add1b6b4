// CTreeNode: links, drawing, hit-testing, navigation and the row sums.
#include "tree/treenode.h"

#include <climits>

int CTreeNode::s_nOverhang = 0;

CTreeNode::CTreeNode() : m_nChildRight(INT_MIN) {}
CTreeNode::~CTreeNode() {}
int CTreeNode::DrawTree(int, int, CDC*, float) { return 1; }
int CTreeNode::GetDims(CTreeNode*, int, int&, CRect&) { return 0; }
int CTreeNode::DrawSelectionBar(int, int, CDC*, float) { return 1; }
int CTreeNode::GetBorderWidth() { return 0; }
int CTreeNode::DeleteChild(CTreeNode*) { return 0; }
void CTreeNode::SetExpanded(int expanded) { m_bExpanded = expanded; }
void CTreeNode::SetSelected(int selected) { m_bSelected = selected; }
CTreeNode* CTreeNode::Clicked(int, int, int&) { return nullptr; }
int CTreeNode::AddSubNode(CTreeNode*, int) { return 0; }
int CTreeNode::CountSubNodes() { return m_nChildCount; }
CTreeNode* CTreeNode::Down() { return nullptr; }
CTreeNode* CTreeNode::Up() { return nullptr; }
CTreeNode* CTreeNode::Parent() { return m_pParent; }
CTreeNode* CTreeNode::FirstChild() { return m_bExpanded ? m_pFirstChild : nullptr; }
CTreeNode* CTreeNode::NextChild(CTreeNode* child) { return child ? child->m_pNextSibling : nullptr; }
void CTreeNode::ToggleExpanded() {}
void CTreeNode::DeleteChildren() {}
int CTreeNode::GetRowCount() { return 1; }
int CTreeNode::GetSubtreeHeight() { return 0; }
int CTreeNode::GetRowOf(const CTreeNode*) { return -1; }
CTreeNode* CTreeNode::NodeAtRow(int, int*) { return nullptr; }
int CTreeNode::GetRowTop(int) { return -1; }
int CTreeNode::GetRowAtY(int) { return -1; }
int CTreeNode::GetWidestRight() { return m_nWidth; }
int CTreeNode::DrawTreePlain(int, int, CDC*, float) { return 1; }
int CTreeNode::GetDimsPlain(CTreeNode*, int, int&, CRect&) { return 0; }
CTreeNode* CTreeNode::ClickedPlain(int, int, int&) { return nullptr; }
int CTreeNode::Scaled(int value, float scale) { return static_cast<int>(value * static_cast<double>(scale)); }
int CTreeNode::DrawTree(int, int, CDC*, int&, float) { return 1; }
CTreeNode* CTreeNode::Clicked(int, int, int&, int&) { return nullptr; }
void CTreeNode::SetWidth(int width) { m_nWidth = width; }
void CTreeNode::SetHeight(int height) { m_nHeight = height; }
void CTreeNode::SetSize(int width, int height) { m_nWidth = width; m_nHeight = height; }
void CTreeNode::GeometryChanged(int) {}
int CTreeNode::GetExtentHeight() { return m_nHeight; }
