#include "tree/boolnode.h"

#include "dialogs/editbool.h"
#include "model/dataelt.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

CBoolNode::CBoolNode() : m_lValue(1), m_pBitmap(CBitmapStore::GetBooleanBM()) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CBoolNode::~CBoolNode() = default;

CString CBoolNode::DisplayText() const { return m_lValue == 1 ? "TRUE" : "FALSE"; }

int CBoolNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CBoolNode::Type() { return "CBoolNode"; }

// The dialog's buttons are 0 "True" and 1 "False".
int CBoolNode::EditNode(MultiAdminSession*, const QV_String&, CWnd* parent) {
  CEditBoolbox dialog(parent);
  dialog.m_nChoice = m_lValue == 1 ? 0 : 1;
  if (dialog.DoModal() != IDOK) return 0;
  m_lValue = dialog.m_nChoice == 1 ? 0 : 1;
  return 1;
}

CString CBoolNode::SearchText() { return DisplayText(); }

int CBoolNode::GetDE(QV_DataElement& element) {
  element.SetToBool(static_cast<int32_t>(m_lValue));
  return 1;
}

int CBoolNode::PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) {
  if (element.Type() != CT_TYPE_BOOL) return 0;
  m_lValue = element.Bool();
  return 1;
}
