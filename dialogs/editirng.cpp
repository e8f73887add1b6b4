#include "dialogs/editirng.h"

#include "dialogs/errorbox.h"
#include "dialogs/nodeconv.h"
#include "ui_dlg_20496.h"

namespace {
constexpr int kBeginEdit = 49161;
constexpr int kEndEdit = 49155;

// Converts one end of the range; shows the message that fits and answers
// false when the text is refused.
bool Convert(CWnd* owner, const CString& text, long& value, UINT outOfRange, UINT notNumber) {
  switch (StringToLong(text, value, 2147483647L, -2147483647L - 1)) {
    case ConvOutOfRange:
      CErrorBox(outOfRange, owner).DoModal();
      return false;
    case ConvNotNumber:
      CErrorBox(notNumber, owner).DoModal();
      return false;
    case ConvOK:
      break;
  }
  return true;
}
}  // namespace

CEditIRangeBox::CEditIRangeBox(CWnd* parent) : CDialog(IDD, parent), m_lEnd(0), m_lBegin(0) {}

void CEditIRangeBox::BuildDialog() {
  Ui::Dlg20496 ui;
  ui.setupUi(GetDialog());
  RegisterControlsByName();
}

void CEditIRangeBox::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, kBeginEdit, m_strBegin);
  DDV_MaxChars(dx, m_strBegin, 20);
  DDX_Text(dx, kEndEdit, m_strEnd);
  DDV_MaxChars(dx, m_strEnd, 20);
}

BOOL CEditIRangeBox::OnInitDialog() {
  m_strBegin.Format("%li", m_lBegin);
  m_strEnd.Format("%li", m_lEnd);
  return CDialog::OnInitDialog();
}

void CEditIRangeBox::OnOK() {
  if (!UpdateData(TRUE)) return;
  // The begin first; the end is looked at only when the begin is good.
  if (!Convert(this, m_strBegin, m_lBegin, 4196, 4198)) return;
  if (!Convert(this, m_strEnd, m_lEnd, 4197, 4199)) return;
  EndDialog(IDOK);
}
