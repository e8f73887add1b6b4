#include "tree/arrynode.h"

#include <climits>
#include <vector>

#include "dialogs/arrayin2.h"
#include "dialogs/arrayins.h"
#include "dialogs/editarry.h"
#include "dialogs/errorbox.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "s100/ctcontainers.h"
#include "tree/bmstore.h"
#include "tree/nodetext.h"

namespace {
enum TypeIndex { kArray, kBool, kFloat, kFRange, kInt, kIRange, kKVSet, kString, kSymbol, kUInt };

// The array code of each element type, in CArrayNode::kElementTypes order.
constexpr uint32_t kArrayCodes[CArrayNode::kTypeCount] = {
    CT_TYPE_ARRAY_ARRAY,  CT_TYPE_BOOL_ARRAY,  CT_TYPE_FLOAT_ARRAY,  CT_TYPE_FRANGE_ARRAY, CT_TYPE_INT_ARRAY,
    CT_TYPE_IRANGE_ARRAY, CT_TYPE_KVSET_ARRAY, CT_TYPE_STRING_ARRAY, CT_TYPE_SYMBOL_ARRAY, CT_TYPE_UINT_ARRAY,
};

int IndexOfCode(uint32_t code) {
  for (int i = 0; i < CArrayNode::kTypeCount; ++i)
    if (kArrayCodes[i] == code) return i;
  return CArrayNode::kUnknownType;
}

// The items of an array read with one get call, one data element each.
template <typename Item, typename Setter>
bool ReadAs(int (*get)(CTary, const Item**, uint32_t*, uint32_t*), CTary array,
            std::vector<QV_DataElement>& elements, Setter set) {
  const Item* items = nullptr;
  uint32_t count = 0;
  uint32_t err = 0;
  if (!get(array, &items, &count, &err)) return false;
  elements.resize(count);
  for (uint32_t i = 0; i < count; ++i) set(elements[i], items[i]);
  return true;
}

// False when the array cannot be read as the kind at index.
bool ReadItems(CTary array, int index, std::vector<QV_DataElement>& out) {
  switch (index) {
    case kArray: return ReadAs(CTary_GetArray, array, out, [](QV_DataElement& e, CTary v) { e.SetToArray(v); });
    case kBool: return ReadAs(CTary_GetBool, array, out, [](QV_DataElement& e, int32_t v) { e.SetToBool(v); });
    case kFloat: return ReadAs(CTary_GetFloat, array, out, [](QV_DataElement& e, float v) { e.SetToFloat(v); });
    case kFRange: return ReadAs(CTary_GetFRange, array, out, [](QV_DataElement& e, CTfrange v) { e.SetToFRange(v); });
    case kInt: return ReadAs(CTary_GetInt, array, out, [](QV_DataElement& e, int32_t v) { e.SetToInt(v); });
    case kIRange: return ReadAs(CTary_GetIRange, array, out, [](QV_DataElement& e, CTirange v) { e.SetToIRange(v); });
    case kKVSet: return ReadAs(CTary_GetKVSet, array, out, [](QV_DataElement& e, CTkvs v) { e.SetToKVSet(v); });
    case kString:
      return ReadAs(CTary_GetString, array, out, [](QV_DataElement& e, const char* v) { e.SetToString(v); });
    case kSymbol: return ReadAs(CTary_GetSymbol, array, out, [](QV_DataElement& e, CTsymbol v) { e.SetToSymbol(v); });
    case kUInt: return ReadAs(CTary_GetUInt, array, out, [](QV_DataElement& e, uint32_t v) { e.SetToUInt(v); });
    default: return false;
  }
}

// Fills an item block from the data elements and puts it with one call.
template <typename Item, typename Getter>
bool WriteAs(int (*put)(CTary, const Item*, uint32_t, uint32_t*), CTary array,
             const std::vector<QV_DataElement>& elements, Getter get) {
  std::vector<Item> items;
  items.reserve(elements.size());
  for (const QV_DataElement& e : elements) items.push_back(get(e));
  uint32_t err = 0;
  return put(array, items.data(), static_cast<uint32_t>(items.size()), &err) == 1;
}

// False for an unknown kind or a put that fails.  No elements makes an
// empty array of the kind.
bool WriteItems(CTary array, int index, const std::vector<QV_DataElement>& in) {
  switch (index) {
    case kArray: return WriteAs(CTary_PutArray, array, in, [](const QV_DataElement& e) { return e.Array(); });
    case kBool: return WriteAs(CTary_PutBool, array, in, [](const QV_DataElement& e) { return e.Bool(); });
    case kFloat: return WriteAs(CTary_PutFloat, array, in, [](const QV_DataElement& e) { return e.Float(); });
    case kFRange: return WriteAs(CTary_PutFRange, array, in, [](const QV_DataElement& e) { return e.FRange(); });
    case kInt: return WriteAs(CTary_PutInt, array, in, [](const QV_DataElement& e) { return e.Int(); });
    case kIRange: return WriteAs(CTary_PutIRange, array, in, [](const QV_DataElement& e) { return e.IRange(); });
    case kKVSet: return WriteAs(CTary_PutKVSet, array, in, [](const QV_DataElement& e) { return e.KVSet(); });
    case kString:
      return WriteAs(CTary_PutString, array, in,
                     [](const QV_DataElement& e) { return static_cast<const char*>(e.String()); });
    case kSymbol: return WriteAs(CTary_PutSymbol, array, in, [](const QV_DataElement& e) { return e.Symbol(); });
    case kUInt: return WriteAs(CTary_PutUInt, array, in, [](const QV_DataElement& e) { return e.UInt(); });
    default: return false;
  }
}
}  // namespace

