// CEditSymbolBox: edits a symbol's text (a name or a number).
#pragma once

#include "platform/cdialog.h"

class CEditSymbolBox : public CDialog {
 public:
  enum { IDD = 20510 };
  explicit CEditSymbolBox(CWnd* parent = nullptr);

  CString m_strSymbol;  // edit 49203

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
