#include "s100/ctbulk.h"

#include "s100/ctobjects.h"
#include "s100/ctstore.h"

namespace ct::store {

namespace {

template <class T>
uint32_t Find(Table& table, uint32_t handle, Kind kind, Access access, T** out) {
  Container* object = nullptr;
  const uint32_t code = table.Lookup(handle, kind, access, &object);
  if (code == 0) *out = static_cast<T*>(object);
  return code;
}

bool ReservedKey(CTsymbol key) { return key == CT_KVS_START_KEY || key == CT_KVS_END_KEY; }

}  // namespace

int ViewSet(CTkvs handle, std::vector<EntryView>* entries, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t code = Find(table, handle, Kind::kKvs, Access::kRead, &set)) return code;
    if (!entries) return kErrBadArgument;
    entries->clear();
    entries->reserve(set->entries().size());
    for (Entry& entry : set->entries()) {
      const Value& v = entry.value;
      EntryView view{entry.key, v.Code(), v.w0, v.w1, nullptr, 0, 0};
      if (v.text) {
        view.text = v.text->c_str();
        view.length = v.text->size();
      } else if (v.kvs) {
        view.handle = table.Lend(v.kvs.get(), Kind::kKvs);
      } else if (v.ary) {
        view.handle = table.Lend(v.ary.get(), Kind::kAry);
      }
      entries->push_back(view);
    }
    return 0;
  });
}

int ViewArray(CTary handle, ArrayView* view, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Ary* array = nullptr;
    if (uint32_t code = Find(table, handle, Kind::kAry, Access::kRead, &array)) return code;
    if (!view) return kErrBadArgument;
    const uint32_t type = array->type();
    view->type = type;
    view->texts = nullptr;
    if (uint32_t code = array->Read(table, CTary_IsKnownType(type) ? type : 0, &view->block, &view->count))
      return code;
    if (auto* texts = std::get_if<Ary::Texts>(&array->items())) view->texts = texts->items.data();
    return 0;
  });
}

int PutNewKVSet(CTkvs handle, CTsymbol key, CTkvs* inner, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t code = Find(table, handle, Kind::kKvs, Access::kWrite, &set)) return code;
    if (ReservedKey(key) || !inner) return kErrBadArgument;
    if (set->depth + 1 > kMaxDepth) return kErrTooDeep;
    Value value;
    value.type = CT_TYPE_KVSET;
    value.kvs = std::make_unique<Kvs>();
    value.kvs->depth = set->depth + 1;
    Kvs* made = value.kvs.get();
    set->Put(key, std::move(value));
    *inner = table.Lend(made, Kind::kKvs);
    return 0;
  });
}

int PutNewArray(CTkvs handle, CTsymbol key, CTary* inner, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t code = Find(table, handle, Kind::kKvs, Access::kWrite, &set)) return code;
    if (ReservedKey(key) || !inner) return kErrBadArgument;
    if (set->depth + 1 > kMaxDepth) return kErrTooDeep;
    Value value;
    value.type = CT_TYPE_ARRAY;
    value.ary = std::make_unique<Ary>();
    value.ary->depth = set->depth + 1;
    Ary* made = value.ary.get();
    set->Put(key, std::move(value));
    *inner = table.Lend(made, Kind::kAry);
    return 0;
  });
}

int AppendNewKVSet(CTary handle, CTkvs* inner, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Ary* array = nullptr;
    if (uint32_t code = Find(table, handle, Kind::kAry, Access::kWrite, &array)) return code;
    if (!inner) return kErrBadArgument;
    Kvs* made = array->AppendSet();
    if (!made) return kErrWrongKind;
    *inner = table.Lend(made, Kind::kKvs);
    return 0;
  });
}

int AppendNewArray(CTary handle, CTary* inner, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Ary* array = nullptr;
    if (uint32_t code = Find(table, handle, Kind::kAry, Access::kWrite, &array)) return code;
    if (!inner) return kErrBadArgument;
    Ary* made = array->AppendArray();
    if (!made) return kErrWrongKind;
    *inner = table.Lend(made, Kind::kAry);
    return 0;
  });
}

}  // namespace ct::store
