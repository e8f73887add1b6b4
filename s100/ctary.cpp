// The CTary_ calls: typed arrays.
#include <cstring>

#include "s100/ctcontainers.h"
#include "s100/ctobjects.h"
#include "s100/ctstore.h"

using namespace ct;
using namespace ct::store;

namespace {

uint32_t FindArray(Table& table, CTary handle, Access access, Ary** array) {
  return Find(table, handle, Kind::kAry, access, array);
}

// A put: `make` builds the new items (copying all it is given) before the
// array is touched, so the items may come from the array itself.
template <class Item, class Make>
int PutItems(CTary handle, uint32_t type, const Item* items, uint32_t count, uint32_t* err, Make make) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Ary* array = nullptr;
    if (uint32_t code = FindArray(table, handle, Access::kWrite, &array)) return code;
    if (count > kMaxItems || (count > 0 && !items)) return kErrBadArgument;
    Ary::Items fresh;
    if (uint32_t code = make(table, *array, fresh)) return code;
    array->Replace(type, std::move(fresh));
    return 0;
  });
}

// Items kept as they are: words, floats, ranges.
template <class Stored, class Item>
int PutPlain(CTary handle, uint32_t type, const Item* items, uint32_t count, uint32_t* err) {
  static_assert(sizeof(Stored) == sizeof(Item), "same layout");
  return PutItems(handle, type, items, count, err, [&](Table&, Ary&, Ary::Items& fresh) -> uint32_t {
    std::vector<Stored> block(count);
    if (count > 0) std::memcpy(block.data(), items, sizeof(Item) * count);
    fresh = std::move(block);
    return 0;
  });
}

template <class T>
int GetItems(CTary handle, uint32_t code, const T** items, uint32_t* count, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Ary* array = nullptr;
    if (uint32_t c = FindArray(table, handle, Access::kRead, &array)) return c;
    if (!items || !count) return kErrBadArgument;
    const void* block = nullptr;
    uint32_t n = 0;
    if (uint32_t c = array->Read(table, code, &block, &n)) return c;
    *items = static_cast<const T*>(block);
    *count = n;
    return 0;
  });
}

}  // namespace

bool CTary_IsKnownType(uint32_t type) {
  switch (type) {
    case CT_TYPE_INT_ARRAY:
    case CT_TYPE_UINT_ARRAY:
    case CT_TYPE_BOOL_ARRAY:
    case CT_TYPE_FRANGE_ARRAY:
    case CT_TYPE_IRANGE_ARRAY:
    case CT_TYPE_KVSET_ARRAY:
    case CT_TYPE_SYMBOL_ARRAY:
    case CT_TYPE_FLOAT_ARRAY:
    case CT_TYPE_STRING_ARRAY:
    case CT_TYPE_ARRAY_ARRAY:
      return true;
    default:
      return false;
  }
}

int CTary_Create(CTary* array, uint32_t* err) { return CreateRoot<Ary>(Kind::kAry, array, err); }

int CTary_Destroy(CTary handle, uint32_t* err) { return DestroyRoot<Ary>(Kind::kAry, handle, err); }

int CTary_Copy(CTary target, CTary source, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Ary* to = nullptr;
    Ary* from = nullptr;
    if (uint32_t code = FindArray(table, target, Access::kWrite, &to)) return code;
    if (uint32_t code = FindArray(table, source, Access::kRead, &from)) return code;
    if (to == from) return 0;
    CopyContent(*from, *to);  // builds the copy before replacing the old items
    return 0;
  });
}

int CTary_GetType(CTary handle, uint32_t* type, uint32_t* err) {
  return ReadProperty<Ary>(Kind::kAry, handle, type, err, [](const Ary& array) { return array.type(); });
}

int CTary_GetCount(CTary handle, uint32_t* count, uint32_t* err) {
  return ReadProperty<Ary>(Kind::kAry, handle, count, err, [](const Ary& array) { return array.Count(); });
}

// ---- Puts ----

