// The editor's string table as data: every {id, text} of resources/strings.inc,
// in id order.  platform/stringtable.h loads texts by id from it.
#pragma once

#include <cstddef>

struct StringTableEntry {
  unsigned id;
  const char* text;
};

// The entries, sorted by id, each id once; *count is set to their number.
const StringTableEntry* StringTableEntries(size_t* count);
