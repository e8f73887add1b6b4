#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "dialogs/nodeconv.h"

namespace {

constexpr long kLongMax = 2147483647L;
constexpr long kLongMin = -2147483647L - 1;
constexpr unsigned long kULongMax = 4294967295UL;
constexpr long kUntouched = 777;

struct LongCase {
  const char* text;
  ConvResult result;
  long value;  // kUntouched: not written
};

struct ULongCase {
  const char* text;
  ConvResult result;
  unsigned long value;
};

struct DoubleCase {
  const char* text;
  ConvResult result;
  double value;
};

// Each text converts with its result, value starting at 9 and ending as given.
template <size_t N>
void ExpectDoubles(const DoubleCase (&cases)[N]) {
  for (const DoubleCase& c : cases) {
    double value = 9.0;
    EXPECT_EQ(StringToDouble(c.text, value), c.result) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

}  // namespace

TEST(NodeConv, StringToLongClassifiesEveryKindOfText) {
  const LongCase cases[] = {
      {" 42 \t\r\n", ConvOK, 42},
      {"4 2", ConvNotNumber, 4},
      {"12abc", ConvNotNumber, 12},
      {"", ConvNotNumber, kUntouched},
      {" \t\v\f ", ConvNotNumber, kUntouched},
      {"2147483647", ConvOK, kLongMax},
      {"-2147483648", ConvOK, kLongMin},
      {"+17", ConvOK, 17},
      {"2147483648", ConvOutOfRange, kLongMax},
      {"-2147483649", ConvOutOfRange, kLongMin},
      {"99999999999999999999999", ConvOutOfRange, kLongMax},
      {"0x10", ConvNotNumber, 0},
      {"-", ConvNotNumber, 0},
      {"abc", ConvNotNumber, 0},
  };
  for (const LongCase& c : cases) {
    long value = kUntouched;
    EXPECT_EQ(StringToLong(c.text, value, kLongMax, kLongMin), c.result) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(NodeConv, BoundsNarrowerThanTheTypeAreOutOfRange) {
  long value = 0;
  EXPECT_EQ(StringToLong("11", value, 10, -10), ConvOutOfRange);
  EXPECT_EQ(value, 11);
  EXPECT_EQ(StringToLong("-11", value, 10, -10), ConvOutOfRange);
  EXPECT_EQ(StringToLong("10", value, 10, -10), ConvOK);
  unsigned long u = 0;
  EXPECT_EQ(StringToULong("4", u, 10, 5), ConvOutOfRange);
  EXPECT_EQ(StringToULong("5", u, 10, 5), ConvOK);
}

TEST(NodeConv, AStaleRangeErrorDoesNotRefuseAnExtremeValue) {
  // Each conversion clears the error indicator first.
  const char* extremes[] = {"2147483647", "-2147483648"};
  for (const char* text : extremes) {
    errno = ERANGE;
    long value = 0;
    EXPECT_EQ(StringToLong(text, value, kLongMax, kLongMin), ConvOK) << text;
  }
  errno = ERANGE;
  unsigned long u = 0;
  EXPECT_EQ(StringToULong("4294967295", u, kULongMax, 0), ConvOK);
  errno = EINVAL;
  double d = 0;
  EXPECT_EQ(StringToDouble("1", d), ConvOK);
}

TEST(NodeConv, StringToULongWrapsNegativesInThirtyTwoBits) {
  const ULongCase cases[] = {
      {"-5", ConvOK, 4294967291UL},
      {"-1", ConvOK, kULongMax},
      {" -4294967295 ", ConvOK, 1},
      {"-0", ConvOK, 0},
      {"4294967295", ConvOK, kULongMax},
      {"4294967296", ConvOutOfRange, kULongMax},
      {"-4294967296", ConvOutOfRange, kULongMax},
      {"18446744073709551616", ConvOutOfRange, kULongMax},
      {"-18446744073709551615", ConvOutOfRange, kULongMax},
      {"7x", ConvNotNumber, 7},
      {"", ConvNotNumber, 123},
  };
  for (const ULongCase& c : cases) {
    unsigned long value = 123;
    EXPECT_EQ(StringToULong(c.text, value, kULongMax, 0), c.result) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(NodeConv, StringToDoubleTellsOverflowFromUnderflow) {
  const DoubleCase cases[] = {
      {"2.5e3", ConvOK, 2500.0},
      {" -0.125 ", ConvOK, -0.125},
      {"1e999", ConvOutOfRange, HUGE_VAL},
      {"-1e999", ConvOutOfRange, -HUGE_VAL},
      {"1e-999", ConvOK, 0.0},
      {"1.5e", ConvNotNumber, 1.5},
      {"   ", ConvNotNumber, 9.0},
      {"x", ConvNotNumber, 0.0},
  };
  ExpectDoubles(cases);
  double value = 0;
  EXPECT_EQ(StringToDouble("nan", value), ConvNotNumber);
}

TEST(NodeConv, OnlyDecimalNumbersAreNumbers) {
  // Hexadecimal, infinity and nan spellings that the C library also takes
  // are refused; the decimal start of a text is still what value holds.
  const DoubleCase cases[] = {
      {"0x10", ConvNotNumber, 0.0},
      {"0X1p4", ConvNotNumber, 0.0},
      {"-0x10", ConvNotNumber, -0.0},
      {"inf", ConvNotNumber, 0.0},
      {"-INF", ConvNotNumber, 0.0},
      {"infinity", ConvNotNumber, 0.0},
      {"nan", ConvNotNumber, 0.0},
      {"nan(123)", ConvNotNumber, 0.0},
      {"1e", ConvNotNumber, 1.0},
      {"1e+", ConvNotNumber, 1.0},
      {"1.2.3", ConvNotNumber, 1.2},
      {"1 e5", ConvNotNumber, 1.0},
      {".", ConvNotNumber, 0.0},
      {"+", ConvNotNumber, 0.0},
      {" \t+1.5 ", ConvOK, 1.5},
      {".5", ConvOK, 0.5},
      {"5.", ConvOK, 5.0},
      {"-2E-3", ConvOK, -2e-3},
      {"1e39", ConvOK, 1e39},
      {"1e-310", ConvOK, 1e-310},
  };
  ExpectDoubles(cases);
  double zero = 1.0;
  EXPECT_EQ(StringToDouble("-0", zero), ConvOK);
  EXPECT_TRUE(zero == 0.0 && std::signbit(zero));
}

TEST(NodeConv, StringToFloatRefusesWhatSinglePrecisionCannotHold) {
  constexpr float kInf = HUGE_VALF;
  constexpr float kUntouchedFloat = 9.0f;
  const struct {
    const char* text;
    ConvResult result;
    float value;
  } cases[] = {
      {"1e39", ConvOutOfRange, kInf},
      {"-1e39", ConvOutOfRange, -kInf},
      {"1e999", ConvOutOfRange, kInf},
      {"-1e999", ConvOutOfRange, -kInf},
      // Below the halfway point to 2^128 a number still rounds to the
      // largest float; at and above it, it would become infinite.
      {"3.4028235e38", ConvOK, FLT_MAX},
      {"-3.4028235e38", ConvOK, -FLT_MAX},
      {"3.4028236e38", ConvOutOfRange, kInf},
      {"1e-40", ConvOK, 1e-40f},  // a denormal float
      {"1e-50", ConvOK, 0.0f},
      {" 2.5 ", ConvOK, 2.5f},
      {"inf", ConvNotNumber, 0.0f},
      {"-infinity", ConvNotNumber, 0.0f},
      {"nan", ConvNotNumber, 0.0f},
      {"0x10", ConvNotNumber, 0.0f},
      {"12abc", ConvNotNumber, 12.0f},
      // Not a number, and the number it starts with is too big to narrow.
      {"1e39x", ConvNotNumber, kUntouchedFloat},
      {"", ConvNotNumber, kUntouchedFloat},
  };
  for (const auto& c : cases) {
    float value = kUntouchedFloat;
    EXPECT_EQ(StringToFloat(c.text, value), c.result) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  float zero = 1.0f;
  EXPECT_EQ(StringToFloat("-0", zero), ConvOK);
  EXPECT_TRUE(zero == 0.0f && std::signbit(zero));
  // An empty text leaves even an infinite member as it was, as not a number.
  float infinite = kInf;
  EXPECT_EQ(StringToFloat("  ", infinite), ConvNotNumber);
  EXPECT_EQ(infinite, kInf);
}

TEST(NodeConv, TextsOfTwoHundredCharactersOrMoreAreRefusedUnread) {
  // 199 characters: zeros and a final 7.
  const std::string fits = std::string(198, '0') + "7";
  const std::string tooLong = std::string(199, '0') + "7";
  long l = kUntouched;
  EXPECT_EQ(StringToLong(fits.c_str(), l, kLongMax, kLongMin), ConvOK);
  EXPECT_EQ(l, 7);
  l = kUntouched;
  EXPECT_EQ(StringToLong(tooLong.c_str(), l, kLongMax, kLongMin), ConvNotNumber);
  EXPECT_EQ(l, kUntouched);
  unsigned long u = 3;
  EXPECT_EQ(StringToULong(tooLong.c_str(), u, kULongMax, 0), ConvNotNumber);
  EXPECT_EQ(u, 3u);
  double d = 3;
  EXPECT_EQ(StringToDouble(tooLong.c_str(), d), ConvNotNumber);
  EXPECT_EQ(d, 3.0);
  // Trailing blanks count towards the length before they are trimmed.
  const std::string padded = "7" + std::string(199, ' ');
  EXPECT_EQ(StringToLong(padded.c_str(), l, kLongMax, kLongMin), ConvNotNumber);
  EXPECT_EQ(StringToLong(nullptr, l, kLongMax, kLongMin), ConvNotNumber);
}
