// CUIntNode: the node of an unsigned 32-bit integer value.
#pragma once

#include "tree/denode.h"

class CDIBitmap;

class CUIntNode : public CDENode {
 public:
  CUIntNode();
  ~CUIntNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  CString SearchText() override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  unsigned long GetValue() const { return m_ulValue; }
  void SetValue(unsigned long value) { m_ulValue = value; }

 protected:
  // The text the row shows and the find command matches.
  CString DisplayText() const;

  unsigned long m_ulValue;
  CDIBitmap* m_pBitmap;  // from the icon store; not owned
};
