// CFRangeNode: the node of a float range, start then end, each
// shown with seven significant digits.
#pragma once

#include "tree/denode.h"

class CDIBitmap;

class CFRangeNode : public CDENode {
 public:
  CFRangeNode();
  ~CFRangeNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  CString SearchText() override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  float GetStart() const { return m_fStart; }
  float GetEnd() const { return m_fEnd; }
  void SetRange(float start, float end) {
    m_fStart = start;
    m_fEnd = end;
  }

 protected:
  // The text the row shows and the find command matches.
  CString DisplayText() const;

  float m_fStart;
  float m_fEnd;
  CDIBitmap* m_pBitmap;  // from the icon store; not owned
};
