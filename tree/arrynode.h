// CArrayNode: the node of a typed array.  It records the kind of its
// elements as the type name of the node class that holds one element, and
// its children are the element nodes in array order.  The element type can
// change only while the array is empty; elements are inserted at a position
// the user gives.
//
// An array whose code has no element kind the editor knows (60, 67 to 70,
// 73 to 76, above 78) is kept as it came and written back unchanged; such a
// node shows the unknown-type label and can be neither edited nor added to.
#pragma once

#include "model/dataelt.h"
#include "tree/denode.h"

class CDIBitmap;

class CArrayNode : public CDENode {
 public:
  CArrayNode();
  ~CArrayNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  int CanContain(const CString& typeName) override;
  int CanEdit() override;
  using CDENode::AddSubNode;
  int AddSubNode(CDENode* node, CWnd* parent, MultiAdminSession* session, const QV_String& serverName) override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  // The element types in label and dialog-button order; kUnknownType is the
  // label index of any other text.
  static constexpr int kTypeCount = 10;
  static constexpr int kUnknownType = 10;
  static const char* const kElementTypes[kTypeCount];
  // The index of a type name in kElementTypes, or kUnknownType.
  static int TypeIndex(const CString& typeName);

  const CString& GetElementType() const { return m_strElementType; }
  // Sets the element type of an empty array; 0 when the array has elements.
  int SetElementType(const CString& typeName);
  // The label the row shows.
  CString Label() const;
  // Whether the node holds an array of a code it does not know.
  int HoldsUnknownArray() const { return m_bKeepsArray; }
  // Whether it holds an item (rows drawn for removed items are none).
  bool HasItems() const;

 protected:
  CDIBitmap* m_pOpenBM;  // not owned
  CDIBitmap* m_pShutBM;  // not owned
  int m_bBitmapsOK;      // both icons were found
  CString m_strElementType;
  CString m_strTypeLabels[kTypeCount + 1];
  // An array of an unknown code, kept whole to be written back as it came.
  int m_bKeepsArray;
  QV_DataElement m_deKept;
};
