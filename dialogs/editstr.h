// CEditStringBox: enters a text of any length, the empty text included.
#pragma once

#include "platform/cdialog.h"

class CEditStringBox : public CDialog {
 public:
  enum { IDD = 20495 };
  explicit CEditStringBox(CWnd* parent = nullptr);

  CString m_strValue;  // edit 49160, no limit

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
