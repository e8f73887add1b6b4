// CArrayInsertBox: asks where to insert a new array element that has a
// value of its own.  "Edit Value..." (the default button) runs the element's
// own dialog and, when that is confirmed, accepts the position as OK does.
#pragma once

#include "common/ctstring.h"
#include "platform/cdialog.h"

class CDENode;
class MultiAdminSession;

class CArrayInsertBox : public CDialog {
 public:
  enum { IDD = 20486 };
  CArrayInsertBox(CWnd* parent, CDENode* node, MultiAdminSession* session, const QV_String& server);

  unsigned int m_nPosition;        // edit 49166
  CDENode* m_pNode;                // the element to insert; not owned
  MultiAdminSession* m_pSession;   // not owned
  QV_String m_strServer;

  void OnEditValue();

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
