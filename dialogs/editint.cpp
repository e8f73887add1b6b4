#include "dialogs/editint.h"

#include "dialogs/errorbox.h"
#include "dialogs/nodeconv.h"
#include "ui_dlg_20485.h"

namespace {
constexpr int kValueEdit = 49153;
}

CEditIntBox::CEditIntBox(CWnd* parent) : CDialog(IDD, parent), m_strValue("0"), m_lValue(0) {}

void CEditIntBox::BuildDialog() { BuildForm<Ui::Dlg20485>(); }

void CEditIntBox::DoDataExchange(CDataExchange* dx) { DDX_TextMax(dx, kValueEdit, m_strValue, 20); }

BOOL CEditIntBox::OnInitDialog() {
  m_strValue.Format("%li", m_lValue);
  return CDialog::OnInitDialog();
}

void CEditIntBox::OnOK() {
  if (!UpdateData(TRUE)) return;
  if (!AcceptConversion(StringToLong(m_strValue, m_lValue, 2147483647L, -2147483647L - 1), this, 4190, 4191)) return;
  EndDialog(IDOK);
}
