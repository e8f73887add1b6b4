#include "server/symboltable.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/fileio.h"

namespace ctserver {

extern const char* const kDefaultSymbolTable;

namespace {

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

bool ValidSymbolName(const std::string& s) {
  if (s.empty() || s.size() > SymbolTable::kMaxSymbolName || !IsNameStart(s[0])) return false;
  for (char c : s) {
    if (!IsNameChar(c)) return false;
  }
  return true;
}

// Hexadecimal with 0x/0X or decimal, the whole token, 32 bits.
bool ParseValue(const std::string& s, uint32_t* out) {
  int base = 10;
  size_t start = 0;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    start = 2;
  }
  if (start >= s.size()) return false;
  for (size_t i = start; i < s.size(); ++i) {
    char c = s[i];
    bool digit = (c >= '0' && c <= '9') ||
                 (base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
    if (!digit) return false;
  }
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(s.c_str() + start, &end, base);
  if (errno == ERANGE || *end != '\0' || v > 0xFFFFFFFFull) return false;
  *out = uint32_t(v);
  return true;
}

}  // namespace

const char* SymbolTable::DefaultText() { return kDefaultSymbolTable; }

bool SymbolTable::Parse(const std::string& text, std::vector<std::string>* problems) {
  std::vector<Entry> entries;
  std::unordered_map<std::string, uint32_t> byName;
  std::unordered_map<uint32_t, size_t> byValue;
  std::unordered_map<std::string, size_t> nameLine;
  std::unordered_map<uint32_t, size_t> valueLine;
  bool ok = true;
  auto problem = [&](size_t line, const std::string& what) {
    ok = false;
    if (problems) problems->push_back("line " + std::to_string(line) + ": " + what);
  };

  std::istringstream in(text);
  std::string line;
  size_t lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string name, value, extra;
    if (!(words >> name)) continue;  // blank or comment only
    if (!(words >> value)) {
      problem(lineNo, "expected a name and a value");
      continue;
    }
    if (words >> extra) {
      problem(lineNo, "unexpected text after the value");
      continue;
    }
    if (!ValidSymbolName(name)) {
      problem(lineNo, "invalid symbol name '" + EchoText(name) + "'");
      continue;
    }
    uint32_t v = 0;
    if (!ParseValue(value, &v)) {
      problem(lineNo, "invalid value '" + EchoText(value) + "' (hexadecimal with 0x or decimal, 32 bits)");
      continue;
    }
    if (auto it = nameLine.find(name); it != nameLine.end()) {
      problem(lineNo, "duplicate name '" + name + "' (first on line " + std::to_string(it->second) + ")");
      continue;
    }
    if (auto it = valueLine.find(v); it != valueLine.end()) {
      problem(lineNo, "duplicate value " + EchoText(value) + " (first on line " + std::to_string(it->second) + ")");
      continue;
    }
    nameLine.emplace(name, lineNo);
    valueLine.emplace(v, lineNo);
    byName.emplace(name, v);
    byValue.emplace(v, entries.size());
    entries.push_back({name, v});
  }
  if (!ok) return false;
  entries_ = std::move(entries);
  byName_ = std::move(byName);
  byValue_ = std::move(byValue);
  return true;
}

bool SymbolTable::Load(const std::string& path, std::vector<std::string>* problems) {
  std::string text, error;
  if (!ReadRegularFile(path, kMaxFileBytes, &text, &error)) {
    if (problems) problems->push_back(error);
    return false;
  }
  return Parse(text, problems);
}

bool SymbolTable::NameToSymbol(const std::string& name, uint32_t* value) const {
  auto it = byName_.find(name);
  if (it == byName_.end()) return false;
  *value = it->second;
  return true;
}

bool SymbolTable::SymbolToName(uint32_t value, std::string* name) const {
  auto it = byValue_.find(value);
  if (it == byValue_.end()) return false;
  *name = entries_[it->second].name;
  return true;
}

uint32_t SymbolTable::Require(const std::string& name) const {
  uint32_t v = 0;
  return NameToSymbol(name, &v) ? v : 0;
}

}  // namespace ctserver
