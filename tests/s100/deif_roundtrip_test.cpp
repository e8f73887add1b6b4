// Round trips of the data-element text: every value that DEtoA writes reads
// back through AtoAnyDE as the same element, bit for bit.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "s100/cterrors.h"
#include "tests/s100/deif_support.h"
#include "tests/support/containers.h"

using namespace deif_test;

namespace {

using testsupport::BitsFloat;

// Writes, reads back, compares; returns the text.
std::string RoundTrip(const QV_RawDataElement& e, QV_SymbolTranslator tr = nullptr, void* ctx = nullptr) {
  std::string text = Write(e, tr, ctx);
  Element back;
  QV_Status st = ReadText(text, &back, tr, ctx);
  EXPECT_EQ(st, QV_OK) << std::hex << "error 0x" << st.error << " reading:\n" << text;
  std::string why;
  EXPECT_TRUE(SameElement(e, back.e, &why)) << why << "\n" << text;
  // Writing what was read gives the same text again.
  EXPECT_EQ(Write(back.e, tr, ctx), text);
  return text;
}

QV_RawDataElement Scalar(uint32_t type, uint32_t word0, uint32_t word1 = 0) {
  QV_RawDataElement e{};
  e.type = type;
  e.value.bits = (uint64_t{word1} << 32) | word0;
  return e;
}

TEST(DeifRoundTrip, ScalarsKeepEveryBitAndReadAsWritten) {
  struct Case {
    QV_RawDataElement e;
    const char* text;
  } cases[] = {
      {Scalar(CT_TYPE_NONE, 0), "none"},
      {Scalar(CT_TYPE_INT, 0x80000000u), "int -2147483648"},
      {Scalar(CT_TYPE_INT, 0x7fffffffu), "int 2147483647"},
      {Scalar(CT_TYPE_UINT, 0xffffffffu), "uint 4294967295"},
      {Scalar(CT_TYPE_BOOL, 1), "bool 1"},
      {Scalar(CT_TYPE_BOOL, 7), "bool 7"},  // kept as given, not made 0 or 1
      {Scalar(CT_TYPE_BOOL, 0xffffffffu), "bool -1"},
      {Scalar(CT_TYPE_SYMBOL, 777), "symbol #777"},
      {Scalar(CT_TYPE_FLOAT, 0x3fc00000u), "float 1.5"},
      {Scalar(CT_TYPE_IRANGE, 0xfffffffdu, 9), "irange -3 to 9"},
      {Scalar(CT_TYPE_FRANGE, 0x3f000000u, 0x40200000u), "frange 0.5 to 2.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(RoundTrip(c.e), c.text);
  }
}

TEST(DeifRoundTrip, SpecialFloatsKeepTheirBitPatterns) {
  const uint32_t patterns[] = {
      0x00000000u,  // 0
      0x80000000u,  // -0
      0x7f800000u,  // inf
      0xff800000u,  // -inf
      0x7fc00000u,  // quiet NaN
      0x7fc00001u,  // NaN with a payload
      0xffc00000u,  // negative NaN
      0x7f800001u,  // signalling NaN
      0xffffffffu,
      0x00000001u,  // smallest subnormal
      0x807fffffu,  // largest negative subnormal
      0x7f7fffffu,  // largest finite
      0x00800000u,  // smallest normal
      0x3dcccccdu,  // 0.1f
  };
  for (uint32_t b : patterns) {
    SCOPED_TRACE(b);
    RoundTrip(Scalar(CT_TYPE_FLOAT, b));
    RoundTrip(Scalar(CT_TYPE_FRANGE, b, ~b));
  }
  EXPECT_EQ(Write(Scalar(CT_TYPE_FLOAT, 0x80000000u)), "float -0");
  EXPECT_EQ(Write(Scalar(CT_TYPE_FLOAT, 0xff800000u)), "float -inf");
  EXPECT_EQ(Write(Scalar(CT_TYPE_FLOAT, 0x7fc00001u)), "float nan:0x7fc00001");
}

TEST(DeifRoundTrip, FloatsAreWrittenShort) {
  auto text = [](float f) {
    QV_RawDataElement e{};
    e.type = CT_TYPE_FLOAT;
    e.value.f = f;
    return Write(e).substr(6);
  };
  EXPECT_EQ(text(0.1f), "0.1");  // not exact: the shortest that reads back
  EXPECT_EQ(text(1234.5625f), "1234.5625");
  EXPECT_EQ(text(-0.00390625f), "-0.00390625");
  EXPECT_EQ(text(1000000.0f), "1000000");
  EXPECT_EQ(text(1562.515625f), "1562.5156");  // the exact value has more digits than needed
  EXPECT_EQ(text(16777216.0f), "16777216");
  EXPECT_EQ(text(1e10f), "1e+10");
  EXPECT_EQ(text(3.4028235e38f), "3.4028235e+38");
  EXPECT_EQ(text(1e-45f), "1e-45");
}

TEST(DeifRoundTrip, FloatsWithFewDecimalPlacesAreShortestAndExact) {
  // Binary fractions and short decimals: the text is the standard shortest
  // form whenever that form is positional, and always reads back exactly.
  std::vector<float> values;
  for (int k = -300000; k <= 300000; k += 7) values.push_back(static_cast<float>(k) / 64.0f);
  for (int k = 1; k < 4000000; k += 997) values.push_back(std::ldexp(static_cast<float>(k), -8));
  for (int k = 1; k < 16777216; k += 65521) values.push_back(static_cast<float>(k));
  for (int k = 1; k < 1000000; k += 999) values.push_back(static_cast<float>(k) / 100000.0f);
  values.push_back(0.99999994f);  // the largest float below 1
  values.push_back(std::nextafter(1.0f, 2.0f));
  values.push_back(16777215.0f);
  values.push_back(0.00000001f);
  for (float f : values) {
    QV_RawDataElement e{};
    e.type = CT_TYPE_FLOAT;
    e.value.f = f;
    const std::string text = Write(e).substr(6);
    char standard[32];
    *std::to_chars(standard, standard + sizeof standard, f).ptr = '\0';
    if (std::strchr(standard, 'e') == nullptr) {
      ASSERT_EQ(text, standard) << f;
    }
    Element back;
    ASSERT_EQ(ReadText("float " + text, &back.e), QV_OK) << text;
    ASSERT_EQ(std::memcmp(&back.e.value.f, &f, 4), 0) << text;
  }
}

TEST(DeifRoundTrip, DecimalsHalfwayBetweenFloatsGoToTheEvenOne) {
  // Above 2^23 floats are a whole unit (above 2^24 two units) apart; a
  // decimal exactly halfway reads as the float with the even mantissa, one
  // a hair past halfway as the nearer float.
  const struct {
    const char* text;
    float want;
  } cases[] = {
      {"8388609.5", 8388610.0f},        {"8388610.5", 8388610.0f},
      {"8388610.5000001", 8388611.0f},  {"8388610.4999999", 8388610.0f},
      {"16777217", 16777216.0f},        {"16777219", 16777220.0f},
      {"16777217.000001", 16777218.0f}, {"-16777217", -16777216.0f},
      {"0.500000029802322387695312", 0.5f},
  };
  for (const auto& c : cases) {
    Element e;
    ASSERT_EQ(ReadText(std::string("float ") + c.text, &e.e), QV_OK) << c.text;
    EXPECT_EQ(std::memcmp(&e.e.value.f, &c.want, 4), 0) << c.text << " read as " << e.e.value.f;
  }
}

TEST(DeifRoundTrip, FloatsOfRandomBitsReadBackExactly) {
  // Many patterns in one array keeps this quick.
  std::vector<float> items;
  uint32_t x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1664525u + 1013904223u;
    items.push_back(BitsFloat(x));
  }
  CTary a;
  uint32_t err;
  CTary_Create(&a, &err);
  ASSERT_EQ(CTary_PutFloat(a, items.data(), static_cast<uint32_t>(items.size()), &err), 1);
  Element e;
  e.e.type = CT_TYPE_FLOAT_ARRAY;
  e.e.value.ary = a;
  RoundTrip(e.e);
}

TEST(DeifRoundTrip, DecimalsReadAsTheNearestFloat) {
  // Hand-written decimals of every length, against the standard conversion.
  uint32_t x = 777;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1664525u + 1013904223u;
    uint32_t digits = x % 1000000000u;
    int point = static_cast<int>((x >> 7) % 12);
    std::string s = std::to_string(digits);
    if (point > 0 && point < static_cast<int>(s.size())) s.insert(s.size() - static_cast<size_t>(point), ".");
    if (x & 1) s = "-" + s;
    float expected;
    std::from_chars(s.data(), s.data() + s.size(), expected);
    Element e;
    ASSERT_EQ(ReadText("float " + s, &e.e), QV_OK) << s;
    uint32_t want, got;
    std::memcpy(&want, &expected, 4);
    std::memcpy(&got, &e.e.value.f, 4);
    ASSERT_EQ(got, want) << s;
  }
}

