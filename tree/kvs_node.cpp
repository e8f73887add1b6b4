#include "tree/kvs_node.h"

#include <memory>

#include "common/multises.h"
#include "dialogs/editsym.h"
#include "dialogs/errorbox.h"
#include "model/dataelt.h"
#include "resources/stringids.h"
#include "s100/ctcontainers.h"
#include "tree/bmstore.h"
#include "tree/kvp_node.h"
#include "tree/sym_node.h"

namespace {

// A new key node holding key, named through the session.
CSymbolNode* MakeKeyNode(unsigned long key, MultiAdminSession* session, const QV_String& serverName) {
  CSymbolNode* keyNode = new CSymbolNode();
  QV_DataElement element;
  element.SetToSymbol(static_cast<uint32_t>(key));
  keyNode->PutDE(element, session, serverName);
  return keyNode;
}

// Reads the value under key with the container's getter for its type and
// gives it to the element's setter of that type; false when the read fails.
template <typename Value, typename Arg>
bool ReadWith(int (*get)(CTkvs, CTsymbol, Value*, uint32_t*), void (QV_DataElement::*put)(Arg), CTkvs set,
              CTsymbol key, QV_DataElement& element) {
  Value v{};
  uint32_t err = 0;
  if (!get(set, key, &v, &err)) return false;
  (element.*put)(v);
  return true;
}

// Reads the value under key into element by its type code; false for a code
// no value node stands for, or a failed read.
bool ReadValue(CTkvs set, CTsymbol key, uint32_t type, QV_DataElement& element) {
  switch (type) {
    case CT_TYPE_INT: return ReadWith(CTkvs_GetInt, &QV_DataElement::SetToInt, set, key, element);
    case CT_TYPE_UINT: return ReadWith(CTkvs_GetUInt, &QV_DataElement::SetToUInt, set, key, element);
    case CT_TYPE_BOOL: return ReadWith(CTkvs_GetBool, &QV_DataElement::SetToBool, set, key, element);
    case CT_TYPE_SYMBOL: return ReadWith(CTkvs_GetSymbol, &QV_DataElement::SetToSymbol, set, key, element);
    case CT_TYPE_FLOAT: return ReadWith(CTkvs_GetFloat, &QV_DataElement::SetToFloat, set, key, element);
    case CT_TYPE_IRANGE: return ReadWith(CTkvs_GetIRange, &QV_DataElement::SetToIRange, set, key, element);
    case CT_TYPE_FRANGE: return ReadWith(CTkvs_GetFRange, &QV_DataElement::SetToFRange, set, key, element);
    case CT_TYPE_KVSET: return ReadWith(CTkvs_GetKVSet, &QV_DataElement::SetToKVSet, set, key, element);
    case CT_TYPE_STRING: return ReadWith(CTkvs_GetString, &QV_DataElement::SetToString, set, key, element);
    default:
      if (type < CT_TYPE_ARRAY) return false;
      return ReadWith(CTkvs_GetArray, &QV_DataElement::SetToArray, set, key, element);
  }
}

// Puts element under key by its type code; false for a code no put takes.
bool WriteValue(CTkvs set, CTsymbol key, const QV_DataElement& element) {
  uint32_t err = 0;
  const uint32_t type = element.Type();
  switch (type) {
    case CT_TYPE_INT: CTkvs_PutInt(set, key, element.Int(), &err); return true;
    case CT_TYPE_UINT: CTkvs_PutUInt(set, key, element.UInt(), &err); return true;
    case CT_TYPE_BOOL: CTkvs_PutBool(set, key, element.Bool(), &err); return true;
    case CT_TYPE_SYMBOL: CTkvs_PutSymbol(set, key, element.Symbol(), &err); return true;
    case CT_TYPE_FLOAT: CTkvs_PutFloat(set, key, element.Float(), &err); return true;
    case CT_TYPE_IRANGE: {
      const CTirange v = element.IRange();
      CTkvs_PutIRange(set, key, &v, &err);
      return true;
    }
    case CT_TYPE_FRANGE: {
      const CTfrange v = element.FRange();
      CTkvs_PutFRange(set, key, &v, &err);
      return true;
    }
    case CT_TYPE_KVSET: CTkvs_PutKVSet(set, key, element.KVSet(), &err); return true;
    case CT_TYPE_STRING: CTkvs_PutString(set, key, element.String(), &err); return true;
    default:
      if (type < CT_TYPE_ARRAY) return false;
      CTkvs_PutArray(set, key, element.Array(), &err);
      return true;
  }
}
}  // namespace

CKVSetNode::CKVSetNode()
    : m_pOpenBM(CBitmapStore::GetKVSetOpenBM()), m_pShutBM(CBitmapStore::GetKVSetShutBM()), m_bBitmapsOK(1) {
  if (!m_pOpenBM || !m_pShutBM) m_bBitmapsOK = 0;
  if (m_bBitmapsOK) {
    SetIconSize(m_pOpenBM->Width(), m_pOpenBM->Height());
    SetSize(m_pOpenBM->Width(), m_pOpenBM->Height());
  }
}

CKVSetNode::~CKVSetNode() = default;

