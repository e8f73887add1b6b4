// CKVSetNode: the node of a key-value set.  Its children are key-value pair
// nodes only, one per key, each holding the value's node.  A set shows only
// its icon (open or shut), cannot be edited and takes a node of any type:
// a value added to it is given a key through the key dialog.
#pragma once

#include "tree/denode.h"

class CDIBitmap;

class CKVSetNode : public CDENode {
 public:
  CKVSetNode();
  ~CKVSetNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int CanContain(const CString& typeName) override;
  int CanEdit() override;
  using CDENode::AddSubNode;
  int AddSubNode(CDENode* node, CWnd* parent, MultiAdminSession* session, const QV_String& serverName) override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  // Whether a pair with that key is among the children (collapsed or not).
  int KeyExists(const unsigned long& key);

 protected:
  CDIBitmap* m_pOpenBM;  // not owned
  CDIBitmap* m_pShutBM;  // not owned
  int m_bBitmapsOK;      // both icons were found
};
