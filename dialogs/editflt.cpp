#include "dialogs/editflt.h"

#include "dialogs/errorbox.h"
#include "dialogs/nodeconv.h"
#include "platform/stringtable.h"
#include "ui_dlg_20503.h"

namespace {
constexpr int kValueEdit = 49185;
}

CEditFloatBox::CEditFloatBox(CWnd* parent) : CDialog(IDD, parent), m_fValue(0.0f) {}

void CEditFloatBox::BuildDialog() { BuildForm<Ui::Dlg20503>(); }

void CEditFloatBox::DoDataExchange(CDataExchange* dx) { DDX_TextMax(dx, kValueEdit, m_strValue, 100); }

BOOL CEditFloatBox::OnInitDialog() {
  // String 4131 is the float format, seven significant digits.
  CString format = LoadStringById(4131);
  if (format.IsEmpty()) format = "%.7g";
  m_strValue.Format(format, static_cast<double>(m_fValue));
  m_strShown = m_strValue;
  return CDialog::OnInitDialog();
}

void CEditFloatBox::OnOK() {
  if (!UpdateData(TRUE)) return;
  if (m_strValue == m_strShown) {
    EndDialog(IDOK);
    return;
  }
  // An empty text converts to nothing and leaves the member as it was.
  if (!AcceptConversion(StringToFloat(m_strValue, m_fValue), this, 4194, 4195)) return;
  EndDialog(IDOK);
}
