// The S.100 container library: key-value sets (CTkvs_) and typed arrays
// (CTary_).  Handles are opaque 32-bit numbers; every call takes the error
// word last, returns 1 on success and otherwise leaves one of the container
// codes of cterrors.h in the error word (the error word may be null).
//
// Storage that a get call hands out (a text, a nested set or array handle,
// an item block) belongs to the container and stays valid until that
// container, or the one that holds it, is next changed or destroyed.  A put
// copies everything it is given.  Nested handles handed out by a get are
// lent: they can be read and changed in place but not destroyed.
//
// Every call is safe to make from several threads at once.
//
// Error words the calls leave (namespace ct, cterrors.h); on success the
// error word holds kErrNone:
//   kErrBadHandle          the handle is 0, forged, stale (its container was
//                          destroyed, or it was lent from a value since
//                          replaced), of the other container kind, a lent
//                          handle given to Destroy, or CT_kvsEmpty given to a
//                          call that changes or destroys a set
//   kErrBadArgument        a null out-pointer or range pointer, a reserved key
//                          (CT_KVS_START_KEY, CT_KVS_END_KEY) given to a put,
//                          items null with a count above 0, a count above
//                          2^26 items, or CTary_PutWords with a code below 60
//                          or a code that has an element kind
//   kErrNoSuchKey          a get of a key the set does not hold; iteration
//                          from a key the set does not hold
//   kErrWrongKind          a get of another kind than the value or array holds
//   kErrEndOfKeys          iteration passed the last key
//   kErrTooDeep            a put or copy would nest containers more than 128
//                          deep (the outermost counts as one)
//   kErrContainerNoMemory  allocation failed, or no handle is left (about
//                          4 million live handles)
// A container may be put into itself or into one of its own descendants:
// the value is copied before the target changes, so no cycle can form
// (kErrCycle is never left).
//
// A fresh array (code 60, no items) reads as an empty array of every kind:
// CTary_Get<Kind> and CTkvs_Get<Kind>Array give count 0 and succeed.  Any
// other array read as another kind fails with kErrWrongKind.  An item block
// of count 0 is a non-null pointer that must not be read.
#pragma once

#include <cstdint>

using CTkvs = uint32_t;     // key-value set handle
using CTary = uint32_t;     // typed array handle
using CTsymbol = uint32_t;  // a key or a symbol value

struct CTirange {
  int32_t start;
  int32_t end;
};

struct CTfrange {
  float start;
  float end;
};

// Data-element type codes shared by the containers, the data element and
// the text format.
enum : uint32_t {
  CT_TYPE_NONE = 10,
  CT_TYPE_INT = 11,
  CT_TYPE_UINT = 12,
  CT_TYPE_BOOL = 13,
  CT_TYPE_SYMBOL = 18,
  CT_TYPE_FLOAT = 19,
  CT_TYPE_IRANGE = 40,
  CT_TYPE_FRANGE = 41,
  CT_TYPE_KVSET = 42,
  CT_TYPE_STRING = 44,
  CT_TYPE_ARRAY = 60,  // an array with no element kind (a fresh array); 60 and above are arrays
  CT_TYPE_INT_ARRAY = 61,
  CT_TYPE_UINT_ARRAY = 62,
  CT_TYPE_BOOL_ARRAY = 63,
  CT_TYPE_FRANGE_ARRAY = 64,
  CT_TYPE_IRANGE_ARRAY = 65,
  CT_TYPE_KVSET_ARRAY = 66,
  CT_TYPE_SYMBOL_ARRAY = 71,
  CT_TYPE_FLOAT_ARRAY = 72,
  CT_TYPE_STRING_ARRAY = 77,
  CT_TYPE_ARRAY_ARRAY = 78,
};

// Iteration markers: the key to start from and the key left after the last.
// Neither may be used as a key.
inline constexpr CTsymbol CT_KVS_START_KEY = 0x00800400;
inline constexpr CTsymbol CT_KVS_END_KEY = 0x00800401;

