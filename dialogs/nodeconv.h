// Text-to-number conversion for the value dialogs: each function copies and
// trims the typed text, converts it with the C library, checks the bounds
// and classifies the outcome, so that a dialog can say whether the entry is
// not a number or out of range.  Values are 32-bit, as the profile's are.
#pragma once

enum ConvResult {
  ConvOK = 0,          // the whole text is a number within bounds
  ConvNotNumber = 1,   // empty, too long, or not entirely a number
  ConvOutOfRange = 2,  // outside the bounds, or the conversion overflowed
};

// Texts of this many characters or more are refused as not a number.
inline constexpr int kConvBufferSize = 200;

// Base 10.  Note the order of the bounds: the largest allowed value first.
// A number beyond 32 bits becomes the nearest 32-bit extreme and counts as
// out of range.
ConvResult StringToLong(const char* text, long& value, long max, long min);
// Base 10, 32-bit unsigned arithmetic: a leading minus negates modulo 2^32,
// so -5 gives 4294967291.
ConvResult StringToULong(const char* text, unsigned long& value, unsigned long max, unsigned long min);
// Decimal numbers only: an optional sign, digits with an optional point,
// an optional exponent; the point is '.' in every locale.  Hexadecimal
// numbers, "inf" and "nan" are not numbers.  Overflow counts as out of
// range; an underflow gives 0 (or a denormal) and counts as a number.
ConvResult StringToDouble(const char* text, double& value);
// StringToDouble narrowed to single precision.  A text that is not a number
// is ConvNotNumber first; a number that would round to infinity in single
// precision is out of range and leaves value infinite.  An empty text leaves
// value as it was.
ConvResult StringToFloat(const char* text, float& value);
