#include "tree/intnode.h"

#include "dialogs/editint.h"
#include "model/dataelt.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

CIntegerNode::CIntegerNode() : m_lValue(0), m_pBitmap(CBitmapStore::GetIntegerBM()) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CIntegerNode::~CIntegerNode() = default;

CString CIntegerNode::DisplayText() const {
  CString text;
  const int value = static_cast<int>(m_lValue);
  if (value > 0)
    text.Format("+%i", value);
  else
    text.Format("%i", value);
  return text;
}

int CIntegerNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CIntegerNode::Type() { return "CIntegerNode"; }

int CIntegerNode::EditNode(MultiAdminSession*, const QV_String&, CWnd* parent) {
  CEditIntBox dialog(parent);
  dialog.m_lValue = m_lValue;
  if (dialog.DoModal() != IDOK) return 0;
  m_lValue = dialog.m_lValue;
  return 1;
}

CString CIntegerNode::SearchText() { return DisplayText(); }

int CIntegerNode::GetDE(QV_DataElement& element) {
  element.SetToInt(static_cast<int32_t>(m_lValue));
  return 1;
}

int CIntegerNode::PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) {
  if (element.Type() != CT_TYPE_INT) return 0;
  m_lValue = element.Int();
  return 1;
}
