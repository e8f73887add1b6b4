// CEditIntBox: enters one signed 32-bit integer.  The caller sets m_lValue,
// runs the dialog and reads m_lValue after IDOK; a text that is not an
// integer or lies outside the 32-bit range keeps the dialog open with a
// message.
#pragma once

#include "platform/cdialog.h"

class CEditIntBox : public CDialog {
 public:
  enum { IDD = 20485 };
  explicit CEditIntBox(CWnd* parent = nullptr);

  CString m_strValue;  // edit 49153, 20 characters
  long m_lValue;

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
