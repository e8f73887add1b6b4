// CIRangeNode: the node of an integer range, start then end; no
// order between the two is imposed.
#pragma once

#include "tree/valuenode.h"

class CIRangeNode : public CRangeNode<long> {
 public:
  CIRangeNode();

 protected:
  CString DisplayText() const override;
  bool EditValue(CWnd* parent) override;
  void LoadValue(const QV_DataElement& element) override;
  void StoreValue(QV_DataElement& element) const override;
};
