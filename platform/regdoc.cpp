#include "platform/regdoc.h"

#include <algorithm>

namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr size_t kNone = static_cast<size_t>(-1);

// Looks a name up through an index of folded names; rebuilds the index when
// it does not match the list.
template <typename List, typename NameOf>
size_t IndexedFind(std::unordered_map<std::string, size_t>& index, const List& list, std::string_view name,
                   NameOf nameOf) {
  std::string key = RegFoldName(name);
  auto it = index.find(key);
  if (it != index.end() && it->second < list.size() && RegNameEquals(nameOf(list[it->second]), name)) {
    return it->second;
  }
  if (it == index.end() && index.size() == list.size()) {
    return kNone;  // the index covers the whole list and knows no such name
  }
  index.clear();
  for (size_t i = 0; i < list.size(); ++i) {
    index.emplace(RegFoldName(nameOf(list[i])), i);
  }
  it = index.find(key);
  return it == index.end() ? kNone : it->second;
}

const std::string& ChildName(const std::unique_ptr<RegNode>& child) { return child->name; }
const std::string& ValueName(const RegValue& value) { return value.name; }

template <typename Doc>
auto FindRootIn(Doc& doc, std::string_view hive) -> decltype(doc.roots.front().get()) {
  for (auto& root : doc.roots) {
    if (RegNameEquals(root->name, hive)) {
      return root.get();
    }
  }
  return nullptr;
}

}  // namespace

bool RegNameEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) {
      return false;
    }
  }
  return true;
}

std::string RegFoldName(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    c = Fold(c);
  }
  return out;
}

std::string_view RegCanonicalHive(std::string_view name) {
  static constexpr std::string_view kHives[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT",
                                                "HKEY_USERS", "HKEY_CURRENT_CONFIG"};
  for (std::string_view hive : kHives) {
    if (RegNameEquals(hive, name)) {
      return hive;
    }
  }
  return {};
}

size_t RegNode::ChildPos(std::string_view childName) const {
  return IndexedFind(childIndex_, children, childName, ChildName);
}

size_t RegNode::ValuePos(std::string_view valueName) const {
  return IndexedFind(valueIndex_, values, valueName, ValueName);
}

RegValue* RegNode::FindValue(std::string_view valueName) {
  size_t pos = ValuePos(valueName);
  return pos == kNone ? nullptr : &values[pos];
}

const RegValue* RegNode::FindValue(std::string_view valueName) const {
  size_t pos = ValuePos(valueName);
  return pos == kNone ? nullptr : &values[pos];
}

RegNode* RegNode::FindChild(std::string_view childName) {
  size_t pos = ChildPos(childName);
  return pos == kNone ? nullptr : children[pos].get();
}

const RegNode* RegNode::FindChild(std::string_view childName) const {
  size_t pos = ChildPos(childName);
  return pos == kNone ? nullptr : children[pos].get();
}

RegNode& RegNode::Child(std::string_view childName) {
  if (RegNode* found = FindChild(childName)) {
    return *found;
  }
  children.push_back(std::make_unique<RegNode>());
  children.back()->name = std::string(childName);
  childIndex_.emplace(RegFoldName(childName), children.size() - 1);
  return *children.back();
}

RegValue& RegNode::SetValue(std::string_view valueName, DWORD type, std::vector<uint8_t> data) {
  RegValue* value = FindValue(valueName);
  if (value == nullptr) {
    values.emplace_back();
    value = &values.back();
    value->name = std::string(valueName);
    valueIndex_.emplace(RegFoldName(valueName), values.size() - 1);
  }
  value->type = type;
  value->data = std::move(data);
  return *value;
}

bool RegNode::RemoveValue(std::string_view valueName) {
  size_t pos = ValuePos(valueName);
  if (pos == kNone) {
    return false;
  }
  values.erase(values.begin() + static_cast<std::ptrdiff_t>(pos));
  valueIndex_.clear();  // positions moved; rebuilt on the next look-up
  return true;
}

bool RegNode::RemoveChild(std::string_view childName) {
  size_t pos = ChildPos(childName);
  if (pos == kNone) {
    return false;
  }
  children.erase(children.begin() + static_cast<std::ptrdiff_t>(pos));
  childIndex_.clear();
  return true;
}

RegNode* RegDocument::FindRoot(std::string_view hive) { return FindRootIn(*this, hive); }
const RegNode* RegDocument::FindRoot(std::string_view hive) const { return FindRootIn(*this, hive); }

RegNode& RegDocument::Root(std::string_view hive) {
  if (RegNode* found = FindRoot(hive)) {
    return *found;
  }
  roots.push_back(std::make_unique<RegNode>());
  std::string_view canonical = RegCanonicalHive(hive);
  roots.back()->name = std::string(canonical.empty() ? hive : canonical);
  return *roots.back();
}

RegNode* RegDocument::Find(std::string_view hive, const std::vector<std::string>& path) {
  RegNode* node = FindRoot(hive);
  for (size_t i = 0; node != nullptr && i < path.size(); ++i) {
    node = node->FindChild(path[i]);
  }
  return node;
}

const RegNode* RegDocument::Find(std::string_view hive, const std::vector<std::string>& path) const {
  return const_cast<RegDocument*>(this)->Find(hive, path);
}
