#include "s100/deif_symcache.h"

#include <cstring>

namespace deif {

namespace {

inline size_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return static_cast<size_t>(h);
}

}  // namespace

bool SpellingCache::Find(uint32_t symbol, const char** text, size_t* length) const {
  if (slots_.empty()) return false;
  size_t mask = slots_.size() - 1;
  for (size_t i = Mix(symbol) & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (!s.used) return false;
    if (s.symbol == symbol) {
      *text = arena_.data() + s.offset;
      *length = s.length;
      return true;
    }
  }
}

void SpellingCache::Insert(uint32_t symbol, const char* text, size_t length) {
  if ((count_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 64 : slots_.size() * 2);
  size_t mask = slots_.size() - 1;
  size_t i = Mix(symbol) & mask;
  while (slots_[i].used) {
    if (slots_[i].symbol == symbol) return;
    i = (i + 1) & mask;
  }
  slots_[i] = Slot{symbol, static_cast<uint32_t>(arena_.size()), static_cast<uint32_t>(length), true};
  arena_.append(text, length);
  ++count_;
}

void SpellingCache::Rehash(size_t capacity) {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(capacity, Slot{0, 0, 0, false});
  size_t mask = capacity - 1;
  for (const Slot& s : old) {
    if (!s.used) continue;
    size_t i = Mix(s.symbol) & mask;
    while (slots_[i].used) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

uint64_t SymbolCache::Hash(const char* s, size_t n) {
  // Eight bytes at a time; names are short.
  uint64_t h = 0x9e3779b97f4a7c15ULL ^ n;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, s + i, 8);
    h = (h ^ w) * 0xff51afd7ed558ccdULL;
    h ^= h >> 32;
  }
  if (i < n) {
    uint64_t w = 0;
    std::memcpy(&w, s + i, n - i);
    h = (h ^ w) * 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 32;
  }
  return h;
}

bool SymbolCache::Find(const char* name, size_t length, uint32_t* symbol) const {
  if (slots_.empty()) return false;
  uint64_t h = Hash(name, length);
  size_t mask = slots_.size() - 1;
  for (size_t i = Mix(h) & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (!s.used) return false;
    if (s.hash == h && s.length == length && std::memcmp(arena_.data() + s.offset, name, length) == 0) {
      *symbol = s.symbol;
      return true;
    }
  }
}

void SymbolCache::Insert(const char* name, size_t length, uint32_t symbol) {
  if ((count_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 64 : slots_.size() * 2);
  uint64_t h = Hash(name, length);
  size_t mask = slots_.size() - 1;
  size_t i = Mix(h) & mask;
  while (slots_[i].used) i = (i + 1) & mask;
  slots_[i] = Slot{h, static_cast<uint32_t>(arena_.size()), static_cast<uint32_t>(length), symbol, true};
  arena_.append(name, length);
  ++count_;
}

void SymbolCache::Rehash(size_t capacity) {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(capacity, Slot{0, 0, 0, 0, false});
  size_t mask = capacity - 1;
  for (const Slot& s : old) {
    if (!s.used) continue;
    size_t i = Mix(s.hash) & mask;
    while (slots_[i].used) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

}  // namespace deif
