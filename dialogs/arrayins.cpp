#include "dialogs/arrayins.h"

#include "tree/denode.h"
#include "ui_dlg_20486.h"

namespace {
constexpr int kEditValueButton = 49201;
}

CArrayInsertBox::CArrayInsertBox(CWnd* parent, CDENode* node, MultiAdminSession* session, const QV_String& server)
    : CDialog(IDD, parent), m_nPosition(0), m_pNode(node), m_pSession(session), m_strServer(server) {}

void CArrayInsertBox::BuildDialog() {
  Ui::Dlg20486 ui;
  ui.setupUi(GetDialog());
  RegisterControlsByName();
  MapCommand(kEditValueButton, [this] { OnEditValue(); });
}

void CArrayInsertBox::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, 49166, m_nPosition); }

void CArrayInsertBox::OnEditValue() {
  // Edit the new element's value, then accept the position in the same step.
  if (m_pNode == nullptr) return;
  if (m_pNode->EditNode(m_pSession, m_strServer, this) == 0) return;
  OnOK();
}
