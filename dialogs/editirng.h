// CEditIRangeBox: enters a range of two signed 32-bit integers, begin then
// end.  The begin is checked first; a begin above the end is accepted.
#pragma once

#include "platform/cdialog.h"

class CEditIRangeBox : public CDialog {
 public:
  enum { IDD = 20496 };
  explicit CEditIRangeBox(CWnd* parent = nullptr);

  CString m_strBegin;  // edit 49161, 20 characters
  CString m_strEnd;    // edit 49155, 20 characters
  long m_lEnd;
  long m_lBegin;

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
