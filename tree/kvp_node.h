// CKVPairNode: one member of a key-value set.  It owns its key, a symbol
// node that is never linked into the tree but drawn in the pair's own row,
// and has the value's node as its only child.  Editing a pair changes its
// key; the value is edited through its own node.
#pragma once

#include "tree/denode.h"

class CSymbolNode;

class CKVPairNode : public CDENode {
 public:
  // Either may be null.  The pair owns the key node; a value node given
  // becomes its only child.
  CKVPairNode(CSymbolNode* keyNode, CDENode* valueNode);
  ~CKVPairNode() override;

  int DrawNode(int x, int y, CDC* dc, float scale) override;
  CString Type() override;
  int EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) override;
  CString SearchText() override;
  int GetDE(QV_DataElement& element) override;
  int PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) override;

  // The key's symbol number; kNoKey when the pair has no key node.
  unsigned long GetKey() const;
  static constexpr unsigned long kNoKey = 0x400;

  CSymbolNode* GetKeyNode() const { return m_pKeyNode; }
  CDENode* GetValueNode() const;

 protected:
  CSymbolNode* m_pKeyNode;  // owned
};
