// Reading sets and arrays as lent items, and making data elements, sets and
// arrays from them: the container access the difference engine and the
// merge share.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "model/dataelt.h"
#include "s100/ctcontainers.h"

namespace compare {

// One value as a set entry or an array item holds it.  Texts and handles
// are lent by the container and valid until it changes.
struct Item {
  uint32_t type = CT_TYPE_NONE;
  uint32_t w0 = 0;  // scalar words; a range uses both, a float its bits
  uint32_t w1 = 0;
  const char* text = nullptr;
  uint32_t handle = 0;  // set or array
};

struct Entry {
  CTsymbol key;
  Item value;
};

// An array's code and its lent item block.
struct ArrayItems {
  uint32_t type = CT_TYPE_ARRAY;
  uint32_t count = 0;
  const uint32_t* words = nullptr;        // every scalar kind, and words of codes without a kind
  const char* const* texts = nullptr;     // strings
  const uint32_t* handles = nullptr;      // sets and arrays
  // The i-th item as a value of the element's type (arrays of arrays: the
  // inner array's own code).
  Item At(uint32_t i) const;
};

bool ReadSet(CTkvs set, std::vector<Entry>* entries);
bool ReadArray(CTary array, ArrayItems* items);

// The element's value as an item (lending its text or handle), and back as
// a deep copy.
Item FromElement(const QV_DataElement& element);
bool ToElement(const Item& item, QV_DataElement* element);

// The element type of an array code's items (arrays of arrays: CT_TYPE_ARRAY).
uint32_t ItemType(uint32_t arrayType);

// Puts a copy of the element under the key (replacing in place, or last).
bool PutValue(CTkvs set, CTsymbol key, const QV_DataElement& value);

// Builds a set from elements, in the order they are put.
class SetBuilder {
 public:
  SetBuilder();
  ~SetBuilder();
  SetBuilder(const SetBuilder&) = delete;
  SetBuilder& operator=(const SetBuilder&) = delete;
  bool Ok() const { return set_ != 0; }
  bool Put(CTsymbol key, const QV_DataElement& value);
  // Gives the set to the element (as a copy) and ends the builder.
  bool Release(QV_DataElement* element);

 private:
  CTkvs set_ = 0;
};

// An array of the given code holding the elements, each of its item type.
bool MakeArray(uint32_t type, const std::vector<QV_DataElement>& items, QV_DataElement* element);

// Finds a set's entries by key id: a scan for small sets, a map for large.
class KeyIndex {
 public:
  KeyIndex(const std::vector<Entry>& entries, const std::function<uint32_t(CTsymbol)>& idOf);
  const Entry* Find(uint32_t id) const;

 private:
  static constexpr size_t kScanLimit = 8;
  const std::vector<Entry>& entries_;
  std::vector<uint32_t> ids_;
  std::unordered_map<uint32_t, size_t> map_;
};

}  // namespace compare
