// CIntegerNode: the node of a signed 32-bit integer value, shown
// with a plus sign when it is above zero.
#pragma once

#include "tree/valuenode.h"

class CIntegerNode : public CValueNode<long> {
 public:
  CIntegerNode();

 protected:
  CString DisplayText() const override;
  bool EditValue(CWnd* parent) override;
  void LoadValue(const QV_DataElement& element) override;
  void StoreValue(QV_DataElement& element) const override;
};
