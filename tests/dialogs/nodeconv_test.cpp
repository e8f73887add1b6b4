#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
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
  for (const DoubleCase& c : cases) {
    double value = 9.0;
    EXPECT_EQ(StringToDouble(c.text, value), c.result) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  double value = 0;
  EXPECT_EQ(StringToDouble("nan", value), ConvNotNumber);
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
