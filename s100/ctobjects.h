// The sets and arrays behind the handles.  Internal to s100_containers; the
// callers of every function here hold the library's mutex.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/ctstore.h"

namespace ct::store {

class Kvs;
class Ary;

// One value of a set.  Scalars live in the two words; a text, set or array
// is owned through its pointer.  Arrays keep CT_TYPE_ARRAY here and their
// own code in the array, which can change in place through a lent handle.
struct Value {
  uint32_t type = CT_TYPE_NONE;
  uint32_t w0 = 0;
  uint32_t w1 = 0;
  std::unique_ptr<std::string> text;
  std::unique_ptr<Kvs> kvs;
  std::unique_ptr<Ary> ary;

  // The type code callers see.
  uint32_t Code() const;
};

struct Entry {
  CTsymbol key;
  Value value;
};

// A set: entries in insertion order plus, once it has more than a few
// keys, an open-addressing index from key to position.
class Kvs : public Container {
 public:
  Kvs() = default;
  Kvs(const Kvs&) = delete;
  Kvs& operator=(const Kvs&) = delete;
  ~Kvs();

  const std::vector<Entry>& entries() const { return entries_; }
  std::vector<Entry>& entries() { return entries_; }

  // Position of the key, or -1.
  long Find(CTsymbol key) const;
  Value* Lookup(CTsymbol key) {
    const long pos = Find(key);
    return pos < 0 ? nullptr : &entries_[static_cast<size_t>(pos)].value;
  }
  // Stores the value under the key: in place when the key exists, else last.
  void Put(CTsymbol key, Value&& value);
  // Swaps the entries (and index) with another set of the same depth.
  void SwapContent(Kvs& other);
  void Clear();

 private:
  static constexpr size_t kLinearLimit = 8;  // up to this many keys, no index
  void IndexInsert(CTsymbol key, uint32_t pos);
  void Reindex(size_t capacity);

  // An index slot keeps the key beside the position, so that probing does
  // not touch the entries.
  struct IndexSlot {
    CTsymbol key;
    uint32_t at;  // position + 1; 0 is an empty slot
  };
  std::vector<Entry> entries_;
  std::vector<IndexSlot> index_;
};

// An array: a type code and items of one storage form.
class Ary : public Container {
 public:
  struct Texts {
    std::vector<std::string> items;
    std::vector<const char*> pointers;  // the block a get lends
    void Point();
  };
  using Items = std::variant<std::monostate,                    // fresh, no items
                             std::vector<uint32_t>,             // Int, UInt, Bool, Symbol, plain words
                             std::vector<float>,                // Float
                             std::vector<CTirange>,             // IRange
                             std::vector<CTfrange>,             // FRange
                             Texts,                             // String
                             std::vector<std::unique_ptr<Kvs>>, // KVSet
                             std::vector<std::unique_ptr<Ary>>  // Array
                             >;

  Ary() = default;
  Ary(const Ary&) = delete;
  Ary& operator=(const Ary&) = delete;
  ~Ary();

  uint32_t type() const { return type_; }
  const Items& items() const { return items_; }
  uint32_t Count() const;

  // Replaces the whole content; `items` receives the old items.
  void Replace(uint32_t type, Items&& items);

  // Lends the item block of the asked kind: code is the array code the
  // caller reads as, or 0 for the plain words of a code without an element
  // kind.  A fresh array without items reads as an empty array of any kind.
  uint32_t Read(Table& table, uint32_t code, const void** block, uint32_t* count);

  // Appends a new empty set (or array) one level below this array as its
  // last item; a fresh array becomes an array of sets (or arrays).  Null
  // when the array holds items of another kind.  Throws Failure when the
  // array is full or the new item would nest too deep.
  Kvs* AppendSet();
  Ary* AppendArray();

 private:
  uint32_t type_ = CT_TYPE_ARRAY;
  Items items_;
  std::vector<uint32_t> handles_;  // lent handles of nested sets or arrays
};

// Deep copies; `depth` is the depth the copy will sit at.  Throw Failure
// with kErrTooDeep when the copy would nest deeper than kMaxDepth.
std::unique_ptr<Kvs> CloneKvs(const Kvs& source, uint32_t depth);
std::unique_ptr<Ary> CloneAry(const Ary& source, uint32_t depth);
// Copies the source's content into an empty target, its nested containers
// one level below the target.
void CopyContent(const Kvs& source, Kvs& target);
void CopyContent(const Ary& source, Ary& target);

// A block to lend for count 0: never null, never to be read.
const void* EmptyBlock();

}  // namespace ct::store
