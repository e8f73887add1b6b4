#include "dialogs/editarry.h"

#include "ui_dlg_20504.h"

CEditArrayBox::CEditArrayBox(CWnd* parent) : CDialog(IDD, parent), m_nChoice(-1) {}

void CEditArrayBox::BuildDialog() { BuildForm<Ui::Dlg20504>(); }

void CEditArrayBox::DoDataExchange(CDataExchange* dx) { DDX_Radio(dx, 49199, m_nChoice); }
