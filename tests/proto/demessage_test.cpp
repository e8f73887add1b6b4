// Conversions between containers and DataElement messages, and the checked
// parser that guards every content, config and options field.
#include <gtest/gtest.h>
#include <google/protobuf/util/message_differencer.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "proto/demessage.h"
#include "tests/support/containers.h"

namespace pb = ctadmin::v1;
using ctserver::BytesToKvs;
using ctserver::CheckElement;
using ctserver::KvsToBytes;
using ctserver::KvsToMessage;
using ctserver::MessageToKvs;
using ctserver::ParseElement;

namespace {

using Set = testsupport::Kvs;
using testsupport::Ary;
using testsupport::BitsFloat;
using testsupport::FloatBits;

// A set holding every kind of value and every array code, including empty
// arrays, a code without a kind, and float bit patterns that a numeric
// comparison would lose.
void FillEverything(CTkvs s) {
  uint32_t e = 0;
  ASSERT_EQ(CTkvs_PutInt(s, 1, std::numeric_limits<int32_t>::min(), &e), 1);
  ASSERT_EQ(CTkvs_PutUInt(s, 2, 0xFFFFFFFFu, &e), 1);
  ASSERT_EQ(CTkvs_PutBool(s, 3, 7, &e), 1);  // kept as given, not normalised
  ASSERT_EQ(CTkvs_PutSymbol(s, 4, 0x0110080D, &e), 1);
  ASSERT_EQ(CTkvs_PutFloat(s, 5, BitsFloat(0x7FC12345), &e), 1);  // NaN with payload
  ASSERT_EQ(CTkvs_PutFloat(s, 6, -0.0f, &e), 1);
  CTirange ir{-3, 9};
  ASSERT_EQ(CTkvs_PutIRange(s, 7, &ir, &e), 1);
  CTfrange fr{0.5f, -std::numeric_limits<float>::infinity()};
  ASSERT_EQ(CTkvs_PutFRange(s, 8, &fr, &e), 1);
  ASSERT_EQ(CTkvs_PutString(s, 9, "a \"quoted\"\n\xC3\xA9 text", &e), 1);
  ASSERT_EQ(CTkvs_PutString(s, 10, "", &e), 1);
  {
    Set inner;
    ASSERT_EQ(CTkvs_PutInt(inner.h, 100, 5, &e), 1);
    ASSERT_EQ(CTkvs_PutKVSet(s, 11, inner.h, &e), 1);
  }
  const int32_t ints[] = {1, -2, 3};
  const uint32_t uints[] = {0, 0xFFFFFFFFu};
  const float floats[] = {1.5f, BitsFloat(0xFF800001)};
  const CTirange irs[] = {{1, 2}, {-5, 5}};
  const CTfrange frs[] = {{0.25f, 0.75f}};
  const char* strs[] = {"x", "", "yz"};
  const uint32_t words[] = {0xDEADBEEF, 42};
  auto putArray = [&](CTsymbol key, auto fill) {
    Ary a;
    fill(a.h);
    ASSERT_EQ(CTkvs_PutArray(s, key, a.h, &e), 1);
  };
  putArray(20, [&](CTary a) { ASSERT_EQ(CTary_PutInt(a, ints, 3, &e), 1); });
  putArray(21, [&](CTary a) { ASSERT_EQ(CTary_PutUInt(a, uints, 2, &e), 1); });
  putArray(22, [&](CTary a) { ASSERT_EQ(CTary_PutBool(a, ints, 3, &e), 1); });
  putArray(23, [&](CTary a) { ASSERT_EQ(CTary_PutFRange(a, frs, 1, &e), 1); });
  putArray(24, [&](CTary a) { ASSERT_EQ(CTary_PutIRange(a, irs, 2, &e), 1); });
  putArray(25, [&](CTary a) {
    Set x, y;
    ASSERT_EQ(CTkvs_PutString(y.h, 7, "in array", &e), 1);
    const CTkvs sets[] = {x.h, y.h};
    ASSERT_EQ(CTary_PutKVSet(a, sets, 2, &e), 1);
  });
  putArray(26, [&](CTary a) { ASSERT_EQ(CTary_PutSymbol(a, uints, 2, &e), 1); });
  putArray(27, [&](CTary a) { ASSERT_EQ(CTary_PutFloat(a, floats, 2, &e), 1); });
  putArray(28, [&](CTary a) { ASSERT_EQ(CTary_PutString(a, strs, 3, &e), 1); });
  putArray(29, [&](CTary a) {
    Ary x, y;
    ASSERT_EQ(CTary_PutInt(x.h, ints, 1, &e), 1);
    ASSERT_EQ(CTary_PutString(y.h, strs, 0, &e), 1);  // empty, but a string array
    const CTary arrays[] = {x.h, y.h};
    ASSERT_EQ(CTary_PutArray(a, arrays, 2, &e), 1);
  });
  putArray(30, [&](CTary a) { ASSERT_EQ(CTary_PutFloat(a, floats, 0, &e), 1); });  // empty float array
  putArray(31, [&](CTary a) { ASSERT_EQ(CTary_PutWords(a, 67, words, 2, &e), 1); });
  putArray(32, [](CTary) {});  // a fresh array: code 60
}

pb::DataElement ParseOk(const std::string& bytes) {
  pb::DataElement e;
  uint32_t err = 0;
  EXPECT_TRUE(ParseElement(bytes, &e, &err)) << std::hex << err;
  return e;
}

uint32_t ParseError(const std::string& bytes) {
  pb::DataElement e;
  uint32_t err = 0;
  EXPECT_FALSE(ParseElement(bytes, &e, &err));
  return err;
}

uint32_t CheckError(const pb::DataElement& e) {
  uint32_t err = 0;
  EXPECT_FALSE(CheckElement(e, &err));
  return err;
}

// A KVSet element whose pair 1 holds sets nested to `depth` levels in all.
pb::DataElement NestedSets(int depth) {
  pb::DataElement top;
  top.set_type(CT_TYPE_KVSET);
  pb::KVSet* set = top.mutable_kvset();
  for (int level = 1; level < depth; ++level) {
    auto* pair = set->add_pairs();
    pair->set_key(1);
    pair->mutable_value()->set_type(CT_TYPE_KVSET);
    set = pair->mutable_value()->mutable_kvset();
  }
  return top;
}

// Wire bytes of sets nested `depth` levels, built without recursion so that
// depths far beyond the parser's limit can be made.
std::string DeepWireSets(int depth) {
  auto varint = [](uint64_t v) {
    std::string s;
    do {
      uint8_t b = v & 0x7F;
      v >>= 7;
      s.push_back(char(v ? b | 0x80 : b));
    } while (v);
    return s;
  };
  std::string element = varint(1 << 3) + varint(CT_TYPE_KVSET);  // type = 42, empty set
  element += varint(7 << 3 | 2) + varint(0);
  for (int level = 1; level < depth; ++level) {
    std::string pair = varint(1 << 3 | 5) + std::string("\x01\x00\x00\x00", 4);  // key 1 (fixed32)
    pair += varint(2 << 3 | 2) + varint(element.size()) + element;
    std::string set = varint(1 << 3 | 2) + varint(pair.size()) + pair;
    element = varint(1 << 3) + varint(CT_TYPE_KVSET) + varint(7 << 3 | 2) + varint(set.size()) + set;
  }
  return element;
}

}  // namespace