TEST(DeifRoundTrip, StringsKeepEveryByteAndAreWrittenAsPlainAscii) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  Element e;
  e.e.type = CT_TYPE_STRING;
  e.e.value.str = strdup(all.c_str());
  std::string text = RoundTrip(e.e);
  for (unsigned char c : text) EXPECT_TRUE(c >= 0x20 && c < 0x7f) << int(c);
  EXPECT_NE(text.find("!\\\"#"), std::string::npos) << "the quote is escaped";
  EXPECT_NE(text.find("[\\\\]"), std::string::npos) << "the backslash is escaped";

  Element quoted;
  ASSERT_EQ(ReadText("string \"a \\\"quoted\\\" text\\n\\t\\r\\x7f\\xFF\"", &quoted), QV_OK);
  EXPECT_STREQ(quoted.e.value.str, "a \"quoted\" text\n\t\r\x7f\xff");
}

TEST(DeifRoundTrip, NullStringIsWrittenAsEmptyText) {
  QV_RawDataElement e = Scalar(CT_TYPE_STRING, 0);
  e.value.str = nullptr;
  EXPECT_EQ(Write(e), "string \"\"");
}

TEST(DeifRoundTrip, EmptyArraysKeepTheirElementType) {
  const struct {
    uint32_t code;
    const char* text;
  } codes[] = {
      {CT_TYPE_INT_ARRAY, "array int []"},       {CT_TYPE_UINT_ARRAY, "array uint []"},
      {CT_TYPE_BOOL_ARRAY, "array bool []"},     {CT_TYPE_FRANGE_ARRAY, "array frange []"},
      {CT_TYPE_IRANGE_ARRAY, "array irange []"}, {CT_TYPE_KVSET_ARRAY, "array kvset []"},
      {CT_TYPE_SYMBOL_ARRAY, "array symbol []"}, {CT_TYPE_FLOAT_ARRAY, "array float []"},
      {CT_TYPE_STRING_ARRAY, "array string []"}, {CT_TYPE_ARRAY_ARRAY, "array array []"},
      {CT_TYPE_ARRAY, "array #60 []"},
  };
  for (const auto& c : codes) {
    SCOPED_TRACE(c.text);
    CTary a;
    uint32_t err;
    CTary_Create(&a, &err);
    switch (c.code) {
      case CT_TYPE_INT_ARRAY: CTary_PutInt(a, nullptr, 0, &err); break;
      case CT_TYPE_UINT_ARRAY: CTary_PutUInt(a, nullptr, 0, &err); break;
      case CT_TYPE_BOOL_ARRAY: CTary_PutBool(a, nullptr, 0, &err); break;
      case CT_TYPE_FRANGE_ARRAY: CTary_PutFRange(a, nullptr, 0, &err); break;
      case CT_TYPE_IRANGE_ARRAY: CTary_PutIRange(a, nullptr, 0, &err); break;
      case CT_TYPE_KVSET_ARRAY: CTary_PutKVSet(a, nullptr, 0, &err); break;
      case CT_TYPE_SYMBOL_ARRAY: CTary_PutSymbol(a, nullptr, 0, &err); break;
      case CT_TYPE_FLOAT_ARRAY: CTary_PutFloat(a, nullptr, 0, &err); break;
      case CT_TYPE_STRING_ARRAY: CTary_PutString(a, nullptr, 0, &err); break;
      case CT_TYPE_ARRAY_ARRAY: CTary_PutArray(a, nullptr, 0, &err); break;
      default: break;  // a fresh array
    }
    Element e;
    e.e.type = c.code;
    e.e.value.ary = a;
    EXPECT_EQ(RoundTrip(e.e), c.text);
  }
}

