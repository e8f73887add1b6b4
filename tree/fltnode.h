// CFloatNode: the node of a single-precision float value, shown
// with seven significant digits.
#pragma once

#include "tree/denode.h"

class CDIBitmap;

class CFloatNode : public CDENode {
 public:
  CFloatNode();
  ~CFloatNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  CString SearchText() override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  float GetValue() const { return m_fValue; }
  void SetValue(float value) { m_fValue = value; }

 protected:
  // The text the row shows and the find command matches.
  CString DisplayText() const;

  float m_fValue;
  CDIBitmap* m_pBitmap;  // from the icon store; not owned
};
