#include "dialogs/nodeconv.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <locale.h>

namespace {

// Copies text into buffer with the trailing white space removed.  False when
// the text is missing, too long for the buffer, or nothing is left.
bool CopyTrimmed(const char* text, char (&buffer)[kConvBufferSize]) {
  if (text == nullptr) return false;
  const size_t length = strnlen(text, kConvBufferSize);
  if (length >= static_cast<size_t>(kConvBufferSize)) return false;
  std::memcpy(buffer, text, length);
  size_t end = length;
  while (end > 0 && std::strchr(" \t\n\v\f\r", buffer[end - 1]) != nullptr) --end;
  buffer[end] = '\0';
  return end > 0;
}

// The sign a conversion takes: after leading white space, a minus.
bool StartsNegative(const char* text) {
  while (*text != '\0' && std::strchr(" \t\n\v\f\r", *text) != nullptr) ++text;
  return *text == '-';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The length of the longest start of text that is a decimal number: blanks,
// an optional sign, digits with an optional point (or a point and digits),
// then an optional exponent with digits.  Hexadecimal numbers, "inf" and
// "nan", which the C library would also take, are no decimal number.
size_t DecimalPrefix(const char* text) {
  const char* p = text;
  while (*p != '\0' && std::strchr(" \t\n\v\f\r", *p) != nullptr) ++p;
  if (*p == '+' || *p == '-') ++p;
  const char* digits = p;
  while (IsDigit(*p)) ++p;
  bool any = p != digits;
  if (*p == '.') {
    const char* fraction = ++p;
    while (IsDigit(*p)) ++p;
    any = any || p != fraction;
  }
  if (!any) return 0;
  if (*p == 'e' || *p == 'E') {
    const char* exponent = p + 1;
    if (*exponent == '+' || *exponent == '-') ++exponent;
    if (IsDigit(*exponent)) {
      p = exponent;
      while (IsDigit(*p)) ++p;
    }
  }
  return static_cast<size_t>(p - text);
}

// The decimal point is always '.', whatever the user's locale says.
double StrtodC(const char* text) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (c == static_cast<locale_t>(0)) return std::strtod(text, nullptr);
  return strtod_l(text, nullptr, c);
}

// The boundary above which a double rounds to an infinite float: halfway
// between the largest float and 2^128.
constexpr double kFloatRoundsToInfinity = 0x1.ffffffp127;

// Decides the doubtful cases: an extreme value by the error indicator, any
// other by whether the conversion took the whole text.
ConvResult Classify(bool extreme, int error, const char* end) {
  if (extreme) {
    if (error == ERANGE) return ConvOutOfRange;
    return error != 0 ? ConvNotNumber : ConvOK;
  }
  return *end != '\0' ? ConvNotNumber : ConvOK;
}

}  // namespace

ConvResult StringToLong(const char* text, long& value, long max, long min) {
  char buffer[kConvBufferSize];
  if (!CopyTrimmed(text, buffer)) return ConvNotNumber;
  char* end = nullptr;
  // A stale error from an earlier call must not decide this one.
  errno = 0;
  long long converted = std::strtoll(buffer, &end, 10);
  // Values are 32-bit: beyond that the conversion saturates and reports the
  // range error, as a 32-bit conversion does.
  if (converted > INT32_MAX) {
    converted = INT32_MAX;
    errno = ERANGE;
  } else if (converted < INT32_MIN) {
    converted = INT32_MIN;
    errno = ERANGE;
  }
  const int error = errno;
  value = static_cast<long>(converted);
  if (value > max || value < min) return ConvOutOfRange;
  return Classify(value == INT32_MAX || value == INT32_MIN, error, end);
}

ConvResult StringToULong(const char* text, unsigned long& value, unsigned long max, unsigned long min) {
  char buffer[kConvBufferSize];
  if (!CopyTrimmed(text, buffer)) return ConvNotNumber;
  char* end = nullptr;
  errno = 0;
  const unsigned long long converted = std::strtoull(buffer, &end, 10);
  int error = errno;
  // The magnitude the text spelled; a minus negates it in 32-bit unsigned
  // arithmetic.  A magnitude beyond 32 bits saturates with the range error.
  const bool negative = end != buffer && StartsNegative(buffer);
  const unsigned long long magnitude = negative ? 0ULL - converted : converted;
  uint32_t result = 0;
  if (error == ERANGE || magnitude > UINT32_MAX) {
    result = UINT32_MAX;
    error = ERANGE;
  } else {
    result = static_cast<uint32_t>(magnitude);
    if (negative) result = 0U - result;
  }
  value = result;
  if (value > max || value < min) return ConvOutOfRange;
  return Classify(value == UINT32_MAX, error, end);
}

ConvResult StringToDouble(const char* text, double& value) {
  char buffer[kConvBufferSize];
  if (!CopyTrimmed(text, buffer)) return ConvNotNumber;
  // Only the decimal start of the text is converted; what follows it makes
  // the text not a number, and no number at all converts to 0.
  const size_t length = DecimalPrefix(buffer);
  char number[kConvBufferSize];
  std::memcpy(number, buffer, length);
  number[length] = '\0';
  errno = 0;
  value = length > 0 ? StrtodC(number) : 0.0;
  const int error = errno;
  return Classify(value == HUGE_VAL || value == -HUGE_VAL, error, buffer + length);
}

ConvResult StringToFloat(const char* text, float& value) {
  double wide = value;
  const ConvResult result = StringToDouble(text, wide);
  // A text that is not a number says so first, whatever it started with.
  if (result == ConvNotNumber) {
    if (std::fabs(wide) < kFloatRoundsToInfinity) value = static_cast<float>(wide);
    return result;
  }
  // Beyond single precision the number would become infinite: out of range,
  // decided on the double so that the narrowing never overflows.
  if (result == ConvOutOfRange || !(std::fabs(wide) < kFloatRoundsToInfinity)) {
    value = std::signbit(wide) ? -HUGE_VALF : HUGE_VALF;
    return ConvOutOfRange;
  }
  value = static_cast<float>(wide);
  return ConvOK;
}