const char* const CArrayNode::kElementTypes[CArrayNode::kTypeCount] = {
    "CArrayNode",  "CBoolNode",  "CFloatNode",  "CFRangeNode", "CIntegerNode",
    "CIRangeNode", "CKVSetNode", "CStringNode", "CSymbolNode", "CUIntNode",
};

int CArrayNode::TypeIndex(const CString& typeName) {
  for (int i = 0; i < kTypeCount; ++i)
    if (typeName == kElementTypes[i]) return i;
  return kUnknownType;
}

CArrayNode::CArrayNode()
    : m_pOpenBM(CBitmapStore::GetArrayOpenBM()),
      m_pShutBM(CBitmapStore::GetArrayShutBM()),
      m_bBitmapsOK(1),
      m_strElementType("CIntegerNode"),
      m_bKeepsArray(0) {
  if (!m_pOpenBM || !m_pShutBM) m_bBitmapsOK = 0;
  if (m_bBitmapsOK) {
    SetIconSize(m_pOpenBM->Width(), m_pOpenBM->Height());
    SetSize(m_pOpenBM->Width(), m_pOpenBM->Height());
  }
  for (int i = 0; i <= kTypeCount; ++i) m_strTypeLabels[i] = LoadStringById(IDS_FIRST_TYPE_LABEL + i);
}

CArrayNode::~CArrayNode() = default;

// Whether the array holds an item: rows a comparison draws for removed items
// are none.
bool CArrayNode::HasItems() const {
  for (CTreeNode* child = GetFirstChild(); child != nullptr; child = child->GetNextSibling())
    if (auto* node = dynamic_cast<CDENode*>(child); node == nullptr || !node->IsRemovedRow()) return true;
  return false;
}

int CArrayNode::SetElementType(const CString& typeName) {
  if (HasItems() || m_bKeepsArray) return 0;
  m_strElementType = typeName;
  return 1;
}

CString CArrayNode::Label() const {
  return m_strTypeLabels[m_bKeepsArray ? kUnknownType : TypeIndex(m_strElementType)];
}

int CArrayNode::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_bBitmapsOK) return 0;
  CDIBitmap* icon = IsExpanded() ? m_pOpenBM : m_pShutBM;
  CString label;
  label.Format("%s", Label().GetString());
  SetWidth(DrawIconAndText(dc, icon, x, y, GetIconWidth(), GetIconHeight(), label, scale));
  return DrawSelectionBar(x, y, dc, scale);
}

CString CArrayNode::Type() { return "CArrayNode"; }