TEST(WireElementConversion, EveryKindRoundTripsExactlyThroughBytes) {
  Set original;
  FillEverything(original.h);
  std::string bytes;
  uint32_t err = 0;
  ASSERT_TRUE(KvsToBytes(original.h, &bytes, &err)) << std::hex << err;

  Set back;
  ASSERT_EQ(CTkvs_PutInt(back.h, 999, 1, &err), 1);  // must be cleared by the conversion
  ASSERT_TRUE(BytesToKvs(bytes, back.h, &err)) << std::hex << err;

  pb::KVSet a, b;
  ASSERT_TRUE(KvsToMessage(original.h, &a, &err));
  ASSERT_TRUE(KvsToMessage(back.h, &b, &err));
  EXPECT_TRUE(google::protobuf::util::MessageDifferencer::Equals(a, b));

  // Spot checks straight on the containers, independent of the message form.
  int32_t i = 0;
  EXPECT_EQ(CTkvs_GetInt(back.h, 999, &i, &err), 0);
  ASSERT_EQ(CTkvs_GetInt(back.h, 1, &i, &err), 1);
  EXPECT_EQ(i, std::numeric_limits<int32_t>::min());
  ASSERT_EQ(CTkvs_GetBool(back.h, 3, &i, &err), 1);
  EXPECT_EQ(i, 7);
  float f = 0;
  ASSERT_EQ(CTkvs_GetFloat(back.h, 5, &f, &err), 1);
  EXPECT_EQ(FloatBits(f), 0x7FC12345u);
  ASSERT_EQ(CTkvs_GetFloat(back.h, 6, &f, &err), 1);
  EXPECT_EQ(FloatBits(f), 0x80000000u);
  const char* text = nullptr;
  ASSERT_EQ(CTkvs_GetString(back.h, 9, &text, &err), 1);
  EXPECT_STREQ(text, "a \"quoted\"\n\xC3\xA9 text");

  uint32_t type = 0;
  auto arrayType = [&](CTsymbol key) {
    CTary a = 0;
    EXPECT_EQ(CTkvs_GetArray(back.h, key, &a, &err), 1);
    EXPECT_EQ(CTary_GetType(a, &type, &err), 1);
    return type;
  };
  EXPECT_EQ(arrayType(23), uint32_t(CT_TYPE_FRANGE_ARRAY));
  EXPECT_EQ(arrayType(24), uint32_t(CT_TYPE_IRANGE_ARRAY));
  EXPECT_EQ(arrayType(30), uint32_t(CT_TYPE_FLOAT_ARRAY));
  EXPECT_EQ(arrayType(31), 67u);
  EXPECT_EQ(arrayType(32), uint32_t(CT_TYPE_ARRAY));

  CTary words = 0;
  ASSERT_EQ(CTkvs_GetArray(back.h, 31, &words, &err), 1);
  const uint32_t* items = nullptr;
  uint32_t n = 0;
  ASSERT_EQ(CTary_GetWords(words, &items, &n, &err), 1);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(items[0], 0xDEADBEEFu);

  CTary nested = 0;
  ASSERT_EQ(CTkvs_GetArray(back.h, 29, &nested, &err), 1);
  const CTary* subs = nullptr;
  ASSERT_EQ(CTary_GetArray(nested, &subs, &n, &err), 1);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(CTary_GetType(subs[1], &type, &err), 1);
  EXPECT_EQ(type, uint32_t(CT_TYPE_STRING_ARRAY));
}

