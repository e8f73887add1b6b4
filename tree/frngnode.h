// CFRangeNode: the node of a float range, start then end, each
// shown with seven significant digits.
#pragma once

#include "tree/valuenode.h"

class CFRangeNode : public CRangeNode<float> {
 public:
  CFRangeNode();

 protected:
  CString DisplayText() const override;
  bool EditValue(CWnd* parent) override;
  void LoadValue(const QV_DataElement& element) override;
  void StoreValue(QV_DataElement& element) const override;
};
