// CEditArrayBox: chooses an array's element type.  m_nChoice indexes the
// ten types in the order the dialog lists them: 0 Array, 1 Boolean, 2 Float,
// 3 Float Range, 4 Integer, 5 Integer Range, 6 Key-Value Set, 7 String,
// 8 Symbol, 9 Unsigned Integer; -1 none.
#pragma once

#include "platform/cdialog.h"

class CEditArrayBox : public CDialog {
 public:
  enum { IDD = 20504 };
  explicit CEditArrayBox(CWnd* parent = nullptr);

  int m_nChoice;  // radio group starting at 49199

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
