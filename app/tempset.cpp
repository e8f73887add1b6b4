#include "app/tempset.h"

#include "dialogs/errorbox.h"
#include "platform/waitcursor.h"
#include "resources/stringids.h"

bool TempSetReady(const CTempSet& set, CWaitCursor& wait, CWnd* parent) {
  if (set.Ok()) return true;
  wait.Release();
  CErrorBox(IDS_NO_MEMORY, parent).DoModal();
  return false;
}
