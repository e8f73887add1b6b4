#include "compare/elementio.h"

#include <cstring>

namespace compare {
namespace {

uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

float BitsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// A scalar value's words, as a set entry or an array item gives them.
bool ReadEntry(CTkvs set, CTsymbol key, uint32_t type, Item* item) {
  uint32_t err = 0;
  item->type = type;
  switch (type) {
    case CT_TYPE_INT:
    case CT_TYPE_BOOL: {
      int32_t v = 0;
      if (!(type == CT_TYPE_INT ? CTkvs_GetInt(set, key, &v, &err) : CTkvs_GetBool(set, key, &v, &err))) return false;
      item->w0 = static_cast<uint32_t>(v);
      return true;
    }
    case CT_TYPE_UINT:
      return CTkvs_GetUInt(set, key, &item->w0, &err) != 0;
    case CT_TYPE_SYMBOL:
      return CTkvs_GetSymbol(set, key, &item->w0, &err) != 0;
    case CT_TYPE_FLOAT: {
      float f = 0;
      if (!CTkvs_GetFloat(set, key, &f, &err)) return false;
      item->w0 = FloatBits(f);
      return true;
    }
    case CT_TYPE_IRANGE: {
      CTirange r{};
      if (!CTkvs_GetIRange(set, key, &r, &err)) return false;
      item->w0 = static_cast<uint32_t>(r.start);
      item->w1 = static_cast<uint32_t>(r.end);
      return true;
    }
    case CT_TYPE_FRANGE: {
      CTfrange r{};
      if (!CTkvs_GetFRange(set, key, &r, &err)) return false;
      item->w0 = FloatBits(r.start);
      item->w1 = FloatBits(r.end);
      return true;
    }
    case CT_TYPE_STRING:
      return CTkvs_GetString(set, key, &item->text, &err) != 0;
    case CT_TYPE_KVSET:
      return CTkvs_GetKVSet(set, key, &item->handle, &err) != 0;
    default:
      if (type < CT_TYPE_ARRAY) return false;
      return CTkvs_GetArray(set, key, &item->handle, &err) != 0;
  }
}

}  // namespace

uint32_t ItemType(uint32_t arrayType) {
  switch (arrayType) {
    case CT_TYPE_INT_ARRAY: return CT_TYPE_INT;
    case CT_TYPE_UINT_ARRAY: return CT_TYPE_UINT;
    case CT_TYPE_BOOL_ARRAY: return CT_TYPE_BOOL;
    case CT_TYPE_FRANGE_ARRAY: return CT_TYPE_FRANGE;
    case CT_TYPE_IRANGE_ARRAY: return CT_TYPE_IRANGE;
    case CT_TYPE_KVSET_ARRAY: return CT_TYPE_KVSET;
    case CT_TYPE_SYMBOL_ARRAY: return CT_TYPE_SYMBOL;
    case CT_TYPE_FLOAT_ARRAY: return CT_TYPE_FLOAT;
    case CT_TYPE_STRING_ARRAY: return CT_TYPE_STRING;
    case CT_TYPE_ARRAY_ARRAY: return CT_TYPE_ARRAY;
    default: return CT_TYPE_NONE;
  }
}

Item ArrayItems::At(uint32_t i) const {
  Item item;
  item.type = ItemType(type);
  switch (type) {
    case CT_TYPE_FRANGE_ARRAY:
    case CT_TYPE_IRANGE_ARRAY:
      item.w0 = words[2 * i];
      item.w1 = words[2 * i + 1];
      break;
    case CT_TYPE_STRING_ARRAY:
      item.text = texts[i];
      break;
    case CT_TYPE_KVSET_ARRAY:
      item.handle = handles[i];
      break;
    case CT_TYPE_ARRAY_ARRAY: {
      item.handle = handles[i];
      uint32_t err = 0;
      if (!CTary_GetType(item.handle, &item.type, &err)) item.type = CT_TYPE_NONE;
      break;
    }
    default:
      item.w0 = words[i];
      break;
  }
  return item;
}

bool ReadSet(CTkvs set, std::vector<Entry>* entries) {
  entries->clear();
  uint32_t count = 0, err = 0;
  if (CTkvs_Count(set, &count, &err)) entries->reserve(count);
  CTsymbol key = CT_KVS_START_KEY;
  uint32_t type = 0;
  while (CTkvs_GetNextKey(set, &key, &type, &err)) {
    Entry entry{key, {}};
    if (!ReadEntry(set, key, type, &entry.value)) return false;
    entries->push_back(entry);
  }
  return key == CT_KVS_END_KEY;
}

bool ReadArray(CTary array, ArrayItems* items) {
  uint32_t err = 0;
  *items = ArrayItems{};
  if (!CTary_GetType(array, &items->type, &err)) return false;
  // Every scalar kind is read as its 32-bit words: the walk compares bits.
  static_assert(sizeof(CTirange) == 8 && sizeof(CTfrange) == 8 && sizeof(float) == 4, "word layout");
  const void* block = nullptr;
  int ok = 0;
  switch (items->type) {
    case CT_TYPE_INT_ARRAY: ok = CTary_GetInt(array, reinterpret_cast<const int32_t**>(&block), &items->count, &err); break;
    case CT_TYPE_UINT_ARRAY: ok = CTary_GetUInt(array, reinterpret_cast<const uint32_t**>(&block), &items->count, &err); break;
    case CT_TYPE_BOOL_ARRAY: ok = CTary_GetBool(array, reinterpret_cast<const int32_t**>(&block), &items->count, &err); break;
    case CT_TYPE_SYMBOL_ARRAY: ok = CTary_GetSymbol(array, reinterpret_cast<const CTsymbol**>(&block), &items->count, &err); break;
    case CT_TYPE_FLOAT_ARRAY: ok = CTary_GetFloat(array, reinterpret_cast<const float**>(&block), &items->count, &err); break;
    case CT_TYPE_IRANGE_ARRAY: ok = CTary_GetIRange(array, reinterpret_cast<const CTirange**>(&block), &items->count, &err); break;
    case CT_TYPE_FRANGE_ARRAY: ok = CTary_GetFRange(array, reinterpret_cast<const CTfrange**>(&block), &items->count, &err); break;
    case CT_TYPE_STRING_ARRAY:
      ok = CTary_GetString(array, &items->texts, &items->count, &err);
      return ok != 0;
    case CT_TYPE_KVSET_ARRAY:
      ok = CTary_GetKVSet(array, reinterpret_cast<const CTkvs**>(&items->handles), &items->count, &err);
      return ok != 0;
    case CT_TYPE_ARRAY_ARRAY:
      ok = CTary_GetArray(array, reinterpret_cast<const CTary**>(&items->handles), &items->count, &err);
      return ok != 0;
    default:
      ok = CTary_GetWords(array, &items->words, &items->count, &err);
      return ok != 0;
  }
  items->words = static_cast<const uint32_t*>(block);
  return ok != 0;
}

Item FromElement(const QV_DataElement& element) {
  Item item;
  item.type = element.Type();
  switch (item.type) {
    case CT_TYPE_FLOAT: item.w0 = FloatBits(element.Float()); break;
    case CT_TYPE_IRANGE:
      item.w0 = static_cast<uint32_t>(element.IRange().start);
      item.w1 = static_cast<uint32_t>(element.IRange().end);
      break;
    case CT_TYPE_FRANGE:
      item.w0 = FloatBits(element.FRange().start);
      item.w1 = FloatBits(element.FRange().end);
      break;
    case CT_TYPE_STRING: item.text = element.String(); break;
    case CT_TYPE_KVSET: item.handle = element.KVSet(); break;
    case CT_TYPE_NONE: break;
    default:
      if (item.type >= CT_TYPE_ARRAY)
        item.handle = element.Array();
      else
        item.w0 = element.UInt();
      break;
  }
  return item;
}

bool ToElement(const Item& item, QV_DataElement* element) {
  switch (item.type) {
    case CT_TYPE_INT: element->SetToInt(static_cast<int32_t>(item.w0)); return true;
    case CT_TYPE_UINT: element->SetToUInt(item.w0); return true;
    case CT_TYPE_BOOL: element->SetToBool(static_cast<int32_t>(item.w0)); return true;
    case CT_TYPE_SYMBOL: element->SetToSymbol(item.w0); return true;
    case CT_TYPE_FLOAT: element->SetToFloat(BitsFloat(item.w0)); return true;
    case CT_TYPE_IRANGE:
      element->SetToIRange(CTirange{static_cast<int32_t>(item.w0), static_cast<int32_t>(item.w1)});
      return true;
    case CT_TYPE_FRANGE: element->SetToFRange(CTfrange{BitsFloat(item.w0), BitsFloat(item.w1)}); return true;
    case CT_TYPE_STRING: element->SetToString(item.text != nullptr ? item.text : ""); return true;
    case CT_TYPE_KVSET:
      element->SetToKVSet(item.handle);
      return element->Type() == CT_TYPE_KVSET;
    default:
      if (item.type < CT_TYPE_ARRAY) return false;
      element->SetToArray(item.handle);
      return element->Type() >= CT_TYPE_ARRAY;
  }
}

SetBuilder::SetBuilder() {
  uint32_t err = 0;
  if (!CTkvs_Create(&set_, &err)) set_ = 0;
}

SetBuilder::~SetBuilder() {
  uint32_t err = 0;
  if (set_ != 0) CTkvs_Destroy(set_, &err);
}

bool PutValue(CTkvs set, CTsymbol key, const QV_DataElement& value) {
  uint32_t err = 0;
  switch (value.Type()) {
    case CT_TYPE_INT: return CTkvs_PutInt(set, key, value.Int(), &err) != 0;
    case CT_TYPE_UINT: return CTkvs_PutUInt(set, key, value.UInt(), &err) != 0;
    case CT_TYPE_BOOL: return CTkvs_PutBool(set, key, value.Bool(), &err) != 0;
    case CT_TYPE_SYMBOL: return CTkvs_PutSymbol(set, key, value.Symbol(), &err) != 0;
    case CT_TYPE_FLOAT: return CTkvs_PutFloat(set, key, value.Float(), &err) != 0;
    case CT_TYPE_IRANGE: {
      const CTirange r = value.IRange();
      return CTkvs_PutIRange(set, key, &r, &err) != 0;
    }
    case CT_TYPE_FRANGE: {
      const CTfrange r = value.FRange();
      return CTkvs_PutFRange(set, key, &r, &err) != 0;
    }
    case CT_TYPE_STRING: return CTkvs_PutString(set, key, value.String(), &err) != 0;
    case CT_TYPE_KVSET: return CTkvs_PutKVSet(set, key, value.KVSet(), &err) != 0;
    default:
      if (value.Type() < CT_TYPE_ARRAY) return false;
      return CTkvs_PutArray(set, key, value.Array(), &err) != 0;
  }
}

bool SetBuilder::Put(CTsymbol key, const QV_DataElement& value) { return PutValue(set_, key, value); }

bool SetBuilder::Release(QV_DataElement* element) {
  if (set_ == 0) return false;
  element->SetToKVSet(set_);
  uint32_t err = 0;
  CTkvs_Destroy(set_, &err);
  set_ = 0;
  return element->Type() == CT_TYPE_KVSET;
}

bool MakeArray(uint32_t type, const std::vector<QV_DataElement>& items, QV_DataElement* element) {
  const uint32_t itemType = ItemType(type);
  const uint32_t count = static_cast<uint32_t>(items.size());
  for (const QV_DataElement& item : items) {
    const bool fits = itemType == CT_TYPE_ARRAY ? item.Type() >= CT_TYPE_ARRAY : item.Type() == itemType;
    if (!fits) return false;
  }
  CTary array = 0;
  uint32_t err = 0;
  if (!CTary_Create(&array, &err)) return false;
  int ok = 0;
  auto collect = [&](auto get) {
    std::vector<decltype(get(items[0]))> block;
    block.reserve(items.size());
    for (const QV_DataElement& item : items) block.push_back(get(item));
    return block;
  };
  switch (type) {
    case CT_TYPE_INT_ARRAY: ok = CTary_PutInt(array, collect([](const QV_DataElement& e) { return e.Int(); }).data(), count, &err); break;
    case CT_TYPE_UINT_ARRAY: ok = CTary_PutUInt(array, collect([](const QV_DataElement& e) { return e.UInt(); }).data(), count, &err); break;
    case CT_TYPE_BOOL_ARRAY: ok = CTary_PutBool(array, collect([](const QV_DataElement& e) { return e.Bool(); }).data(), count, &err); break;
    case CT_TYPE_SYMBOL_ARRAY: ok = CTary_PutSymbol(array, collect([](const QV_DataElement& e) { return e.Symbol(); }).data(), count, &err); break;
    case CT_TYPE_FLOAT_ARRAY: ok = CTary_PutFloat(array, collect([](const QV_DataElement& e) { return e.Float(); }).data(), count, &err); break;
    case CT_TYPE_IRANGE_ARRAY: ok = CTary_PutIRange(array, collect([](const QV_DataElement& e) { return e.IRange(); }).data(), count, &err); break;
    case CT_TYPE_FRANGE_ARRAY: ok = CTary_PutFRange(array, collect([](const QV_DataElement& e) { return e.FRange(); }).data(), count, &err); break;
    case CT_TYPE_KVSET_ARRAY: ok = CTary_PutKVSet(array, collect([](const QV_DataElement& e) { return e.KVSet(); }).data(), count, &err); break;
    case CT_TYPE_ARRAY_ARRAY: ok = CTary_PutArray(array, collect([](const QV_DataElement& e) { return e.Array(); }).data(), count, &err); break;
    case CT_TYPE_STRING_ARRAY: {
      std::vector<const char*> texts;
      texts.reserve(items.size());
      for (const QV_DataElement& item : items) texts.push_back(item.String());
      ok = CTary_PutString(array, texts.data(), count, &err);
      break;
    }
    default:
      break;
  }
  if (ok) element->SetToArray(array);
  CTary_Destroy(array, &err);
  return ok != 0 && element->Type() == type;
}

KeyIndex::KeyIndex(const std::vector<Entry>& entries, const std::function<uint32_t(CTsymbol)>& idOf)
    : entries_(entries) {
  ids_.reserve(entries.size());
  for (const Entry& e : entries) ids_.push_back(idOf(e.key));
  if (entries.size() > kScanLimit) {
    map_.reserve(entries.size());
    for (size_t i = 0; i < ids_.size(); ++i) map_.emplace(ids_[i], i);
  }
}

const Entry* KeyIndex::Find(uint32_t id) const {
  if (map_.empty()) {
    for (size_t i = 0; i < ids_.size(); ++i)
      if (ids_[i] == id) return &entries_[i];
    return nullptr;
  }
  auto it = map_.find(id);
  return it == map_.end() ? nullptr : &entries_[it->second];
}

}  // namespace compare
