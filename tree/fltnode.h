// CFloatNode: the node of a single-precision float value, shown
// with seven significant digits.
#pragma once

#include "tree/valuenode.h"

class CFloatNode : public CValueNode<float> {
 public:
  CFloatNode();

 protected:
  CString DisplayText() const override;
  bool EditValue(CWnd* parent) override;
  void LoadValue(const QV_DataElement& element) override;
  void StoreValue(QV_DataElement& element) const override;
};
