// CStoreAsBoxIII: asks for the name, class and server under which the
// profile is stored anew.
#pragma once

#include "platform/cdialog.h"
#include "platform/cstring.h"

class CStoreAsBoxIII : public CDialog {
 public:
  enum { IDD = 132 };
  enum { IDC_NAME = 1004, IDC_CLASS = 1005, IDC_SERVER = 1006 };
  // The longest name, class or server taken.
  static constexpr int kMaxField = 255;
  explicit CStoreAsBoxIII(CWnd* parent = nullptr);

  CString m_strClassEdit;
  CString m_strNameEdit;
  CString m_strServerEdit;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
