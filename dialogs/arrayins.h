// CArrayInsertBox: asks where to insert a new array element that has a
// value of its own.  "Edit Value..." (the default button) runs the element's
// own dialog and, when that is confirmed, accepts the position as OK does.
#pragma once

#include "dialogs/arrayinsbase.h"

class CArrayInsertBox : public CArrayInsertBase {
 public:
  enum { IDD = 20486 };
  CArrayInsertBox(CWnd* parent, CDENode* node, MultiAdminSession* session, const QV_String& server)
      : CArrayInsertBase(IDD, parent, node, session, server) {}

  void OnEditValue();

 protected:
  void BuildDialog() override;
};
