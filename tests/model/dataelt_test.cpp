#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model/dataelt.h"
#include "s100/ctstore.h"
#include "tests/support/containers.h"

namespace {

using testsupport::BitsFloat;
using testsupport::FloatBits;

// An element given a raw code and first word, as arrives from a source that
// knows codes this program has no kind for.
class RawElement : public QV_DataElement {
 public:
  void Force(uint32_t type, uint32_t word) {
    Clear();
    m_type = type;
    SetWord(0, &word);
  }
};

bool SetAlive(CTkvs set) {
  uint32_t count = 0, err = 0;
  return CTkvs_Count(set, &count, &err) == 1;
}

bool ArrayAlive(CTary array) {
  uint32_t count = 0, err = 0;
  return CTary_GetCount(array, &count, &err) == 1;
}

class DataElement : public ::testing::Test {
 protected:
  void SetUp() override { baseline_ = ct::store::LiveHandles(); }
  // Every element of a test is gone by its end: nothing it owned may remain.
  void TearDown() override { EXPECT_EQ(baseline_, ct::store::LiveHandles()); }
  size_t baseline_ = 0;
};

// ---- Scalars ----

TEST_F(DataElement, DefaultHoldsNoValue) {
  QV_DataElement element;
  EXPECT_EQ(CT_TYPE_NONE, element.Type());
  QV_DataElement copy(element);
  EXPECT_EQ(CT_TYPE_NONE, copy.Type());
}

TEST_F(DataElement, ScalarsKeepTheirValueAndKind) {
  QV_DataElement element;
  element.SetToInt(-5);
  EXPECT_EQ(CT_TYPE_INT, element.Type());
  EXPECT_EQ(-5, element.Int());
  element.SetToUInt(0xFFFFFFFFu);
  EXPECT_EQ(CT_TYPE_UINT, element.Type());
  EXPECT_EQ(0xFFFFFFFFu, element.UInt());
  EXPECT_EQ(-1, element.Int());  // the same word read as another kind
  element.SetToBool(7);
  EXPECT_EQ(CT_TYPE_BOOL, element.Type());
  EXPECT_EQ(7, element.Bool());
  element.SetToSymbol(0x00800123u);
  EXPECT_EQ(CT_TYPE_SYMBOL, element.Type());
  EXPECT_EQ(0x00800123u, element.Symbol());
  element.SetToIRange(CTirange{-3, 9});
  EXPECT_EQ(CT_TYPE_IRANGE, element.Type());
  EXPECT_EQ(-3, element.IRange().start);
  EXPECT_EQ(9, element.IRange().end);
  element.SetToFRange(CTfrange{0.5f, 2.5f});
  EXPECT_EQ(CT_TYPE_FRANGE, element.Type());
  EXPECT_EQ(0.5f, element.FRange().start);
  EXPECT_EQ(2.5f, element.FRange().end);
}

TEST_F(DataElement, CopiesOfScalarsKeepEveryBit) {
  QV_DataElement source;
  source.SetToFloat(BitsFloat(0x7FA00001u));  // a signalling NaN with a payload
  QV_DataElement copy(source);
  EXPECT_EQ(CT_TYPE_FLOAT, copy.Type());
  EXPECT_EQ(0x7FA00001u, FloatBits(copy.Float()));

  source.SetToFRange(CTfrange{-0.0f, BitsFloat(0xFFC00007u)});
  copy = source;
  EXPECT_EQ(CT_TYPE_FRANGE, copy.Type());
  EXPECT_EQ(0x80000000u, FloatBits(copy.FRange().start));
  EXPECT_EQ(0xFFC00007u, FloatBits(copy.FRange().end));

  for (auto set : {+[](QV_DataElement& e) { e.SetToInt(INT32_MIN); }, +[](QV_DataElement& e) { e.SetToBool(-2); },
                   +[](QV_DataElement& e) { e.SetToSymbol(0xFFFFFFFEu); }, +[](QV_DataElement& e) { e.SetToUInt(3); },
                   +[](QV_DataElement& e) { e.SetToIRange(CTirange{INT32_MAX, INT32_MIN}); }}) {
    set(source);
    copy = source;
    EXPECT_EQ(source.Type(), copy.Type());
    EXPECT_EQ(source.UInt(), copy.UInt());
    EXPECT_EQ(source.IRange().end, copy.IRange().end);
  }
}

// ---- Strings ----

TEST_F(DataElement, StringsAreCopiedAndNullStaysNull) {
  QV_DataElement element;
  element.SetToString(nullptr);
  EXPECT_EQ(CT_TYPE_STRING, element.Type());
  EXPECT_EQ(nullptr, element.String());
  QV_DataElement nullCopy(element);
  EXPECT_EQ(CT_TYPE_STRING, nullCopy.Type());
  EXPECT_EQ(nullptr, nullCopy.String());

  element.SetToString("");
  ASSERT_NE(nullptr, element.String());
  EXPECT_STREQ("", element.String());

  char text[] = "caller's \xFF text";
  element.SetToString(text);
  EXPECT_NE(text, element.String());
  text[0] = 'X';
  EXPECT_STREQ("caller's \xFF text", element.String());

  QV_DataElement copy(element);
  EXPECT_NE(element.String(), copy.String());
  EXPECT_STREQ(element.String(), copy.String());
}

TEST_F(DataElement, SettingAnotherKindFreesTheString) {
  // The leak check of the sanitizer build catches a string left behind.
  QV_DataElement element;
  element.SetToString("to be freed");
  element.SetToInt(5);
  EXPECT_EQ(CT_TYPE_INT, element.Type());
  EXPECT_EQ(5, element.Int());
}

TEST_F(DataElement, SetFromItsOwnStringKeepsTheText) {
  QV_DataElement element;
  element.SetToString("same text");
  element.SetToString(element.String());
  EXPECT_STREQ("same text", element.String());
}

// ---- Sets ----

TEST_F(DataElement, KVSetIsCopiedInAndOut) {
  CTkvs set = 0;
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_Create(&set, &err));
  ASSERT_EQ(1, CTkvs_PutInt(set, 7, 70, &err));
  QV_DataElement element;
  element.SetToKVSet(set);
  EXPECT_EQ(CT_TYPE_KVSET, element.Type());
  EXPECT_NE(set, element.KVSet());
  ASSERT_EQ(1, CTkvs_Destroy(set, &err));  // the caller keeps and frees its own

