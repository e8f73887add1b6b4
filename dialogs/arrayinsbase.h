// CArrayInsertBase: what the two array-insert dialogs share: the position
// asked for (edit 49166) and the new element to insert there, with the
// session and server its own value dialog needs.
#pragma once

#include "common/ctstring.h"
#include "platform/cdialog.h"

class CDENode;
class MultiAdminSession;

class CArrayInsertBase : public CDialog {
 public:
  unsigned int m_nPosition;       // edit 49166
  CDENode* m_pNode;               // the element to insert; not owned
  MultiAdminSession* m_pSession;  // not owned
  QV_String m_strServer;

 protected:
  CArrayInsertBase(UINT templateId, CWnd* parent, CDENode* node, MultiAdminSession* session, const QV_String& server)
      : CDialog(templateId, parent), m_nPosition(0), m_pNode(node), m_pSession(session), m_strServer(server) {}

  void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, kPositionEdit, m_nPosition); }

  static constexpr int kPositionEdit = 49166;
};