TEST(DeifRoundTrip, ArraysWithoutElementKindKeepCodeAndWords) {
  const uint32_t codes[] = {60, 67, 68, 69, 70, 73, 74, 75, 76, 79, 4096, 0xffffffffu};
  const uint32_t words[] = {0, 1, 0x80000000u, 0xffffffffu};
  for (uint32_t code : codes) {
    SCOPED_TRACE(code);
    CTary a;
    uint32_t err;
    CTary_Create(&a, &err);
    ASSERT_EQ(CTary_PutWords(a, code, words, 4, &err), 1);
    Element e;
    e.e.type = code;
    e.e.value.ary = a;
    EXPECT_EQ(RoundTrip(e.e), "array #" + std::to_string(code) + " [0, 1, 2147483648, 4294967295]");
  }
}

TEST(DeifRoundTrip, EveryArrayKindWithItems) {
  Element e;
  ASSERT_EQ(ReadText("array array [array int [-1, 2], array uint [4294967295], array bool [0, 1, 5],"
                     " array symbol [#1, #2], array float [0.25, -inf, nan:0x7fc00002],"
                     " array irange [1 to 5, -2147483648 to 2147483647], array frange [0.5 to 2.5],"
                     " array string [\"a\", \"\", \"\\x01\"], array kvset [{}, { #5 = int 1; }],"
                     " array array [array #67 [1]], array #60 []]",
                     &e),
            QV_OK);
  EXPECT_EQ(e.e.type, CT_TYPE_ARRAY_ARRAY);
  RoundTrip(e.e);
}

