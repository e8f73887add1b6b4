#include "tree/str_node.h"

#include "dialogs/editstr.h"
#include "model/dataelt.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

CStringNode::CStringNode() : m_pBitmap(CBitmapStore::GetStringBM()) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CStringNode::~CStringNode() = default;

// The text between double quotes; a text too long for the row is cut.
CString CStringNode::DisplayText() const {
  const CString shown = FitDisplayText(m_strValue, kMaxShownChars + 1);
  CString text;
  text.Format("%c%s%c", 34, shown.GetString(), 34);
  return text;
}

int CStringNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CStringNode::Type() { return "CStringNode"; }

int CStringNode::EditNode(MultiAdminSession*, const QV_String&, CWnd* parent) {
  CEditStringBox dialog(parent);
  dialog.m_strValue = static_cast<const char*>(m_strValue);
  if (dialog.DoModal() != IDOK) return 0;
  m_strValue = dialog.m_strValue.GetString();
  return 1;
}

CString CStringNode::SearchText() { return DisplayText(); }

int CStringNode::GetDE(QV_DataElement& element) {
  element.SetToString(m_strValue);
  return 1;
}

int CStringNode::PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) {
  if (element.Type() != CT_TYPE_STRING) return 0;
  m_strValue = element.String();
  return 1;
}