// A set shows only its icon, open or shut.
int CKVSetNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_bBitmapsOK) return 0;
  CDIBitmap* icon = IsExpanded() ? m_pOpenBM : m_pShutBM;
  icon->Draw(dc, Scaled(x, scale), Scaled(y, scale), Scaled(GetIconWidth(), scale), Scaled(GetIconHeight(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CKVSetNode::Type() { return "CKVSetNode"; }

int CKVSetNode::CanContain(const CString&) { return 1; }

int CKVSetNode::CanEdit() { return 0; }

int CKVSetNode::KeyExists(const unsigned long& key) {
  for (CTreeNode* child = GetFirstChild(); child; child = child->GetNextSibling()) {
    CKVPairNode* pair = dynamic_cast<CKVPairNode*>(child);
    if (pair && pair->Type() == "CKVPairNode" && pair->GetKey() == key) return 1;
  }
  return 0;
}

// A whole pair joins as it is; any other node is a value that is first
// given a key through the key dialog.  New pairs go last, and the set opens
// so that the new row shows.
int CKVSetNode::AddSubNode(CDENode* node, CWnd* parent, MultiAdminSession* session, const QV_String& serverName) {
  if (!node) {
    CErrorBox(IDS_ADD_FAILED, parent).DoModal();
    return 0;
  }
  if (node->Type() == "CKVPairNode") {
    CKVPairNode* pair = dynamic_cast<CKVPairNode*>(node);
    if (!pair) {
      CErrorBox(IDS_ADD_FAILED, parent).DoModal();
      return 0;
    }
    if (KeyExists(pair->GetKey())) {
      CErrorBox(IDS_PAIR_KEY_TAKEN, parent).DoModal();
      return 0;
    }
    SetExpanded(1);
    if (!CTreeNode::AddSubNode(pair, -1)) {
      CErrorBox(IDS_ADD_FAILED, parent).DoModal();
      return 0;
    }
    return 1;
  }

  CEditSymBox dialog(parent, node, session, serverName);
  if (CKVPairNode* last = dynamic_cast<CKVPairNode*>(GetLastChild())) {
    QV_String name;
    if (session && session->SymbolToName(serverName, static_cast<uint32_t>(last->GetKey()), &name))
      dialog.m_strKey = static_cast<const char*>(name);
  }
  // The same checks as below, made before the value is asked for.
  dialog.m_fnCheckKey = [this, session, &serverName](const CString& text) -> UINT {
    unsigned long key = 0;
    if (!CSymbolNode::KeyFromText(text, session, serverName, key)) return IDS_INVALID_KEY;
    return KeyExists(key) ? IDS_KEY_EXISTS : 0;
  };
  for (;;) {
    if (dialog.DoModal() != IDOK) return 0;
    unsigned long key = 0;
    if (!CSymbolNode::KeyFromText(dialog.m_strKey, session, serverName, key)) {
      CErrorBox(IDS_INVALID_KEY, parent).DoModal();
      continue;
    }
    std::unique_ptr<CSymbolNode> keyNode(MakeKeyNode(key, session, serverName));
    if (KeyExists(key)) {
      CErrorBox(IDS_KEY_EXISTS, parent).DoModal();
      continue;
    }
    // The pair is linked first and the value last, so that a value that
    // cannot be linked (one that is in a tree already) stays the caller's.
    CKVPairNode* pair = new CKVPairNode(keyNode.release(), nullptr);
    if (!CTreeNode::AddSubNode(pair, -1)) {
      delete pair;
      CErrorBox(IDS_ADD_FAILED, parent).DoModal();
      return 0;
    }
    if (!pair->CTreeNode::AddSubNode(node, -1)) {
      DeleteChild(pair);
      CErrorBox(IDS_ADD_FAILED, parent).DoModal();
      return 0;
    }
    SetExpanded(1);
    return 1;
  }
}

int CKVSetNode::GetDE(QV_DataElement& element) {
  uint32_t err = 0;
  CTkvs set = 0;
  if (CTkvs_Create(&set, &err) != 1) return 0;
  int ok = 1;
  QV_DataElement value;
  for (CTreeNode* child = GetFirstChild(); child; child = child->GetNextSibling()) {
    CKVPairNode* pair = dynamic_cast<CKVPairNode*>(child);
    // A row a comparison draws for a removed member is no part of the set.
    if (auto* node = dynamic_cast<CDENode*>(child); !pair && node != nullptr && node->IsRemovedRow()) continue;
    if (!pair || !pair->GetDE(value)) {
      ok = 0;
      continue;
    }
    if (!WriteValue(set, static_cast<CTsymbol>(pair->GetKey()), value)) ok = 0;
  }
  element.SetToKVSet(set);
  CTkvs_Destroy(set, &err);
  return ok;
}

int CKVSetNode::PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) {
  DeleteChildren();
  if (element.Type() != CT_TYPE_KVSET) return 0;
  const CTkvs set = element.KVSet();
  int result = 1;
  CTsymbol key = CT_KVS_START_KEY;
  uint32_t type = CT_TYPE_NONE;
  uint32_t err = 0;
  for (;;) {
    if (!CTkvs_GetNextKey(set, &key, &type, &err)) {
      if (key != CT_KVS_END_KEY) result = 0;
      break;
    }
    CSymbolNode* keyNode = MakeKeyNode(key, session, serverName);
    QV_DataElement value;
    CDENode* valueNode = nullptr;
    if (ReadValue(set, key, type, value)) valueNode = CreateDENode(value, session, serverName);
    if (!valueNode) {
      delete keyNode;
      result = 0;
      break;
    }
    CKVPairNode* pair = new CKVPairNode(keyNode, valueNode);
    if (!CTreeNode::AddSubNode(pair, -1)) {
      delete pair;
      result = 0;
      break;
    }
  }
  return result;
}
