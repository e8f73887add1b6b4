// CEditBoolbox: chooses a truth value.  m_nChoice is the checked button:
// 0 "True", 1 "False", -1 none.
#pragma once

#include "platform/cdialog.h"

class CEditBoolbox : public CDialog {
 public:
  enum { IDD = 20493 };
  explicit CEditBoolbox(CWnd* parent = nullptr);

  int m_nChoice;  // radio group starting at 49164

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
