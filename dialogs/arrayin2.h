// CArrayInsertKVSBox: asks where to insert a new key-value set into an
// array.  A set has no value dialog, so there is no "Edit Value..." button.
#pragma once

#include "dialogs/arrayinsbase.h"

class CArrayInsertKVSBox : public CArrayInsertBase {
 public:
  enum { IDD = 20506 };
  CArrayInsertKVSBox(CWnd* parent, CDENode* node, MultiAdminSession* session, const QV_String& server)
      : CArrayInsertBase(IDD, parent, node, session, server) {}

 protected:
  void BuildDialog() override;
};
