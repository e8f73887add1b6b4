#include "tree/uintnode.h"

#include "dialogs/edituint.h"
#include "model/dataelt.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

CUIntNode::CUIntNode() : m_ulValue(0), m_pBitmap(CBitmapStore::GetUIntBM()) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CUIntNode::~CUIntNode() = default;

CString CUIntNode::DisplayText() const {
  CString text;
  text.Format("%u", static_cast<unsigned>(m_ulValue));
  return text;
}

int CUIntNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CUIntNode::Type() { return "CUIntNode"; }

int CUIntNode::EditNode(MultiAdminSession*, const QV_String&, CWnd* parent) {
  CEditUIntBox dialog(parent);
  dialog.m_ulValue = m_ulValue;
  if (dialog.DoModal() != IDOK) return 0;
  m_ulValue = dialog.m_ulValue;
  return 1;
}

CString CUIntNode::SearchText() { return DisplayText(); }

int CUIntNode::GetDE(QV_DataElement& element) {
  element.SetToUInt(static_cast<uint32_t>(m_ulValue));
  return 1;
}

int CUIntNode::PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) {
  if (element.Type() != CT_TYPE_UINT) return 0;
  m_ulValue = element.UInt();
  return 1;
}
