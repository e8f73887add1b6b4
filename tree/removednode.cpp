#include "tree/removednode.h"

#include "model/dataelt.h"
#include "platform/gdiobjects.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

namespace {

CDIBitmap* IconOf(unsigned type, bool pairMember) {
  if (pairMember) return CBitmapStore::GetKeyBM();
  switch (type) {
    case CT_TYPE_KVSET: return CBitmapStore::GetKVSetShutBM();
    case CT_TYPE_STRING: return CBitmapStore::GetStringBM();
    case CT_TYPE_SYMBOL: return CBitmapStore::GetKeyBM();
    case 11: return CBitmapStore::GetIntegerBM();
    case 12: return CBitmapStore::GetUIntBM();
    case 13: return CBitmapStore::GetBooleanBM();
    case 19: return CBitmapStore::GetFloatBM();
    case 40:
    case 41: return CBitmapStore::GetRangeBM();
    default: return type >= CT_TYPE_ARRAY ? CBitmapStore::GetArrayShutBM() : CBitmapStore::GetStringBM();
  }
}

}  // namespace

CRemovedNode::CRemovedNode(const CString& text, unsigned valueType, bool pairMember, size_t difference)
    : m_strText(text), m_pBitmap(IconOf(valueType, pairMember)), m_nDifference(difference) {
  SetExpanded(0);
  SetCompareMark(CompareMark::Removed, CString());
  if (m_pBitmap != nullptr) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CRemovedNode::~CRemovedNode() = default;

// The icon, then the old text in the removed colour, struck through, then
// the mark: the strike and the mark's glyph and word read without colour.
int CRemovedNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (m_pBitmap == nullptr || dc == nullptr) return 0;
  const COLORREF old = dc->SetTextColor(kRemovedColour);
  const int width = DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), m_strText, scale);
  dc->SetTextColor(old);
  const int textLeft = x + GetIconWidth() + kIconTextGap;
  const int middle = Scaled(y, scale) + Scaled(GetIconHeight(), scale) / 2;
  CPen pen(PS_SOLID, 1, kRemovedColour);
  CPen* oldPen = dc->SelectObject(&pen);
  dc->MoveTo(Scaled(textLeft, scale), middle);
  dc->LineTo(Scaled(x + width, scale), middle);
  if (oldPen != nullptr) dc->SelectObject(oldPen);
  pen.DeleteObject();
  SetWidth(width);
  return DrawSelectionBar(x, y, dc, scale);
}

CString CRemovedNode::Type() { return "CRemovedNode"; }

int CRemovedNode::CanDelete(CWnd*) { return 0; }

int CRemovedNode::CanEdit() { return 0; }

int CRemovedNode::GetDE(QV_DataElement&) { return 0; }
