#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "s100/ctstore.h"
#include "tests/support/containers.h"

namespace {

using testsupport::BitsFloat;
using testsupport::FloatBits;

CTkvs NewSet() {
  CTkvs set = 0;
  uint32_t err = 0;
  EXPECT_EQ(1, CTkvs_Create(&set, &err));
  EXPECT_EQ(ct::kErrNone, err);
  return set;
}

CTary NewArray() {
  CTary array = 0;
  uint32_t err = 0;
  EXPECT_EQ(1, CTary_Create(&array, &err));
  return array;
}

std::vector<CTsymbol> Keys(CTkvs set) {
  std::vector<CTsymbol> keys;
  CTsymbol key = CT_KVS_START_KEY;
  uint32_t type = CT_TYPE_NONE;
  uint32_t err = 0;
  while (CTkvs_GetNextKey(set, &key, &type, &err) == 1) keys.push_back(key);
  EXPECT_EQ(CT_KVS_END_KEY, key);
  EXPECT_EQ(ct::kErrEndOfKeys, err);
  return keys;
}

int32_t GetInt(CTkvs set, CTsymbol key) {
  int32_t value = 0;
  uint32_t err = 0;
  EXPECT_EQ(1, CTkvs_GetInt(set, key, &value, &err)) << std::hex << err;
  return value;
}

// Sets and arrays made by a test, destroyed at its end; checks that the
// table holds no more handles than before.
class Containers : public ::testing::Test {
 protected:
  void SetUp() override { baseline_ = ct::store::LiveHandles(); }
  void TearDown() override {
    uint32_t err = 0;
    for (CTkvs set : sets_) EXPECT_EQ(1, CTkvs_Destroy(set, &err));
    for (CTary array : arrays_) EXPECT_EQ(1, CTary_Destroy(array, &err));
    EXPECT_EQ(baseline_, ct::store::LiveHandles());
  }
  CTkvs Set() { return sets_.emplace_back(NewSet()); }
  CTary Array() { return arrays_.emplace_back(NewArray()); }