  int32_t value = 0;
  ASSERT_EQ(1, CTkvs_GetInt(element.KVSet(), 7, &value, &err));
  EXPECT_EQ(70, value);

  QV_DataElement copy(element);
  EXPECT_NE(element.KVSet(), copy.KVSet());
  ASSERT_EQ(1, CTkvs_PutInt(copy.KVSet(), 7, 71, &err));
  ASSERT_EQ(1, CTkvs_GetInt(element.KVSet(), 7, &value, &err));
  EXPECT_EQ(70, value);

  const CTkvs owned = element.KVSet();
  element.SetToBool(1);
  EXPECT_FALSE(SetAlive(owned));
}

TEST_F(DataElement, SetFromItsOwnKVSetKeepsTheContent) {
  QV_DataElement element;
  element.SetToKVSet(CT_kvsEmpty);
  uint32_t err = 0;
  ASSERT_EQ(1, CTkvs_PutString(element.KVSet(), 3, "kept", &err));
  element.SetToKVSet(element.KVSet());
  const char* text = nullptr;
  ASSERT_EQ(1, CTkvs_GetString(element.KVSet(), 3, &text, &err));
  EXPECT_STREQ("kept", text);
}

// ---- Arrays ----

TEST_F(DataElement, ArrayTakesTheCodeOfItsArray) {
  CTary array = 0;
  uint32_t err = 0;
  ASSERT_EQ(1, CTary_Create(&array, &err));
  const CTirange items[] = {{1, 2}};
  ASSERT_EQ(1, CTary_PutIRange(array, items, 1, &err));
  QV_DataElement element;
  element.SetToArray(array);
  EXPECT_EQ(CT_TYPE_IRANGE_ARRAY, element.Type());
  EXPECT_NE(array, element.Array());
  ASSERT_EQ(1, CTary_Destroy(array, &err));

  QV_DataElement copy;
  copy = element;
  EXPECT_EQ(CT_TYPE_IRANGE_ARRAY, copy.Type());
  EXPECT_NE(element.Array(), copy.Array());
  const CTirange* read = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(1, CTary_GetIRange(copy.Array(), &read, &count, &err));
  ASSERT_EQ(1u, count);
  EXPECT_EQ(2, read[0].end);

  // Set from its own array: copied before the old one is freed.
  element.SetToArray(element.Array());
  EXPECT_EQ(CT_TYPE_IRANGE_ARRAY, element.Type());
  ASSERT_EQ(1, CTary_GetIRange(element.Array(), &read, &count, &err));
  EXPECT_EQ(1u, count);

  // A fresh array keeps code 60.
  CTary fresh = 0;
  ASSERT_EQ(1, CTary_Create(&fresh, &err));
  element.SetToArray(fresh);
  EXPECT_EQ(CT_TYPE_ARRAY, element.Type());
  ASSERT_EQ(1, CTary_Destroy(fresh, &err));
}

