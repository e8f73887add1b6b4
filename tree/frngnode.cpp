#include "tree/frngnode.h"

#include "dialogs/editfrng.h"
#include "model/dataelt.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

CFRangeNode::CFRangeNode() : m_fStart(0.0f), m_fEnd(0.0f), m_pBitmap(CBitmapStore::GetRangeBM()) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CFRangeNode::~CFRangeNode() = default;

// The range format is built from the float format in two steps, so that both
// texts stay in the string table.
CString CFRangeNode::DisplayText() const {
  const CString number = LoadStringById(IDS_FLOAT_FORMAT);
  CString format;
  format.Format(LoadStringById(IDS_RANGE_FORMAT), number.GetString(), number.GetString());
  CString text;
  text.Format(format, static_cast<double>(m_fStart), static_cast<double>(m_fEnd));
  return text;
}

int CFRangeNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CFRangeNode::Type() { return "CFRangeNode"; }

int CFRangeNode::EditNode(MultiAdminSession*, const QV_String&, CWnd* parent) {
  CEditFRangeBox dialog(parent);
  dialog.m_fBegin = m_fStart;
  dialog.m_fEnd = m_fEnd;
  if (dialog.DoModal() != IDOK) return 0;
  m_fStart = dialog.m_fBegin;
  m_fEnd = dialog.m_fEnd;
  return 1;
}

CString CFRangeNode::SearchText() { return DisplayText(); }

int CFRangeNode::GetDE(QV_DataElement& element) {
  element.SetToFRange(CTfrange{m_fStart, m_fEnd});
  return 1;
}

int CFRangeNode::PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) {
  if (element.Type() != CT_TYPE_FRANGE) return 0;
  const CTfrange range = element.FRange();
  m_fStart = range.start;
  m_fEnd = range.end;
  return 1;
}