  size_t baseline_ = 0;
  std::vector<CTkvs> sets_;
  std::vector<CTary> arrays_;
};

// ---- Handles ----

TEST_F(Containers, DestroyedForgedAndZeroHandlesAreRefused) {
  uint32_t err = 0;
  int32_t value = 0;
  EXPECT_EQ(0, CTkvs_PutInt(0, 1, 1, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);

  CTkvs set = NewSet();
  ASSERT_NE(0u, set);
  ASSERT_EQ(1, CTkvs_PutInt(set, 7, 1, &err));
  ASSERT_EQ(1, CTkvs_Destroy(set, &err));
  EXPECT_EQ(0, CTkvs_GetInt(set, 7, &value, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  EXPECT_EQ(0, CTkvs_Destroy(set, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);

  // A new set never answers to the destroyed one's handle.
  CTkvs other = Set();
  EXPECT_NE(set, other);
  EXPECT_EQ(0, CTkvs_PutInt(set, 7, 1, &err));

  // Neighbouring numbers, other generations and far indices are all forged.
  for (uint32_t forged : {other + 1, other ^ 0x00400000u, other ^ 0x80000000u, 0xFFFFFFFFu, 0x003FFFFFu}) {
    EXPECT_EQ(0, CTkvs_PutInt(forged, 1, 1, &err)) << std::hex << forged;
    EXPECT_EQ(ct::kErrBadHandle, err);
  }
}

TEST_F(Containers, StaleHandlesStayRefusedWhenTheirSlotsAreReused) {
  uint32_t err = 0, count = 0;
  // Enough freed sets that their slots are handed out again.
  std::vector<CTkvs> old(3000);
  for (CTkvs& set : old) set = NewSet();
  for (CTkvs set : old) ASSERT_EQ(1, CTkvs_Destroy(set, &err));
  std::vector<CTkvs> fresh(3000);
  for (CTkvs& set : fresh) set = NewSet();
  for (CTkvs set : old) {
    ASSERT_EQ(0, CTkvs_Count(set, &count, &err)) << std::hex << set;
    ASSERT_EQ(ct::kErrBadHandle, err);
  }
  size_t reused = 0;
  for (CTkvs set : fresh) {
    for (CTkvs gone : old) reused += (set & 0x3FFFFF) == (gone & 0x3FFFFF);
    ASSERT_EQ(1, CTkvs_Destroy(set, &err));
  }
  EXPECT_GT(reused, 0u);  // the check above did meet reused slots
}

TEST_F(Containers, SetAndArrayHandlesAreNotInterchangeable) {
  CTkvs set = Set();
  CTary array = Array();
  uint32_t err = 0, type = 0, count = 0;
  EXPECT_EQ(0, CTary_GetType(set, &type, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  EXPECT_EQ(0, CTkvs_Count(array, &count, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  EXPECT_EQ(0, CTary_Destroy(set, &err));
  EXPECT_EQ(0, CTkvs_Destroy(array, &err));
  EXPECT_EQ(0, CTkvs_PutArray(set, 1, set, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
}

TEST_F(Containers, ErrorWordIsOptionalAndResetOnSuccess) {
  CTkvs set = Set();
  EXPECT_EQ(1, CTkvs_PutInt(set, 1, 5, nullptr));
  EXPECT_EQ(0, CTkvs_PutInt(0, 1, 5, nullptr));
  uint32_t err = 12345;
  EXPECT_EQ(1, CTkvs_PutInt(set, 2, 5, &err));
  EXPECT_EQ(ct::kErrNone, err);
}

TEST_F(Containers, NullOutPointersAreRefused) {
  CTkvs set = Set();
  CTary array = Array();
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutInt(set, 1, 5, &err));
  EXPECT_EQ(0, CTkvs_Create(nullptr, &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
  EXPECT_EQ(0, CTkvs_GetInt(set, 1, nullptr, &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
  EXPECT_EQ(0, CTkvs_PutIRange(set, 2, nullptr, &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
  EXPECT_EQ(0, CTary_GetType(array, nullptr, &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
  CTsymbol key = CT_KVS_START_KEY;
  EXPECT_EQ(0, CTkvs_GetNextKey(set, &key, nullptr, &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
}

// ---- Values of a set ----

TEST_F(Containers, ScalarsKeepEveryBit) {
  CTkvs set = Set();
  uint32_t err = 0;
  const uint32_t nanPayload = 0x7FA00001u;  // a signalling NaN with a payload
  ASSERT_EQ(1, CTkvs_PutInt(set, 1, INT32_MIN, &err));
  ASSERT_EQ(1, CTkvs_PutUInt(set, 2, 0xFFFFFFFFu, &err));
  ASSERT_EQ(1, CTkvs_PutBool(set, 3, 7, &err));
  ASSERT_EQ(1, CTkvs_PutSymbol(set, 4, 0x00800123u, &err));
  ASSERT_EQ(1, CTkvs_PutFloat(set, 5, BitsFloat(nanPayload), &err));
  ASSERT_EQ(1, CTkvs_PutFloat(set, 6, -0.0f, &err));
  CTirange ir{-3, 9};
  CTfrange fr{BitsFloat(0xFF800000u), BitsFloat(0xFFC00010u)};  // -inf and a negative NaN
  ASSERT_EQ(1, CTkvs_PutIRange(set, 7, &ir, &err));
  ASSERT_EQ(1, CTkvs_PutFRange(set, 8, &fr, &err));

  int32_t i = 0;
  uint32_t u = 0;
  float f = 0;
  EXPECT_EQ(INT32_MIN, GetInt(set, 1));
  ASSERT_EQ(1, CTkvs_GetUInt(set, 2, &u, &err));
  EXPECT_EQ(0xFFFFFFFFu, u);
  ASSERT_EQ(1, CTkvs_GetBool(set, 3, &i, &err));
  EXPECT_EQ(7, i);
  ASSERT_EQ(1, CTkvs_GetSymbol(set, 4, &u, &err));
  EXPECT_EQ(0x00800123u, u);
  ASSERT_EQ(1, CTkvs_GetFloat(set, 5, &f, &err));
  EXPECT_EQ(nanPayload, FloatBits(f));
  ASSERT_EQ(1, CTkvs_GetFloat(set, 6, &f, &err));
  EXPECT_EQ(0x80000000u, FloatBits(f));
  CTirange irOut{};
  CTfrange frOut{};
  ASSERT_EQ(1, CTkvs_GetIRange(set, 7, &irOut, &err));
  EXPECT_EQ(-3, irOut.start);
  EXPECT_EQ(9, irOut.end);
  ASSERT_EQ(1, CTkvs_GetFRange(set, 8, &frOut, &err));
  EXPECT_EQ(0xFF800000u, FloatBits(frOut.start));
  EXPECT_EQ(0xFFC00010u, FloatBits(frOut.end));

  const uint32_t expected[] = {CT_TYPE_INT, CT_TYPE_UINT, CT_TYPE_BOOL, CT_TYPE_SYMBOL,
                               CT_TYPE_FLOAT, CT_TYPE_FLOAT, CT_TYPE_IRANGE, CT_TYPE_FRANGE};
  for (CTsymbol key = 1; key <= 8; ++key) {
    uint32_t type = 0;
    ASSERT_EQ(1, CTkvs_GetType(set, key, &type, &err));
    EXPECT_EQ(expected[key - 1], type) << key;
  }
}

TEST_F(Containers, StringsAreByteStringsAndNullStoresEmpty) {
  CTkvs set = Set();
  uint32_t err = 0;
  std::string bytes;
  for (int c = 1; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  ASSERT_EQ(1, CTkvs_PutString(set, 1, bytes.c_str(), &err));
  ASSERT_EQ(1, CTkvs_PutString(set, 2, nullptr, &err));
  const char* text = nullptr;
  ASSERT_EQ(1, CTkvs_GetString(set, 1, &text, &err));
  EXPECT_EQ(bytes, text);
  ASSERT_EQ(1, CTkvs_GetString(set, 2, &text, &err));
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("", text);
}

TEST_F(Containers, GetOfAnotherKindOrMissingKeyFails) {
  CTkvs set = Set();
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutUInt(set, 1, 5, &err));
  int32_t i = 0;
  const char* text = nullptr;
  CTkvs nested = 0;
  EXPECT_EQ(0, CTkvs_GetInt(set, 1, &i, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);
  EXPECT_EQ(0, CTkvs_GetString(set, 1, &text, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);
  EXPECT_EQ(0, CTkvs_GetKVSet(set, 1, &nested, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);
  EXPECT_EQ(0, CTkvs_GetInt(set, 2, &i, &err));
  EXPECT_EQ(ct::kErrNoSuchKey, err);
}

TEST_F(Containers, IterationMarkersAreRefusedAsKeys) {
  CTkvs set = Set();
  uint32_t err = 0;
  EXPECT_EQ(0, CTkvs_PutInt(set, CT_KVS_START_KEY, 1, &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
  EXPECT_EQ(0, CTkvs_PutString(set, CT_KVS_END_KEY, "x", &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
  // Their neighbours are ordinary keys.
  EXPECT_EQ(1, CTkvs_PutInt(set, CT_KVS_START_KEY - 1, 1, &err));
  EXPECT_EQ(1, CTkvs_PutInt(set, CT_KVS_END_KEY + 1, 2, &err));
  uint32_t count = 0;
  ASSERT_EQ(1, CTkvs_Count(set, &count, &err));
  EXPECT_EQ(2u, count);
}

// ---- Order and replacement ----

TEST_F(Containers, KeysIterateInInsertionOrderWithTheirTypes) {
  CTkvs set = Set();
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutInt(set, 30, 1, &err));
  ASSERT_EQ(1, CTkvs_PutString(set, 10, "a", &err));
  ASSERT_EQ(1, CTkvs_PutKVSet(set, 20, CT_kvsEmpty, &err));
  CTary array = Array();
  ASSERT_EQ(1, CTary_PutFloat(array, nullptr, 0, &err));
  ASSERT_EQ(1, CTkvs_PutArray(set, 0, array, &err));

  CTsymbol key = CT_KVS_START_KEY;
  uint32_t type = CT_TYPE_NONE;
  const CTsymbol keys[] = {30, 10, 20, 0};
  const uint32_t types[] = {CT_TYPE_INT, CT_TYPE_STRING, CT_TYPE_KVSET, CT_TYPE_FLOAT_ARRAY};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(1, CTkvs_GetNextKey(set, &key, &type, &err));
    EXPECT_EQ(keys[i], key);
    EXPECT_EQ(types[i], type);
  }
  EXPECT_EQ(0, CTkvs_GetNextKey(set, &key, &type, &err));
  EXPECT_EQ(CT_KVS_END_KEY, key);
  EXPECT_EQ(ct::kErrEndOfKeys, err);
  // Asking again from the end marker stays at the end.
  EXPECT_EQ(0, CTkvs_GetNextKey(set, &key, &type, &err));
  EXPECT_EQ(CT_KVS_END_KEY, key);

  // Iteration from a key the set does not hold is an error, not the end.
  key = 99;
  EXPECT_EQ(0, CTkvs_GetNextKey(set, &key, &type, &err));
  EXPECT_EQ(ct::kErrNoSuchKey, err);
  EXPECT_EQ(99u, key);
}

TEST_F(Containers, IterationGoesOnWhileTheSetChanges) {
  CTkvs set = Set();
  uint32_t err = 0, type = 0;
  for (CTsymbol k = 1; k <= 3; ++k) ASSERT_EQ(1, CTkvs_PutInt(set, k, 0, &err));
  std::vector<CTsymbol> seen;
  CTsymbol key = CT_KVS_START_KEY;
  while (CTkvs_GetNextKey(set, &key, &type, &err) == 1) {
    seen.push_back(key);
    ASSERT_EQ(1, CTkvs_PutString(set, key, "replaced", &err));  // same position
    if (key <= 2) {
      ASSERT_EQ(1, CTkvs_PutInt(set, key + 10, 0, &err));  // goes last
    }
    ASSERT_LT(seen.size(), 10u);
  }
  EXPECT_EQ((std::vector<CTsymbol>{1, 2, 3, 11, 12}), seen);
}

TEST_F(Containers, EmptySetIteratesStraightToTheEnd) {
  CTsymbol key = CT_KVS_START_KEY;
  uint32_t type = CT_TYPE_NONE;
  uint32_t err = 0;
  EXPECT_EQ(0, CTkvs_GetNextKey(Set(), &key, &type, &err));
  EXPECT_EQ(CT_KVS_END_KEY, key);
  EXPECT_EQ(ct::kErrEndOfKeys, err);
}

TEST_F(Containers, PutOnExistingKeyReplacesInPlace) {
  // Small sets are searched linearly and large ones through an index: both.
  for (CTsymbol size : {5u, 50u}) {
    CTkvs set = Set();
    uint32_t err = 0;
    for (CTsymbol k = 1; k <= size; ++k) ASSERT_EQ(1, CTkvs_PutInt(set, k * 3, k, &err));
    ASSERT_EQ(1, CTkvs_PutString(set, 6, "now a text", &err));
    std::vector<CTsymbol> keys = Keys(set);
    ASSERT_EQ(size, keys.size());
    EXPECT_EQ(6u, keys[1]);
    uint32_t type = 0;
    ASSERT_EQ(1, CTkvs_GetType(set, 6, &type, &err));
    EXPECT_EQ(CT_TYPE_STRING, type);
    EXPECT_EQ(1, GetInt(set, 3));
    EXPECT_EQ(static_cast<int32_t>(size), GetInt(set, size * 3));
  }
}

TEST_F(Containers, ClearEmptiesTheSetAndItStaysUsable) {
  CTkvs set = Set();
  uint32_t err = 0;
  for (CTsymbol k = 0; k < 40; ++k) ASSERT_EQ(1, CTkvs_PutInt(set, k, 1, &err));
  ASSERT_EQ(1, CTkvs_Clear(set, &err));
  uint32_t count = 9;
  ASSERT_EQ(1, CTkvs_Count(set, &count, &err));
  EXPECT_EQ(0u, count);
  int32_t value = 0;
  EXPECT_EQ(0, CTkvs_GetInt(set, 3, &value, &err));
  EXPECT_EQ(ct::kErrNoSuchKey, err);
  ASSERT_EQ(1, CTkvs_PutInt(set, 3, 4, &err));
  EXPECT_EQ(4, GetInt(set, 3));
  EXPECT_EQ(std::vector<CTsymbol>{3}, Keys(set));
}

TEST_F(Containers, HundredThousandKeys) {
  CTkvs set = Set();
  uint32_t err = 0;
  const uint32_t n = 100000;
  // Keys spread over the word, in an order unrelated to their values.
  auto keyOf = [](uint32_t i) { return (i * 2654435761u) ^ 0x5A5A0000u; };
  for (uint32_t i = 0; i < n; ++i) {
    CTsymbol k = keyOf(i);
    if (k == CT_KVS_START_KEY || k == CT_KVS_END_KEY) continue;
    ASSERT_EQ(1, CTkvs_PutInt(set, k, static_cast<int32_t>(i), &err));
  }
  uint32_t count = 0;
  ASSERT_EQ(1, CTkvs_Count(set, &count, &err));
  EXPECT_EQ(n, count);
  for (uint32_t i = 0; i < n; i += 1000) ASSERT_EQ(1, CTkvs_PutInt(set, keyOf(i), -1, &err));
  for (uint32_t i = 0; i < n; ++i) {
    int32_t value = 0;
    ASSERT_EQ(1, CTkvs_GetInt(set, keyOf(i), &value, &err));
    ASSERT_EQ(i % 1000 == 0 ? -1 : static_cast<int32_t>(i), value) << i;
  }
  std::vector<CTsymbol> keys = Keys(set);
  ASSERT_EQ(n, keys.size());
  for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(keyOf(i), keys[i]) << i;

  CTkvs copy = Set();
  ASSERT_EQ(1, CTkvs_Copy(copy, set, &err));
  EXPECT_EQ(keys, Keys(copy));
  EXPECT_EQ(77, GetInt(copy, keyOf(77)));
}

TEST_F(Containers, RandomPutsAndCopiesMatchASimpleModel) {
  // Sizes cross the point where a set starts to use its index, and Copy
  // and Clear rebuild it: the set must always agree with a plain list.
  std::vector<std::pair<CTsymbol, int32_t>> model;
  CTkvs set = Set();
  CTkvs other = Set();
  uint32_t err = 0, state = 12345;
  auto next = [&state] { return state = state * 1103515245u + 12345u, state >> 8; };
  for (int op = 0; op < 20000; ++op) {
    const uint32_t pick = next() % 100;
    if (pick < 85) {
      const CTsymbol key = next() % (model.size() < 20 ? 24 : 400);
      const auto value = static_cast<int32_t>(next());
      ASSERT_EQ(1, CTkvs_PutInt(set, key, value, &err));
      auto found = std::find_if(model.begin(), model.end(), [key](const auto& e) { return e.first == key; });
      if (found == model.end())
        model.emplace_back(key, value);
      else
        found->second = value;
    } else if (pick < 95) {
      ASSERT_EQ(1, CTkvs_Copy(other, set, &err));
      ASSERT_EQ(1, CTkvs_Copy(set, other, &err));
    } else if (pick < 97) {
      ASSERT_EQ(1, CTkvs_Clear(set, &err));
      model.clear();
    }
    if (op % 97 == 0 || pick >= 85) {
      std::vector<CTsymbol> keys = Keys(set);
      ASSERT_EQ(model.size(), keys.size()) << op;
      for (size_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(model[i].first, keys[i]) << op;
        ASSERT_EQ(model[i].second, GetInt(set, model[i].first)) << op;
      }
      int32_t value = 0;
      ASSERT_EQ(0, CTkvs_GetInt(set, 1000, &value, &err));
    }
  }
}

// ---- Ownership, lending and copies ----

TEST_F(Containers, PutCopiesDeeplyAndKeepsNothingOfTheCaller) {
  CTkvs inner = NewSet();
  CTary list = NewArray();
  uint32_t err = 0;
  const int32_t items[] = {1, 2, 3};
  ASSERT_EQ(1, CTary_PutInt(list, items, 3, &err));
  ASSERT_EQ(1, CTkvs_PutArray(inner, 1, list, &err));
  CTkvs outer = Set();
  ASSERT_EQ(1, CTkvs_PutKVSet(outer, 5, inner, &err));
  ASSERT_EQ(1, CTkvs_PutArray(outer, 6, list, &err));

  // Changing and then destroying the caller's containers leaves the copies.
  ASSERT_EQ(1, CTkvs_PutInt(inner, 2, 9, &err));
  const int32_t other[] = {7};
  ASSERT_EQ(1, CTary_PutInt(list, other, 1, &err));
  ASSERT_EQ(1, CTkvs_Destroy(inner, &err));
  ASSERT_EQ(1, CTary_Destroy(list, &err));

  CTkvs got = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(outer, 5, &got, &err));
  EXPECT_EQ(std::vector<CTsymbol>{1}, Keys(got));
  const int32_t* read = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(1, CTkvs_GetIntArray(got, 1, &read, &count, &err));
  ASSERT_EQ(3u, count);
  EXPECT_EQ(3, read[2]);
  CTary gotArray = 0;
  ASSERT_EQ(1, CTkvs_GetArray(outer, 6, &gotArray, &err));
  ASSERT_EQ(1, CTary_GetInt(gotArray, &read, &count, &err));
  EXPECT_EQ(3u, count);
}

TEST_F(Containers, CopyIsDeepAndReplacesTheTarget) {
  CTkvs source = Set();
  CTkvs target = Set();
  CTkvs inner = Set();
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutInt(inner, 1, 1, &err));
  ASSERT_EQ(1, CTkvs_PutKVSet(source, 10, inner, &err));
  ASSERT_EQ(1, CTkvs_PutString(target, 99, "old", &err));
  ASSERT_EQ(1, CTkvs_Copy(target, source, &err));
  EXPECT_EQ(std::vector<CTsymbol>{10}, Keys(target));

  CTkvs copied = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(target, 10, &copied, &err));
  ASSERT_EQ(1, CTkvs_PutInt(copied, 1, 42, &err));
  CTkvs original = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(source, 10, &original, &err));
  EXPECT_NE(original, copied);
  EXPECT_EQ(1, GetInt(original, 1));
  EXPECT_EQ(42, GetInt(copied, 1));

  // Copying a set onto itself changes nothing.
  ASSERT_EQ(1, CTkvs_Copy(source, source, &err));
  EXPECT_EQ(std::vector<CTsymbol>{10}, Keys(source));
  EXPECT_EQ(1, GetInt(original, 1));
}

TEST_F(Containers, LentSetIsChangedInPlaceButCannotBeDestroyed) {
  CTkvs parent = Set();
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutKVSet(parent, 1, CT_kvsEmpty, &err));
  CTkvs child = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(parent, 1, &child, &err));
  CTkvs again = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(parent, 1, &again, &err));
  EXPECT_EQ(child, again);

  ASSERT_EQ(1, CTkvs_PutInt(child, 5, 55, &err));
  CTkvs copy = Set();
  ASSERT_EQ(1, CTkvs_Copy(copy, parent, &err));
  CTkvs copiedChild = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(copy, 1, &copiedChild, &err));
  EXPECT_EQ(55, GetInt(copiedChild, 5));

  EXPECT_EQ(0, CTkvs_Destroy(child, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  EXPECT_EQ(55, GetInt(child, 5));  // still there after the refused destroy
}

TEST_F(Containers, ReplacingOrDestroyingTheHolderInvalidatesLentHandles) {
  CTkvs parent = NewSet();
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutKVSet(parent, 1, CT_kvsEmpty, &err));
  ASSERT_EQ(1, CTkvs_PutKVSet(parent, 2, CT_kvsEmpty, &err));
  CTary array = Array();
  ASSERT_EQ(1, CTkvs_PutArray(parent, 3, array, &err));
  CTkvs first = 0, second = 0;
  CTary lentArray = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(parent, 1, &first, &err));
  ASSERT_EQ(1, CTkvs_GetKVSet(parent, 2, &second, &err));
  ASSERT_EQ(1, CTkvs_GetArray(parent, 3, &lentArray, &err));

  // Replacing key 1 frees its set; key 2's set is untouched.
  ASSERT_EQ(1, CTkvs_PutInt(parent, 1, 0, &err));
  uint32_t count = 0;
  EXPECT_EQ(0, CTkvs_Count(first, &count, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  EXPECT_EQ(1, CTkvs_Count(second, &count, &err));

  ASSERT_EQ(1, CTkvs_Destroy(parent, &err));
  EXPECT_EQ(0, CTkvs_Count(second, &count, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  EXPECT_EQ(0, CTary_GetCount(lentArray, &count, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
}

TEST_F(Containers, ArrayTypeChangedThroughLentHandleShowsInTheSet) {
  CTkvs set = Set();
  CTary array = Array();
  uint32_t err = 0, type = 0;
  ASSERT_EQ(1, CTkvs_PutArray(set, 1, array, &err));
  ASSERT_EQ(1, CTkvs_GetType(set, 1, &type, &err));
  EXPECT_EQ(CT_TYPE_ARRAY, type);
  CTary lent = 0;
  ASSERT_EQ(1, CTkvs_GetArray(set, 1, &lent, &err));
  const char* texts[] = {"x"};
  ASSERT_EQ(1, CTary_PutString(lent, texts, 1, &err));
  ASSERT_EQ(1, CTkvs_GetType(set, 1, &type, &err));
  EXPECT_EQ(CT_TYPE_STRING_ARRAY, type);
  const char* const* items = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(1, CTkvs_GetStringArray(set, 1, &items, &count, &err));
  ASSERT_EQ(1u, count);
  EXPECT_STREQ("x", items[0]);
}

TEST_F(Containers, PutIntoItselfOrADescendantCopiesFirst) {
  CTkvs root = Set();
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutInt(root, 1, 11, &err));
  // The root into itself: key 2 holds the root as it was before the put.
  ASSERT_EQ(1, CTkvs_PutKVSet(root, 2, root, &err));
  CTkvs child = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(root, 2, &child, &err));
  EXPECT_EQ(std::vector<CTsymbol>{1}, Keys(child));

  // The root into its own child.
  ASSERT_EQ(1, CTkvs_PutKVSet(child, 3, root, &err));
  CTkvs grandchild = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(child, 3, &grandchild, &err));
  EXPECT_EQ((std::vector<CTsymbol>{1, 2}), Keys(grandchild));

  // A child put over its own key frees the old child only after the copy.
  ASSERT_EQ(1, CTkvs_PutKVSet(root, 2, child, &err));
  uint32_t count = 0;
  EXPECT_EQ(0, CTkvs_Count(child, &count, &err));
  ASSERT_EQ(1, CTkvs_GetKVSet(root, 2, &child, &err));
  EXPECT_EQ((std::vector<CTsymbol>{1, 3}), Keys(child));

  // Copy a parent into its child and a child over its parent.
  ASSERT_EQ(1, CTkvs_Copy(child, root, &err));
  EXPECT_EQ((std::vector<CTsymbol>{1, 2}), Keys(child));
  CTkvs deeper = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(child, 2, &deeper, &err));
  ASSERT_EQ(1, CTkvs_Copy(root, deeper, &err));
  EXPECT_EQ((std::vector<CTsymbol>{1, 3}), Keys(root));
  EXPECT_EQ(11, GetInt(root, 1));
}

TEST_F(Containers, ArrayPutFromItsOwnItemsIsSafe) {
  CTary array = Array();
  uint32_t err = 0;
  const char* texts[] = {"alpha", "a longer text that does not fit inline", nullptr};
  ASSERT_EQ(1, CTary_PutString(array, texts, 3, &err));
  const char* const* items = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(1, CTary_GetString(array, &items, &count, &err));
  ASSERT_EQ(1, CTary_PutString(array, items, count, &err));
  ASSERT_EQ(1, CTary_GetString(array, &items, &count, &err));
  ASSERT_EQ(3u, count);
  EXPECT_STREQ("alpha", items[0]);
  EXPECT_STREQ("a longer text that does not fit inline", items[1]);
  EXPECT_STREQ("", items[2]);

  // An array of arrays that holds itself.
  CTary outer = Array();
  ASSERT_EQ(1, CTary_PutArray(outer, &array, 1, &err));
  ASSERT_EQ(1, CTary_PutArray(outer, &outer, 1, &err));
  const CTary* nested = nullptr;
  ASSERT_EQ(1, CTary_GetArray(outer, &nested, &count, &err));
  ASSERT_EQ(1u, count);
  uint32_t type = 0;
  ASSERT_EQ(1, CTary_GetType(nested[0], &type, &err));
  EXPECT_EQ(CT_TYPE_ARRAY_ARRAY, type);
  // Copying the outer array onto its own item.
  ASSERT_EQ(1, CTary_Copy(nested[0], outer, &err));
}

TEST_F(Containers, NestingIsBoundedAndARefusedPutChangesNothing) {
  CTkvs chain = Set();
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutInt(chain, 1, 1, &err));
  // Each round wraps the chain in one more set: depth 2, 3, ...
  uint32_t depth = 1;
  for (; depth < 200; ++depth) {
    CTkvs wrapper = NewSet();
    int ok = CTkvs_PutKVSet(wrapper, 2, chain, &err);
    if (!ok) {
      EXPECT_EQ(ct::kErrTooDeep, err);
      uint32_t count = 9;
      ASSERT_EQ(1, CTkvs_Count(wrapper, &count, &err));
      EXPECT_EQ(0u, count);
      ASSERT_EQ(1, CTkvs_Destroy(wrapper, &err));
      break;
    }
    ASSERT_EQ(1, CTkvs_Copy(chain, wrapper, &err));
    ASSERT_EQ(1, CTkvs_Destroy(wrapper, &err));
  }
  EXPECT_EQ(ct::store::kMaxDepth, depth);
  // At full depth, a put into the innermost set is refused too.
  CTkvs inner = chain;
  for (uint32_t d = 1; d < depth; ++d) ASSERT_EQ(1, CTkvs_GetKVSet(inner, 2, &inner, &err));
  EXPECT_EQ(1, CTkvs_PutInt(inner, 7, 1, &err));
  EXPECT_EQ(0, CTkvs_PutKVSet(inner, 8, CT_kvsEmpty, &err));
  EXPECT_EQ(ct::kErrTooDeep, err);
}

// ---- The permanent empty set ----

TEST_F(Containers, EmptySetReadsButNeverChanges) {
  uint32_t err = 0, count = 5;
  ASSERT_EQ(1, CTkvs_Count(CT_kvsEmpty, &count, &err));
  EXPECT_EQ(0u, count);
  EXPECT_TRUE(Keys(CT_kvsEmpty).empty());
  const char* const* texts = nullptr;
  ASSERT_EQ(1, CTkvs_GetStringArray(CT_kvsEmpty, 1, &texts, &count, &err));
  EXPECT_EQ(0u, count);

  EXPECT_EQ(0, CTkvs_PutInt(CT_kvsEmpty, 1, 1, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  EXPECT_EQ(0, CTkvs_Clear(CT_kvsEmpty, &err));
  EXPECT_EQ(0, CTkvs_Destroy(CT_kvsEmpty, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  CTkvs set = Set();
  ASSERT_EQ(1, CTkvs_PutInt(set, 1, 1, &err));
  EXPECT_EQ(0, CTkvs_Copy(CT_kvsEmpty, set, &err));
  ASSERT_EQ(1, CTkvs_Count(CT_kvsEmpty, &count, &err));
  EXPECT_EQ(0u, count);
  // Copying from it empties the target.
  ASSERT_EQ(1, CTkvs_Copy(set, CT_kvsEmpty, &err));
  ASSERT_EQ(1, CTkvs_Count(set, &count, &err));
  EXPECT_EQ(0u, count);
}

// ---- Arrays ----

TEST_F(Containers, EachPutSetsTheCodeAndReplacesTheContent) {
  CTary array = Array();
  uint32_t err = 0, type = 0, count = 0;
  ASSERT_EQ(1, CTary_GetType(array, &type, &err));
  EXPECT_EQ(CT_TYPE_ARRAY, type);
  ASSERT_EQ(1, CTary_GetCount(array, &count, &err));
  EXPECT_EQ(0u, count);

  const int32_t ints[] = {1, -2, 3};
  const float floats[] = {0.5f};
  const CTirange ir[] = {{1, 2}, {-5, 5}};
  const CTfrange fr[] = {{0.5f, 2.5f}};
  const CTsymbol syms[] = {0x00800001u, 7};
  ASSERT_EQ(1, CTary_PutInt(array, ints, 3, &err));
  ASSERT_EQ(1, CTary_GetType(array, &type, &err));
  EXPECT_EQ(CT_TYPE_INT_ARRAY, type);
  ASSERT_EQ(1, CTary_PutFloat(array, floats, 1, &err));
  ASSERT_EQ(1, CTary_GetType(array, &type, &err));
  EXPECT_EQ(CT_TYPE_FLOAT_ARRAY, type);
  ASSERT_EQ(1, CTary_GetCount(array, &count, &err));
  EXPECT_EQ(1u, count);

  struct Case {
    std::function<int()> put;
    uint32_t code;
    uint32_t count;
  };
  std::vector<Case> cases = {
      {[&] { return CTary_PutUInt(array, reinterpret_cast<const uint32_t*>(ints), 3, &err); }, CT_TYPE_UINT_ARRAY, 3},
      {[&] { return CTary_PutBool(array, ints, 2, &err); }, CT_TYPE_BOOL_ARRAY, 2},
      {[&] { return CTary_PutSymbol(array, syms, 2, &err); }, CT_TYPE_SYMBOL_ARRAY, 2},
      {[&] { return CTary_PutIRange(array, ir, 2, &err); }, CT_TYPE_IRANGE_ARRAY, 2},
      {[&] { return CTary_PutFRange(array, fr, 1, &err); }, CT_TYPE_FRANGE_ARRAY, 1},
      {[&] { return CTary_PutKVSet(array, &CT_kvsEmpty, 1, &err); }, CT_TYPE_KVSET_ARRAY, 1},
      {[&] { return CTary_PutString(array, nullptr, 0, &err); }, CT_TYPE_STRING_ARRAY, 0},
      {[&] { return CTary_PutArray(array, nullptr, 0, &err); }, CT_TYPE_ARRAY_ARRAY, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(1, c.put());
    ASSERT_EQ(1, CTary_GetType(array, &type, &err));
    EXPECT_EQ(c.code, type);
    ASSERT_EQ(1, CTary_GetCount(array, &count, &err));
    EXPECT_EQ(c.count, count);
  }

  const CTirange* ranges = nullptr;
  ASSERT_EQ(1, CTary_PutIRange(array, ir, 2, &err));
  ASSERT_EQ(1, CTary_GetIRange(array, &ranges, &count, &err));
  ASSERT_EQ(2u, count);
  EXPECT_EQ(-5, ranges[1].start);
  EXPECT_EQ(5, ranges[1].end);
}

TEST_F(Containers, BadItemsOrCountsAreRefusedAndLeaveTheArray) {
  CTary array = Array();
  uint32_t err = 0, type = 0, count = 0;
  const int32_t ints[] = {4};
  ASSERT_EQ(1, CTary_PutInt(array, ints, 1, &err));
  EXPECT_EQ(0, CTary_PutFloat(array, nullptr, 2, &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
  EXPECT_EQ(0, CTary_PutInt(array, ints, ct::store::kMaxItems + 1, &err));
  EXPECT_EQ(ct::kErrBadArgument, err);
  // One bad handle among the sets refuses the whole put.
  CTkvs good = Set();
  const CTkvs sets[] = {good, 0xDEAD0007u};
  EXPECT_EQ(0, CTary_PutKVSet(array, sets, 2, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  ASSERT_EQ(1, CTary_GetType(array, &type, &err));
  EXPECT_EQ(CT_TYPE_INT_ARRAY, type);
  ASSERT_EQ(1, CTary_GetCount(array, &count, &err));
  EXPECT_EQ(1u, count);
}

TEST_F(Containers, FloatItemsKeepEveryBit) {
  CTary array = Array();
  uint32_t err = 0, count = 0;
  const float items[] = {BitsFloat(0x7F800001u), BitsFloat(0xFFFFFFFFu), -0.0f, BitsFloat(1u)};
  ASSERT_EQ(1, CTary_PutFloat(array, items, 4, &err));
  CTary copy = Array();
  ASSERT_EQ(1, CTary_Copy(copy, array, &err));
  const float* read = nullptr;
  ASSERT_EQ(1, CTary_GetFloat(copy, &read, &count, &err));
  ASSERT_EQ(4u, count);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(FloatBits(items[i]), FloatBits(read[i])) << i;
}

TEST_F(Containers, UnknownCodesHoldPlainWords) {
  uint32_t err = 0, type = 0, count = 0;
  const uint32_t words[] = {0xFFFFFFFFu, 0, 0x7FC00000u};
  for (uint32_t code : {60u, 67u, 68u, 69u, 70u, 73u, 74u, 75u, 76u, 79u, 1000u, 0xFFFFFFFFu}) {
    CTary array = Array();
    ASSERT_EQ(1, CTary_PutWords(array, code, words, 3, &err)) << code;
    CTary copy = Array();
    ASSERT_EQ(1, CTary_Copy(copy, array, &err));
    ASSERT_EQ(1, CTary_GetType(copy, &type, &err));
    EXPECT_EQ(code, type);
    const uint32_t* read = nullptr;
    ASSERT_EQ(1, CTary_GetWords(copy, &read, &count, &err));
    ASSERT_EQ(3u, count);
    EXPECT_EQ(0, std::memcmp(words, read, sizeof words));
    // Such an array is no array of a known kind.
    const int32_t* ints = nullptr;
    EXPECT_EQ(0, CTary_GetInt(copy, &ints, &count, &err));
    EXPECT_EQ(ct::kErrWrongKind, err);
  }
}

TEST_F(Containers, PutWordsRefusesCodesWithAKindOrBelowSixty) {
  CTary array = Array();
  uint32_t err = 0, type = 0;
  const uint32_t words[] = {1};
  for (uint32_t code : {0u, 10u, 11u, 42u, 59u, 61u, 62u, 63u, 64u, 65u, 66u, 71u, 72u, 77u, 78u}) {
    EXPECT_EQ(0, CTary_PutWords(array, code, words, 1, &err)) << code;
    EXPECT_EQ(ct::kErrBadArgument, err);
  }
  ASSERT_EQ(1, CTary_GetType(array, &type, &err));
  EXPECT_EQ(CT_TYPE_ARRAY, type);
  EXPECT_EQ(0, CTary_PutWords(0, 67, words, 1, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  EXPECT_TRUE(CTary_IsKnownType(65));
  EXPECT_FALSE(CTary_IsKnownType(67));
  EXPECT_FALSE(CTary_IsKnownType(60));
}

TEST_F(Containers, ReadingAsAnotherKindFailsExceptForAFreshArray) {
  CTary array = Array();
  uint32_t err = 0, count = 7;
  const int32_t* ints = nullptr;
  const char* const* texts = nullptr;
  const CTkvs* sets = nullptr;
  const uint32_t* words = nullptr;
  // A fresh array reads as an empty array of any kind.
  ASSERT_EQ(1, CTary_GetInt(array, &ints, &count, &err));
  EXPECT_EQ(0u, count);
  EXPECT_NE(nullptr, ints);
  ASSERT_EQ(1, CTary_GetString(array, &texts, &count, &err));
  ASSERT_EQ(1, CTary_GetKVSet(array, &sets, &count, &err));
  ASSERT_EQ(1, CTary_GetWords(array, &words, &count, &err));
  EXPECT_EQ(0u, count);

  // An empty array of a kind is of that kind only.
  ASSERT_EQ(1, CTary_PutString(array, nullptr, 0, &err));
  EXPECT_EQ(0, CTary_GetInt(array, &ints, &count, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);
  ASSERT_EQ(1, CTary_GetString(array, &texts, &count, &err));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(0, CTary_GetWords(array, &words, &count, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);

  // Code 60 with words is not a fresh array.
  const uint32_t one[] = {1};
  ASSERT_EQ(1, CTary_PutWords(array, 60, one, 1, &err));
  EXPECT_EQ(0, CTary_GetInt(array, &ints, &count, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);
}

TEST_F(Containers, SetsInsideArraysAreLentAndInvalidatedWithTheArray) {
  CTary array = NewArray();
  CTkvs item = Set();
  uint32_t err = 0, count = 0;
  ASSERT_EQ(1, CTkvs_PutInt(item, 1, 10, &err));
  const CTkvs items[] = {item, item};
  ASSERT_EQ(1, CTary_PutKVSet(array, items, 2, &err));
  const CTkvs* lent = nullptr;
  ASSERT_EQ(1, CTary_GetKVSet(array, &lent, &count, &err));
  ASSERT_EQ(2u, count);
  const CTkvs first = lent[0], second = lent[1];
  EXPECT_NE(first, second);
  EXPECT_NE(item, first);
  ASSERT_EQ(1, CTkvs_PutInt(first, 1, 20, &err));
  EXPECT_EQ(10, GetInt(second, 1));
  EXPECT_EQ(10, GetInt(item, 1));
  EXPECT_EQ(0, CTkvs_Destroy(first, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);

  // A second get lends the same handles and sees the change.
  ASSERT_EQ(1, CTary_GetKVSet(array, &lent, &count, &err));
  EXPECT_EQ(first, lent[0]);
  EXPECT_EQ(20, GetInt(lent[0], 1));

  // A new put frees the old items.
  ASSERT_EQ(1, CTary_PutInt(array, nullptr, 0, &err));
  EXPECT_EQ(0, CTkvs_Count(first, &count, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
  ASSERT_EQ(1, CTary_PutKVSet(array, items, 1, &err));
  ASSERT_EQ(1, CTary_GetKVSet(array, &lent, &count, &err));
  const CTkvs last = lent[0];
  ASSERT_EQ(1, CTary_Destroy(array, &err));
  EXPECT_EQ(0, CTkvs_Count(last, &count, &err));
  EXPECT_EQ(ct::kErrBadHandle, err);
}

TEST_F(Containers, CopyKeepsTheCodeAndCopiesNestedItems) {
  CTary inner = Array();
  CTary outer = Array();
  uint32_t err = 0, type = 0, count = 0;
  const CTsymbol syms[] = {5, 6};
  ASSERT_EQ(1, CTary_PutSymbol(inner, syms, 2, &err));
  const CTary items[] = {inner};
  ASSERT_EQ(1, CTary_PutArray(outer, items, 1, &err));
  CTary copy = Array();
  ASSERT_EQ(1, CTary_Copy(copy, outer, &err));
  ASSERT_EQ(1, CTary_GetType(copy, &type, &err));
  EXPECT_EQ(CT_TYPE_ARRAY_ARRAY, type);
  const CTary* nested = nullptr;
  ASSERT_EQ(1, CTary_GetArray(copy, &nested, &count, &err));
  ASSERT_EQ(1u, count);
  const CTsymbol one[] = {9};
  ASSERT_EQ(1, CTary_PutSymbol(nested[0], one, 1, &err));
  // The original's item is unchanged.
  ASSERT_EQ(1, CTary_GetArray(outer, &nested, &count, &err));
  const CTsymbol* read = nullptr;
  ASSERT_EQ(1, CTary_GetSymbol(nested[0], &read, &count, &err));
  ASSERT_EQ(2u, count);
  EXPECT_EQ(6u, read[1]);
}

// ---- Arrays under a key ----

TEST_F(Containers, ArraysUnderAKeyReadInOneStep) {
  CTkvs set = Set();
  CTary array = Array();
  uint32_t err = 0, count = 9;
  const int32_t* bools = nullptr;
  const CTsymbol* syms = nullptr;
  const CTkvs* sets = nullptr;

  // A missing key reads as an empty array.
  ASSERT_EQ(1, CTkvs_GetBoolArray(set, 1, &bools, &count, &err));
  EXPECT_EQ(0u, count);
  ASSERT_EQ(1, CTkvs_GetKVSetArray(set, 1, &sets, &count, &err));
  EXPECT_EQ(0u, count);

  // A value that is no array, or an array of another kind, is refused.
  ASSERT_EQ(1, CTkvs_PutInt(set, 2, 1, &err));
  EXPECT_EQ(0, CTkvs_GetBoolArray(set, 2, &bools, &count, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);
  const CTsymbol items[] = {3, 4, 5};
  ASSERT_EQ(1, CTary_PutSymbol(array, items, 3, &err));
  ASSERT_EQ(1, CTkvs_PutArray(set, 3, array, &err));
  EXPECT_EQ(0, CTkvs_GetBoolArray(set, 3, &bools, &count, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);
  ASSERT_EQ(1, CTkvs_GetSymbolArray(set, 3, &syms, &count, &err));
  ASSERT_EQ(3u, count);
  EXPECT_EQ(5u, syms[2]);

  // Sets in an array under a key are lent.
  const CTkvs kvs[] = {CT_kvsEmpty};
  ASSERT_EQ(1, CTary_PutKVSet(array, kvs, 1, &err));
  ASSERT_EQ(1, CTkvs_PutArray(set, 4, array, &err));
  ASSERT_EQ(1, CTkvs_GetKVSetArray(set, 4, &sets, &count, &err));
  ASSERT_EQ(1u, count);
  ASSERT_EQ(1, CTkvs_PutString(sets[0], 8, "in place", &err));
  CTary lent = 0;
  ASSERT_EQ(1, CTkvs_GetArray(set, 4, &lent, &err));
  ASSERT_EQ(1, CTary_GetKVSet(lent, &sets, &count, &err));
  const char* text = nullptr;
  ASSERT_EQ(1, CTkvs_GetString(sets[0], 8, &text, &err));
  EXPECT_STREQ("in place", text);

  const int32_t* ints = nullptr;
  const uint32_t* uints = nullptr;
  const int32_t two[] = {-1, 2};
  ASSERT_EQ(1, CTary_PutInt(array, two, 2, &err));
  ASSERT_EQ(1, CTkvs_PutArray(set, 5, array, &err));
  ASSERT_EQ(1, CTkvs_GetIntArray(set, 5, &ints, &count, &err));
  EXPECT_EQ(-1, ints[0]);
  EXPECT_EQ(0, CTkvs_GetUIntArray(set, 5, &uints, &count, &err));
  EXPECT_EQ(ct::kErrWrongKind, err);
}

// ---- Threads ----

TEST_F(Containers, ManyThreadsOnTheirOwnAndOnSharedContainers) {
  CTkvs shared = Set();
  const int kThreads = 4;
  const int kRounds = 2000;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      uint32_t err = 0;
      for (int i = 0; i < kRounds; ++i) {
        CTkvs own = 0;
        CTary array = 0;
        if (!CTkvs_Create(&own, &err) || !CTary_Create(&array, &err)) {
          ++failures;
          continue;
        }
        const int32_t items[] = {t, i};
        bool ok = CTary_PutInt(array, items, 2, &err) && CTkvs_PutArray(own, 1, array, &err) &&
                  CTkvs_PutInt(own, 2, i, &err) &&
                  CTkvs_PutKVSet(shared, static_cast<CTsymbol>(t * kRounds + i), own, &err);
        int32_t value = -1;
        ok = ok && CTkvs_GetInt(own, 2, &value, &err) && value == i;
        // Read what another thread may be writing.
        CTsymbol key = CT_KVS_START_KEY;
        uint32_t type = 0;
        CTkvs_GetNextKey(shared, &key, &type, &err);
        ok = ok && CTary_Destroy(array, &err) && CTkvs_Destroy(own, &err);
        if (!ok) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(0, failures.load());
  uint32_t err = 0, count = 0;
  ASSERT_EQ(1, CTkvs_Count(shared, &count, &err));
  EXPECT_EQ(static_cast<uint32_t>(kThreads * kRounds), count);
  CTkvs entry = 0;
  ASSERT_EQ(1, CTkvs_GetKVSet(shared, 3 * kRounds + 17, &entry, &err));
  const int32_t* items = nullptr;
  ASSERT_EQ(1, CTkvs_GetIntArray(entry, 1, &items, &count, &err));
  ASSERT_EQ(2u, count);
  EXPECT_EQ(3, items[0]);
  EXPECT_EQ(17, items[1]);
}

TEST_F(Containers, DestroyRacingWithUseNeverCrashes) {
  // One thread destroys sets while another keeps using their handles (and
  // handles lent from inside them): every call either works or reports a
  // bad handle.
  const int kSets = 500;
  std::vector<CTkvs> sets(kSets);
  std::vector<CTkvs> lent(kSets);
  uint32_t err = 0;
  for (int i = 0; i < kSets; ++i) {
    sets[i] = NewSet();
    ASSERT_EQ(1, CTkvs_PutKVSet(sets[i], 1, CT_kvsEmpty, &err));
    ASSERT_EQ(1, CTkvs_GetKVSet(sets[i], 1, &lent[i], &err));
  }
  std::atomic<int> oddErrors{0};
  std::thread user([&] {
    uint32_t e = 0;
    for (int round = 0; round < 20; ++round) {
      for (int i = 0; i < kSets; ++i) {
        if (!CTkvs_PutInt(lent[i], 2, round, &e) && e != ct::kErrBadHandle) ++oddErrors;
        if (!CTkvs_PutInt(sets[i], 3, round, &e) && e != ct::kErrBadHandle) ++oddErrors;
      }
    }
  });
  std::thread destroyer([&] {
    uint32_t e = 0;
    for (int i = 0; i < kSets; ++i)
      if (!CTkvs_Destroy(sets[i], &e)) ++oddErrors;
  });
  user.join();
  destroyer.join();
  EXPECT_EQ(0, oddErrors.load());
  uint32_t count = 0;
  for (int i = 0; i < kSets; ++i) EXPECT_EQ(0, CTkvs_Count(lent[i], &count, &err));
}

}  // namespace
