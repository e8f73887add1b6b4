#include "platform/stringtable.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

namespace {

struct StringEntry {
  unsigned id;
  const char* text;
};

constexpr StringEntry kEntries[] = {
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

// The entries in id order, for binary search; built on first use.
const std::vector<StringEntry>& SortedEntries() {
  static const std::vector<StringEntry> sorted = [] {
    std::vector<StringEntry> v(std::begin(kEntries), std::end(kEntries));
    std::sort(v.begin(), v.end(), [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
    return v;
  }();
  return sorted;
}

const StringEntry* Find(unsigned id) {
  const std::vector<StringEntry>& v = SortedEntries();
  const auto it = std::lower_bound(v.begin(), v.end(), id,
                                   [](const StringEntry& e, unsigned key) { return e.id < key; });
  return it != v.end() && it->id == id ? &*it : nullptr;
}

// Installs the table before main runs, so that CString::LoadString works in
// every program linked with it.
const bool kInstalled = (InstallStringTable(), true);

}  // namespace

CString LoadStringById(unsigned id) {
  const StringEntry* entry = Find(id);
  return entry != nullptr ? CString(entry->text) : CString();
}

bool StringIdExists(unsigned id) { return Find(id) != nullptr; }

void InstallStringTable() {
  (void)kInstalled;
  CString::SetStringResolver(&LoadStringById);
}