TEST(WireElementConversion, KeysKeepTheirOrder) {
  Set s;
  uint32_t err = 0;
  const CTsymbol keys[] = {0x500, 0x3, 0x02000700, 0x1};
  for (CTsymbol k : keys) ASSERT_EQ(CTkvs_PutUInt(s.h, k, k, &err), 1);
  pb::KVSet m;
  ASSERT_TRUE(KvsToMessage(s.h, &m, &err));
  ASSERT_EQ(m.pairs_size(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m.pairs(i).key(), keys[i]);

  Set back;
  ASSERT_TRUE(MessageToKvs(m, back.h, &err));
  CTsymbol key = CT_KVS_START_KEY;
  uint32_t type = 0;
  for (CTsymbol expected : keys) {
    ASSERT_EQ(CTkvs_GetNextKey(back.h, &key, &type, &err), 1);
    EXPECT_EQ(key, expected);
  }
}

TEST(WireElementConversion, RefusesContainersNestedTooDeep) {
  uint32_t err = 0;
  auto build = [&](int depth, CTkvs out) {
    // Innermost first: each level puts the previous set under key 1.
    Set current;
    for (int level = 1; level < depth; ++level) {
      Set outer;
      ASSERT_EQ(CTkvs_PutKVSet(outer.h, 1, current.h, &err), 1);
      ASSERT_EQ(CTkvs_Copy(current.h, outer.h, &err), 1);
    }
    ASSERT_EQ(CTkvs_Copy(out, current.h, &err), 1);
  };
  Set ok, tooDeep;
  build(100, ok.h);
  build(101, tooDeep.h);
  std::string bytes;
  EXPECT_TRUE(KvsToBytes(ok.h, &bytes, &err)) << std::hex << err;
  ParseOk(bytes);
  EXPECT_FALSE(KvsToBytes(tooDeep.h, &bytes, &err));
  EXPECT_EQ(err, ct::kErrTooDeep);
}

TEST(WireElementParse, AcceptsOneHundredLevelsAndRefusesMore) {
  EXPECT_EQ(ParseOk(NestedSets(100).SerializeAsString()).type(), uint32_t(CT_TYPE_KVSET));
  EXPECT_EQ(ParseError(NestedSets(101).SerializeAsString()), ct::kErrTooDeep);
  // Far beyond what the parser's recursion limit admits: still "too deep".
  EXPECT_EQ(ParseError(DeepWireSets(2000)), ct::kErrTooDeep);
  ParseOk(DeepWireSets(100));

  // Arrays of arrays count each array as a level.
  auto nestedArrays = [](int depth) {
    pb::DataElement top;
    top.set_type(CT_TYPE_KVSET);
    auto* pair = top.mutable_kvset()->add_pairs();
    pair->set_key(1);
    pair->mutable_value()->set_type(CT_TYPE_ARRAY_ARRAY);
    pb::Array* a = pair->mutable_value()->mutable_array();
    a->set_code(CT_TYPE_ARRAY_ARRAY);
    for (int level = 3; level < depth; ++level) {
      a = a->add_arrays();
      a->set_code(CT_TYPE_ARRAY_ARRAY);
    }
    a->add_arrays()->set_code(CT_TYPE_INT_ARRAY);
    return top;
  };
  ParseOk(nestedArrays(100).SerializeAsString());
  EXPECT_EQ(ParseError(nestedArrays(101).SerializeAsString()), ct::kErrTooDeep);
}

TEST(WireElementParse, RefusesGarbageAndOversizedBytes) {
  EXPECT_EQ(ParseError(std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 11)), ct::kErrInvalidArgument);
  EXPECT_EQ(ParseError(std::string("\x3A\x05\x0A", 3)), ct::kErrInvalidArgument);  // length past the end
  EXPECT_EQ(ParseError(std::string()), ct::kErrInvalidArgument);                    // type 0
  std::string huge(ctserver::kMaxElementBytes + 1, 'x');
  EXPECT_EQ(ParseError(huge), ct::kErrTooLarge);
}

