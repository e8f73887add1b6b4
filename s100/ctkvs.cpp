// The CTkvs_ calls: key-value sets.
#include <cstring>

#include "s100/ctcontainers.h"
#include "s100/ctobjects.h"
#include "s100/ctstore.h"

using namespace ct;
using namespace ct::store;

namespace {

uint32_t FindSet(Table& table, CTkvs handle, Access access, Kvs** set) {
  return Find(table, handle, Kind::kKvs, access, set);
}

bool ReservedKey(CTsymbol key) { return key == CT_KVS_START_KEY || key == CT_KVS_END_KEY; }

// A put: `make` fills a new value (copying anything it refers to) before the
// set is touched, so the value may come from the set itself.
template <class Make>
int PutValue(CTkvs handle, CTsymbol key, uint32_t* err, Make make) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t code = FindSet(table, handle, Access::kWrite, &set)) return code;
    if (ReservedKey(key)) return kErrBadArgument;
    Value value;
    if (uint32_t code = make(table, *set, value)) return code;
    set->Put(key, std::move(value));
    return 0;
  });
}

template <class T>
int PutScalar(CTkvs handle, CTsymbol key, uint32_t type, T item, uint32_t* err) {
  static_assert(sizeof(T) == 4, "one word");
  return PutValue(handle, key, err, [&](Table&, Kvs&, Value& value) -> uint32_t {
    value.type = type;
    std::memcpy(&value.w0, &item, 4);
    return 0;
  });
}

template <class T>
int PutRange(CTkvs handle, CTsymbol key, uint32_t type, const T* range, uint32_t* err) {
  static_assert(sizeof(T) == 8, "two words");
  return PutValue(handle, key, err, [&](Table&, Kvs&, Value& value) -> uint32_t {
    if (!range) return kErrBadArgument;
    value.type = type;
    std::memcpy(&value.w0, &range->start, 4);
    std::memcpy(&value.w1, &range->end, 4);
    return 0;
  });
}

// A get: `read` looks at the value found under the key.
template <class Read>
int GetValue(CTkvs handle, CTsymbol key, const void* out, uint32_t* err, Read read) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t code = FindSet(table, handle, Access::kRead, &set)) return code;
    if (!out) return kErrBadArgument;
    Value* value = set->Lookup(key);
    if (!value) return kErrNoSuchKey;
    return read(table, *value);
  });
}

template <class T>
int GetScalar(CTkvs handle, CTsymbol key, uint32_t type, T* out, uint32_t* err) {
  return GetValue(handle, key, out, err, [&](Table&, Value& value) -> uint32_t {
    if (value.type != type) return kErrWrongKind;
    std::memcpy(out, &value.w0, 4);
    return 0;
  });
}

template <class T>
int GetRange(CTkvs handle, CTsymbol key, uint32_t type, T* out, uint32_t* err) {
  return GetValue(handle, key, out, err, [&](Table&, Value& value) -> uint32_t {
    if (value.type != type) return kErrWrongKind;
    std::memcpy(&out->start, &value.w0, 4);
    std::memcpy(&out->end, &value.w1, 4);
    return 0;
  });
}

// Reads the array under a key as items of one kind; a missing key reads as
// an empty array.
template <class T>
int GetArrayItems(CTkvs handle, CTsymbol key, uint32_t code, const T** items, uint32_t* count, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t c = FindSet(table, handle, Access::kRead, &set)) return c;
    if (!items || !count) return kErrBadArgument;
    Value* value = set->Lookup(key);
    if (!value) {
      *items = static_cast<const T*>(EmptyBlock());
      *count = 0;
      return 0;
    }
    if (value->type != CT_TYPE_ARRAY) return kErrWrongKind;
    const void* block = nullptr;
    uint32_t n = 0;
    if (uint32_t c = value->ary->Read(table, code, &block, &n)) return c;
    *items = static_cast<const T*>(block);
    *count = n;
    return 0;
  });
}

}  // namespace

int CTkvs_Create(CTkvs* set, uint32_t* err) { return CreateRoot<Kvs>(Kind::kKvs, set, err); }

int CTkvs_Destroy(CTkvs handle, uint32_t* err) { return DestroyRoot<Kvs>(Kind::kKvs, handle, err); }

int CTkvs_Clear(CTkvs handle, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t code = FindSet(table, handle, Access::kWrite, &set)) return code;
    set->Clear();
    return 0;
  });
}

