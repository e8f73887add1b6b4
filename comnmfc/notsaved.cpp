#include "comnmfc/notsaved.h"

#include <QPushButton>

#include "comnmfc/formhost.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"
#include "ui_dlg_24582.h"

namespace {
constexpr int IDC_NO = IDNO;
}

CNotSavedBox::CNotSavedBox(CWnd* parent) : CDialog(IDD, parent) {}

void CNotSavedBox::BuildDialog() {
  auto* form = new QWidget;
  Ui::Dlg24582 ui;
  ui.setupUi(form);
  PlaceForm(*this, form);
  RegisterControlsByName();
  GetDialog()->setWindowTitle(ToQString(LoadStringById(IDD)));
  MapCommand(IDC_NO, [this] { EndDialog(IDNO); });
}

BOOL CNotSavedBox::OnInitDialog() {
  CDialog::OnInitDialog();
  // Yes has the focus, as the default answer.
  if (QWidget* yes = GetControl(IDOK)) yes->setFocus(Qt::OtherFocusReason);
  return TRUE;
}
