// Conversions between container sets/arrays and the DataElement message,
// and the checked parser for DataElement bytes.
#include "proto/demessage.h"

#include <google/protobuf/arena.h>
#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/io/zero_copy_stream_impl_lite.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "s100/cterrors.h"

namespace ctserver {

namespace pb = ctadmin::v1;

namespace {

// A container level costs at most three message levels on the wire
// (DataElement -> KVSet -> KVPair -> DataElement), plus a range leaf.
constexpr int kRecursionLimit = 3 * (kMaxElementDepth + 1) + 4;

// Wire-level nesting check that does not recurse, so that bytes nested far
// too deep for the parser are still told apart from plain garbage.  It
// follows only the message-typed fields of the schema and returns the
// deepest container level found (or -1 when the bytes are malformed).
enum class Msg { kElement, kKVSet, kPair, kArray, kLeaf };

int ScanDepth(const std::string& bytes) {
  using google::protobuf::io::CodedInputStream;
  struct Frame {
    Msg msg;
    const uint8_t* end;
    int depth;  // container level of this frame
  };
  const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
  const uint8_t* p = begin;
  std::vector<Frame> stack;
  stack.push_back({Msg::kElement, begin + bytes.size(), 0});
  int deepest = 0;
  auto readVarint = [&](const uint8_t* end, uint64_t* v) {
    *v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (p >= end) return false;
      uint8_t b = *p++;
      *v |= uint64_t(b & 0x7F) << shift;
      if (!(b & 0x80)) return true;
    }
    return false;
  };
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (p == f.end) {
      stack.pop_back();
      continue;
    }
    if (p > f.end) return -1;
    uint64_t tag;
    if (!readVarint(f.end, &tag)) return -1;
    uint32_t field = uint32_t(tag >> 3);
    uint32_t wire = uint32_t(tag & 7);
    uint64_t v;
    switch (wire) {
      case 0:
        if (!readVarint(f.end, &v)) return -1;
        continue;
      case 1:
        if (f.end - p < 8) return -1;
        p += 8;
        continue;
      case 5:
        if (f.end - p < 4) return -1;
        p += 4;
        continue;
      case 2:
        break;
      default:
        return -1;
    }
    if (!readVarint(f.end, &v) || v > uint64_t(f.end - p)) return -1;
    const uint8_t* subEnd = p + v;
    Msg sub = Msg::kLeaf;
    bool isMessage = false;
    int depth = f.depth;
    switch (f.msg) {
      case Msg::kElement:
      case Msg::kArray:  // an array's items are fields of the same numbers
        if (field == 7) sub = Msg::kKVSet, isMessage = true, depth++;
        if (field == 9) sub = Msg::kArray, isMessage = true, depth++;
        if (field == 5 || field == 6) isMessage = true;
        break;
      case Msg::kKVSet:
        if (field == 1) sub = Msg::kPair, isMessage = true;
        break;
      case Msg::kPair:
        if (field == 2) sub = Msg::kElement, isMessage = true;
        break;
      case Msg::kLeaf:
        break;
    }
    if (!isMessage || sub == Msg::kLeaf) {
      p = subEnd;  // a packed field, a string, or a range leaf
      continue;
    }
    if (depth > deepest) deepest = depth;
    if (deepest > kMaxElementDepth) return deepest;  // enough to decide
    stack.push_back({sub, subEnd, depth});
  }
  return deepest;
}

bool Fail(uint32_t* error, uint32_t code) {
  if (error) *error = code;
  return false;
}

