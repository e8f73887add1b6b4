// CFindBox: asks for the text to find in the profile ("Find", 20507).
// CFindNotFoundBox: the notice that the text is nowhere else in the
// profile (20508), a dialog of its own rather than a message box.
#pragma once

#include "platform/cdialog.h"
#include "platform/cstring.h"

class CFindBox : public CDialog {
 public:
  enum { IDD = 20507 };
  enum { IDC_FIND_WHAT = 49192 };
  explicit CFindBox(CWnd* parent = nullptr);

  CString m_strFindWhat;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};

class CFindNotFoundBox : public CDialog {
 public:
  enum { IDD = 20508 };
  explicit CFindNotFoundBox(CWnd* parent = nullptr);

 protected:
  void BuildDialog() override;
};
