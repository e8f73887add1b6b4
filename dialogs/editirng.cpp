#include "dialogs/editirng.h"

#include "dialogs/errorbox.h"
#include "dialogs/nodeconv.h"
#include "ui_dlg_20496.h"

namespace {
constexpr int kBeginEdit = 49161;
constexpr int kEndEdit = 49155;
constexpr long kMax = 2147483647L;
constexpr long kMin = -2147483647L - 1;

}  // namespace

CEditIRangeBox::CEditIRangeBox(CWnd* parent) : CDialog(IDD, parent), m_lEnd(0), m_lBegin(0) {}

void CEditIRangeBox::BuildDialog() { BuildForm<Ui::Dlg20496>(); }

void CEditIRangeBox::DoDataExchange(CDataExchange* dx) {
  DDX_TextMax(dx, kBeginEdit, m_strBegin, 20);
  DDX_TextMax(dx, kEndEdit, m_strEnd, 20);
}

BOOL CEditIRangeBox::OnInitDialog() {
  m_strBegin.Format("%li", m_lBegin);
  m_strEnd.Format("%li", m_lEnd);
  return CDialog::OnInitDialog();
}

void CEditIRangeBox::OnOK() {
  if (!UpdateData(TRUE)) return;
  // The begin first; the end is looked at only when the begin is good.
  if (!AcceptConversion(StringToLong(m_strBegin, m_lBegin, kMax, kMin), this, 4196, 4198)) return;
  if (!AcceptConversion(StringToLong(m_strEnd, m_lEnd, kMax, kMin), this, 4197, 4199)) return;
  EndDialog(IDOK);
}
