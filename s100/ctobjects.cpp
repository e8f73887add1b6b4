#include "s100/ctobjects.h"

#include <type_traits>
#include <utility>

namespace ct::store {

namespace {

inline uint32_t Hash(CTsymbol key) {
  uint32_t h = key * 0x9E3779B1u;
  return h ^ (h >> 15);
}

Value CloneValue(const Value& source, uint32_t depth) {
  Value copy;
  copy.type = source.type;
  copy.w0 = source.w0;
  copy.w1 = source.w1;
  if (source.text) copy.text = std::make_unique<std::string>(*source.text);
  if (source.kvs) copy.kvs = CloneKvs(*source.kvs, depth);
  if (source.ary) copy.ary = CloneAry(*source.ary, depth);
  return copy;
}

}  // namespace

uint32_t Value::Code() const { return type == CT_TYPE_ARRAY && ary ? ary->type() : type; }

// ---- Kvs ----

Kvs::~Kvs() {
  if (handle != 0) TableLocked().Release(handle);
}

long Kvs::Find(CTsymbol key) const {
  if (index_.empty()) {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].key == key) return static_cast<long>(i);
    return -1;
  }
  const size_t mask = index_.size() - 1;
  for (size_t slot = Hash(key) & mask;; slot = (slot + 1) & mask) {
    const IndexSlot& at = index_[slot];
    if (at.at == 0) return -1;
    if (at.key == key) return static_cast<long>(at.at - 1);
  }
}

void Kvs::IndexInsert(CTsymbol key, uint32_t pos) {
  const size_t mask = index_.size() - 1;
  size_t slot = Hash(key) & mask;
  while (index_[slot].at != 0) slot = (slot + 1) & mask;
  index_[slot] = IndexSlot{key, pos + 1};
}

void Kvs::Reindex(size_t capacity) {
  std::vector<IndexSlot> fresh(capacity, IndexSlot{0, 0});
  index_.swap(fresh);
  for (size_t i = 0; i < entries_.size(); ++i) IndexInsert(entries_[i].key, static_cast<uint32_t>(i));
}

void Kvs::Put(CTsymbol key, Value&& value) {
  const long pos = Find(key);
  if (pos >= 0) {
    // Keep the old value alive until the new one is in place: the old one
    // may own storage the caller still reads from.
    Value old = std::move(entries_[static_cast<size_t>(pos)].value);
    entries_[static_cast<size_t>(pos)].value = std::move(value);
    return;
  }
  const size_t needed = entries_.size() + 1;
  if (needed > UINT32_MAX - 1) throw Failure{kErrContainerNoMemory};
  if (needed > kLinearLimit && index_.size() < needed * 2) {
    size_t capacity = index_.empty() ? 32 : index_.size() * 2;
    while (capacity < needed * 2) capacity *= 2;
    Reindex(capacity);
  }
  entries_.push_back(Entry{key, std::move(value)});
  if (!index_.empty()) IndexInsert(key, static_cast<uint32_t>(entries_.size() - 1));
}

void Kvs::SwapContent(Kvs& other) {
  entries_.swap(other.entries_);
  index_.swap(other.index_);
}

void Kvs::Clear() {
  std::vector<Entry> old;
  old.swap(entries_);
  index_.clear();
  index_.shrink_to_fit();
}

// ---- Ary ----

void Ary::Texts::Point() {
  pointers.clear();
  pointers.reserve(items.size());
  for (const std::string& text : items) pointers.push_back(text.c_str());
}

Ary::~Ary() {
  if (handle != 0) TableLocked().Release(handle);
}

uint32_t Ary::Count() const {
  return std::visit(
      [](const auto& items) -> uint32_t {
        using T = std::decay_t<decltype(items)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return 0;
        } else if constexpr (std::is_same_v<T, Texts>) {
          return static_cast<uint32_t>(items.items.size());
        } else {
          return static_cast<uint32_t>(items.size());
        }
      },
      items_);
}

void Ary::Replace(uint32_t type, Items&& items) {
  // The old items go back to the caller, who frees them after this call
  // (releasing any handles lent for them).
  items_.swap(items);
  type_ = type;
  handles_.clear();
}

