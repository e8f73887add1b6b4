// The registry calls over the settings file.  A handle is an entry in a
// table that names the key by its path; a closed or unknown handle is
// refused, never followed.  Handle numbers are not reused.
#include "platform/registry.h"

#include "platform/regstore.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

struct RegKeyObject {
  const char* hive;
};

namespace {

// Objects with static storage so that the two roots are usable from any
// other static initialiser.
RegKeyObject g_localMachine{"HKEY_LOCAL_MACHINE"};
RegKeyObject g_currentUser{"HKEY_CURRENT_USER"};

struct KeyRef {
  std::string hive;
  std::vector<std::string> path;
};

struct State {
  std::mutex mutex;
  RegFileStore store;
  std::unordered_map<uintptr_t, KeyRef> handles;
  uintptr_t next = 0x1000;
};

State& S() {
  static State* state = new State;  // never destroyed: usable from static destructors
  return *state;
}

const RegNode& EmptyNode() {
  static const RegNode* node = new RegNode;
  return *node;
}

bool Resolve(State& s, HKEY key, KeyRef& out) {
  if (key == &g_localMachine || key == &g_currentUser) {
    out.hive = key->hive;
    out.path.clear();
    return true;
  }
  auto it = s.handles.find(reinterpret_cast<uintptr_t>(key));
  if (it == s.handles.end()) {
    return false;
  }
  out = it->second;
  return true;
}

HKEY NewHandle(State& s, KeyRef ref) {
  uintptr_t id = s.next++;
  while (id == reinterpret_cast<uintptr_t>(&g_localMachine) || id == reinterpret_cast<uintptr_t>(&g_currentUser) ||
         s.handles.count(id) != 0) {
    id = s.next++;
  }
  s.handles.emplace(id, std::move(ref));
  return reinterpret_cast<HKEY>(id);
}

// Splits a sub-key path relative to a key.  Null or empty: the key itself.
LONG SplitSubKey(const char* subKey, std::vector<std::string>& parts) {
  parts.clear();
  if (subKey == nullptr || *subKey == '\0') {
    return ERROR_SUCCESS;
  }
  std::string_view text(subKey);
  if (text.front() == '\\') {
    return ERROR_BAD_PATHNAME;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t cut = text.find('\\', start);
    std::string_view part = text.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start);
    if (part.empty()) {
      return ERROR_BAD_PATHNAME;
    }
    if (part.size() > kRegMaxKeyNameLen || part.find_first_of("\r\n") != std::string_view::npos) {
      return ERROR_INVALID_PARAMETER;
    }
    parts.emplace_back(part);
    if (cut == std::string_view::npos) {
      break;
    }
    start = cut + 1;
  }
  return ERROR_SUCCESS;
}

// The key a reference names in doc; roots always exist.
const RegNode* Lookup(const RegDocument& doc, const KeyRef& ref) {
  const RegNode* node = doc.Find(ref.hive, ref.path);
  if (node == nullptr && ref.path.empty()) {
    return &EmptyNode();
  }
  return node;
}

