// CBoolNode: the node of a truth value.  The value is kept as it
// comes from the profile (any number); only 1 shows as TRUE, and an edit
// makes it 1 or 0.
#pragma once

#include "tree/valuenode.h"

class CBoolNode : public CValueNode<long> {
 public:
  CBoolNode();

 protected:
  CString DisplayText() const override;
  bool EditValue(CWnd* parent) override;
  void LoadValue(const QV_DataElement& element) override;
  void StoreValue(QV_DataElement& element) const override;
};
