#include "tree/boolnode.h"

#include "dialogs/editbool.h"
#include "model/dataelt.h"
#include "tree/bmstore.h"

CBoolNode::CBoolNode() : CValueNode("CBoolNode", CBitmapStore::GetBooleanBM(), CT_TYPE_BOOL, 1) {}

CString CBoolNode::DisplayText() const { return m_value == 1 ? "TRUE" : "FALSE"; }

// The dialog's buttons are 0 "True" and 1 "False".
bool CBoolNode::EditValue(CWnd* parent) {
  CEditBoolbox dialog(parent);
  dialog.m_nChoice = m_value == 1 ? 0 : 1;
  if (dialog.DoModal() != IDOK) return false;
  m_value = dialog.m_nChoice == 1 ? 0 : 1;
  return true;
}

void CBoolNode::LoadValue(const QV_DataElement& element) { m_value = element.Bool(); }

void CBoolNode::StoreValue(QV_DataElement& element) const { element.SetToBool(static_cast<int32_t>(m_value)); }