// A ready-made empty set for calls that only read a set. Never destroy it;
// changing it fails with kErrBadHandle.
extern const CTkvs CT_kvsEmpty;

// ---- Key-value sets ----
int CTkvs_Create(CTkvs* set, uint32_t* err);
int CTkvs_Destroy(CTkvs set, uint32_t* err);
int CTkvs_Clear(CTkvs set, uint32_t* err);
int CTkvs_Copy(CTkvs target, CTkvs source, uint32_t* err);  // target becomes a deep copy
int CTkvs_Count(CTkvs set, uint32_t* count, uint32_t* err);

// A put replaces an existing key's value in place (the key keeps its
// position); a new key goes last.  Keys iterate in insertion order.
int CTkvs_PutInt(CTkvs set, CTsymbol key, int32_t value, uint32_t* err);
int CTkvs_PutUInt(CTkvs set, CTsymbol key, uint32_t value, uint32_t* err);
int CTkvs_PutBool(CTkvs set, CTsymbol key, int32_t value, uint32_t* err);
int CTkvs_PutSymbol(CTkvs set, CTsymbol key, CTsymbol value, uint32_t* err);
int CTkvs_PutFloat(CTkvs set, CTsymbol key, float value, uint32_t* err);
int CTkvs_PutIRange(CTkvs set, CTsymbol key, const CTirange* value, uint32_t* err);
int CTkvs_PutFRange(CTkvs set, CTsymbol key, const CTfrange* value, uint32_t* err);
int CTkvs_PutKVSet(CTkvs set, CTsymbol key, CTkvs value, uint32_t* err);
int CTkvs_PutString(CTkvs set, CTsymbol key, const char* value, uint32_t* err);  // null stores ""
int CTkvs_PutArray(CTkvs set, CTsymbol key, CTary value, uint32_t* err);

int CTkvs_GetInt(CTkvs set, CTsymbol key, int32_t* value, uint32_t* err);
int CTkvs_GetUInt(CTkvs set, CTsymbol key, uint32_t* value, uint32_t* err);
int CTkvs_GetBool(CTkvs set, CTsymbol key, int32_t* value, uint32_t* err);
int CTkvs_GetSymbol(CTkvs set, CTsymbol key, CTsymbol* value, uint32_t* err);
int CTkvs_GetFloat(CTkvs set, CTsymbol key, float* value, uint32_t* err);
int CTkvs_GetIRange(CTkvs set, CTsymbol key, CTirange* value, uint32_t* err);
int CTkvs_GetFRange(CTkvs set, CTsymbol key, CTfrange* value, uint32_t* err);
int CTkvs_GetKVSet(CTkvs set, CTsymbol key, CTkvs* value, uint32_t* err);      // lent handle
int CTkvs_GetString(CTkvs set, CTsymbol key, const char** value, uint32_t* err);  // lent text
int CTkvs_GetArray(CTkvs set, CTsymbol key, CTary* value, uint32_t* err);      // lent handle
int CTkvs_GetType(CTkvs set, CTsymbol key, uint32_t* type, uint32_t* err);

// Iteration: start with *key = CT_KVS_START_KEY; each successful call moves
// *key to the next key and *type to its value's type code.  After the last
// key the call returns 0, leaves CT_KVS_END_KEY in *key and kErrEndOfKeys in
// the error word.  Each step finds the given key's position, so values may
// be replaced and keys added while iterating: the walk goes on from there.
int CTkvs_GetNextKey(CTkvs set, CTsymbol* key, uint32_t* type, uint32_t* err);

