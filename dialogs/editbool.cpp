#include "dialogs/editbool.h"

#include "ui_dlg_20493.h"

CEditBoolbox::CEditBoolbox(CWnd* parent) : CDialog(IDD, parent), m_nChoice(-1) {}

void CEditBoolbox::BuildDialog() { BuildForm<Ui::Dlg20493>(); }

void CEditBoolbox::DoDataExchange(CDataExchange* dx) { DDX_Radio(dx, 49164, m_nChoice); }
