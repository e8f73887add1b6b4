#include "tree/intnode.h"

#include "dialogs/editint.h"
#include "model/dataelt.h"
#include "tree/bmstore.h"

CIntegerNode::CIntegerNode() : CValueNode("CIntegerNode", CBitmapStore::GetIntegerBM(), CT_TYPE_INT, 0) {}

CString CIntegerNode::DisplayText() const {
  CString text;
  const int value = static_cast<int>(m_value);
  if (value > 0)
    text.Format("+%i", value);
  else
    text.Format("%i", value);
  return text;
}

bool CIntegerNode::EditValue(CWnd* parent) { return EditField(parent, &CEditIntBox::m_lValue, m_value); }

void CIntegerNode::LoadValue(const QV_DataElement& element) { m_value = element.Int(); }

void CIntegerNode::StoreValue(QV_DataElement& element) const { element.SetToInt(static_cast<int32_t>(m_value)); }
