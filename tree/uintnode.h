// CUIntNode: the node of an unsigned 32-bit integer value.
#pragma once

#include "tree/valuenode.h"

class CUIntNode : public CValueNode<unsigned long> {
 public:
  CUIntNode();

 protected:
  CString DisplayText() const override;
  bool EditValue(CWnd* parent) override;
  void LoadValue(const QV_DataElement& element) override;
  void StoreValue(QV_DataElement& element) const override;
};
