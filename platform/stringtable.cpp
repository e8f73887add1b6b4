#include "platform/stringtable.h"

#include <algorithm>
#include <cstddef>

#include "resources/strings.h"

namespace {

const StringTableEntry* Find(unsigned id) {
  size_t count = 0;
  const StringTableEntry* begin = StringTableEntries(&count);
  const StringTableEntry* end = begin + count;
  const StringTableEntry* it = std::lower_bound(
      begin, end, id, [](const StringTableEntry& e, unsigned key) { return e.id < key; });
  return it != end && it->id == id ? it : nullptr;
}

// Installs the table before main runs, so that CString::LoadString works in
// every program linked with it.
const bool kInstalled = (InstallStringTable(), true);

}  // namespace

CString LoadStringById(unsigned id) {
  const StringTableEntry* entry = Find(id);
  return entry != nullptr ? CString(entry->text) : CString();
}

bool StringIdExists(unsigned id) { return Find(id) != nullptr; }

void InstallStringTable() {
  (void)kInstalled;
  CString::SetStringResolver(&LoadStringById);
}