// The message field that carries the value of each scalar type.
struct ScalarField {
  uint32_t type;
  pb::DataElement::ValueCase field;
};
constexpr ScalarField kScalarFields[] = {
    {CT_TYPE_INT, pb::DataElement::kIntValue},     {CT_TYPE_BOOL, pb::DataElement::kIntValue},
    {CT_TYPE_UINT, pb::DataElement::kUintValue},   {CT_TYPE_SYMBOL, pb::DataElement::kUintValue},
    {CT_TYPE_FLOAT, pb::DataElement::kFloatBits},  {CT_TYPE_IRANGE, pb::DataElement::kIrange},
    {CT_TYPE_FRANGE, pb::DataElement::kFrange},    {CT_TYPE_STRING, pb::DataElement::kStringValue},
    {CT_TYPE_KVSET, pb::DataElement::kKvset},
};

const ScalarField* ScalarFieldOf(uint32_t t) {
  for (const ScalarField& f : kScalarFields) {
    if (f.type == t) return &f;
  }
  return nullptr;
}

bool ValidScalarType(uint32_t t) { return ScalarFieldOf(t) != nullptr; }

// Which of an array message's repeated fields holds the items of each array
// code, by position in the list CheckArray makes; codes without an element
// kind carry plain words in the uints.
constexpr std::pair<uint32_t, int> kArrayFields[] = {
    {CT_TYPE_INT_ARRAY, 0},    {CT_TYPE_BOOL_ARRAY, 0},   {CT_TYPE_UINT_ARRAY, 1},  {CT_TYPE_SYMBOL_ARRAY, 1},
    {CT_TYPE_FLOAT_ARRAY, 2},  {CT_TYPE_IRANGE_ARRAY, 3}, {CT_TYPE_FRANGE_ARRAY, 4}, {CT_TYPE_KVSET_ARRAY, 5},
    {CT_TYPE_STRING_ARRAY, 6}, {CT_TYPE_ARRAY_ARRAY, 7},
};
constexpr int kWordsField = 1;

int ArrayFieldOf(uint32_t code) {
  for (const auto& [c, field] : kArrayFields) {
    if (c == code) return field;
  }
  return kWordsField;
}

bool HasNul(const std::string& s) { return s.find('\0') != std::string::npos; }

bool CheckSet(const pb::KVSet& set, int depth, uint32_t* error);

// Checks one array at container level `depth`.
bool CheckArray(const pb::Array& a, uint32_t code, int depth, uint32_t* error) {
  if (depth > kMaxElementDepth) return Fail(error, ct::kErrTooDeep);
  if (a.code() != code) return Fail(error, ct::kErrInvalidArgument);
  // Which repeated field may hold items for this code; every other must be empty.
  const int sizes[] = {a.ints_size(),    a.uints_size(),  a.float_bits_size(), a.iranges_size(),
                       a.franges_size(), a.kvsets_size(), a.strings_size(),    a.arrays_size()};
  const int allowed = ArrayFieldOf(code);
  for (int i = 0; i < 8; ++i) {
    if (i != allowed && sizes[i] != 0) return Fail(error, ct::kErrInvalidArgument);
  }
  for (const auto& s : a.strings()) {
    if (HasNul(s)) return Fail(error, ct::kErrInvalidArgument);
  }
  for (const auto& s : a.kvsets()) {
    if (!CheckSet(s, depth + 1, error)) return false;
  }
  for (const auto& sub : a.arrays()) {
    if (sub.code() < CT_TYPE_ARRAY) return Fail(error, ct::kErrInvalidArgument);
    if (!CheckArray(sub, sub.code(), depth + 1, error)) return false;
  }
  return true;
}

// Checks a value element.  `depth` is the container level of the element
// itself when it is a container.
bool CheckValue(const pb::DataElement& e, int depth, uint32_t* error) {
  const uint32_t t = e.type();
  const auto vc = e.value_case();
  const bool unset = vc == pb::DataElement::VALUE_NOT_SET;
  if (const ScalarField* f = ScalarFieldOf(t)) {
    if (!unset && vc != f->field) return Fail(error, ct::kErrInvalidArgument);
    if (t == CT_TYPE_STRING) return HasNul(e.string_value()) ? Fail(error, ct::kErrInvalidArgument) : true;
    if (t == CT_TYPE_KVSET) return CheckSet(e.kvset(), depth, error);
    return true;
  }
  if (t >= CT_TYPE_ARRAY) {
    if (unset) return depth > kMaxElementDepth ? Fail(error, ct::kErrTooDeep) : true;
    if (vc != pb::DataElement::kArray) return Fail(error, ct::kErrInvalidArgument);
    return CheckArray(e.array(), t, depth, error);
  }
  return Fail(error, ct::kErrInvalidArgument);
}

