// CStringNode: the node of a text value, shown between double
// quotes.  The row shows at most kMaxShownChars characters of the text;
// the value itself is kept whole.
#pragma once

#include "common/ctstring.h"
#include "tree/valuenode.h"

class CStringNode : public CValueNode<QV_String> {
 public:
  CStringNode();

  // The display buffer holds 2048 bytes: the text, two quotes, the end.
  static constexpr int kDisplayBuffer = 2048;
  static constexpr int kMaxShownChars = kDisplayBuffer - 3;

 protected:
  CString DisplayText() const override;
  bool EditValue(CWnd* parent) override;
  void LoadValue(const QV_DataElement& element) override;
  void StoreValue(QV_DataElement& element) const override;
};
