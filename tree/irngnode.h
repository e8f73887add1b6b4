// CIRangeNode: the node of an integer range, start then end; no
// order between the two is imposed.
#pragma once

#include "tree/denode.h"

class CDIBitmap;

class CIRangeNode : public CDENode {
 public:
  CIRangeNode();
  ~CIRangeNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  CString SearchText() override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  long GetStart() const { return m_lStart; }
  long GetEnd() const { return m_lEnd; }
  void SetRange(long start, long end) {
    m_lStart = start;
    m_lEnd = end;
  }

 protected:
  // The text the row shows and the find command matches.
  CString DisplayText() const;

  long m_lStart;
  long m_lEnd;
  CDIBitmap* m_pBitmap;  // from the icon store; not owned
};
