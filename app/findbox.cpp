#include "app/findbox.h"

#include "ui_dlg_20507.h"
#include "ui_dlg_20508.h"

CFindBox::CFindBox(CWnd* parent) : CDialog(IDD, parent) {}

void CFindBox::BuildDialog() {
  Ui::Dlg20507 ui;
  ui.setupUi(GetDialog());
  RegisterControlsByName();
}

void CFindBox::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, IDC_FIND_WHAT, m_strFindWhat); }

CFindNotFoundBox::CFindNotFoundBox(CWnd* parent) : CDialog(IDD, parent) {}

void CFindNotFoundBox::BuildDialog() {
  Ui::Dlg20508 ui;
  ui.setupUi(GetDialog());
  RegisterControlsByName();
}
