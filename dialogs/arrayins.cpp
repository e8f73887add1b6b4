#include "dialogs/arrayins.h"

#include "tree/denode.h"
#include "ui_dlg_20486.h"

namespace {
constexpr int kEditValueButton = 49201;
}

void CArrayInsertBox::BuildDialog() {
  BuildForm<Ui::Dlg20486>();
  MapCommand(kEditValueButton, [this] { OnEditValue(); });
}

void CArrayInsertBox::OnEditValue() {
  // Edit the new element's value, then accept the position in the same step.
  if (m_pNode == nullptr) return;
  if (m_pNode->EditNode(m_pSession, m_strServer, this) == 0) return;
  OnOK();
}
