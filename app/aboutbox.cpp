#include "app/aboutbox.h"

#include <QLabel>

#include "platform/qtconvert.h"

CAboutBox::CAboutBox(CWnd* parent) : CDialog(IDD, parent) {}

void CAboutBox::BuildDialog() {
  SetTitle("About this Application...");
  BeginGroupBox("");
  QLabel* name = AddStatic("[Application Name]");
  QFont font = name->font();
  font.setBold(true);
  name->setFont(font);
  RegisterControl(IDC_APPNAME, name);
  AddStatic("Version:");
  RegisterControl(IDC_VERSION, AddStatic("[Version]"));
  AddStatic("The profile editor for computer-telephony servers.");
  AddStatic("Licensed To:");
  RegisterControl(IDC_LICENSEE, AddStatic("[Licensee]"));
  EndGroupBox();
  AddStatic("Company:");
  RegisterControl(IDC_COMPANY, AddStatic("[Company]"));
  AddButton(IDOK, "OK");
  SetDefaultButton(IDOK);
}

BOOL CAboutBox::OnInitDialog() {
  CDialog::OnInitDialog();
  const struct {
    int id;
    const CString* text;
  } fields[] = {{IDC_APPNAME, &m_strAppName},
                {IDC_VERSION, &m_strVersion},
                {IDC_LICENSEE, &m_strLicensee},
                {IDC_COMPANY, &m_strCompany}};
  for (const auto& field : fields)
    if (auto* label = qobject_cast<QLabel*>(GetControl(field.id))) {
      // Registry text is shown as it is, never as markup.
      label->setTextFormat(Qt::PlainText);
      label->setText(ToQString(*field.text));
    }
  return TRUE;
}