int CTkvs_Copy(CTkvs target, CTkvs source, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* to = nullptr;
    Kvs* from = nullptr;
    if (uint32_t code = FindSet(table, target, Access::kWrite, &to)) return code;
    if (uint32_t code = FindSet(table, source, Access::kRead, &from)) return code;
    if (to == from) return 0;
    // Copy aside first: the source may hold the target or sit inside it.
    Kvs copy;
    copy.depth = to->depth;
    CopyContent(*from, copy);
    to->SwapContent(copy);
    return 0;
  });
}

int CTkvs_Count(CTkvs handle, uint32_t* count, uint32_t* err) {
  return ReadProperty<Kvs>(Kind::kKvs, handle, count, err,
                           [](const Kvs& set) { return static_cast<uint32_t>(set.entries().size()); });
}

// ---- Puts ----

int CTkvs_PutInt(CTkvs set, CTsymbol key, int32_t value, uint32_t* err) {
  return PutScalar(set, key, CT_TYPE_INT, value, err);
}
int CTkvs_PutUInt(CTkvs set, CTsymbol key, uint32_t value, uint32_t* err) {
  return PutScalar(set, key, CT_TYPE_UINT, value, err);
}
int CTkvs_PutBool(CTkvs set, CTsymbol key, int32_t value, uint32_t* err) {
  return PutScalar(set, key, CT_TYPE_BOOL, value, err);
}
int CTkvs_PutSymbol(CTkvs set, CTsymbol key, CTsymbol value, uint32_t* err) {
  return PutScalar(set, key, CT_TYPE_SYMBOL, value, err);
}
int CTkvs_PutFloat(CTkvs set, CTsymbol key, float value, uint32_t* err) {
  return PutScalar(set, key, CT_TYPE_FLOAT, value, err);
}
int CTkvs_PutIRange(CTkvs set, CTsymbol key, const CTirange* value, uint32_t* err) {
  return PutRange(set, key, CT_TYPE_IRANGE, value, err);
}
int CTkvs_PutFRange(CTkvs set, CTsymbol key, const CTfrange* value, uint32_t* err) {
  return PutRange(set, key, CT_TYPE_FRANGE, value, err);
}

int CTkvs_PutKVSet(CTkvs set, CTsymbol key, CTkvs value, uint32_t* err) {
  return PutValue(set, key, err, [&](Table& table, Kvs& target, Value& out) -> uint32_t {
    Kvs* source = nullptr;
    if (uint32_t code = FindSet(table, value, Access::kRead, &source)) return code;
    out.type = CT_TYPE_KVSET;
    out.kvs = CloneKvs(*source, target.depth + 1);
    return 0;
  });
}

int CTkvs_PutString(CTkvs set, CTsymbol key, const char* value, uint32_t* err) {
  return PutValue(set, key, err, [&](Table&, Kvs&, Value& out) -> uint32_t {
    out.type = CT_TYPE_STRING;
    out.text = std::make_unique<std::string>(value ? value : "");
    return 0;
  });
}

int CTkvs_PutArray(CTkvs set, CTsymbol key, CTary value, uint32_t* err) {
  return PutValue(set, key, err, [&](Table& table, Kvs& target, Value& out) -> uint32_t {
    Container* source = nullptr;
    if (uint32_t code = table.Lookup(value, Kind::kAry, Access::kRead, &source)) return code;
    out.type = CT_TYPE_ARRAY;
    out.ary = CloneAry(*static_cast<Ary*>(source), target.depth + 1);
    return 0;
  });
}

// ---- Gets ----

int CTkvs_GetInt(CTkvs set, CTsymbol key, int32_t* value, uint32_t* err) {
  return GetScalar(set, key, CT_TYPE_INT, value, err);
}
int CTkvs_GetUInt(CTkvs set, CTsymbol key, uint32_t* value, uint32_t* err) {
  return GetScalar(set, key, CT_TYPE_UINT, value, err);
}
int CTkvs_GetBool(CTkvs set, CTsymbol key, int32_t* value, uint32_t* err) {
  return GetScalar(set, key, CT_TYPE_BOOL, value, err);
}
int CTkvs_GetSymbol(CTkvs set, CTsymbol key, CTsymbol* value, uint32_t* err) {
  return GetScalar(set, key, CT_TYPE_SYMBOL, value, err);
}
int CTkvs_GetFloat(CTkvs set, CTsymbol key, float* value, uint32_t* err) {
  return GetScalar(set, key, CT_TYPE_FLOAT, value, err);
}
int CTkvs_GetIRange(CTkvs set, CTsymbol key, CTirange* value, uint32_t* err) {
  return GetRange(set, key, CT_TYPE_IRANGE, value, err);
}
int CTkvs_GetFRange(CTkvs set, CTsymbol key, CTfrange* value, uint32_t* err) {
  return GetRange(set, key, CT_TYPE_FRANGE, value, err);
}