uint32_t Ary::Read(Table& table, uint32_t code, const void** block, uint32_t* count) {
  const uint32_t n = Count();
  if (code == 0) {
    if (CTary_IsKnownType(type_)) return kErrWrongKind;
  } else if (type_ != code) {
    if (!(type_ == CT_TYPE_ARRAY && n == 0)) return kErrWrongKind;
  }
  *count = n;
  *block = EmptyBlock();
  if (n == 0) return 0;
  if (auto* words = std::get_if<std::vector<uint32_t>>(&items_)) {
    *block = words->data();
  } else if (auto* floats = std::get_if<std::vector<float>>(&items_)) {
    *block = floats->data();
  } else if (auto* iranges = std::get_if<std::vector<CTirange>>(&items_)) {
    *block = iranges->data();
  } else if (auto* franges = std::get_if<std::vector<CTfrange>>(&items_)) {
    *block = franges->data();
  } else if (auto* texts = std::get_if<Texts>(&items_)) {
    *block = texts->pointers.data();
  } else if (auto* sets = std::get_if<std::vector<std::unique_ptr<Kvs>>>(&items_)) {
    if (handles_.size() != sets->size()) {
      handles_.clear();
      handles_.reserve(sets->size());
      for (auto& set : *sets) handles_.push_back(table.Lend(set.get(), Kind::kKvs));
    }
    *block = handles_.data();
  } else if (auto* arrays = std::get_if<std::vector<std::unique_ptr<Ary>>>(&items_)) {
    if (handles_.size() != arrays->size()) {
      handles_.clear();
      handles_.reserve(arrays->size());
      for (auto& array : *arrays) handles_.push_back(table.Lend(array.get(), Kind::kAry));
    }
    *block = handles_.data();
  }
  return 0;
}

namespace {

template <class T>
T* AppendNested(Ary::Items& items, uint32_t& type, uint32_t code, uint32_t depth) {
  using List = std::vector<std::unique_ptr<T>>;
  List* list = std::get_if<List>(&items);
  if (list == nullptr) {
    if (!std::holds_alternative<std::monostate>(items) || (type != CT_TYPE_ARRAY && type != code)) return nullptr;
    items = List();
    type = code;
    list = std::get_if<List>(&items);
  } else if (type != code) {
    return nullptr;
  }
  if (list->size() >= kMaxItems) throw Failure{kErrContainerNoMemory};
  if (depth + 1 > kMaxDepth) throw Failure{kErrTooDeep};
  auto fresh = std::make_unique<T>();
  fresh->depth = depth + 1;
  list->push_back(std::move(fresh));
  return list->back().get();
}

}  // namespace

Kvs* Ary::AppendSet() { return AppendNested<Kvs>(items_, type_, CT_TYPE_KVSET_ARRAY, depth); }
Ary* Ary::AppendArray() { return AppendNested<Ary>(items_, type_, CT_TYPE_ARRAY_ARRAY, depth); }

// ---- Copies ----

std::unique_ptr<Kvs> CloneKvs(const Kvs& source, uint32_t depth) {
  if (depth > kMaxDepth) throw Failure{kErrTooDeep};
  auto copy = std::make_unique<Kvs>();
  copy->depth = depth;
  CopyContent(source, *copy);
  return copy;
}

std::unique_ptr<Ary> CloneAry(const Ary& source, uint32_t depth) {
  if (depth > kMaxDepth) throw Failure{kErrTooDeep};
  auto copy = std::make_unique<Ary>();
  copy->depth = depth;
  CopyContent(source, *copy);
  return copy;
}

void CopyContent(const Kvs& source, Kvs& target) {
  const uint32_t below = target.depth + 1;
  target.entries().reserve(source.entries().size());
  for (const Entry& entry : source.entries()) target.Put(entry.key, CloneValue(entry.value, below));
}

void CopyContent(const Ary& source, Ary& target) {
  const uint32_t below = target.depth + 1;
  Ary::Items items = std::visit(
      [below](const auto& from) -> Ary::Items {
        using T = std::decay_t<decltype(from)>;
        if constexpr (std::is_same_v<T, std::vector<std::unique_ptr<Kvs>>>) {
          std::vector<std::unique_ptr<Kvs>> sets;
          sets.reserve(from.size());
          for (const auto& set : from) sets.push_back(CloneKvs(*set, below));
          return sets;
        } else if constexpr (std::is_same_v<T, std::vector<std::unique_ptr<Ary>>>) {
          std::vector<std::unique_ptr<Ary>> arrays;
          arrays.reserve(from.size());
          for (const auto& array : from) arrays.push_back(CloneAry(*array, below));
          return arrays;
        } else if constexpr (std::is_same_v<T, Ary::Texts>) {
          Ary::Texts texts;
          texts.items = from.items;
          texts.Point();
          return texts;
        } else {
          return from;
        }
      },
      source.items());
  target.Replace(source.type(), std::move(items));
}

const void* EmptyBlock() {
  alignas(16) static const unsigned char kEmpty[16] = {};
  return kEmpty;
}

}  // namespace ct::store
