#include "dialogs/arrayin2.h"

#include "ui_dlg_20506.h"

CArrayInsertKVSBox::CArrayInsertKVSBox(CWnd* parent, CDENode* node, MultiAdminSession* session,
                                       const QV_String& server)
    : CDialog(IDD, parent), m_nPosition(0), m_pNode(node), m_pSession(session), m_strServer(server) {}

void CArrayInsertKVSBox::BuildDialog() {
  Ui::Dlg20506 ui;
  ui.setupUi(GetDialog());
  RegisterControlsByName();
}

void CArrayInsertKVSBox::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, 49166, m_nPosition); }