// Array values of a set, read in one step: the array under the key must be
// of the matching kind.  A missing key reads as an empty array (count 0).
int CTkvs_GetStringArray(CTkvs set, CTsymbol key, const char* const** items, uint32_t* count, uint32_t* err);
int CTkvs_GetKVSetArray(CTkvs set, CTsymbol key, const CTkvs** items, uint32_t* count, uint32_t* err);
int CTkvs_GetBoolArray(CTkvs set, CTsymbol key, const int32_t** items, uint32_t* count, uint32_t* err);
int CTkvs_GetSymbolArray(CTkvs set, CTsymbol key, const CTsymbol** items, uint32_t* count, uint32_t* err);
int CTkvs_GetIntArray(CTkvs set, CTsymbol key, const int32_t** items, uint32_t* count, uint32_t* err);
int CTkvs_GetUIntArray(CTkvs set, CTsymbol key, const uint32_t** items, uint32_t* count, uint32_t* err);

// ---- Typed arrays ----
// A fresh array has type code 60 and no items.  A put replaces the whole
// content and makes the array of that kind; count 0 (items may then be null)
// makes an empty array of that kind.
int CTary_Create(CTary* array, uint32_t* err);
int CTary_Destroy(CTary array, uint32_t* err);
int CTary_Copy(CTary target, CTary source, uint32_t* err);  // target becomes a deep copy
int CTary_GetType(CTary array, uint32_t* type, uint32_t* err);
int CTary_GetCount(CTary array, uint32_t* count, uint32_t* err);

int CTary_PutInt(CTary array, const int32_t* items, uint32_t count, uint32_t* err);
int CTary_PutUInt(CTary array, const uint32_t* items, uint32_t count, uint32_t* err);
int CTary_PutBool(CTary array, const int32_t* items, uint32_t count, uint32_t* err);
int CTary_PutSymbol(CTary array, const CTsymbol* items, uint32_t count, uint32_t* err);
int CTary_PutFloat(CTary array, const float* items, uint32_t count, uint32_t* err);
int CTary_PutIRange(CTary array, const CTirange* items, uint32_t count, uint32_t* err);
int CTary_PutFRange(CTary array, const CTfrange* items, uint32_t count, uint32_t* err);
int CTary_PutKVSet(CTary array, const CTkvs* items, uint32_t count, uint32_t* err);
int CTary_PutString(CTary array, const char* const* items, uint32_t count, uint32_t* err);  // a null item stores ""
int CTary_PutArray(CTary array, const CTary* items, uint32_t count, uint32_t* err);
// An array of a code that has no element kind of its own (60, 67 to 70,
// 73 to 76, above 78): its items are plain 32-bit words, kept bit for bit.
int CTary_PutWords(CTary array, uint32_t type, const uint32_t* items, uint32_t count, uint32_t* err);

int CTary_GetInt(CTary array, const int32_t** items, uint32_t* count, uint32_t* err);
int CTary_GetUInt(CTary array, const uint32_t** items, uint32_t* count, uint32_t* err);
int CTary_GetBool(CTary array, const int32_t** items, uint32_t* count, uint32_t* err);
int CTary_GetSymbol(CTary array, const CTsymbol** items, uint32_t* count, uint32_t* err);
int CTary_GetFloat(CTary array, const float** items, uint32_t* count, uint32_t* err);
int CTary_GetIRange(CTary array, const CTirange** items, uint32_t* count, uint32_t* err);
int CTary_GetFRange(CTary array, const CTfrange** items, uint32_t* count, uint32_t* err);
int CTary_GetKVSet(CTary array, const CTkvs** items, uint32_t* count, uint32_t* err);      // lent handles
int CTary_GetString(CTary array, const char* const** items, uint32_t* count, uint32_t* err);
int CTary_GetArray(CTary array, const CTary** items, uint32_t* count, uint32_t* err);      // lent handles
// The items of an array whose code has no element kind (a fresh array gives
// count 0); an array of a known kind fails with kErrWrongKind.
int CTary_GetWords(CTary array, const uint32_t** items, uint32_t* count, uint32_t* err);

// True when the code is one of the array codes with an element kind.
bool CTary_IsKnownType(uint32_t type);
