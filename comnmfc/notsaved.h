// CNotSavedBox: the "Confirm" dialog asked before unsaved changes are
// discarded.  DoModal returns 1 for Yes (store first), 7 for No (discard)
// and 2 for Cancel (keep editing); Escape and closing the window cancel.
#pragma once

#include "platform/cdialog.h"

class CNotSavedBox : public CDialog {
 public:
  enum { IDD = 24582 };
  explicit CNotSavedBox(CWnd* parent = nullptr);

 protected:
  void BuildDialog() override;
  BOOL OnInitDialog() override;
};
