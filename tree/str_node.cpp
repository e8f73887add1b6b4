#include "tree/str_node.h"

#include "dialogs/editstr.h"
#include "model/dataelt.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

CStringNode::CStringNode() : CValueNode("CStringNode", CBitmapStore::GetStringBM(), CT_TYPE_STRING, QV_String()) {}

// The text between double quotes; a text too long for the row is cut.
CString CStringNode::DisplayText() const {
  const CString shown = FitDisplayText(m_value, kMaxShownChars + 1);
  CString text;
  text.Format("%c%s%c", 34, shown.GetString(), 34);
  return text;
}

bool CStringNode::EditValue(CWnd* parent) {
  CEditStringBox dialog(parent);
  dialog.m_strValue = static_cast<const char*>(m_value);
  if (dialog.DoModal() != IDOK) return false;
  m_value = dialog.m_strValue.GetString();
  return true;
}

void CStringNode::LoadValue(const QV_DataElement& element) { m_value = element.String(); }

void CStringNode::StoreValue(QV_DataElement& element) const { element.SetToString(m_value); }
