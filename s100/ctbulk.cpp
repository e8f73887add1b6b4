#include "s100/ctbulk.h"

#include "s100/ctobjects.h"
#include "s100/ctstore.h"

namespace ct::store {

namespace {

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

namespace {

// Puts a new empty container of type `type` under key and lends it:
// `member` is the value's owning pointer for that kind of container.
template <class Made, class Handle>
int PutNewContainer(CTkvs handle, CTsymbol key, uint32_t type, std::unique_ptr<Made> Value::*member, Kind kind,
                    Handle* inner, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Kvs* set = nullptr;
    if (uint32_t code = Find(table, handle, Kind::kKvs, Access::kWrite, &set)) return code;
    if (ReservedKey(key) || !inner) return kErrBadArgument;
    if (set->depth + 1 > kMaxDepth) return kErrTooDeep;
    Value value;
    value.type = type;
    value.*member = std::make_unique<Made>();
    (value.*member)->depth = set->depth + 1;
    Made* made = (value.*member).get();
    set->Put(key, std::move(value));
    *inner = table.Lend(made, kind);
    return 0;
  });
}

// Appends a new empty container to an array of containers and lends it.
template <class Made, class Handle>
int AppendNewContainer(CTary handle, Made* (Ary::*append)(), Kind kind, Handle* inner, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    Ary* array = nullptr;
    if (uint32_t code = Find(table, handle, Kind::kAry, Access::kWrite, &array)) return code;
    if (!inner) return kErrBadArgument;
    Made* made = (array->*append)();
    if (!made) return kErrWrongKind;
    *inner = table.Lend(made, kind);
    return 0;
  });
}

}  // namespace

int PutNewKVSet(CTkvs handle, CTsymbol key, CTkvs* inner, uint32_t* err) {
  return PutNewContainer(handle, key, CT_TYPE_KVSET, &Value::kvs, Kind::kKvs, inner, err);
}

int PutNewArray(CTkvs handle, CTsymbol key, CTary* inner, uint32_t* err) {
  return PutNewContainer(handle, key, CT_TYPE_ARRAY, &Value::ary, Kind::kAry, inner, err);
}

int AppendNewKVSet(CTary handle, CTkvs* inner, uint32_t* err) {
  return AppendNewContainer(handle, &Ary::AppendSet, Kind::kKvs, inner, err);
}

int AppendNewArray(CTary handle, CTary* inner, uint32_t* err) {
  return AppendNewContainer(handle, &Ary::AppendArray, Kind::kAry, inner, err);
}

}  // namespace ct::store
