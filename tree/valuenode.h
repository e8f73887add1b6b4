// CValueNode<T>: the shared part of the scalar and range value nodes.
//
// Such a node holds one value of type T, drawn as its icon with the value's
// text beside it; the find command matches that same text.  It takes its
// value only from a data element of its own element type, and edits it in a
// value dialog.  A concrete node gives its type name, icon, element type and
// initial value to the constructor, and supplies what differs: the text, the
// dialog exchange and the element accessors.
#pragma once

#include <cstdint>

#include "platform/msgbox.h"
#include "tree/denode.h"

class CDIBitmap;

template <typename T>
class CValueNode : public CDENode {
 public:
  ~CValueNode() override = default;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override { return m_pszType; }
  CString SearchText() override { return DisplayText(); }
  int EditNode(MultiAdminSession*, const QV_String&, CWnd* parent) override { return EditValue(parent) ? 1 : 0; }
  int GetDE(QV_DataElement& element) override {
    StoreValue(element);
    return 1;
  }
  int PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) override;

  const T& GetValue() const { return m_value; }
  void SetValue(const T& value) { m_value = value; }

 protected:
  CValueNode(const char* typeName, CDIBitmap* bitmap, uint32_t elementType, const T& initial);

  // The text the row shows and the find command matches.
  virtual CString DisplayText() const = 0;
  // Shows the node's dialog; true when the value was taken from it.
  virtual bool EditValue(CWnd* parent) = 0;
  // Reads the value from an element already known to be of this node's type.
  virtual void LoadValue(const QV_DataElement& element) = 0;
  virtual void StoreValue(QV_DataElement& element) const = 0;

  // The common dialog exchange: the dialog's one field starts at `value`
  // and, on OK, gives `value` what it holds.
  template <typename Dialog, typename Field, typename Value>
  static bool EditField(CWnd* parent, Field Dialog::*field, Value& value) {
    Dialog dialog(parent);
    dialog.*field = value;
    if (dialog.DoModal() != IDOK) return false;
    value = dialog.*field;
    return true;
  }

  T m_value;
  CDIBitmap* m_pBitmap;  // from the icon store; not owned

 private:
  const char* m_pszType;
  uint32_t m_nElementType;
};

// A range value: start then end, in the order the profile gives them.
template <typename E>
struct CValueRange {
  E start;
  E end;
};

// CRangeNode<E>: a value node over a range whose ends are of type E.
template <typename E>
class CRangeNode : public CValueNode<CValueRange<E>> {
 public:
  E GetStart() const { return this->m_value.start; }
  E GetEnd() const { return this->m_value.end; }
  void SetRange(E start, E end) { this->m_value = CValueRange<E>{start, end}; }
  // Takes the ends of a range of another type (a data element's).
  template <typename Range>
  void SetRange(const Range& range) {
    SetRange(range.start, range.end);
  }

 protected:
  using CValueNode<CValueRange<E>>::CValueNode;

  // The range dialog's exchange: its begin and end fields start at the
  // range's ends and, on OK, give the range what they hold.
  template <typename Dialog, typename Field>
  bool EditRange(CWnd* parent, Field Dialog::*begin, Field Dialog::*end) {
    Dialog dialog(parent);
    dialog.*begin = this->m_value.start;
    dialog.*end = this->m_value.end;
    if (dialog.DoModal() != IDOK) return false;
    SetRange(dialog.*begin, dialog.*end);
    return true;
  }
};