// Index of the first pair whose key repeats an earlier pair's key, or the
// pair count when every key is distinct.  Sets written from a container
// usually come in ascending order, which needs no sorting at all.
int FirstRepeatedKey(const pb::KVSet& set) {
  const int n = set.pairs_size();
  bool ascending = true;
  for (int i = 1; i < n && ascending; ++i) ascending = set.pairs(i).key() > set.pairs(i - 1).key();
  if (ascending) return n;
  if (n <= 16) {
    for (int i = 1; i < n; ++i) {
      for (int j = 0; j < i; ++j) {
        if (set.pairs(j).key() == set.pairs(i).key()) return i;
      }
    }
    return n;
  }
  // Key in the high half, position in the low half: after sorting, every
  // entry but the first of a run of equal keys is a repeat.
  std::vector<uint64_t> order(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) order[size_t(i)] = (uint64_t(set.pairs(i).key()) << 32) | uint32_t(i);
  std::sort(order.begin(), order.end());
  int first = n;
  for (size_t i = 1; i < order.size(); ++i) {
    if ((order[i] >> 32) == (order[i - 1] >> 32)) first = std::min(first, int(uint32_t(order[i])));
  }
  return first;
}

bool CheckSet(const pb::KVSet& set, int depth, uint32_t* error) {
  if (depth > kMaxElementDepth) return Fail(error, ct::kErrTooDeep);
  const int repeated = FirstRepeatedKey(set);
  for (int i = 0; i < set.pairs_size(); ++i) {
    const pb::KVPair& pair = set.pairs(i);
    if (pair.key() == CT_KVS_START_KEY || pair.key() == CT_KVS_END_KEY) {
      return Fail(error, ct::kErrInvalidArgument);
    }
    if (i == repeated) return Fail(error, ct::kErrInvalidArgument);
    if (!pair.has_value()) return Fail(error, ct::kErrInvalidArgument);
    if (!CheckValue(pair.value(), depth + 1, error)) return false;
  }
  return true;
}

// ---- containers to message ----

bool Ok(int rc, uint32_t err, uint32_t* error) {
  if (rc == 1) return true;
  return Fail(error, err ? err : ct::kErrInternal);
}

bool SetToMsg(CTkvs set, pb::KVSet* out, int depth, uint32_t* error);

// Copies an array's one-word items, read by get, into a repeated field.
template <class T, class Field>
bool CopyWords(CTary array, int (*get)(CTary, const T**, uint32_t*, uint32_t*), Field* field, uint32_t* error) {
  const T* items = nullptr;
  uint32_t n = 0, err = 0;
  if (!Ok(get(array, &items, &n, &err), err, error)) return false;
  if (n) field->Add(items, items + n);
  return true;
}

