// CEditFloatBox: enters one single-precision float.  The caller sets
// m_fValue and reads it after IDOK; a value beyond single precision or a
// text that is not a number keeps the dialog open with a message.
#pragma once

#include "platform/cdialog.h"

class CEditFloatBox : public CDialog {
 public:
  enum { IDD = 20503 };
  explicit CEditFloatBox(CWnd* parent = nullptr);

  CString m_strValue;  // edit 49185, 100 characters
  float m_fValue;

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;

 private:
  // The text the dialog opened with: seven digits do not always give the
  // float back, so OK on this text keeps m_fValue exactly as it came.
  CString m_strShown;
};
