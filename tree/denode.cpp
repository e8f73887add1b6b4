// CDENode: the look shared by every data-element node, the defaults of the
// editing protocol and the node factory.
#include "tree/denode.h"

CDENode::CDENode() = default;
CDENode::~CDENode() = default;
void CDENode::GetExtent(int, int, int&, int&) {}
void CDENode::GetExtentPlain(int, int, int&, int&) {}
int CDENode::DrawSelectionBar(int, int, CDC*, float) { return 1; }
int CDENode::GetBorderWidth() { return kBorderWidth; }
int CDENode::IsInside(int x, int y) { return x < GetWidth() && y < GetHeight(); }
int CDENode::IsOnIcon(int x, int) { return x < m_nIconWidth; }
int CDENode::GetXIndent() { return kXIndent; }
int CDENode::GetYIndent() { return m_nIconHeight + kRowGap; }
int CDENode::LinkOrigX() { return m_nIconWidth / 2; }
int CDENode::LinkOrigY() { return m_nIconHeight + kLinkOrigBelowIcon; }
int CDENode::LinkDestX() { return kLinkDestX; }
int CDENode::LinkDestY() { return m_nIconHeight / 2; }
int CDENode::EditNode(MultiAdminSession*, const QV_String&, CWnd*) { return 0; }
CString CDENode::SearchText() { return CString(); }
int CDENode::AddNode(CDENode*, CWnd*) { return 0; }
int CDENode::CanDelete(CWnd*) { return 0; }
int CDENode::CanContain(const CString&) { return 0; }
int CDENode::CanEdit() { return 1; }
int CDENode::AddSubNode(CDENode*, CWnd*, MultiAdminSession*, const QV_String&) { return 0; }
int CDENode::GetDE(QV_DataElement&) { return 0; }
int CDENode::PutDE(const QV_DataElement&, MultiAdminSession*, const QV_String&) { return 0; }
int CDENode::Delete(CWnd*) { return 0; }
CDENode* CDENode::CreateDENode(const QV_DataElement&, MultiAdminSession*, const QV_String&) { return nullptr; }
void CDENode::SetIconSize(int width, int height) { m_nIconWidth = width; m_nIconHeight = height; }
void CDENode::SetSizes(int boxWidth, int iconWidth, int boxHeight, int iconHeight) {
  SetIconSize(iconWidth, iconHeight);
  SetSize(boxWidth, boxHeight);
}