bool AryToMsg(CTary array, pb::Array* out, int depth, uint32_t* error) {
  if (depth > kMaxElementDepth) return Fail(error, ct::kErrTooDeep);
  uint32_t err = 0, type = 0, n = 0;
  if (!Ok(CTary_GetType(array, &type, &err), err, error)) return false;
  out->Clear();
  out->set_code(type);
  switch (type) {
    case CT_TYPE_INT_ARRAY: return CopyWords(array, CTary_GetInt, out->mutable_ints(), error);
    case CT_TYPE_BOOL_ARRAY: return CopyWords(array, CTary_GetBool, out->mutable_ints(), error);
    case CT_TYPE_UINT_ARRAY: return CopyWords(array, CTary_GetUInt, out->mutable_uints(), error);
    case CT_TYPE_SYMBOL_ARRAY: return CopyWords(array, CTary_GetSymbol, out->mutable_uints(), error);
    case CT_TYPE_FLOAT_ARRAY: {
      const float* items = nullptr;
      if (!Ok(CTary_GetFloat(array, &items, &n, &err), err, error)) return false;
      auto* bits = out->mutable_float_bits();
      bits->Reserve(int(n));
      for (uint32_t i = 0; i < n; ++i) {
        uint32_t b;
        std::memcpy(&b, &items[i], 4);
        bits->Add(b);
      }
      return true;
    }
    case CT_TYPE_IRANGE_ARRAY: {
      const CTirange* items = nullptr;
      if (!Ok(CTary_GetIRange(array, &items, &n, &err), err, error)) return false;
      for (uint32_t i = 0; i < n; ++i) {
        auto* r = out->add_iranges();
        r->set_start(items[i].start);
        r->set_end(items[i].end);
      }
      return true;
    }
    case CT_TYPE_FRANGE_ARRAY: {
      const CTfrange* items = nullptr;
      if (!Ok(CTary_GetFRange(array, &items, &n, &err), err, error)) return false;
      for (uint32_t i = 0; i < n; ++i) {
        uint32_t s, e;
        std::memcpy(&s, &items[i].start, 4);
        std::memcpy(&e, &items[i].end, 4);
        auto* r = out->add_franges();
        r->set_start_bits(s);
        r->set_end_bits(e);
      }
      return true;
    }
    case CT_TYPE_KVSET_ARRAY: {
      const CTkvs* items = nullptr;
      if (!Ok(CTary_GetKVSet(array, &items, &n, &err), err, error)) return false;
      std::vector<CTkvs> handles(items, items + n);  // the block may move while we read
      for (CTkvs h : handles) {
        if (!SetToMsg(h, out->add_kvsets(), depth + 1, error)) return false;
      }
      return true;
    }
    case CT_TYPE_STRING_ARRAY: {
      const char* const* items = nullptr;
      if (!Ok(CTary_GetString(array, &items, &n, &err), err, error)) return false;
      for (uint32_t i = 0; i < n; ++i) out->add_strings(items[i] ? items[i] : "");
      return true;
    }
    case CT_TYPE_ARRAY_ARRAY: {
      const CTary* items = nullptr;
      if (!Ok(CTary_GetArray(array, &items, &n, &err), err, error)) return false;
      std::vector<CTary> handles(items, items + n);
      for (CTary h : handles) {
        if (!AryToMsg(h, out->add_arrays(), depth + 1, error)) return false;
      }
      return true;
    }
    default: return CopyWords(array, CTary_GetWords, out->mutable_uints(), error);  // codes without a kind
  }
}

// Copies a one-word value, read by get, into the message's field for it
// (a float by its bits).
template <class T, class Word>
bool CopyWord(CTkvs set, CTsymbol key, int (*get)(CTkvs, CTsymbol, T*, uint32_t*),
              void (pb::DataElement::*put)(Word), pb::DataElement* out, uint32_t* error) {
  static_assert(sizeof(T) == 4 && sizeof(Word) == 4, "one word");
  T v{};
  uint32_t err = 0;
  if (!Ok(get(set, key, &v, &err), err, error)) return false;
  Word w;
  std::memcpy(&w, &v, 4);
  (out->*put)(w);
  return true;
}

