#include "resources/strings.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

constexpr StringTableEntry kEntries[] = {
#include "resources/strings.inc"
};

constexpr bool IdsUnique() {
  const size_t n = sizeof(kEntries) / sizeof(kEntries[0]);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (kEntries[i].id == kEntries[j].id) return false;
  return true;
}
static_assert(IdsUnique(), "every string id appears once in resources/strings.inc");

}  // namespace

const StringTableEntry* StringTableEntries(size_t* count) {
  // Sorted once, on first use, for the loader's binary search.
  static const std::vector<StringTableEntry> sorted = [] {
    std::vector<StringTableEntry> v(std::begin(kEntries), std::end(kEntries));
    std::sort(v.begin(), v.end(), [](const StringTableEntry& a, const StringTableEntry& b) { return a.id < b.id; });
    return v;
  }();
  *count = sorted.size();
  return sorted.data();
}
