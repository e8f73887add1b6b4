#include "app/storeas3.h"

#include "ui_dlg_132.h"

CStoreAsBoxIII::CStoreAsBoxIII(CWnd* parent) : CDialog(IDD, parent) {}

void CStoreAsBoxIII::BuildDialog() {
  Ui::Dlg132 ui;
  ui.setupUi(GetDialog());
  RegisterControlsByName();
}

void CStoreAsBoxIII::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, IDC_NAME, m_strNameEdit);
  DDV_MaxChars(dx, m_strNameEdit, kMaxField);
  DDX_Text(dx, IDC_CLASS, m_strClassEdit);
  DDV_MaxChars(dx, m_strClassEdit, kMaxField);
  DDX_Text(dx, IDC_SERVER, m_strServerEdit);
  DDV_MaxChars(dx, m_strServerEdit, kMaxField);
}
