#include "dialogs/nodeconv.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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
  char* end = nullptr;
  errno = 0;
  value = std::strtod(buffer, &end);
  const int error = errno;
  // "nan" is no number a profile can hold.
  if (std::isnan(value)) return ConvNotNumber;
  return Classify(value == HUGE_VAL || value == -HUGE_VAL, error, end);
}

ConvResult StringToFloat(const char* text, float& value) {
  double wide = value;
  ConvResult result = StringToDouble(text, wide);
  value = static_cast<float>(wide);
  if (std::isinf(value)) result = ConvOutOfRange;
  return result;
}
