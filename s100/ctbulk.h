// Calls for the data-element text that do in one locked step what takes the
// public API several: reading a whole set's entries, an array's type and
// items together, and making a nested set or array in place.  Internal to
// s100_containers; each call takes the library's mutex once, like a public
// call, so the containers stay safe to share between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "s100/ctcontainers.h"

namespace ct::store {

// One entry of a set as a get would see it.  Nested sets and arrays come as
// lent handles; a text points into the set and is valid, like a get's, only
// until the set changes.
struct EntryView {
  CTsymbol key;
  uint32_t type;  // the type code a get sees
  uint32_t w0;    // scalar words (ranges use both)
  uint32_t w1;
  const char* text;    // CT_TYPE_STRING
  size_t length;       // its length
  uint32_t handle;     // CT_TYPE_KVSET or an array code
};

// All entries of the set, in order; 1 on success, 0 and *err as a get.
int ViewSet(CTkvs set, std::vector<EntryView>* entries, uint32_t* err);

// An array's type code and the block its get of that kind lends (the plain
// words for codes without an element kind); texts also as strings.
struct ArrayView {
  uint32_t type;
  uint32_t count;
  const void* block;
  const std::string* texts;  // CT_TYPE_STRING_ARRAY: `count` strings
};
int ViewArray(CTary array, ArrayView* view, uint32_t* err);

// Puts a new empty set (array) under the key and lends its handle.
int PutNewKVSet(CTkvs set, CTsymbol key, CTkvs* inner, uint32_t* err);
int PutNewArray(CTkvs set, CTsymbol key, CTary* inner, uint32_t* err);
// Appends a new empty set (array) to an array of sets (arrays) and lends its
// handle; a fresh array takes that kind.
int AppendNewKVSet(CTary array, CTkvs* inner, uint32_t* err);
int AppendNewArray(CTary array, CTary* inner, uint32_t* err);

}  // namespace ct::store