// Chooses the element type of an empty array.
int CArrayNode::EditNode(MultiAdminSession*, const QV_String&, CWnd*) {
  const int index = TypeIndex(m_strElementType);
  // Elements of the old type under a new one would be written as garbage.
  if (m_bKeepsArray || index == kUnknownType || HasItems()) return 0;
  CEditArrayBox dialog(nullptr);
  dialog.m_nChoice = index;
  if (dialog.DoModal() != IDOK) return 0;
  if (dialog.m_nChoice < 0 || dialog.m_nChoice >= kTypeCount) return 0;
  m_strElementType = kElementTypes[dialog.m_nChoice];
  return 1;
}

int CArrayNode::CanContain(const CString& typeName) {
  if (m_bKeepsArray) return 0;
  return typeName == m_strElementType ? 1 : 0;
}

int CArrayNode::CanEdit() {
  if (m_bKeepsArray) return 0;
  return HasItems() ? 0 : 1;
}

// The first element of an empty array is edited before it joins; later
// ones are inserted at a position the user gives.
int CArrayNode::AddSubNode(CDENode* node, CWnd* parent, MultiAdminSession* session, const QV_String& serverName) {
  if (!node || m_bKeepsArray) {
    CErrorBox(IDS_ADD_FAILED, parent).DoModal();
    return 0;
  }
  int position = -1;
  if (!HasItems()) {
    if (node->CanEdit() == 1 && !node->EditNode(session, serverName, parent)) return 0;
  } else {
    unsigned int chosen = 0;
    if (node->Type() == "CKVSetNode") {
      CArrayInsertKVSBox dialog(parent, node, session, serverName);
      dialog.m_nPosition = 0;
      if (dialog.DoModal() != IDOK) return 0;
      chosen = dialog.m_nPosition;
    } else {
      CArrayInsertBox dialog(parent, node, session, serverName);
      dialog.m_nPosition = 0;
      if (dialog.DoModal() != IDOK) return 0;
      chosen = dialog.m_nPosition;
    }
    // Any position at or beyond the end appends.
    position = chosen > static_cast<unsigned int>(INT_MAX) ? -1 : static_cast<int>(chosen);
  }
  SetExpanded(1);
  if (!CTreeNode::AddSubNode(node, position)) {
    CErrorBox(IDS_ADD_FAILED, parent).DoModal();
    return 0;
  }
  return 1;
}

int CArrayNode::GetDE(QV_DataElement& element) {
  if (m_bKeepsArray) {
    element = m_deKept;
    return 1;
  }
  uint32_t err = 0;
  CTary array = 0;
  if (CTary_Create(&array, &err) != 1) return 0;
  const int index = TypeIndex(m_strElementType);
  int result = 1;
  std::vector<QV_DataElement> elements;
  elements.reserve(static_cast<size_t>(CountSubNodes()));
  for (CTreeNode* child = GetFirstChild(); child; child = child->GetNextSibling()) {
    CDENode* node = dynamic_cast<CDENode*>(child);
    // A row a comparison draws for a removed item is no part of the array.
    if (node != nullptr && node->IsRemovedRow()) continue;
    elements.emplace_back();
    if (!node || !node->GetDE(elements.back())) result = 0;
  }
  if (index == kUnknownType || !WriteItems(array, index, elements)) result = 0;
  elements.clear();
  element.SetToArray(array);
  CTary_Destroy(array, &err);
  return result;
}

int CArrayNode::PutDE(const QV_DataElement& element, MultiAdminSession* session, const QV_String& serverName) {
  DeleteChildren();
  m_bKeepsArray = 0;
  m_deKept = QV_DataElement();
  if (element.Type() < CT_TYPE_ARRAY) return 0;
  const int index = IndexOfCode(element.Type());
  if (index == kUnknownType) {
    // Nothing here can show or edit its items; keep them to write back.
    m_deKept = element;
    m_bKeepsArray = 1;
    return 1;
  }
  std::vector<QV_DataElement> elements;
  int result = ReadItems(element.Array(), index, elements) ? 1 : 0;
  m_strElementType = kElementTypes[index];
  for (const QV_DataElement& item : elements) {
    CDENode* node = CreateDENode(item, session, serverName);
    if (!node || !CTreeNode::AddSubNode(node, -1)) {
      delete node;
      result = 0;
    }
  }
  return result;
}
