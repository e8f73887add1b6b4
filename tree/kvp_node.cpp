#include "tree/kvp_node.h"

#include <memory>

#include "dialogs/errorbox.h"
#include "model/dataelt.h"
#include "resources/stringids.h"
#include "tree/kvs_node.h"
#include "tree/sym_node.h"

CKVPairNode::CKVPairNode(CSymbolNode* keyNode, CDENode* valueNode) : m_pKeyNode(keyNode) {
  if (valueNode) CTreeNode::AddSubNode(valueNode, -1);
  if (m_pKeyNode)
    SetSizes(m_pKeyNode->GetTotalWidth(), m_pKeyNode->GetIconWidth(), m_pKeyNode->GetTotalHeight(),
             m_pKeyNode->GetIconHeight());
}

CKVPairNode::~CKVPairNode() { delete m_pKeyNode; }

unsigned long CKVPairNode::GetKey() const { return m_pKeyNode ? m_pKeyNode->GetKey() : kNoKey; }

CDENode* CKVPairNode::GetValueNode() const { return static_cast<CDENode*>(GetFirstChild()); }

// The pair's row is its key's row: the key node draws itself here and the
// pair takes the size it drew at.
int CKVPairNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pKeyNode) return 0;
  m_pKeyNode->SetSelected(GetSelected());
  const int result = m_pKeyNode->DrawNode(x, y, dc, scale);
  SetSizes(m_pKeyNode->GetTotalWidth(), m_pKeyNode->GetIconWidth(), m_pKeyNode->GetTotalHeight(),
           m_pKeyNode->GetIconHeight());
  DrawCompareMark(x, y, dc, scale);
  return result;
}

CString CKVPairNode::Type() { return "CKVPairNode"; }

// Changes the key; a key a sibling pair already has is refused and asked
// for again.  The old key node stays until a new key is accepted.
int CKVPairNode::EditNode(MultiAdminSession* session, const QV_String& serverName, CWnd* parent) {
  if (!m_pKeyNode) return 0;
  std::unique_ptr<CSymbolNode> keyNode(new CSymbolNode());
  QV_DataElement key;
  key.SetToSymbol(static_cast<uint32_t>(m_pKeyNode->GetKey()));
  if (keyNode->PutDE(key, session, serverName) != 1) return 0;
  for (;;) {
    if (!keyNode->EditNode(session, serverName, parent)) return 0;
    if (keyNode->GetKey() == m_pKeyNode->GetKey()) break;
    CKVSetNode* set = dynamic_cast<CKVSetNode*>(GetParent());
    if (!set || set->Type() != "CKVSetNode") break;
    if (!set->KeyExists(keyNode->GetKey())) break;
    CErrorBox(IDS_KEY_EXISTS, parent).DoModal();
  }
  delete m_pKeyNode;
  m_pKeyNode = keyNode.release();
  return 1;
}

CString CKVPairNode::SearchText() { return m_pKeyNode ? m_pKeyNode->SearchText() : CString("!!!"); }

int CKVPairNode::GetDE(QV_DataElement& element) {
  CDENode* value = GetValueNode();
  if (!m_pKeyNode || !value) return 0;
  return value->GetDE(element);
}

int CKVPairNode::PutDE(const QV_DataElement&, MultiAdminSession*, const QV_String&) { return 0; }
