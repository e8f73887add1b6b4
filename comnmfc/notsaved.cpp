#include "comnmfc/notsaved.h"

#include <QPushButton>

#include "comnmfc/formhost.h"
#include "ui_dlg_24582.h"

namespace {
constexpr int IDC_NO = IDNO;
}

CNotSavedBox::CNotSavedBox(CWnd* parent) : CDialog(IDD, parent) {}

void CNotSavedBox::BuildDialog() {
  Ui::Dlg24582 ui;
  SetUpTitledForm(*this, ui, IDD);
  MapCommand(IDC_NO, [this] { EndDialog(IDNO); });
}

BOOL CNotSavedBox::OnInitDialog() {
  CDialog::OnInitDialog();
  // Yes has the focus, as the default answer.
  if (QWidget* yes = GetControl(IDOK)) yes->setFocus(Qt::OtherFocusReason);
  return TRUE;
}
