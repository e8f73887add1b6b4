#include "tree/uintnode.h"

#include "dialogs/edituint.h"
#include "model/dataelt.h"
#include "tree/bmstore.h"

CUIntNode::CUIntNode() : CValueNode("CUIntNode", CBitmapStore::GetUIntBM(), CT_TYPE_UINT, 0) {}

CString CUIntNode::DisplayText() const {
  CString text;
  text.Format("%u", static_cast<unsigned>(m_value));
  return text;
}

bool CUIntNode::EditValue(CWnd* parent) { return EditField(parent, &CEditUIntBox::m_ulValue, m_value); }

void CUIntNode::LoadValue(const QV_DataElement& element) { m_value = element.UInt(); }

void CUIntNode::StoreValue(QV_DataElement& element) const { element.SetToUInt(static_cast<uint32_t>(m_value)); }
