#include "tree/frngnode.h"

#include "dialogs/editfrng.h"
#include "model/dataelt.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"

CFRangeNode::CFRangeNode() : CRangeNode("CFRangeNode", CBitmapStore::GetRangeBM(), CT_TYPE_FRANGE, {0.0f, 0.0f}) {}

// The range format is built from the float format in two steps, so that both
// texts stay in the string table.
CString CFRangeNode::DisplayText() const {
  const CString number = LoadStringById(IDS_FLOAT_FORMAT);
  CString format;
  format.Format(LoadStringById(IDS_RANGE_FORMAT), number.GetString(), number.GetString());
  CString text;
  text.Format(format, static_cast<double>(m_value.start), static_cast<double>(m_value.end));
  return text;
}

bool CFRangeNode::EditValue(CWnd* parent) {
  return EditRange(parent, &CEditFRangeBox::m_fBegin, &CEditFRangeBox::m_fEnd);
}

void CFRangeNode::LoadValue(const QV_DataElement& element) { SetRange(element.FRange()); }

void CFRangeNode::StoreValue(QV_DataElement& element) const {
  element.SetToFRange(CTfrange{m_value.start, m_value.end});
}