TEST(WireElementParse, RefusesElementsTheContainersCannotHold) {
  auto setWith = [](auto fill) {
    pb::DataElement top;
    top.set_type(CT_TYPE_KVSET);
    auto* pair = top.mutable_kvset()->add_pairs();
    pair->set_key(5);
    fill(pair->mutable_value());
    return top;
  };
  // A value whose field does not match its type code.
  EXPECT_EQ(CheckError(setWith([](pb::DataElement* v) {
              v->set_type(CT_TYPE_INT);
              v->set_string_value("5");
            })),
            ct::kErrInvalidArgument);
  // A type code below 60 that is no kind.
  EXPECT_EQ(CheckError(setWith([](pb::DataElement* v) { v->set_type(50); })), ct::kErrInvalidArgument);
  // No value at all inside a set.
  EXPECT_EQ(CheckError(setWith([](pb::DataElement* v) { v->set_type(CT_TYPE_NONE); })), ct::kErrInvalidArgument);
  // A text with a zero byte in it.
  EXPECT_EQ(CheckError(setWith([](pb::DataElement* v) {
              v->set_type(CT_TYPE_STRING);
              v->set_string_value(std::string("a\0b", 3));
            })),
            ct::kErrInvalidArgument);
  // Array items of another kind than the array's code.
  EXPECT_EQ(CheckError(setWith([](pb::DataElement* v) {
              v->set_type(CT_TYPE_INT_ARRAY);
              v->mutable_array()->set_code(CT_TYPE_INT_ARRAY);
              v->mutable_array()->add_strings("x");
            })),
            ct::kErrInvalidArgument);
  // The array's own code disagrees with the element's.
  EXPECT_EQ(CheckError(setWith([](pb::DataElement* v) {
              v->set_type(CT_TYPE_INT_ARRAY);
              v->mutable_array()->set_code(CT_TYPE_UINT_ARRAY);
            })),
            ct::kErrInvalidArgument);

  pb::DataElement dup;
  dup.set_type(CT_TYPE_KVSET);
  for (int i = 0; i < 2; ++i) {
    auto* p = dup.mutable_kvset()->add_pairs();
    p->set_key(9);
    p->mutable_value()->set_type(CT_TYPE_INT);
  }
  EXPECT_EQ(CheckError(dup), ct::kErrInvalidArgument);

  pb::DataElement reserved;
  reserved.set_type(CT_TYPE_KVSET);
  auto* p = reserved.mutable_kvset()->add_pairs();
  p->set_key(CT_KVS_END_KEY);
  p->mutable_value()->set_type(CT_TYPE_INT);
  EXPECT_EQ(CheckError(reserved), ct::kErrInvalidArgument);

  // The same refusals hold when the message goes straight into a set, and
  // the set is left as it was.
  Set s;
  uint32_t err = 0;
  ASSERT_EQ(CTkvs_PutInt(s.h, 1, 1, &err), 1);
  EXPECT_FALSE(MessageToKvs(dup.kvset(), s.h, &err));
  int32_t v = 0;
  EXPECT_EQ(CTkvs_GetInt(s.h, 1, &v, &err), 1);
}