int CTkvs_GetKVSet(CTkvs set, CTsymbol key, CTkvs* value, uint32_t* err) {
  return GetValue(set, key, value, err, [&](Table& table, Value& found) -> uint32_t {
    if (found.type != CT_TYPE_KVSET) return kErrWrongKind;
    *value = table.Lend(found.kvs.get(), Kind::kKvs);
    return 0;
  });
}

int CTkvs_GetString(CTkvs set, CTsymbol key, const char** value, uint32_t* err) {
  return GetValue(set, key, value, err, [&](Table&, Value& found) -> uint32_t {
    if (found.type != CT_TYPE_STRING) return kErrWrongKind;
    *value = found.text->c_str();
    return 0;
  });
}

int CTkvs_GetArray(CTkvs set, CTsymbol key, CTary* value, uint32_t* err) {
  return GetValue(set, key, value, err, [&](Table& table, Value& found) -> uint32_t {
    if (found.type != CT_TYPE_ARRAY) return kErrWrongKind;
    *value = table.Lend(found.ary.get(), Kind::kAry);
    return 0;
  });
}

int CTkvs_GetType(CTkvs set, CTsymbol key, uint32_t* type, uint32_t* err) {
  return GetValue(set, key, type, err, [&](Table&, Value& found) -> uint32_t {
    *type = found.Code();
    return 0;
  });
}

int CTkvs_GetNextKey(CTkvs handle, CTsymbol* key, uint32_t* type, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t code = FindSet(table, handle, Access::kRead, &set)) return code;
    if (!key || !type) return kErrBadArgument;
    size_t next = 0;
    if (*key == CT_KVS_END_KEY) {
      next = set->entries().size();
    } else if (*key != CT_KVS_START_KEY) {
      const long pos = set->Find(*key);
      if (pos < 0) return kErrNoSuchKey;
      next = static_cast<size_t>(pos) + 1;
    }
    if (next >= set->entries().size()) {
      *key = CT_KVS_END_KEY;
      return kErrEndOfKeys;
    }
    const Entry& entry = set->entries()[next];
    *key = entry.key;
    *type = entry.value.Code();
    return 0;
  });
}

// ---- Arrays under a key ----

int CTkvs_GetStringArray(CTkvs set, CTsymbol key, const char* const** items, uint32_t* count, uint32_t* err) {
  return GetArrayItems(set, key, CT_TYPE_STRING_ARRAY, items, count, err);
}
int CTkvs_GetKVSetArray(CTkvs set, CTsymbol key, const CTkvs** items, uint32_t* count, uint32_t* err) {
  return GetArrayItems(set, key, CT_TYPE_KVSET_ARRAY, items, count, err);
}
int CTkvs_GetBoolArray(CTkvs set, CTsymbol key, const int32_t** items, uint32_t* count, uint32_t* err) {
  return GetArrayItems(set, key, CT_TYPE_BOOL_ARRAY, items, count, err);
}
int CTkvs_GetSymbolArray(CTkvs set, CTsymbol key, const CTsymbol** items, uint32_t* count, uint32_t* err) {
  return GetArrayItems(set, key, CT_TYPE_SYMBOL_ARRAY, items, count, err);
}
int CTkvs_GetIntArray(CTkvs set, CTsymbol key, const int32_t** items, uint32_t* count, uint32_t* err) {
  return GetArrayItems(set, key, CT_TYPE_INT_ARRAY, items, count, err);
}
int CTkvs_GetUIntArray(CTkvs set, CTsymbol key, const uint32_t** items, uint32_t* count, uint32_t* err) {
  return GetArrayItems(set, key, CT_TYPE_UINT_ARRAY, items, count, err);
}
