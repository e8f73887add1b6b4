#include "dialogs/editfrng.h"

#include "dialogs/errorbox.h"
#include "dialogs/nodeconv.h"
#include "platform/stringtable.h"
#include "ui_dlg_20502.h"

namespace {
constexpr int kBeginEdit = 49161;
constexpr int kEndEdit = 49155;
}  // namespace

CEditFRangeBox::CEditFRangeBox(CWnd* parent) : CDialog(IDD, parent), m_fBegin(0.0f), m_fEnd(0.0f) {}

void CEditFRangeBox::BuildDialog() { BuildForm<Ui::Dlg20502>(); }

void CEditFRangeBox::DoDataExchange(CDataExchange* dx) {
  DDX_TextMax(dx, kBeginEdit, m_strBegin, 100);
  DDX_TextMax(dx, kEndEdit, m_strEnd, 100);
}

BOOL CEditFRangeBox::OnInitDialog() {
  // String 4131 is the float format, seven significant digits.
  CString format = LoadStringById(4131);
  if (format.IsEmpty()) format = "%.7g";
  m_strBegin.Format(format, static_cast<double>(m_fBegin));
  m_strEnd.Format(format, static_cast<double>(m_fEnd));
  m_strBeginShown = m_strBegin;
  m_strEndShown = m_strEnd;
  return CDialog::OnInitDialog();
}

void CEditFRangeBox::OnOK() {
  if (!UpdateData(TRUE)) return;
  // The begin first; the end is looked at only when the begin is good.
  if (m_strBegin != m_strBeginShown && !AcceptConversion(StringToFloat(m_strBegin, m_fBegin), this, 4200, 4202))
    return;
  if (m_strEnd != m_strEndShown && !AcceptConversion(StringToFloat(m_strEnd, m_fEnd), this, 4201, 4203)) return;
  EndDialog(IDOK);
}