bool ValueToMsg(CTkvs set, CTsymbol key, uint32_t type, pb::DataElement* out, int depth, uint32_t* error) {
  uint32_t err = 0;
  out->set_type(type);
  switch (type) {
    case CT_TYPE_INT: return CopyWord(set, key, CTkvs_GetInt, &pb::DataElement::set_int_value, out, error);
    case CT_TYPE_BOOL: return CopyWord(set, key, CTkvs_GetBool, &pb::DataElement::set_int_value, out, error);
    case CT_TYPE_UINT: return CopyWord(set, key, CTkvs_GetUInt, &pb::DataElement::set_uint_value, out, error);
    case CT_TYPE_SYMBOL: return CopyWord(set, key, CTkvs_GetSymbol, &pb::DataElement::set_uint_value, out, error);
    case CT_TYPE_FLOAT: return CopyWord(set, key, CTkvs_GetFloat, &pb::DataElement::set_float_bits, out, error);
    case CT_TYPE_IRANGE: {
      CTirange r{};
      if (!Ok(CTkvs_GetIRange(set, key, &r, &err), err, error)) return false;
      out->mutable_irange()->set_start(r.start);
      out->mutable_irange()->set_end(r.end);
      return true;
    }
    case CT_TYPE_FRANGE: {
      CTfrange r{};
      if (!Ok(CTkvs_GetFRange(set, key, &r, &err), err, error)) return false;
      uint32_t s, e;
      std::memcpy(&s, &r.start, 4);
      std::memcpy(&e, &r.end, 4);
      out->mutable_frange()->set_start_bits(s);
      out->mutable_frange()->set_end_bits(e);
      return true;
    }
    case CT_TYPE_STRING: {
      const char* v = nullptr;
      if (!Ok(CTkvs_GetString(set, key, &v, &err), err, error)) return false;
      out->set_string_value(v ? v : "");
      return true;
    }
    case CT_TYPE_KVSET: {
      CTkvs sub = 0;
      if (!Ok(CTkvs_GetKVSet(set, key, &sub, &err), err, error)) return false;
      return SetToMsg(sub, out->mutable_kvset(), depth, error);
    }
    default:
      break;
  }
  if (type >= CT_TYPE_ARRAY) {
    CTary sub = 0;
    if (!Ok(CTkvs_GetArray(set, key, &sub, &err), err, error)) return false;
    if (!AryToMsg(sub, out->mutable_array(), depth, error)) return false;
    out->set_type(out->array().code());
    return true;
  }
  return Fail(error, ct::kErrInvalidArgument);
}

bool SetToMsg(CTkvs set, pb::KVSet* out, int depth, uint32_t* error) {
  if (depth > kMaxElementDepth) return Fail(error, ct::kErrTooDeep);
  out->Clear();
  CTsymbol key = CT_KVS_START_KEY;
  uint32_t type = CT_TYPE_NONE;
  for (;;) {
    uint32_t err = 0;
    if (CTkvs_GetNextKey(set, &key, &type, &err) != 1) {
      if (key == CT_KVS_END_KEY) return true;
      return Fail(error, err ? err : ct::kErrInternal);
    }
    auto* pair = out->add_pairs();
    pair->set_key(key);
    if (!ValueToMsg(set, key, type, pair->mutable_value(), depth + 1, error)) return false;
  }
}

// ---- message to containers ----

// Owns a container created for the time of one conversion step.
template <int (*Create)(uint32_t*, uint32_t*), int (*Destroy)(uint32_t, uint32_t*)>
struct TempContainer {
  uint32_t h = 0;
  bool ok = false;
  explicit TempContainer(uint32_t* err) { ok = Create(&h, err) == 1; }
  ~TempContainer() {
    if (ok) Destroy(h, nullptr);
  }
  TempContainer(const TempContainer&) = delete;
  TempContainer& operator=(const TempContainer&) = delete;
};
using TempSet = TempContainer<CTkvs_Create, CTkvs_Destroy>;
using TempAry = TempContainer<CTary_Create, CTary_Destroy>;

bool FillSet(const pb::KVSet& in, CTkvs set, int depth, uint32_t* error);

