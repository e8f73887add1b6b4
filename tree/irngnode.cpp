#include "tree/irngnode.h"

#include "dialogs/editirng.h"
#include "model/dataelt.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"

CIRangeNode::CIRangeNode() : CRangeNode("CIRangeNode", CBitmapStore::GetRangeBM(), CT_TYPE_IRANGE, {0, 0}) {}

CString CIRangeNode::DisplayText() const {
  CString text;
  text.Format(LoadStringById(IDS_IRANGE_FORMAT), static_cast<int>(m_value.start), static_cast<int>(m_value.end));
  return text;
}

bool CIRangeNode::EditValue(CWnd* parent) {
  return EditRange(parent, &CEditIRangeBox::m_lBegin, &CEditIRangeBox::m_lEnd);
}

void CIRangeNode::LoadValue(const QV_DataElement& element) { SetRange(element.IRange()); }

void CIRangeNode::StoreValue(QV_DataElement& element) const {
  element.SetToIRange(CTirange{static_cast<int32_t>(m_value.start), static_cast<int32_t>(m_value.end)});
}
