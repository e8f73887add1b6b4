#include "app/findbox.h"

#include "ui_dlg_20507.h"
#include "ui_dlg_20508.h"

CFindBox::CFindBox(CWnd* parent) : CDialog(IDD, parent) {}

void CFindBox::BuildDialog() { BuildForm<Ui::Dlg20507>(); }

void CFindBox::DoDataExchange(CDataExchange* dx) {
  if (dx == nullptr) return;
  if (!dx->m_bSaveAndValidate) {
    DDX_Text(dx, IDC_FIND_WHAT, m_strFindWhat);
    return;
  }
  // A search text is only compared, never stored, so any character typed is
  // taken: one that the preset's encoding cannot hold makes it UTF-8.
  CWnd* edit = dx->PrepareCtrl(IDC_FIND_WHAT) != nullptr ? GetDlgItem(IDC_FIND_WHAT) : nullptr;
  if (edit != nullptr) m_strFindWhat = edit->GetWindowText();
}

CFindNotFoundBox::CFindNotFoundBox(CWnd* parent) : CDialog(IDD, parent) {}

void CFindNotFoundBox::BuildDialog() { BuildForm<Ui::Dlg20508>(); }