// Fills an array of containers: empty items go in first and are filled
// where they lie, so every nested level is built once.
template <typename Temp, typename Messages, typename Put, typename Get, typename Fill>
bool FillContainerItems(CTary array, const Messages& messages, Put put, Get get, Fill fill, int depth,
                        uint32_t* error) {
  using Handle = decltype(Temp::h);
  uint32_t err = 0;
  Temp empty(&err);
  if (!empty.ok) return Fail(error, err ? err : ct::kErrNoMemory);
  std::vector<Handle> blanks(size_t(messages.size()), empty.h);
  if (!Ok(put(array, blanks.data(), uint32_t(blanks.size()), &err), err, error)) return false;
  const Handle* items = nullptr;
  uint32_t n = 0;
  if (!Ok(get(array, &items, &n, &err), err, error)) return false;
  if (n != blanks.size()) return Fail(error, ct::kErrInternal);
  std::vector<Handle> handles(items, items + n);  // the block may move while items are filled
  for (uint32_t i = 0; i < n; ++i) {
    if (!fill(messages[int(i)], handles[i], depth + 1, error)) return false;
  }
  return true;
}

bool FillAry(const pb::Array& in, CTary array, int depth, uint32_t* error) {
  if (depth > kMaxElementDepth) return Fail(error, ct::kErrTooDeep);
  uint32_t err = 0;
  const uint32_t code = in.code();
  int rc;
  switch (code) {
    case CT_TYPE_INT_ARRAY:
      rc = CTary_PutInt(array, in.ints().data(), uint32_t(in.ints_size()), &err);
      break;
    case CT_TYPE_BOOL_ARRAY:
      rc = CTary_PutBool(array, in.ints().data(), uint32_t(in.ints_size()), &err);
      break;
    case CT_TYPE_UINT_ARRAY:
      rc = CTary_PutUInt(array, in.uints().data(), uint32_t(in.uints_size()), &err);
      break;
    case CT_TYPE_SYMBOL_ARRAY:
      rc = CTary_PutSymbol(array, in.uints().data(), uint32_t(in.uints_size()), &err);
      break;
    case CT_TYPE_FLOAT_ARRAY: {
      std::vector<float> items(size_t(in.float_bits_size()));
      for (size_t i = 0; i < items.size(); ++i) {
        uint32_t b = in.float_bits(int(i));
        std::memcpy(&items[i], &b, 4);
      }
      rc = CTary_PutFloat(array, items.data(), uint32_t(items.size()), &err);
      break;
    }
    case CT_TYPE_IRANGE_ARRAY: {
      std::vector<CTirange> items;
      items.reserve(size_t(in.iranges_size()));
      for (const auto& r : in.iranges()) items.push_back({r.start(), r.end()});
      rc = CTary_PutIRange(array, items.data(), uint32_t(items.size()), &err);
      break;
    }
    case CT_TYPE_FRANGE_ARRAY: {
      std::vector<CTfrange> items(size_t(in.franges_size()));
      for (size_t i = 0; i < items.size(); ++i) {
        uint32_t s = in.franges(int(i)).start_bits(), e = in.franges(int(i)).end_bits();
        std::memcpy(&items[i].start, &s, 4);
        std::memcpy(&items[i].end, &e, 4);
      }
      rc = CTary_PutFRange(array, items.data(), uint32_t(items.size()), &err);
      break;
    }
    case CT_TYPE_STRING_ARRAY: {
      std::vector<const char*> items;
      items.reserve(size_t(in.strings_size()));
      for (const auto& s : in.strings()) items.push_back(s.c_str());
      rc = CTary_PutString(array, items.data(), uint32_t(items.size()), &err);
      break;
    }
    case CT_TYPE_KVSET_ARRAY:
      return FillContainerItems<TempSet>(array, in.kvsets(), CTary_PutKVSet, CTary_GetKVSet, FillSet, depth, error);
    case CT_TYPE_ARRAY_ARRAY:
      return FillContainerItems<TempAry>(array, in.arrays(), CTary_PutArray, CTary_GetArray, FillAry, depth, error);
    default:
      if (code < CT_TYPE_ARRAY) return Fail(error, ct::kErrInvalidArgument);
      rc = CTary_PutWords(array, code, in.uints().data(), uint32_t(in.uints_size()), &err);
      break;
  }
  return Ok(rc, err, error);
}

