// CEditFRangeBox: enters a range of two single-precision floats, begin then
// end.  The begin is checked first; a begin above the end is accepted.
#pragma once

#include "platform/cdialog.h"

class CEditFRangeBox : public CDialog {
 public:
  enum { IDD = 20502 };
  explicit CEditFRangeBox(CWnd* parent = nullptr);

  CString m_strBegin;  // edit 49161, 100 characters
  CString m_strEnd;    // edit 49155, 100 characters
  float m_fBegin;
  float m_fEnd;

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;

 private:
  // The texts the dialog opened with: seven digits do not always give the
  // float back, so an end left as shown keeps its value exactly.
  CString m_strBeginShown;
  CString m_strEndShown;
};
