// CRemovedNode: a row that a comparison draws for a node only the other side
// has, in the place it had there (among its old siblings).  It shows the
// node's key and value as the other side had them, struck through in the
// removed colour, with the removed mark beside it; a removed container is
// this one row.  It is drawing only: it holds no value (GetDE refuses, and
// the containers leave it out of theirs), cannot be edited, deleted or
// added to, and Find never matches it.  The view links and unlinks these
// rows; nothing else creates them.
#pragma once

#include <cstddef>

#include "tree/denode.h"

class CDIBitmap;

class CRemovedNode : public CDENode {
 public:
  // text: "key = value" or "[index] = value" as the other side had it;
  // valueType: the removed value's type code, for its icon; pairMember: the
  // row stands for a set member (drawn with the key icon).
  CRemovedNode(const CString& text, unsigned valueType, bool pairMember, size_t difference);
  ~CRemovedNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int CanDelete(CWnd* parent) override;
  int CanEdit() override;
  int GetDE(QV_DataElement& element) override;

  // What the row shows, without the mark.
  const CString& Text() const { return m_strText; }
  // The difference of the comparison the row stands for.
  size_t Difference() const { return m_nDifference; }

  static constexpr COLORREF kRemovedColour = RGB(176, 0, 0);

 private:
  CString m_strText;
  CDIBitmap* m_pBitmap;
  size_t m_nDifference;
};
