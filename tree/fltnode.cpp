#include "tree/fltnode.h"

#include "dialogs/editflt.h"
#include "model/dataelt.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"

CFloatNode::CFloatNode() : CValueNode("CFloatNode", CBitmapStore::GetFloatBM(), CT_TYPE_FLOAT, 0.0f) {}

CString CFloatNode::DisplayText() const {
  CString text;
  text.Format(LoadStringById(IDS_FLOAT_FORMAT), static_cast<double>(m_value));
  return text;
}

bool CFloatNode::EditValue(CWnd* parent) { return EditField(parent, &CEditFloatBox::m_fValue, m_value); }

void CFloatNode::LoadValue(const QV_DataElement& element) { m_value = element.Float(); }

void CFloatNode::StoreValue(QV_DataElement& element) const { element.SetToFloat(m_value); }
