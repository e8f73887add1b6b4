// CIntegerNode: the node of a signed 32-bit integer value, shown
// with a plus sign when it is above zero.
#pragma once

#include "tree/denode.h"

class CDIBitmap;

class CIntegerNode : public CDENode {
 public:
  CIntegerNode();
  ~CIntegerNode() override;

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