bool PutValue(CTkvs set, CTsymbol key, const pb::DataElement& v, int depth, uint32_t* error) {
  uint32_t err = 0;
  int rc;
  switch (v.type()) {
    case CT_TYPE_INT: rc = CTkvs_PutInt(set, key, v.int_value(), &err); break;
    case CT_TYPE_BOOL: rc = CTkvs_PutBool(set, key, v.int_value(), &err); break;
    case CT_TYPE_UINT: rc = CTkvs_PutUInt(set, key, v.uint_value(), &err); break;
    case CT_TYPE_SYMBOL: rc = CTkvs_PutSymbol(set, key, v.uint_value(), &err); break;
    case CT_TYPE_FLOAT: {
      float f;
      uint32_t b = v.float_bits();
      std::memcpy(&f, &b, 4);
      rc = CTkvs_PutFloat(set, key, f, &err);
      break;
    }
    case CT_TYPE_IRANGE: {
      CTirange r{v.irange().start(), v.irange().end()};
      rc = CTkvs_PutIRange(set, key, &r, &err);
      break;
    }
    case CT_TYPE_FRANGE: {
      CTfrange r{};
      uint32_t s = v.frange().start_bits(), e = v.frange().end_bits();
      std::memcpy(&r.start, &s, 4);
      std::memcpy(&r.end, &e, 4);
      rc = CTkvs_PutFRange(set, key, &r, &err);
      break;
    }
    case CT_TYPE_STRING:
      if (HasNul(v.string_value())) return Fail(error, ct::kErrInvalidArgument);
      rc = CTkvs_PutString(set, key, v.string_value().c_str(), &err);
      break;
    case CT_TYPE_KVSET: {
      // An empty set goes in first and is filled where it lies, so that
      // every nested level is built once instead of copied on the way up.
      TempSet sub(&err);
      if (!sub.ok) return Fail(error, err ? err : ct::kErrNoMemory);
      if (!Ok(CTkvs_PutKVSet(set, key, sub.h, &err), err, error)) return false;
      CTkvs lent = 0;
      if (!Ok(CTkvs_GetKVSet(set, key, &lent, &err), err, error)) return false;
      return FillSet(v.kvset(), lent, depth, error);
    }
    default: {
      if (v.type() < CT_TYPE_ARRAY) return Fail(error, ct::kErrInvalidArgument);
      pb::Array blank;  // an absent array reads as an empty one of the element's code
      if (!v.has_array()) blank.set_code(v.type());
      const pb::Array& a = v.has_array() ? v.array() : blank;
      if (a.code() != v.type()) return Fail(error, ct::kErrInvalidArgument);
      TempAry sub(&err);
      if (!sub.ok) return Fail(error, err ? err : ct::kErrNoMemory);
      if (!Ok(CTkvs_PutArray(set, key, sub.h, &err), err, error)) return false;
      CTary lent = 0;
      if (!Ok(CTkvs_GetArray(set, key, &lent, &err), err, error)) return false;
      return FillAry(a, lent, depth, error);
    }
  }
  return Ok(rc, err, error);
}

bool FillSet(const pb::KVSet& in, CTkvs set, int depth, uint32_t* error) {
  if (depth > kMaxElementDepth) return Fail(error, ct::kErrTooDeep);
  for (const auto& pair : in.pairs()) {
    if (!PutValue(set, pair.key(), pair.value(), depth + 1, error)) return false;
  }
  return true;
}

}  // namespace

