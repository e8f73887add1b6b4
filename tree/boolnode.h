// CBoolNode: the node of a truth value.  The value is kept as it
// comes from the profile (any number); only 1 shows as TRUE, and an edit
// makes it 1 or 0.
#pragma once

#include "tree/denode.h"

class CDIBitmap;

class CBoolNode : public CDENode {
 public:
  CBoolNode();
  ~CBoolNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  CString SearchText() override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  long GetValue() const { return m_lValue; }
  void SetValue(long value) { m_lValue = value; }

 protected:
  // The text the row shows and the find command matches.
  CString DisplayText() const;

  long m_lValue;
  CDIBitmap* m_pBitmap;  // from the icon store; not owned
};
