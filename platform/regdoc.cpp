#include "platform/regdoc.h"

#include <algorithm>

namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

template <typename Node>
auto FindChildIn(Node& node, std::string_view childName) -> decltype(node.children.front().get()) {
  for (auto& child : node.children) {
    if (RegNameEquals(child->name, childName)) {
      return child.get();
    }
  }
  return nullptr;
}

template <typename Node>
auto FindValueIn(Node& node, std::string_view valueName) -> decltype(&node.values.front()) {
  for (auto& value : node.values) {
    if (RegNameEquals(value.name, valueName)) {
      return &value;
    }
  }
  return nullptr;
}

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

RegValue* RegNode::FindValue(std::string_view valueName) { return FindValueIn(*this, valueName); }
const RegValue* RegNode::FindValue(std::string_view valueName) const { return FindValueIn(*this, valueName); }
RegNode* RegNode::FindChild(std::string_view childName) { return FindChildIn(*this, childName); }
const RegNode* RegNode::FindChild(std::string_view childName) const { return FindChildIn(*this, childName); }

RegNode& RegNode::Child(std::string_view childName) {
  if (RegNode* found = FindChild(childName)) {
    return *found;
  }
  children.push_back(std::make_unique<RegNode>());
  children.back()->name = std::string(childName);
  return *children.back();
}

RegValue& RegNode::SetValue(std::string_view valueName, DWORD type, std::vector<uint8_t> data) {
  RegValue* value = FindValue(valueName);
  if (value == nullptr) {
    values.emplace_back();
    value = &values.back();
    value->name = std::string(valueName);
  }
  value->type = type;
  value->data = std::move(data);
  return *value;
}

bool RegNode::RemoveValue(std::string_view valueName) {
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const RegValue& v) { return RegNameEquals(v.name, valueName); });
  if (it == values.end()) {
    return false;
  }
  values.erase(it);
  return true;
}

bool RegNode::RemoveChild(std::string_view childName) {
  auto it = std::find_if(children.begin(), children.end(),
                         [&](const std::unique_ptr<RegNode>& c) { return RegNameEquals(c->name, childName); });
  if (it == children.end()) {
    return false;
  }
  children.erase(it);
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