bool ParseElement(const std::string& bytes, pb::DataElement* out, uint32_t* error) {
  if (bytes.size() > kMaxElementBytes) return Fail(error, ct::kErrTooLarge);
  google::protobuf::io::ArrayInputStream raw(bytes.data(), int(bytes.size()));
  google::protobuf::io::CodedInputStream in(&raw);
  in.SetRecursionLimit(kRecursionLimit);
  out->Clear();
  if (!out->ParseFromCodedStream(&in) || !in.ConsumedEntireMessage()) {
    out->Clear();
    // Tell "far too deep" from plain garbage without recursing.
    return Fail(error, ScanDepth(bytes) > kMaxElementDepth ? ct::kErrTooDeep : ct::kErrInvalidArgument);
  }
  if (!CheckElement(*out, error)) {
    out->Clear();
    return false;
  }
  return true;
}

bool CheckElement(const pb::DataElement& element, uint32_t* error) {
  if (element.type() == CT_TYPE_NONE) {
    return element.value_case() == pb::DataElement::VALUE_NOT_SET ? true : Fail(error, ct::kErrInvalidArgument);
  }
  if (!ValidScalarType(element.type()) && element.type() < CT_TYPE_ARRAY) {
    return Fail(error, ct::kErrInvalidArgument);
  }
  return CheckValue(element, 1, error);
}

bool KvsToMessage(CTkvs set, pb::KVSet* out, uint32_t* error) { return SetToMsg(set, out, 1, error); }

bool MessageToKvs(const pb::KVSet& in, CTkvs set, uint32_t* error) {
  uint32_t check = 0;
  if (!CheckSet(in, 1, &check)) return Fail(error, check);
  uint32_t err = 0;
  if (CTkvs_Clear(set, &err) != 1) return Fail(error, err ? err : ct::kErrInternal);
  return FillSet(in, set, 1, error);
}

bool AryToMessage(CTary array, pb::Array* out, uint32_t* error) { return AryToMsg(array, out, 1, error); }

bool MessageToAry(const pb::Array& in, CTary array, uint32_t* error) {
  uint32_t check = 0;
  if (in.code() < CT_TYPE_ARRAY) return Fail(error, ct::kErrInvalidArgument);
  if (!CheckArray(in, in.code(), 1, &check)) return Fail(error, check);
  return FillAry(in, array, 1, error);
}

bool KvsToBytes(CTkvs set, std::string* bytes, uint32_t* error) {
  // The message is only a step on the way to the bytes (see BytesToKvs).
  google::protobuf::ArenaOptions options;
  options.start_block_size = 64 << 10;
  options.max_block_size = 1 << 20;
  google::protobuf::Arena arena(options);
  auto* e = google::protobuf::Arena::CreateMessage<pb::DataElement>(&arena);
  e->set_type(CT_TYPE_KVSET);
  if (!SetToMsg(set, e->mutable_kvset(), 1, error)) return false;
  bytes->clear();
  if (!e->SerializeToString(bytes)) return Fail(error, ct::kErrInternal);
  if (bytes->size() > kMaxElementBytes) return Fail(error, ct::kErrTooLarge);
  return true;
}

bool BytesToKvs(const std::string& bytes, CTkvs set, uint32_t* error) {
  // The message lives only while the set is built: an arena spares one
  // allocation and one release per pair and value, and frees it all at once.
  google::protobuf::ArenaOptions options;
  options.start_block_size = 64 << 10;
  options.max_block_size = 1 << 20;
  google::protobuf::Arena arena(options);
  auto* e = google::protobuf::Arena::CreateMessage<pb::DataElement>(&arena);
  if (!ParseElement(bytes, e, error)) return false;
  if (e->type() != CT_TYPE_KVSET) return Fail(error, ct::kErrInvalidArgument);
  uint32_t err = 0;
  if (CTkvs_Clear(set, &err) != 1) return Fail(error, err ? err : ct::kErrInternal);
  return FillSet(e->kvset(), set, 1, error);
}

}  // namespace ctserver
