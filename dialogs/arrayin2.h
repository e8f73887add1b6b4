// CArrayInsertKVSBox: asks where to insert a new key-value set into an
// array.  A set has no value dialog, so there is no "Edit Value..." button.
#pragma once

#include "common/ctstring.h"
#include "platform/cdialog.h"

class CDENode;
class MultiAdminSession;

class CArrayInsertKVSBox : public CDialog {
 public:
  enum { IDD = 20506 };
  CArrayInsertKVSBox(CWnd* parent, CDENode* node, MultiAdminSession* session, const QV_String& server);

  unsigned int m_nPosition;        // edit 49166
  CDENode* m_pNode;                // the element to insert; not owned
  MultiAdminSession* m_pSession;   // not owned
  QV_String m_strServer;

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
