#include "dialogs/editsymb.h"

#include "ui_dlg_20510.h"

CEditSymbolBox::CEditSymbolBox(CWnd* parent) : CDialog(IDD, parent) {}

void CEditSymbolBox::BuildDialog() { BuildForm<Ui::Dlg20510>(); }

void CEditSymbolBox::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, 49203, m_strSymbol); }
