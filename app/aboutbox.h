// CAboutBox: the About dialog: the application's name, the client
// software's version, and the registered user and company.
#pragma once

#include "platform/cdialog.h"
#include "platform/cstring.h"

class CAboutBox : public CDialog {
 public:
  enum { IDD = 20509 };
  enum { IDC_APPNAME = 49194, IDC_VERSION = 49196, IDC_LICENSEE = 49198, IDC_COMPANY = 49200 };
  explicit CAboutBox(CWnd* parent = nullptr);

  CString m_strAppName;
  CString m_strVersion;
  CString m_strLicensee;
  CString m_strCompany;

 protected:
  void BuildDialog() override;
  BOOL OnInitDialog() override;
};
