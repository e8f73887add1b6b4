#include "app/storeas3.h"

#include "ui_dlg_132.h"

CStoreAsBoxIII::CStoreAsBoxIII(CWnd* parent) : CDialog(IDD, parent) {}

void CStoreAsBoxIII::BuildDialog() { BuildForm<Ui::Dlg132>(); }

void CStoreAsBoxIII::DoDataExchange(CDataExchange* dx) {
  DDX_TextMax(dx, IDC_NAME, m_strNameEdit, kMaxField);
  DDX_TextMax(dx, IDC_CLASS, m_strClassEdit, kMaxField);
  DDX_TextMax(dx, IDC_SERVER, m_strServerEdit, kMaxField);
}
