// QV_String: the administration client's own small string.  It owns one heap
// buffer holding the text and a terminating zero, exactly as large as that;
// every construction and assignment copies, comparison is byte-wise.
//
// When a buffer cannot be allocated the string holds none: Length gives 0,
// the conversion to const char* gives null, and copying from it gives the
// empty text.
#pragma once

#include <cstdint>
#include <iosfwd>

class QV_String {
 public:
  QV_String();
  QV_String(const char* text);  // null gives the empty text
  QV_String(const QV_String& other);
  ~QV_String();

  QV_String& operator=(const QV_String& other);
  QV_String& operator=(const char* text);  // null gives the empty text

  // Appends the other's text (the other may be this string itself).
  void Concatenate(const QV_String& other);

  int32_t Length() const;
  // Negative, zero or positive, bytes compared as unsigned values.
  int32_t CompareWith(const QV_String& other) const;
  // The same with the ASCII letters A to Z taken as lower case.
  int32_t InsensitiveCompareWith(const QV_String& other) const;

  int32_t operator==(const QV_String& other) const { return CompareWith(other) == 0; }
  int32_t operator!=(const QV_String& other) const { return CompareWith(other) != 0; }
  int32_t operator<(const QV_String& other) const { return CompareWith(other) < 0; }
  int32_t operator>(const QV_String& other) const { return CompareWith(other) > 0; }
  // Against a plain text, so that `name == "x"` compares texts, never pointers.
  int32_t operator==(const char* text) const { return CompareWith(text) == 0; }
  int32_t operator!=(const char* text) const { return CompareWith(text) != 0; }

  // The buffer itself, valid until the string is next changed or destroyed.
  operator const char*() const { return m_pBuffer; }

 private:
  int32_t CompareWith(const char* text) const;
  static char* Duplicate(const char* text);

  char* m_pBuffer;
};

inline int32_t operator==(const char* text, const QV_String& string) { return string == text; }
inline int32_t operator!=(const char* text, const QV_String& string) { return string != text; }

// Reads one whitespace-delimited word; the whitespace after it stays in the
// stream.  At the end of the stream the string becomes empty.
std::istream& operator>>(std::istream& in, QV_String& string);
// Writes the text without its terminator.
std::ostream& operator<<(std::ostream& out, const QV_String& string);
