// Bad input gives a failure status with its own code, frees all it built and
// leaves the element empty; bad elements make DEtoA fail the same way.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "s100/cterrors.h"
#include "tests/s100/deif_support.h"

using namespace deif_test;

namespace {

struct Bad {
  const char* text;
  uint32_t code;
  long stop;  // where reading stops, or -1 for the end of the text
};

void ExpectFailure(const std::string& text, uint32_t code, long stop) {
  SCOPED_TRACE(text);
  const size_t before = LiveHandles();
  QV_RawDataElement e;
  e.type = CT_TYPE_KVSET;  // must be reset even on failure
  e.value.bits = 0x1234;
  size_t at = 12345;
  QV_Status st = AtoAnyDEn(text.data(), text.size(), &at, &e, nullptr, nullptr);
  EXPECT_EQ(st.state, QV_STATE_FAILURE);
  EXPECT_EQ(st.error, code) << std::hex << "got 0x" << st.error;
  EXPECT_EQ(st.reserved, 0);
  EXPECT_EQ(e.type, CT_TYPE_NONE);
  EXPECT_EQ(at, stop < 0 ? text.size() : static_cast<size_t>(stop));
  EXPECT_EQ(LiveHandles(), before) << "everything built was freed";

  // The zero-terminated entry point agrees.
  const char* end = nullptr;
  QV_RawDataElement z;
  EXPECT_EQ(AtoAnyDE(text.c_str(), &end, &z, nullptr, nullptr).error, code);
  EXPECT_EQ(static_cast<size_t>(end - text.c_str()), at);
}

void ExpectAll(const std::vector<Bad>& cases) {
  for (const Bad& b : cases) ExpectFailure(b.text, b.code, b.stop);
}

TEST(DeifBadText, SyntaxFaults) {
  ExpectAll({
      {"kvset { #1 int 1; }", ct::kErrTextSyntax, 11},
      {"kvset { = int 1; }", ct::kErrTextSyntax, 8},
      {"kvset { #1 = int 1 #2 = int 2; }", ct::kErrTextSyntax, 19},
      {"int 1.5", ct::kErrTextSyntax, 5},
      {"int 12abc", ct::kErrTextSyntax, 6},
      {"int", ct::kErrTextTruncated, -1},
      {"string abc", ct::kErrTextSyntax, 7},
      {"string \"a\\q\"", ct::kErrTextSyntax, 9},
      {"string \"\\x0g\"", ct::kErrTextSyntax, 8},
      {"string \"\\x00\"", ct::kErrTextSyntax, 8},  // no zero byte inside a text
      {"float 1e", ct::kErrTextSyntax, 7},
      {"float nan:0x", ct::kErrTextSyntax, 10},
      {"float --1", ct::kErrTextSyntax, 6},
      {"irange 1 5", ct::kErrTextSyntax, 9},
      {"array int (1)", ct::kErrTextSyntax, 10},
      {"array int [1,, 2]", ct::kErrTextSyntax, 13},
      {"/ int 1", ct::kErrTextSyntax, 0},
      {"{}", ct::kErrTextSyntax, 0},
      {"symbol #", ct::kErrTextTruncated, -1},
      {"symbol # 5", ct::kErrTextSyntax, 8},
  });
}

TEST(DeifBadText, TruncatedText) {
  ExpectAll({
      {"", ct::kErrTextTruncated, -1},
      {"   // only a comment", ct::kErrTextTruncated, -1},
      {"kvset {", ct::kErrTextTruncated, -1},
      {"kvset { #1 = int 1;", ct::kErrTextTruncated, -1},
      {"kvset { #1 = int 1", ct::kErrTextTruncated, -1},
      {"kvset { #1 =", ct::kErrTextTruncated, -1},
      {"kvset { #1 = kvset { #2 = array int [1, 2", ct::kErrTextTruncated, -1},
      {"string \"abc", ct::kErrTextTruncated, -1},
      {"string \"abc\\", ct::kErrTextTruncated, -1},
      {"string \"abc\\x4", ct::kErrTextTruncated, -1},
      {"irange 1 to", ct::kErrTextTruncated, -1},
      {"array", ct::kErrTextTruncated, -1},
      {"array kvset [{}, ", ct::kErrTextTruncated, -1},
  });
}

TEST(DeifBadText, NumbersOutOfRange) {
  ExpectAll({
      {"int 2147483648", ct::kErrTextRange, 4},
      {"int -2147483649", ct::kErrTextRange, 4},
      {"int 99999999999999999999999999", ct::kErrTextRange, 4},
      {"uint -1", ct::kErrTextRange, 5},
      {"uint -0", ct::kErrTextRange, 5},
      {"uint 4294967296", ct::kErrTextRange, 5},
      {"uint 0x100000000", ct::kErrTextRange, 5},
      {"bool 2147483648", ct::kErrTextRange, 5},
      {"float 1e39", ct::kErrTextRange, 6},
      {"float -3.5e38", ct::kErrTextRange, 6},
      {"float 1e-50", ct::kErrTextRange, 6},
      {"float nan:0x7f800000", ct::kErrTextRange, 10},  // that pattern is inf
      {"float nan:0x3f800000", ct::kErrTextRange, 10},
      {"float nan:0x17fc00000", ct::kErrTextRange, 10},
      {"symbol #4294967296", ct::kErrTextRange, 8},
      {"array #4294967296 []", ct::kErrTextRange, 7},
      {"array irange [1 to 2147483648]", ct::kErrTextRange, 19},
      {"array #67 [-1]", ct::kErrTextRange, 11},
  });
}

TEST(DeifBadText, DuplicateKeysAndReservedKeys) {
  ExpectAll({
      {"kvset { #1 = int 1; #1 = int 1; }", ct::kErrTextDuplicateKey, 20},
      {"kvset { #1 = int 1; #0x1 = string \"x\"; }", ct::kErrTextDuplicateKey, 20},
      {"kvset { #2 = kvset { #1 = int 1; #1 = int 2; }; }", ct::kErrTextDuplicateKey, 33},
      {"kvset { #8389632 = int 1; }", ct::kErrTextReservedKey, 8},  // the iteration start key
      {"kvset { #0x00800401 = int 1; }", ct::kErrTextReservedKey, 8},
  });
}

TEST(DeifBadText, MixedArrays) {
  ExpectAll({
      {"array int [1, \"a\"]", ct::kErrTextMixedArray, 14},
      {"array int [1, string \"a\"]", ct::kErrTextMixedArray, 14},
      {"array string [\"a\", 1]", ct::kErrTextMixedArray, 19},
      {"array float [1, x]", ct::kErrTextMixedArray, 16},
      {"array bool [1, yes]", ct::kErrTextMixedArray, 15},
      {"array symbol [#1, 5]", ct::kErrTextMixedArray, 18},
      {"array kvset [{}, array int []]", ct::kErrTextMixedArray, 17},
      {"array kvset [{}, 1]", ct::kErrTextMixedArray, 17},
      {"array array [array int [], 5]", ct::kErrTextMixedArray, 27},
      {"array array [array int [], {}]", ct::kErrTextMixedArray, 27},
      {"array irange [1 to 2, \"x\"]", ct::kErrTextMixedArray, 22},
      {"array #67 [1, -inf]", ct::kErrTextMixedArray, 14},
      {"array int [-x]", ct::kErrTextMixedArray, 11},
  });
}

TEST(DeifBadText, UnknownTypesAndTrailingText) {
  ExpectAll({
      {"integer 5", ct::kErrTextBadType, 0},
      {"to 5", ct::kErrTextBadType, 0},
      {"kvset { #1 = none; }", ct::kErrTextBadType, 13},
      {"kvset { #1 = wibble 1; }", ct::kErrTextBadType, 13},
      {"array none []", ct::kErrTextBadType, 6},
      {"array #59 []", ct::kErrTextBadType, 6},
      {"array #42 []", ct::kErrTextBadType, 6},
      {"int 1 int 2", ct::kErrTextTrailing, 6},
      {"kvset {} }", ct::kErrTextTrailing, 9},
      {"none none", ct::kErrTextTrailing, 5},
  });
}

TEST(DeifBadText, NestingDeeperThanTheLimit) {
  // Stops at the container one level too deep: the innermost int array.
  std::string text = NestedText(kDeifMaxDepth + 1);
  ExpectFailure(text, ct::kErrTextTooDeep, static_cast<long>(text.rfind("array int [7]")));
}

TEST(DeifBadText, NestingDeeperThanTheLimitStopsAtTheFirstLevelTooMany) {
  // A flood of openers must fail on depth, not on the stack.
  for (const char* opener : {"array array [", "kvset { #1 = ", "array kvset [{ #1 = "}) {
    std::string text;
    while (text.size() < 2000000) text += opener;
    QV_RawDataElement e;
    size_t stop = 0;
    const size_t before = LiveHandles();
    QV_Status st = AtoAnyDEn(text.data(), text.size(), &stop, &e, nullptr, nullptr);
    EXPECT_EQ(st.error, ct::kErrTextTooDeep) << opener;
    EXPECT_LT(stop, 101 * std::strlen(opener));
    EXPECT_EQ(e.type, CT_TYPE_NONE);
    EXPECT_EQ(LiveHandles(), before);
  }
}

TEST(DeifBadText, TextOverTheSizeLimit) {
  std::string big = "string \"";
  big.resize(kDeifMaxTextBytes - 1, 'a');
  big += "\"";  // exactly at the limit: accepted
  {
    Element e;
    ASSERT_EQ(ReadText(big, &e), QV_OK);
    EXPECT_EQ(std::strlen(e.e.value.str), kDeifMaxTextBytes - 9);
  }
  big += " ";
  QV_RawDataElement e;
  EXPECT_EQ(AtoAnyDEn(big.data(), big.size(), nullptr, &e, nullptr, nullptr).error, ct::kErrTextTooLarge);
  EXPECT_EQ(e.type, CT_TYPE_NONE);
  EXPECT_EQ(AtoAnyDE(big.c_str(), nullptr, &e, nullptr, nullptr).error, ct::kErrTextTooLarge);
}

TEST(DeifBadText, NullArguments) {
  QV_RawDataElement e;
  EXPECT_EQ(AtoAnyDE(nullptr, nullptr, &e, nullptr, nullptr).error, ct::kErrInvalidArgument);
  EXPECT_EQ(e.type, CT_TYPE_NONE);
  EXPECT_EQ(AtoAnyDE("int 1", nullptr, nullptr, nullptr, nullptr).error, ct::kErrInvalidArgument);
  char* text = reinterpret_cast<char*>(1);
  EXPECT_EQ(DEtoA(nullptr, &text, nullptr, nullptr).error, ct::kErrInvalidArgument);
  EXPECT_EQ(text, nullptr);
  e.type = CT_TYPE_INT;
  EXPECT_EQ(DEtoA(&e, nullptr, nullptr, nullptr).error, ct::kErrInvalidArgument);
  QV_DestroyDataElement(nullptr);  // harmless
}

// ---- DEtoA on elements it cannot write ----

void ExpectWriteFailure(const QV_RawDataElement& e, uint32_t code) {
  char* text = reinterpret_cast<char*>(1);
  QV_Status st = DEtoA(&e, &text, nullptr, nullptr);
  EXPECT_EQ(st, QV_CreateStatus(QV_STATE_FAILURE, code, 0)) << std::hex << "got 0x" << st.error;
  EXPECT_EQ(text, nullptr);
}

TEST(DeifBadElement, HandlesThatAreNotValid) {
  QV_RawDataElement e{};
  e.type = CT_TYPE_KVSET;
  e.value.kvs = 0;
  ExpectWriteFailure(e, ct::kErrTextBadElement);
  e.value.kvs = 0xdeadbeef;
  ExpectWriteFailure(e, ct::kErrTextBadElement);

  CTkvs gone;
  uint32_t err;
  CTkvs_Create(&gone, &err);
  CTkvs_Destroy(gone, &err);
  e.value.kvs = gone;
  ExpectWriteFailure(e, ct::kErrTextBadElement);

  // A set handle given as an array, and an array whose code is not the element's.
  CTkvs set;
  CTkvs_Create(&set, &err);
  e.type = CT_TYPE_INT_ARRAY;
  e.value.ary = set;
  ExpectWriteFailure(e, ct::kErrTextBadElement);
  CTkvs_Destroy(set, &err);

  CTary a;
  CTary_Create(&a, &err);
  CTary_PutString(a, nullptr, 0, &err);
  e.type = CT_TYPE_INT_ARRAY;
  e.value.ary = a;
  ExpectWriteFailure(e, ct::kErrTextBadElement);
  CTary_Destroy(a, &err);
}

TEST(DeifBadElement, TypeCodesThatHaveNoText) {
  for (uint32_t code : {0u, 9u, 14u, 20u, 43u, 50u, 59u}) {
    QV_RawDataElement e{};
    e.type = code;
    ExpectWriteFailure(e, ct::kErrTextBadType);
  }
}

TEST(DeifBadElement, ElementsNestedDeeperThanTheLimit) {
  // 101 nested sets, then 101 nested arrays.
  uint32_t err;
  CTkvs inner;
  CTkvs_Create(&inner, &err);
  for (int d = 1; d <= kDeifMaxDepth; ++d) {
    CTkvs outer;
    CTkvs_Create(&outer, &err);
    ASSERT_EQ(CTkvs_PutKVSet(outer, 1, inner, &err), 1);
    CTkvs_Destroy(inner, &err);
    inner = outer;
  }
  Element sets;
  sets.e.type = CT_TYPE_KVSET;
  sets.e.value.kvs = inner;
  ExpectWriteFailure(sets.e, ct::kErrTextTooDeep);

  CTary ainner;
  CTary_Create(&ainner, &err);
  CTary_PutInt(ainner, nullptr, 0, &err);
  for (int d = 1; d <= kDeifMaxDepth; ++d) {
    CTary outer;
    CTary_Create(&outer, &err);
    ASSERT_EQ(CTary_PutArray(outer, &ainner, 1, &err), 1);
    CTary_Destroy(ainner, &err);
    ainner = outer;
  }
  Element arrays;
  arrays.e.type = CT_TYPE_ARRAY_ARRAY;
  arrays.e.value.ary = ainner;
  ExpectWriteFailure(arrays.e, ct::kErrTextTooDeep);
}

TEST(DeifBadElement, TextThatWouldExceedTheSizeLimit) {
  // Control bytes take four characters each, so 17 MiB of them is too much.
  std::string s(17u << 20, '\x01');
  Element e;
  e.e.type = CT_TYPE_STRING;
  e.e.value.str = strdup(s.c_str());
  ExpectWriteFailure(e.e, ct::kErrTextTooLarge);
}

}  // namespace