TEST(WireElementParse, ScalarsWithoutAValueReadAsZero) {
  // proto3 leaves a zero out of the oneof when a sender builds it lazily;
  // such an element still means zero, not an error.
  pb::DataElement top;
  top.set_type(CT_TYPE_KVSET);
  auto* pair = top.mutable_kvset()->add_pairs();
  pair->set_key(3);
  pair->mutable_value()->set_type(CT_TYPE_UINT);
  uint32_t err = 0;
  Set s;
  ASSERT_TRUE(BytesToKvs(top.SerializeAsString(), s.h, &err)) << std::hex << err;
  uint32_t v = 1;
  ASSERT_EQ(CTkvs_GetUInt(s.h, 3, &v, &err), 1);
  EXPECT_EQ(v, 0u);

  pb::DataElement notASet;
  notASet.set_type(CT_TYPE_INT);
  notASet.set_int_value(4);
  EXPECT_FALSE(BytesToKvs(notASet.SerializeAsString(), s.h, &err));
  EXPECT_EQ(err, ct::kErrInvalidArgument);
}

TEST(WireElementParse, DamagedBytesNeverCrashAndWhatPassesLoads) {
  Set original;
  FillEverything(original.h);
  std::string bytes;
  uint32_t err = 0;
  ASSERT_TRUE(KvsToBytes(original.h, &bytes, &err));
  std::mt19937 rng(7);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = bytes;
    switch (round % 3) {
      case 0:  // flip a few bits
        for (int i = 0; i < 1 + int(rng() % 4); ++i) damaged[rng() % damaged.size()] ^= char(1u << (rng() % 8));
        break;
      case 1:  // cut it short
        damaged.resize(rng() % damaged.size());
        break;
      default:  // overwrite a byte with anything
        damaged[rng() % damaged.size()] = char(rng());
        break;
    }
    pb::DataElement e;
    uint32_t code = 0;
    if (!ParseElement(damaged, &e, &code)) {
      EXPECT_TRUE(code == ct::kErrInvalidArgument || code == ct::kErrTooDeep) << std::hex << code;
      continue;
    }
    if (e.type() != CT_TYPE_KVSET) continue;
    // Whatever the check lets through, the containers can hold.
    ++accepted;
    Set s;
    EXPECT_TRUE(BytesToKvs(damaged, s.h, &err)) << "round " << round << std::hex << " error " << err;
  }
  EXPECT_GT(accepted, 0);
}

