#include "s100/deif_items.h"

#include <cstring>

#include "s100/deif_lexicon.h"

namespace deif {

namespace {

inline bool IsMark(char c) {
  return c == '[' || c == ']' || c == '{' || c == '}' || c == ',' || c == '"' || c == '/';
}

// The next [ ] { } , " or / at or after p, eight bytes at a time (| 0x20
// folds [ onto { and ] onto }).
const char* NextMark(const char* p, const char* end) {
  while (end - p >= 8) {
    uint64_t v = swar::Load(p);
    uint64_t folded = v | (swar::kOnes * 0x20);
    if (swar::HasByte(folded, '{') | swar::HasByte(folded, '}') | swar::HasByte(v, ',') | swar::HasByte(v, '"') |
        swar::HasByte(v, '/'))
      break;
    p += 8;
  }
  while (p < end && !IsMark(*p)) ++p;
  return p;
}

// Whether anything but blanks lies in [p, end).
bool HasContent(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (!Is(static_cast<unsigned char>(*p), kSpace)) return true;
  }
  return false;
}

}  // namespace

void ItemCounts::CountArray(const char* p, const char* end, size_t firstIndex, int maxDepth) {
  struct Open {
    bool bracket;
    bool content;      // an item has begun since the last comma
    uint32_t index;    // in counts_
    uint32_t items;    // items ended by a comma
    const char* mark;  // where the part not yet looked at begins
  };
  base_ = firstIndex;
  counts_.assign(1, kUnclosed);
  std::vector<Open> open;
  open.reserve(static_cast<size_t>(maxDepth));
  open.push_back(Open{true, false, 0, 0, p});
  size_t excess = 0;  // openers beyond maxDepth: never read, only matched

  for (;;) {
    p = NextMark(p, end);
    if (p >= end) return;
    Open* top = (excess == 0 && !open.empty() && open.back().bracket) ? &open.back() : nullptr;
    // Notes an item in the blanks-or-words part of the array before `upto`.
    auto settle = [&](const char* upto) {
      if (top && !top->content && HasContent(top->mark, upto)) top->content = true;
    };
    char c = *p;
    switch (c) {
      case '/':
        if (p + 1 < end && p[1] == '/') {
          settle(p);
          const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
          p = nl ? static_cast<const char*>(nl) + 1 : end;
          if (top) top->mark = p;
          continue;
        }
        if (top) top->content = true;
        ++p;
        break;
      case '"':
        if (top) top->content = true;
        for (++p;;) {
          p += QuotedRun(p, static_cast<size_t>(end - p));
          if (p >= end) return;
          if (*p == '\\') {
            p += 2;
            if (p >= end) return;
            continue;
          }
          if (*p == '"') break;
          ++p;  // a zero byte: the reader refuses it, go on
        }
        ++p;
        break;
      case '[':
      case '{': {
        if (top) top->content = true;
        ++p;
        if (excess > 0 || open.size() >= static_cast<size_t>(maxDepth)) {
          ++excess;
          break;
        }
        Open o{c == '[', false, 0, 0, p};
        if (o.bracket) {
          o.index = static_cast<uint32_t>(counts_.size());
          counts_.push_back(kUnclosed);
        }
        open.push_back(o);
        break;
      }
      case ']':
      case '}':
        settle(p);
        ++p;
        if (excess > 0) {
          --excess;
        } else if (!open.empty()) {
          const Open& o = open.back();
          if (o.bracket) counts_[o.index] = o.items + (o.content ? 1 : 0);
          open.pop_back();
          if (open.empty()) return;  // the array counted is closed
        }
        break;
      default:  // ','
        settle(p);
        ++p;
        if (top) {
          if (top->content) {
            ++top->items;
            top->content = false;
          }
          top->mark = p;
        }
    }
  }
}

}  // namespace deif
