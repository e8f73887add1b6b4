// CErrorBox: the message box through which the editor shows every message.
// The text is the string-table entry of the id; the box is captioned
// "Error" (string 4141), carries a warning icon, is system-modal and is owned
// by the given window, or by the active window when none is given.
#pragma once

#include "dialogs/nodeconv.h"
#include "platform/cstring.h"
#include "platform/wintypes.h"

class CWnd;

class CErrorBox {
 public:
  CErrorBox(UINT id, CWnd* owner = nullptr);

  // Shows the box; always 1.
  UINT DoModal();

  const CString& Message() const { return m_strMessage; }

 private:
  UINT m_nId;
  CString m_strMessage;
  CWnd* m_pOwner;  // not owned
};

// Shows outOfRange or notNumber, owned by owner, for a refused conversion;
// true when the text was taken.
bool AcceptConversion(ConvResult result, CWnd* owner, UINT outOfRange, UINT notNumber);
