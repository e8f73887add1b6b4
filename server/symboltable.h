// The server's symbol table: names for 32-bit symbol numbers, loaded once at
// start from a text file of "name value" lines.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace ctserver {

class SymbolTable {
 public:
  struct Entry {
    std::string name;
    uint32_t value;
  };

  // Parses the table text.  Every bad line and every duplicate name or value
  // is reported with its line number in *problems; any problem refuses the
  // whole table (returns false and leaves the table as it was).
  bool Parse(const std::string& text, std::vector<std::string>* problems);

  // Reads and parses a file (at most kMaxFileBytes).
  bool Load(const std::string& path, std::vector<std::string>* problems);

  // The built-in default table.
  static const char* DefaultText();

  bool NameToSymbol(const std::string& name, uint32_t* value) const;
  bool SymbolToName(uint32_t value, std::string* name) const;
  // Symbol by name that must exist; 0 when it does not.
  uint32_t Require(const std::string& name) const;

  // In file order.
  const std::vector<Entry>& Entries() const { return entries_; }

  static constexpr size_t kMaxFileBytes = size_t{16} << 20;
  static constexpr size_t kMaxSymbolName = 255;

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::string, uint32_t> byName_;
  std::unordered_map<uint32_t, size_t> byValue_;
};

}  // namespace ctserver
