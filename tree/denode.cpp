// CDENode: the look shared by every data-element node, the defaults of the
// editing protocol and the node factory.
#include "tree/denode.h"

#include <algorithm>
#include <cstdint>

#include "model/dataelt.h"
#include "platform/cdc.h"
#include "platform/gdiobjects.h"
#include "platform/syscolor.h"
#include "tree/arrynode.h"
#include "tree/boolnode.h"
#include "tree/fltnode.h"
#include "tree/frngnode.h"
#include "tree/intnode.h"
#include "tree/irngnode.h"
#include "tree/kvs_node.h"
#include "tree/str_node.h"
#include "tree/sym_node.h"
#include "tree/uintnode.h"

CDENode::CDENode() = default;

CDENode::~CDENode() = default;

// ---------------------------------------------------------------------------
// Geometry

void CDENode::GetExtent(int x, int y, int& maxX, int& maxY) {
  // Each child starts kRowGap below the lowest box bottom reached before it,
  // which is always its predecessor's subtree, so the height below the box
  // is a sum the node keeps: the extent height.
  const int right = x + GetWidestRight();
  if (right > maxX) maxX = right;
  const int bottom = std::max(maxY, y + GetHeight());
  maxY = bottom + (GetExtentHeight() - GetHeight());
}

CString CDENode::CompareMarkText() const {
  switch (m_compareMark) {
    case CompareMark::Added:
      return "[+ added]";
    case CompareMark::Changed:
      return "[~ changed, other: " + GetCompareNote() + "]";
    case CompareMark::Removed:
      return "[- removed]";
    case CompareMark::Conflict:
      return "[! conflict, server: " + GetCompareNote() + "]";
    case CompareMark::None:
      break;
  }
  return CString();
}

void CDENode::DrawCompareMark(int x, int y, CDC* dc, float scale) {
  if (m_compareMark == CompareMark::None || dc == nullptr || !(scale > 0)) return;
  COLORREF colour = RGB(0, 112, 0);
  if (m_compareMark == CompareMark::Changed) colour = RGB(0, 64, 192);
  if (m_compareMark == CompareMark::Removed) colour = RGB(176, 0, 0);
  if (m_compareMark == CompareMark::Conflict) colour = RGB(192, 0, 160);
  const CString text = CompareMarkText();
  const CSize extent = dc->GetOutputTextExtent(text);
  const COLORREF old = dc->SetTextColor(colour);
  // Beside the node's text, level with it.
  const int left = x + GetWidth() + 2 * kFrameMargin;
  const double top = static_cast<double>(y) * scale + (static_cast<double>(m_nIconHeight) * scale - extent.cy) / 2.0;
  dc->TextOut(Scaled(left, scale), static_cast<int>(top), text);
  dc->SetTextColor(old);
  // The mark is part of the row: the scroll range and the printed pages
  // reach it, and a click on it selects the node.
  SetWidth(left - x + static_cast<int>(extent.cx / static_cast<double>(scale)));
}

int CDENode::DrawSelectionBar(int x, int y, CDC* dc, float scale) {
  DrawCompareMark(x, y, dc, scale);
  if (!IsSelected() || dc == nullptr) return 1;
  CPen pen(PS_SOLID, 2, GetSysColor(COLOR_HIGHLIGHT));
  CPen* old = dc->SelectObject(&pen);
  const int left = Scaled(x - kFrameMargin, scale);
  const int top = Scaled(y - kFrameMargin, scale);
  const int right = Scaled(x + GetWidth() + kFrameMargin, scale);
  const int bottom = Scaled(y + GetHeight() + kFrameMargin, scale);
  dc->MoveTo(left, top);
  dc->LineTo(right, top);
  dc->LineTo(right, bottom);
  dc->LineTo(left, bottom);
  dc->LineTo(left, top);
  if (old != nullptr) dc->SelectObject(old);
  pen.DeleteObject();
  return 1;
}

int CDENode::GetBorderWidth() { return kBorderWidth; }

int CDENode::IsInside(int x, int y) { return x < GetWidth() && y < GetHeight() ? 1 : 0; }

int CDENode::IsOnIcon(int x, int) { return x < m_nIconWidth ? 1 : 0; }

int CDENode::GetXIndent() { return kXIndent; }

int CDENode::GetYIndent() { return m_nIconHeight + kRowGap; }

int CDENode::LinkOrigX() { return m_nIconWidth / 2; }

int CDENode::LinkOrigY() { return m_nIconHeight + kLinkOrigBelowIcon; }

int CDENode::LinkDestX() { return kLinkDestX; }

int CDENode::LinkDestY() { return m_nIconHeight / 2; }

void CDENode::SetIconSize(int width, int height) {
  const int oldPitch = GetYIndent();
  m_nIconWidth = std::max(width, 0);
  m_nIconHeight = std::max(height, 0);
  GeometryChanged(oldPitch);
}

void CDENode::SetSizes(int boxWidth, int iconWidth, int boxHeight, int iconHeight) {
  SetIconSize(iconWidth, iconHeight);
  SetSize(boxWidth, boxHeight);
}

// ---------------------------------------------------------------------------
// The editing protocol's defaults

int CDENode::EditNode(MultiAdminSession*, const QV_String&, CWnd*) { return 0; }

CString CDENode::SearchText() { return CString(); }

int CDENode::AddNode(CDENode*, CWnd*) { return 0; }

int CDENode::CanDelete(CWnd*) {
  CTreeNode* parent = GetParent();
  if (parent == nullptr) return 0;
  // The value of a pair goes only together with its pair.
  auto* node = dynamic_cast<CDENode*>(parent);
  if (node != nullptr && node->Type() == "CKVPairNode") return 0;
  return 1;
}

int CDENode::CanContain(const CString&) { return 0; }

int CDENode::CanEdit() { return 1; }

int CDENode::AddSubNode(CDENode*, CWnd*, MultiAdminSession*, const QV_String&) { return 0; }

int CDENode::GetDE(QV_DataElement&) { return 0; }

int CDENode::PutDE(const QV_DataElement&, MultiAdminSession*, const QV_String&) { return 0; }

int CDENode::Delete(CWnd*) {
  CTreeNode* parent = GetParent();
  if (parent == nullptr) return 0;
  return parent->DeleteChild(this);
}

// ---------------------------------------------------------------------------
// The factory

CDENode* CDENode::CreateDENode(const QV_DataElement& element, MultiAdminSession* session,
                               const QV_String& serverName) {
  const uint32_t code = element.Type();
  CDENode* node = nullptr;
  switch (code) {
    case 11: node = new CIntegerNode(); break;
    case 12: node = new CUIntNode(); break;
    case 13: node = new CBoolNode(); break;
    case 18: node = new CSymbolNode(); break;
    case 19: node = new CFloatNode(); break;
    case 40: node = new CIRangeNode(); break;
    case 41: node = new CFRangeNode(); break;
    case 42: node = new CKVSetNode(); break;
    case 44: node = new CStringNode(); break;
    default:
      if (code >= 60) node = new CArrayNode();
      break;
  }
  if (node == nullptr) return nullptr;
  if (node->PutDE(element, session, serverName) == 0) {
    delete node;
    return nullptr;
  }
  return node;
}
