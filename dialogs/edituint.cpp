#include "dialogs/edituint.h"

#include "dialogs/errorbox.h"
#include "dialogs/nodeconv.h"
#include "ui_dlg_20492.h"

namespace {
constexpr int kValueEdit = 49154;
}

CEditUIntBox::CEditUIntBox(CWnd* parent) : CDialog(IDD, parent), m_ulValue(0) {}

void CEditUIntBox::BuildDialog() { BuildForm<Ui::Dlg20492>(); }

void CEditUIntBox::DoDataExchange(CDataExchange* dx) { DDX_TextMax(dx, kValueEdit, m_strValue, 20); }

BOOL CEditUIntBox::OnInitDialog() {
  m_strValue.Format("%lu", m_ulValue);
  return CDialog::OnInitDialog();
}

void CEditUIntBox::OnOK() {
  if (!UpdateData(TRUE)) return;
  if (!AcceptConversion(StringToULong(m_strValue, m_ulValue, 4294967295UL, 0UL), this, 4192, 4193)) return;
  EndDialog(IDOK);
}
