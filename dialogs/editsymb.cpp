#include "dialogs/editsymb.h"

#include "ui_dlg_20510.h"

CEditSymbolBox::CEditSymbolBox(CWnd* parent) : CDialog(IDD, parent) {}

void CEditSymbolBox::BuildDialog() {
  Ui::Dlg20510 ui;
  ui.setupUi(GetDialog());
  RegisterControlsByName();
}

void CEditSymbolBox::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, 49203, m_strSymbol); }