// The key an open handle names, for the calls that only read it; the
// caller holds the state's lock.
LONG ReadableNode(State& s, HKEY key, const RegNode** node) {
  KeyRef ref;
  if (!Resolve(s, key, ref)) {
    return ERROR_INVALID_HANDLE;
  }
  *node = Lookup(s.store.Current(), ref);
  return *node == nullptr ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

RegNode* LookupForChange(RegDocument& doc, const KeyRef& ref) {
  if (ref.path.empty()) {
    return &doc.Root(ref.hive);
  }
  return doc.Find(ref.hive, ref.path);
}

// Copies text and its terminator when it fits in capacity characters.
bool CopyName(const std::string& text, char* buffer, DWORD capacity) {
  if (text.size() + 1 > capacity) {
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

// Hands out a value's data as the query and enumeration calls do.
LONG CopyData(const RegValue& value, DWORD* type, uint8_t* data, DWORD* dataLen) {
  if (type != nullptr) {
    *type = value.type;
  }
  DWORD need = static_cast<DWORD>(value.data.size());
  if (dataLen == nullptr) {
    return ERROR_SUCCESS;
  }
  if (data != nullptr) {
    if (*dataLen < need) {
      *dataLen = need;
      return ERROR_MORE_DATA;
    }
    if (need != 0) {
      std::memcpy(data, value.data.data(), need);
    }
  }
  *dataLen = need;
  return ERROR_SUCCESS;
}

// What opening and creating a key begin with: the parent's key and the
// sub-key's parts.  Called with the state locked.
LONG StartOpen(State& s, HKEY parent, const char* subKey, KeyRef& ref, std::vector<std::string>& parts) {
  if (!Resolve(s, parent, ref)) {
    return ERROR_INVALID_HANDLE;
  }
  return SplitSubKey(subKey, parts);
}

// What opening and creating a key begin with: the store locked for the
// call, the parent resolved and the sub-key split into its parts; rc tells
// whether that went well.
struct KeyOpening {
  KeyOpening(HKEY parent, const char* subKey) : s(S()), guard(s.mutex), rc(StartOpen(s, parent, subKey, ref, parts)) {}

  State& s;
  std::lock_guard<std::mutex> guard;
  KeyRef ref;
  std::vector<std::string> parts;
  LONG rc;
};

// What reading a key begins with: the store locked for the call and the
// key's node; rc tells whether the key may be read.
struct KeyReading {
  explicit KeyReading(HKEY key) : s(S()), guard(s.mutex), rc(ReadableNode(s, key, &node)) {}

  State& s;
  std::lock_guard<std::mutex> guard;
  const RegNode* node = nullptr;
  LONG rc;
};

// Runs change on the stored document, under the lock, with the reference
// of an open key; the result is change's, or that the handle is not open.
template <typename Change>
LONG ModifyKey(HKEY key, Change change) {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.mutex);
  KeyRef ref;
  if (!Resolve(s, key, ref)) {
    return ERROR_INVALID_HANDLE;
  }
  return s.store.Modify([&](RegDocument& doc) -> LONG { return change(doc, ref); });
}

// Follows parts down from node, adding each key's stored name to ref; null
// when one of them does not exist.
const RegNode* FindPath(const RegNode* node, const std::vector<std::string>& parts, KeyRef& ref) {
  for (const std::string& part : parts) {
    node = node->FindChild(part);
    if (node == nullptr) {
      return nullptr;
    }
    ref.path.push_back(node->name);
  }
  return node;
}

}  // namespace

const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;
const HKEY HKEY_CURRENT_USER = &g_currentUser;

LONG RegOpenKeyExA(HKEY parent, const char* subKey, DWORD /*options*/, REGSAM /*access*/, HKEY* result) {
  if (result == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  *result = nullptr;
  KeyOpening open(parent, subKey);
  if (open.rc != ERROR_SUCCESS) {
    return open.rc;
  }
  const RegNode* node = Lookup(open.s.store.Current(), open.ref);
  if (node == nullptr) {
    return ERROR_KEY_DELETED;
  }
  if (FindPath(node, open.parts, open.ref) == nullptr) {
    return ERROR_FILE_NOT_FOUND;
  }
  *result = NewHandle(open.s, std::move(open.ref));
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY parent, const char* subKey, DWORD /*reserved*/, const char* keyClass, DWORD /*options*/,
                     REGSAM /*access*/, void* /*security*/, HKEY* result, DWORD* disposition) {
  if (result == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  *result = nullptr;
  KeyOpening open(parent, subKey);
  if (open.rc != ERROR_SUCCESS) {
    return open.rc;
  }
  State& s = open.s;
  KeyRef& ref = open.ref;
  const std::vector<std::string>& parts = open.parts;
  if (ref.path.size() + parts.size() > kRegMaxDepth) {
    return ERROR_INVALID_PARAMETER;
  }
  // An existing key is opened without touching the file.
  if (const RegNode* node = Lookup(s.store.Current(), ref)) {
    KeyRef found = ref;
    if (FindPath(node, parts, found) != nullptr) {
      if (disposition != nullptr) {
        *disposition = REG_OPENED_EXISTING_KEY;
      }
      *result = NewHandle(s, std::move(found));
      return ERROR_SUCCESS;
    }
  }
  KeyRef made = ref;
  bool created = false;
  LONG rc = s.store.Modify([&](RegDocument& doc) -> LONG {
    RegNode* node = LookupForChange(doc, ref);
    if (node == nullptr) {
      return ERROR_KEY_DELETED;
    }
    made = ref;
    created = false;
    for (const std::string& part : parts) {
      RegNode* child = node->FindChild(part);
      if (child == nullptr) {
        child = &node->Child(part);
        child->listed = true;
        created = true;
        if (keyClass != nullptr && &part == &parts.back()) {
          child->keyClass = keyClass;
        }
      }
      made.path.push_back(child->name);
      node = child;
    }
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) {
    return rc;
  }
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  *result = NewHandle(s, std::move(made));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (key == &g_localMachine || key == &g_currentUser) {
    return ERROR_SUCCESS;
  }
  State& s = S();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.handles.erase(reinterpret_cast<uintptr_t>(key)) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* /*reserved*/, DWORD* type, uint8_t* data,
                      DWORD* dataLen) {
  if (data != nullptr && dataLen == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  KeyReading read(key);
  if (read.rc != ERROR_SUCCESS) {
    return read.rc;
  }
  const RegNode* node = read.node;
  const RegValue* value = node->FindValue(valueName == nullptr ? "" : valueName);
  if (value == nullptr) {
    return ERROR_FILE_NOT_FOUND;
  }
  return CopyData(*value, type, data, dataLen);
}

LONG RegQueryInfoKeyA(HKEY key, char* keyClass, DWORD* classLen, DWORD* /*reserved*/, DWORD* subKeys,
                      DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                      DWORD* maxValueLen, DWORD* securityDescriptor, void* lastWriteTime) {
  if (keyClass != nullptr && classLen == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  KeyReading read(key);
  if (read.rc != ERROR_SUCCESS) {
    return read.rc;
  }
  const RegNode* node = read.node;
  DWORD longestChild = 0;
  DWORD longestClass = 0;
  for (const auto& child : node->children) {
    longestChild = std::max<DWORD>(longestChild, static_cast<DWORD>(child->name.size()));
    longestClass = std::max<DWORD>(longestClass, static_cast<DWORD>(child->keyClass.size()));
  }
  DWORD longestName = 0;
  DWORD longestData = 0;
  for (const RegValue& value : node->values) {
    longestName = std::max<DWORD>(longestName, static_cast<DWORD>(value.name.size()));
    longestData = std::max<DWORD>(longestData, static_cast<DWORD>(value.data.size()));
  }
  // The counts are filled in even when the class text does not fit, as
  // callers that pass a one-character class buffer rely on.
  if (subKeys != nullptr) *subKeys = static_cast<DWORD>(node->children.size());
  if (maxSubKeyLen != nullptr) *maxSubKeyLen = longestChild;
  if (maxClassLen != nullptr) *maxClassLen = longestClass;
  if (values != nullptr) *values = static_cast<DWORD>(node->values.size());
  if (maxValueNameLen != nullptr) *maxValueNameLen = longestName;
  if (maxValueLen != nullptr) *maxValueLen = longestData;
  if (securityDescriptor != nullptr) *securityDescriptor = 0;
  if (lastWriteTime != nullptr) {
    // FILETIME: 100-ns intervals since 1601-01-01, low word first.
    struct stat st {};
    uint64_t ticks = 0;
    if (::stat(RegFilePath().c_str(), &st) == 0) {
      ticks = (static_cast<uint64_t>(st.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
              static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
    }
    uint32_t words[2] = {static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
    std::memcpy(lastWriteTime, words, sizeof words);
  }
  LONG rc = ERROR_SUCCESS;
  if (classLen != nullptr) {
    DWORD length = static_cast<DWORD>(node->keyClass.size());
    if (keyClass != nullptr && !CopyName(node->keyClass, keyClass, *classLen)) {
      rc = ERROR_MORE_DATA;
    }
    *classLen = length;
  }
  return rc;
}

LONG RegEnumKeyA(HKEY key, DWORD index, char* name, DWORD nameLen) {
  if (name == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  KeyReading read(key);
  if (read.rc != ERROR_SUCCESS) {
    return read.rc;
  }
  const RegNode* node = read.node;
  if (index >= node->children.size()) {
    return ERROR_NO_MORE_ITEMS;
  }
  return CopyName(node->children[index]->name, name, nameLen) ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameLen, DWORD* /*reserved*/, DWORD* type,
                   uint8_t* data, DWORD* dataLen) {
  if (valueName == nullptr || valueNameLen == nullptr || (data != nullptr && dataLen == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  KeyReading read(key);
  if (read.rc != ERROR_SUCCESS) {
    return read.rc;
  }
  const RegNode* node = read.node;
  if (index >= node->values.size()) {
    return ERROR_NO_MORE_ITEMS;
  }
  const RegValue& value = node->values[index];
  // The name's length comes back without its terminator; when the name
  // does not fit, it is the length needed (less one).
  bool nameFits = CopyName(value.name, valueName, *valueNameLen);
  *valueNameLen = static_cast<DWORD>(value.name.size());
  if (!nameFits) {
    if (type != nullptr) *type = value.type;
    if (dataLen != nullptr) *dataLen = static_cast<DWORD>(value.data.size());
    return ERROR_MORE_DATA;
  }
  return CopyData(value, type, data, dataLen);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/, DWORD type, const uint8_t* data,
                    DWORD dataLen) {
  if (data == nullptr && dataLen != 0) {
    return ERROR_INVALID_PARAMETER;
  }
  std::string name = valueName == nullptr ? "" : valueName;
  if (name.size() > kRegMaxValueNameLen || dataLen > kRegMaxValueBytes) {
    return ERROR_INVALID_PARAMETER;
  }
  if (name.find_first_of("\r\n") != std::string::npos) {
    return ERROR_INVALID_PARAMETER;  // a line break cannot be written in a name
  }
  std::vector<uint8_t> bytes(data, data + dataLen);
  return ModifyKey(key, [&](RegDocument& doc, const KeyRef& ref) -> LONG {
    RegNode* node = LookupForChange(doc, ref);
    if (node == nullptr) {
      return ERROR_KEY_DELETED;
    }
    node->SetValue(name, type, bytes);
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  std::string name = valueName == nullptr ? "" : valueName;
  return ModifyKey(key, [&](RegDocument& doc, const KeyRef& ref) -> LONG {
    RegNode* node = doc.Find(ref.hive, ref.path);
    if (node == nullptr) {
      return ref.path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    }
    return node->RemoveValue(name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  std::vector<std::string> parts;
  if (LONG rc = SplitSubKey(subKey, parts); rc != ERROR_SUCCESS) {
    return rc;
  }
  if (parts.empty()) {
    return ERROR_INVALID_PARAMETER;
  }
  return ModifyKey(key, [&](RegDocument& doc, const KeyRef& ref) -> LONG {
    RegNode* node = doc.Find(ref.hive, ref.path);
    if (node == nullptr) {
      return ref.path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    }
    RegNode* parent = node;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      parent = parent->FindChild(parts[i]);
      if (parent == nullptr) {
        return ERROR_FILE_NOT_FOUND;
      }
    }
    RegNode* target = parent->FindChild(parts.back());
    if (target == nullptr) {
      return ERROR_FILE_NOT_FOUND;
    }
    // As on Windows, a key with sub-keys is not deleted.
    if (!target->children.empty()) {
      return ERROR_ACCESS_DENIED;
    }
    parent->RemoveChild(parts.back());
    return ERROR_SUCCESS;
  });
}

void RegReloadFile() {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.store.Invalidate();
}

std::vector<RegDiagnostic> RegFileDiagnostics() {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.store.Current();
  return s.store.Diagnostics();
}
