// CQueltViewAccess: the profile view as assistive technology sees it: a
// tree named after the profile whose current item is the selected node.
#pragma once

#include "platform/accesstree.h"

class CQueltView;
class CTreeNode;

class CQueltViewAccess : public CAccessibleTree {
 public:
  explicit CQueltViewAccess(const CQueltView* view) : m_pView(view) {}

  CString TreeName() const override;
  bool HasCurrentItem() const override;
  CString CurrentItemText() const override;
  bool CurrentItemHasChildren() const override;
  bool CurrentItemExpanded() const override;
  bool CurrentItemRect(CRect* rect) const override;

  // What a node is read as: a pair by its key, a set and an array by their
  // kind, a value by the text it shows.
  static CString NodeText(CTreeNode* node);

 private:
  const CQueltView* m_pView;
};
