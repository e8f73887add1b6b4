#include "dialogs/editsym.h"

#include "dialogs/errorbox.h"
#include "tree/denode.h"
#include "ui_dlg_20494.h"
#include "ui_dlg_20497.h"
#include "ui_dlg_20505.h"

namespace {
constexpr int kEditValueButton = 49202;

// "Edit Value..." is offered exactly when the value node can be edited.
UINT TemplateFor(CDENode* node) {
  if (node == nullptr) return CEditSymBox::IDD_KEY_ONLY;
  return node->CanEdit() != 0 ? CEditSymBox::IDD_WITH_VALUE : CEditSymBox::IDD_VALUE_DISABLED;
}
}  // namespace

CEditSymBox::CEditSymBox(CWnd* parent, CDENode* node, MultiAdminSession* session, const QV_String& server)
    : CDialog(TemplateFor(node), parent), m_pNode(node), m_pSession(session), m_strServer(server) {}

void CEditSymBox::BuildDialog() {
  switch (GetTemplateId()) {
    case IDD_WITH_VALUE: {
      Ui::Dlg20497 ui;
      ui.setupUi(GetDialog());
      break;
    }
    case IDD_VALUE_DISABLED: {
      Ui::Dlg20505 ui;
      ui.setupUi(GetDialog());
      break;
    }
    default: {
      Ui::Dlg20494 ui;
      ui.setupUi(GetDialog());
      break;
    }
  }
  RegisterControlsByName();
  MapCommand(kEditValueButton, [this] { OnEditvalue(); });
}

void CEditSymBox::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, 49158, m_strKey); }

void CEditSymBox::OnEditvalue() {
  // Edit the value node, then accept the key in the same step.  A key that
  // will be refused is refused now, before the user fills in the value.
  if (m_pNode == nullptr) return;
  if (m_fnCheckKey) {
    if (!UpdateData(TRUE)) return;
    if (const UINT refusal = m_fnCheckKey(m_strKey)) {
      CErrorBox(refusal, this).DoModal();
      return;
    }
  }
  if (m_pNode->EditNode(m_pSession, m_strServer, this) == 0) return;
  OnOK();
}