// Repeated keys are found wherever they sit, in small and large sets, in
// any order; and a repeat is reported before a fault in a later pair, as a
// fault in an earlier pair is reported before the repeat.
TEST(WireElementParse, RefusesRepeatedKeysAtTheirPosition) {
  auto setOf = [](const std::vector<uint32_t>& keys) {
    pb::DataElement top;
    top.set_type(CT_TYPE_KVSET);
    for (uint32_t k : keys) {
      auto* pair = top.mutable_kvset()->add_pairs();
      pair->set_key(k);
      pair->mutable_value()->set_type(CT_TYPE_INT);
      pair->mutable_value()->set_int_value(int32_t(k));
    }
    return top;
  };
  EXPECT_EQ(CheckError(setOf({5, 9, 5})), ct::kErrInvalidArgument);
  std::vector<uint32_t> many;
  for (uint32_t i = 0; i < 300; ++i) many.push_back(1000 - i * 3);  // descending, distinct
  pb::DataElement fine = setOf(many);
  uint32_t err = 0;
  EXPECT_TRUE(CheckElement(fine, &err)) << std::hex << err;
  many.push_back(1000 - 299 * 3);  // repeats the last key, at the very end
  EXPECT_EQ(CheckError(setOf(many)), ct::kErrInvalidArgument);
  many.back() = 1000;  // repeats the first key
  EXPECT_EQ(CheckError(setOf(many)), ct::kErrInvalidArgument);

  // Pair 1 repeats pair 0; pair 2 is nested too deep.
  pb::DataElement repeatFirst = setOf(std::vector<uint32_t>(20, 7));
  repeatFirst.mutable_kvset()->mutable_pairs()->DeleteSubrange(2, 18);
  for (int i = 0; i < 18; ++i) {
    auto* pair = repeatFirst.mutable_kvset()->add_pairs();
    pair->set_key(100 + uint32_t(i));
    *pair->mutable_value() = NestedSets(i == 0 ? 101 : 1);
  }
  EXPECT_EQ(CheckError(repeatFirst), ct::kErrInvalidArgument);
  // Pair 0 is nested too deep; pair 19 repeats it.
  pb::DataElement deepFirst = setOf({});
  for (uint32_t i = 0; i < 20; ++i) {
    auto* pair = deepFirst.mutable_kvset()->add_pairs();
    pair->set_key(i == 19 ? 50 : 50 + i);
    *pair->mutable_value() = NestedSets(i == 0 ? 101 : 1);
  }
  EXPECT_EQ(CheckError(deepFirst), ct::kErrTooDeep);
  // The same refusals through the bytes and the message paths.
  EXPECT_EQ(ParseError(repeatFirst.SerializeAsString()), ct::kErrInvalidArgument);
  Set target;
  EXPECT_FALSE(MessageToKvs(deepFirst.kvset(), target.h, &err));
  EXPECT_EQ(err, ct::kErrTooDeep);
}

