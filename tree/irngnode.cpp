#include "tree/irngnode.h"

#include "dialogs/editirng.h"
#include "model/dataelt.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

CIRangeNode::CIRangeNode() : m_lStart(0), m_lEnd(0), m_pBitmap(CBitmapStore::GetRangeBM()) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

CIRangeNode::~CIRangeNode() = default;

CString CIRangeNode::DisplayText() const {
  CString text;
  text.Format(LoadStringById(IDS_IRANGE_FORMAT), static_cast<int>(m_lStart), static_cast<int>(m_lEnd));
  return text;
}

int CIRangeNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CIRangeNode::Type() { return "CIRangeNode"; }

int CIRangeNode::EditNode(MultiAdminSession*, const QV_String&, CWnd* parent) {
  CEditIRangeBox dialog(parent);
  dialog.m_lBegin = m_lStart;
  dialog.m_lEnd = m_lEnd;
  if (dialog.DoModal() != IDOK) return 0;
  m_lStart = dialog.m_lBegin;
  m_lEnd = dialog.m_lEnd;
  return 1;
}

CString CIRangeNode::SearchText() { return DisplayText(); }

int CIRangeNode::GetDE(QV_DataElement& element) {
  element.SetToIRange(CTirange{static_cast<int32_t>(m_lStart), static_cast<int32_t>(m_lEnd)});
  return 1;
}

int CIRangeNode::PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) {
  if (element.Type() != CT_TYPE_IRANGE) return 0;
  const CTirange range = element.IRange();
  m_lStart = range.start;
  m_lEnd = range.end;
  return 1;
}
