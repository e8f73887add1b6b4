#include "s100/deif_items.h"

#include <cstring>

namespace deif {

void ItemCounts::Count(const char* p, const char* end, int maxDepth) {
  struct Open {
    bool bracket;
    bool content;    // an item has begun since the last comma
    uint32_t index;  // in counts_
    uint32_t items;
  };
  std::vector<Open> open;
  open.reserve(static_cast<size_t>(maxDepth));
  size_t excess = 0;  // openers beyond maxDepth: never read, only matched
  counted_ = true;

  auto content = [&] {
    if (excess == 0 && !open.empty() && open.back().bracket) open.back().content = true;
  };
  auto push = [&](bool bracket) {
    content();
    if (excess > 0 || open.size() >= static_cast<size_t>(maxDepth)) {
      ++excess;
      return;
    }
    Open o{bracket, false, 0, 0};
    if (bracket) {
      o.index = static_cast<uint32_t>(counts_.size());
      counts_.push_back(kUnclosed);
    }
    open.push_back(o);
  };
  auto pop = [&] {
    if (excess > 0) {
      --excess;
      return;
    }
    if (open.empty()) return;
    Open o = open.back();
    open.pop_back();
    if (o.bracket) counts_[o.index] = o.items + (o.content ? 1 : 0);
  };

  for (; p < end; ++p) {
    switch (*p) {
      case ' ':
      case '\t':
      case '\r':
      case '\n': break;
      case '/':
        if (p + 1 < end && p[1] == '/') {
          const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
          p = nl ? static_cast<const char*>(nl) : end - 1;
        } else {
          content();
        }
        break;
      case '"':
        content();
        for (++p; p < end && *p != '"'; ++p) {
          if (*p == '\\') ++p;
        }
        if (p >= end) return;
        break;
      case '[': push(true); break;
      case '{': push(false); break;
      case ']':
      case '}': pop(); break;
      case ',':
        if (excess == 0 && !open.empty() && open.back().bracket && open.back().content) {
          ++open.back().items;
          open.back().content = false;
        }
        break;
      default: content();
    }
  }
}

}  // namespace deif
