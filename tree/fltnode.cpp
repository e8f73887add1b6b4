#include "tree/fltnode.h"

#include "dialogs/editflt.h"
#include "model/dataelt.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

CFloatNode::CFloatNode() : m_fValue(0.0f), m_pBitmap(CBitmapStore::GetFloatBM()) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CFloatNode::~CFloatNode() = default;

CString CFloatNode::DisplayText() const {
  CString text;
  text.Format(LoadStringById(IDS_FLOAT_FORMAT), static_cast<double>(m_fValue));
  return text;
}

int CFloatNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CFloatNode::Type() { return "CFloatNode"; }

int CFloatNode::EditNode(MultiAdminSession*, const QV_String&, CWnd* parent) {
  CEditFloatBox dialog(parent);
  dialog.m_fValue = m_fValue;
  if (dialog.DoModal() != IDOK) return 0;
  m_fValue = dialog.m_fValue;
  return 1;
}

CString CFloatNode::SearchText() { return DisplayText(); }

int CFloatNode::GetDE(QV_DataElement& element) {
  element.SetToFloat(m_fValue);
  return 1;
}

int CFloatNode::PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) {
  if (element.Type() != CT_TYPE_FLOAT) return 0;
  m_fValue = element.Float();
  return 1;
}
