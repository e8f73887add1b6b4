// Per-conversion memory of what the symbol translator answered, so that a
// profile repeating the same keys and symbols asks the translator (which may
// go to a server) once per symbol or name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace deif {

// Symbol -> its spelling in the text (bare name, quoted name or #number).
class SpellingCache {
 public:
  // The cached spelling of the symbol, or false.
  bool Find(uint32_t symbol, const char** text, size_t* length) const;
  void Insert(uint32_t symbol, const char* text, size_t length);

 private:
  struct Slot {
    uint32_t symbol;
    uint32_t offset;
    uint32_t length;
    bool used;
  };
  void Rehash(size_t capacity);
  std::vector<Slot> slots_;
  size_t count_ = 0;
  std::string arena_;
};

// Name -> symbol, as the translator gave it.
class SymbolCache {
 public:
  bool Find(const char* name, size_t length, uint32_t* symbol) const;
  void Insert(const char* name, size_t length, uint32_t symbol);

 private:
  struct Slot {
    uint64_t hash;
    uint32_t offset;
    uint32_t length;
    uint32_t symbol;
    bool used;
  };
  static uint64_t Hash(const char* s, size_t n);
  void Rehash(size_t capacity);
  std::vector<Slot> slots_;
  size_t count_ = 0;
  std::string arena_;
};

}  // namespace deif