TEST_F(DataElement, UnknownCodes) {
  // Code 50 has no kind: it copies as no value.
  RawElement odd;
  odd.Force(50, 1234);
  QV_DataElement copy(odd);
  EXPECT_EQ(CT_TYPE_NONE, copy.Type());
  copy.SetToString("overwritten");
  copy = odd;
  EXPECT_EQ(CT_TYPE_NONE, copy.Type());

  // Code 67 is an array without an element kind: copied through the
  // container library, words and code alike.
  CTary words = 0;
  uint32_t err = 0;
  ASSERT_EQ(1, CTary_Create(&words, &err));
  const uint32_t items[] = {0xDEADBEEFu, 0};
  ASSERT_EQ(1, CTary_PutWords(words, 67, items, 2, &err));
  QV_DataElement element;
  element.SetToArray(words);
  ASSERT_EQ(1, CTary_Destroy(words, &err));
  EXPECT_EQ(67u, element.Type());
  QV_DataElement second(element);
  EXPECT_EQ(67u, second.Type());
  EXPECT_NE(element.Array(), second.Array());
  const uint32_t* read = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(1, CTary_GetWords(second.Array(), &read, &count, &err));
  ASSERT_EQ(2u, count);
  EXPECT_EQ(0xDEADBEEFu, read[0]);
}

TEST_F(DataElement, ArrayFromABadHandleHoldsNoValueAndLeaksNothing) {
  QV_DataElement element;
  element.SetToArray(0x12345678u);
  EXPECT_EQ(CT_TYPE_NONE, element.Type());
  // TearDown checks that no array was left behind.
}

// ---- Assignment and ownership ----

TEST_F(DataElement, SelfAssignmentLeavesEverythingInPlace) {
  QV_DataElement text;
  text.SetToString("stay");
  char* buffer = text.String();
  QV_DataElement& sameText = text;
  text = sameText;
  EXPECT_EQ(buffer, text.String());
  EXPECT_STREQ("stay", text.String());

  QV_DataElement set;
  set.SetToKVSet(CT_kvsEmpty);
  const CTkvs handle = set.KVSet();
  QV_DataElement& sameSet = set;
  set = sameSet;
  EXPECT_EQ(handle, set.KVSet());
  EXPECT_TRUE(SetAlive(handle));

  CTary array = 0;
  uint32_t err = 0;
  ASSERT_EQ(1, CTary_Create(&array, &err));
  QV_DataElement arr;
  arr.SetToArray(array);
  ASSERT_EQ(1, CTary_Destroy(array, &err));
  const CTary owned = arr.Array();
  QV_DataElement& sameArr = arr;
  arr = sameArr;
  EXPECT_EQ(owned, arr.Array());
  EXPECT_TRUE(ArrayAlive(owned));
}

TEST_F(DataElement, AssignmentFreesWhatTheTargetHeld) {
  QV_DataElement target;
  target.SetToKVSet(CT_kvsEmpty);
  const CTkvs oldSet = target.KVSet();
  QV_DataElement source;
  source.SetToInt(3);
  target = source;
  EXPECT_FALSE(SetAlive(oldSet));
  EXPECT_EQ(CT_TYPE_INT, target.Type());
  EXPECT_EQ(3, target.Int());

  CTary array = 0;
  uint32_t err = 0;
  ASSERT_EQ(1, CTary_Create(&array, &err));
  target.SetToArray(array);
  ASSERT_EQ(1, CTary_Destroy(array, &err));
  const CTary oldArray = target.Array();
  target.SetToString("x");
  EXPECT_FALSE(ArrayAlive(oldArray));
}

TEST_F(DataElement, ArraysOfElementsAreAllocatedAndFreedAsArrays) {
  auto* elements = new QV_DataElement[3];
  elements[0].SetToKVSet(CT_kvsEmpty);
  elements[1].SetToString("item");
  elements[2] = elements[0];
  EXPECT_NE(elements[0].KVSet(), elements[2].KVSet());
  delete[] elements;  // TearDown: both sets are gone
}

}  // namespace
