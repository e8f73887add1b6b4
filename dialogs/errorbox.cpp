#include "dialogs/errorbox.h"

#include "platform/msgbox.h"
#include "platform/stringtable.h"

CErrorBox::CErrorBox(UINT id, CWnd* owner) : m_nId(id), m_strMessage(LoadStringById(id)), m_pOwner(owner) {}

UINT CErrorBox::DoModal() {
  // Caption 4141, warning icon, system-modal, owned by the window given or
  // else by the active one; recorded by id so that tests see which message.
  ShowErrorMessage(m_nId, m_pOwner);
  return 1;
}

bool AcceptConversion(ConvResult result, CWnd* owner, UINT outOfRange, UINT notNumber) {
  switch (result) {
    case ConvOutOfRange:
      CErrorBox(outOfRange, owner).DoModal();
      return false;
    case ConvNotNumber:
      CErrorBox(notNumber, owner).DoModal();
      return false;
    case ConvOK:
      break;
  }
  return true;
}