int CTary_PutInt(CTary array, const int32_t* items, uint32_t count, uint32_t* err) {
  return PutPlain<uint32_t>(array, CT_TYPE_INT_ARRAY, items, count, err);
}
int CTary_PutUInt(CTary array, const uint32_t* items, uint32_t count, uint32_t* err) {
  return PutPlain<uint32_t>(array, CT_TYPE_UINT_ARRAY, items, count, err);
}
int CTary_PutBool(CTary array, const int32_t* items, uint32_t count, uint32_t* err) {
  return PutPlain<uint32_t>(array, CT_TYPE_BOOL_ARRAY, items, count, err);
}
int CTary_PutSymbol(CTary array, const CTsymbol* items, uint32_t count, uint32_t* err) {
  return PutPlain<uint32_t>(array, CT_TYPE_SYMBOL_ARRAY, items, count, err);
}
int CTary_PutFloat(CTary array, const float* items, uint32_t count, uint32_t* err) {
  return PutPlain<float>(array, CT_TYPE_FLOAT_ARRAY, items, count, err);
}
int CTary_PutIRange(CTary array, const CTirange* items, uint32_t count, uint32_t* err) {
  return PutPlain<CTirange>(array, CT_TYPE_IRANGE_ARRAY, items, count, err);
}
int CTary_PutFRange(CTary array, const CTfrange* items, uint32_t count, uint32_t* err) {
  return PutPlain<CTfrange>(array, CT_TYPE_FRANGE_ARRAY, items, count, err);
}

int CTary_PutWords(CTary array, uint32_t type, const uint32_t* items, uint32_t count, uint32_t* err) {
  if (type < CT_TYPE_ARRAY || CTary_IsKnownType(type)) {
    // Still refuse a bad handle first, so callers see the more basic fault.
    return Guarded(err, [&](Table& table) -> uint32_t {
      Ary* found = nullptr;
      if (uint32_t code = FindArray(table, array, Access::kWrite, &found)) return code;
      return kErrBadArgument;
    });
  }
  return PutPlain<uint32_t>(array, type, items, count, err);
}

int CTary_PutString(CTary array, const char* const* items, uint32_t count, uint32_t* err) {
  return PutItems(array, CT_TYPE_STRING_ARRAY, items, count, err, [&](Table&, Ary&, Ary::Items& fresh) -> uint32_t {
    Ary::Texts texts;
    texts.items.reserve(count);
    for (uint32_t i = 0; i < count; ++i) texts.items.emplace_back(items[i] ? items[i] : "");
    texts.Point();
    fresh = std::move(texts);
    return 0;
  });
}

int CTary_PutKVSet(CTary array, const CTkvs* items, uint32_t count, uint32_t* err) {
  return PutItems(array, CT_TYPE_KVSET_ARRAY, items, count, err, [&](Table& table, Ary& target, Ary::Items& fresh) -> uint32_t {
    std::vector<std::unique_ptr<Kvs>> sets;
    sets.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      Container* source = nullptr;
      if (uint32_t code = table.Lookup(items[i], Kind::kKvs, Access::kRead, &source)) return code;
      sets.push_back(CloneKvs(*static_cast<Kvs*>(source), target.depth + 1));
    }
    fresh = std::move(sets);
    return 0;
  });
}

int CTary_PutArray(CTary array, const CTary* items, uint32_t count, uint32_t* err) {
  return PutItems(array, CT_TYPE_ARRAY_ARRAY, items, count, err, [&](Table& table, Ary& target, Ary::Items& fresh) -> uint32_t {
    std::vector<std::unique_ptr<Ary>> arrays;
    arrays.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      Ary* source = nullptr;
      if (uint32_t code = FindArray(table, items[i], Access::kRead, &source)) return code;
      arrays.push_back(CloneAry(*source, target.depth + 1));
    }
    fresh = std::move(arrays);
    return 0;
  });
}

// ---- Gets ----

int CTary_GetInt(CTary array, const int32_t** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_INT_ARRAY, items, count, err);
}
int CTary_GetUInt(CTary array, const uint32_t** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_UINT_ARRAY, items, count, err);
}
int CTary_GetBool(CTary array, const int32_t** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_BOOL_ARRAY, items, count, err);
}
int CTary_GetSymbol(CTary array, const CTsymbol** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_SYMBOL_ARRAY, items, count, err);
}
int CTary_GetFloat(CTary array, const float** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_FLOAT_ARRAY, items, count, err);
}
int CTary_GetIRange(CTary array, const CTirange** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_IRANGE_ARRAY, items, count, err);
}
int CTary_GetFRange(CTary array, const CTfrange** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_FRANGE_ARRAY, items, count, err);
}
int CTary_GetKVSet(CTary array, const CTkvs** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_KVSET_ARRAY, items, count, err);
}
int CTary_GetString(CTary array, const char* const** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_STRING_ARRAY, items, count, err);
}
int CTary_GetArray(CTary array, const CTary** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, CT_TYPE_ARRAY_ARRAY, items, count, err);
}
int CTary_GetWords(CTary array, const uint32_t** items, uint32_t* count, uint32_t* err) {
  return GetItems(array, 0, items, count, err);
}
