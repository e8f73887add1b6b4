// CEditUIntBox: enters one unsigned 32-bit integer (a leading minus wraps
// modulo 2^32).  The caller sets m_ulValue and reads it after IDOK.
#pragma once

#include "platform/cdialog.h"

class CEditUIntBox : public CDialog {
 public:
  enum { IDD = 20492 };
  explicit CEditUIntBox(CWnd* parent = nullptr);

  CString m_strValue;  // edit 49154, 20 characters
  unsigned long m_ulValue;

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
