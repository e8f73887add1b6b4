// CEditSymBox: asks for the key of a value added to a key-value set, or
// edits a key or symbol text.  The layout depends on the node given: a node
// that can be edited gets an "Edit Value..." button (the default) that runs
// the node's own dialog and then accepts the key as OK does; a node that
// cannot gets the button disabled; no node gives the plain key dialog.
#pragma once

#include <functional>

#include "common/ctstring.h"
#include "platform/cdialog.h"

class CDENode;
class MultiAdminSession;

class CEditSymBox : public CDialog {
 public:
  enum { IDD_WITH_VALUE = 20497, IDD_VALUE_DISABLED = 20505, IDD_KEY_ONLY = 20494 };
  CEditSymBox(CWnd* parent, CDENode* node, MultiAdminSession* session, const QV_String& server);

  CString m_strKey;                // edit 49158
  CDENode* m_pNode;                // the value node; not owned
  MultiAdminSession* m_pSession;   // not owned
  QV_String m_strServer;
  // Checks the key text before "Edit Value..." asks for the value: 0 when
  // the key can be taken, else the id of the message that says why not.
  // Without it the key is checked only after the dialog closes.
  std::function<UINT(const CString&)> m_fnCheckKey;

  void OnEditvalue();

 protected:
  void BuildDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
};
