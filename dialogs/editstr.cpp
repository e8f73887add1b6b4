#include "dialogs/editstr.h"

#include "ui_dlg_20495.h"

CEditStringBox::CEditStringBox(CWnd* parent) : CDialog(IDD, parent) {}

void CEditStringBox::BuildDialog() { BuildForm<Ui::Dlg20495>(); }

void CEditStringBox::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, 49160, m_strValue); }
