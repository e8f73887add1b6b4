// The settings file held in memory: a tree of keys, each with its class
// text, its values (name, type, raw data) in file order and its sub-keys in
// file order.  Key and value names compare without regard to ASCII case, as
// the registry compares them; they keep the case they were written with.
#pragma once

#include "platform/registry.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Limits a key name, a value name and a key path are held to.
inline constexpr size_t kRegMaxKeyNameLen = 255;
inline constexpr size_t kRegMaxValueNameLen = 16383;
inline constexpr size_t kRegMaxDepth = 512;

bool RegNameEquals(std::string_view a, std::string_view b);
// The name as the comparison sees it (ASCII upper case).
std::string RegFoldName(std::string_view name);

struct RegValue {
  std::string name;  // empty: the key's default value ("@")
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
  std::vector<std::string> notes;  // comment lines that stood before the value
};

struct RegNode {
  std::string name;
  std::string keyClass;
  bool listed = false;  // has a section of its own (not only implied by a sub-key)
  std::vector<RegValue> values;
  std::vector<std::unique_ptr<RegNode>> children;
  std::vector<std::string> notes;  // comment lines that stood before the section

  RegValue* FindValue(std::string_view valueName);
  const RegValue* FindValue(std::string_view valueName) const;
  RegNode* FindChild(std::string_view childName);
  const RegNode* FindChild(std::string_view childName) const;
  // The child of that name, made (unlisted) when there is none yet.
  RegNode& Child(std::string_view childName);
  // Replaces the value of that name in place, or appends it.
  RegValue& SetValue(std::string_view valueName, DWORD type, std::vector<uint8_t> data);
  bool RemoveValue(std::string_view valueName);
  bool RemoveChild(std::string_view childName);

 private:
  // Positions by case-folded name, so that a key with very many values or
  // sub-keys is not searched from the start each time.  Checked on use and
  // rebuilt when entries were added or removed behind the node's back
  // (names are not to be changed in place).
  mutable std::unordered_map<std::string, size_t> childIndex_;
  mutable std::unordered_map<std::string, size_t> valueIndex_;
  size_t ChildPos(std::string_view childName) const;
  size_t ValuePos(std::string_view valueName) const;
};

struct RegDocument {
  std::vector<std::unique_ptr<RegNode>> roots;  // hives in order of first appearance
  std::vector<std::string> tailNotes;           // comment lines after the last section

  RegNode* FindRoot(std::string_view hive);
  const RegNode* FindRoot(std::string_view hive) const;
  RegNode& Root(std::string_view hive);
  // The key at hive\path[0]\path[1]..., or null.
  RegNode* Find(std::string_view hive, const std::vector<std::string>& path);
  const RegNode* Find(std::string_view hive, const std::vector<std::string>& path) const;
};

// The canonical spelling of a hive name ("HKEY_LOCAL_MACHINE", ...), or
// empty when the text names no hive.
std::string_view RegCanonicalHive(std::string_view name);