// Builds depth nested sets (the outermost counts) under key 1.
CTkvs NestedSets(int depth) {
  CTkvs inner;
  uint32_t err;
  CTkvs_Create(&inner, &err);
  CTkvs_PutInt(inner, 1, 42, &err);
  for (int d = 1; d < depth; ++d) {
    CTkvs outer;
    CTkvs_Create(&outer, &err);
    CTkvs_PutKVSet(outer, 1, inner, &err);
    CTkvs_Destroy(inner, &err);
    inner = outer;
  }
  return inner;
}

TEST(DeifRoundTrip, NestingUpToTheLimitRoundTrips) {
  Element sets;
  sets.e.type = CT_TYPE_KVSET;
  sets.e.value.kvs = NestedSets(kDeifMaxDepth);
  RoundTrip(sets.e);

  // Arrays and sets mixed, to the same depth.
  std::string text = NestedText(kDeifMaxDepth);
  Element arrays;
  ASSERT_EQ(ReadText(text, &arrays), QV_OK);
  RoundTrip(arrays.e);
}

TEST(DeifRoundTrip, RandomElementsRoundTripWithAndWithoutNames) {
  Names names;
  names.Add(1, "Alpha");
  names.Add(2, "Beta.Gamma");
  names.Add(3, "_under");
  names.Add(4, "with space");
  names.Add(5, "int");
  names.Add(6, "#7");
  names.Add(7, "");
  names.Add(8, "q\"uote\\");
  names.Add(9, "\xc3\xa4\x01");
  names.Add(10, "to");
  names.Add(0x00d00400, "ServerName");
  names.Add(0xfffffff0u, "Last");
  const size_t before = LiveHandles();
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    Generator g(seed, &names);
    Element e;
    if (seed % 3 == 0) {
      g.Any(&e, 4);
    } else {
      g.Set(&e, 4);
    }
    RoundTrip(e.e, MapTranslator, &names);
    RoundTrip(e.e);  // every symbol as #number
    if (HasFatalFailure() || HasNonfatalFailure()) break;
  }
  EXPECT_EQ(LiveHandles(), before);
}

}  // namespace