// Nested sets and arrays are built where they lie in the target: every
// level and every item must keep its own content, and the target's earlier
// content must be gone.
TEST(WireElementConversion, NestedContainersLoadWithTheirOwnContent) {
  uint32_t err = 0;
  Set source;
  // Sets nested 100 levels, each level holding its own depth under key 2.
  {
    Set current;
    ASSERT_EQ(CTkvs_PutInt(current.h, 2, 99, &err), 1);
    for (int level = 98; level >= 1; --level) {
      Set outer;
      ASSERT_EQ(CTkvs_PutInt(outer.h, 2, level, &err), 1);
      ASSERT_EQ(CTkvs_PutKVSet(outer.h, 1, current.h, &err), 1);
      ASSERT_EQ(CTkvs_Copy(current.h, outer.h, &err), 1);
    }
    ASSERT_EQ(CTkvs_PutKVSet(source.h, 1, current.h, &err), 1);
  }
  // An array of three different sets, and an array of two different arrays.
  {
    std::vector<Set> items(3);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(CTkvs_PutInt(items[size_t(i)].h, 7, 10 + i, &err), 1);
    CTkvs handles[3] = {items[0].h, items[1].h, items[2].h};
    Ary sets;
    ASSERT_EQ(CTary_PutKVSet(sets.h, handles, 3, &err), 1);
    ASSERT_EQ(CTkvs_PutArray(source.h, 3, sets.h, &err), 1);

    Ary ints, strings, arrays;
    const int32_t numbers[] = {4, 5, 6};
    const char* texts[] = {"a", "bc"};
    ASSERT_EQ(CTary_PutInt(ints.h, numbers, 3, &err), 1);
    ASSERT_EQ(CTary_PutString(strings.h, texts, 2, &err), 1);
    CTary inner[2] = {ints.h, strings.h};
    ASSERT_EQ(CTary_PutArray(arrays.h, inner, 2, &err), 1);
    ASSERT_EQ(CTkvs_PutArray(source.h, 4, arrays.h, &err), 1);
  }
  std::string bytes;
  ASSERT_TRUE(KvsToBytes(source.h, &bytes, &err)) << std::hex << err;

  Set loaded;
  ASSERT_EQ(CTkvs_PutString(loaded.h, 9, "stale", &err), 1);
  ASSERT_TRUE(BytesToKvs(bytes, loaded.h, &err)) << std::hex << err;
  uint32_t type = 0;
  EXPECT_NE(CTkvs_GetType(loaded.h, 9, &type, &err), 1);

  CTkvs level = loaded.h;
  for (int depth = 1; depth <= 99; ++depth) {
    ASSERT_EQ(CTkvs_GetKVSet(level, 1, &level, &err), 1) << depth;
    int32_t v = -1;
    ASSERT_EQ(CTkvs_GetInt(level, 2, &v, &err), 1) << depth;
    EXPECT_EQ(v, depth);
  }
  const CTkvs* sets = nullptr;
  uint32_t n = 0;
  ASSERT_EQ(CTkvs_GetKVSetArray(loaded.h, 3, &sets, &n, &err), 1);
  ASSERT_EQ(n, 3u);
  for (uint32_t i = 0; i < n; ++i) {
    int32_t v = -1;
    ASSERT_EQ(CTkvs_GetInt(sets[i], 7, &v, &err), 1);
    EXPECT_EQ(v, int32_t(10 + i));
  }
  CTary arrays = 0;
  const CTary* inner = nullptr;
  ASSERT_EQ(CTkvs_GetArray(loaded.h, 4, &arrays, &err), 1);
  ASSERT_EQ(CTary_GetArray(arrays, &inner, &n, &err), 1);
  ASSERT_EQ(n, 2u);
  const int32_t* numbers = nullptr;
  ASSERT_EQ(CTary_GetInt(inner[0], &numbers, &n, &err), 1);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(numbers[2], 6);
  const char* const* texts = nullptr;
  ASSERT_EQ(CTary_GetString(inner[1], &texts, &n, &err), 1);
  ASSERT_EQ(n, 2u);
  EXPECT_STREQ(texts[1], "bc");

  // The message path builds the same set.
  pb::KVSet message;
  ASSERT_TRUE(KvsToMessage(source.h, &message, &err));
  Set viaMessage;
  ASSERT_TRUE(MessageToKvs(message, viaMessage.h, &err)) << std::hex << err;
  std::string again;
  ASSERT_TRUE(KvsToBytes(viaMessage.h, &again, &err));
  EXPECT_EQ(again, bytes);
}
