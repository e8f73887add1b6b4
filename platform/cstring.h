// CString: an owning, 8-bit text value with the operations the editor's
// classes use.  No Qt here; LoadString goes through a resolver that the Qt
// layer installs (see SetStringResolver).
#pragma once

#include <cstdarg>
#include <string>

#include "platform/wintypes.h"

class CString {
 public:
  CString() = default;
  CString(const char* text);  // null gives the empty text
  CString(const char* text, int length);
  CString(const std::string& text) : m_text(text) {}
  CString(char ch, int repeat = 1);

  int GetLength() const { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const { return m_text.empty(); }
  void Empty() { m_text.clear(); }

  const char* GetString() const { return m_text.c_str(); }
  operator const char*() const { return m_text.c_str(); }
  const std::string& str() const { return m_text; }

  // Character at index; '\0' for an index outside the text.
  char GetAt(int index) const;
  void SetAt(int index, char ch);  // ignored outside the text
  char operator[](int index) const { return GetAt(index); }

  CString& operator=(const char* text);
  CString& operator+=(const CString& other);
  CString& operator+=(const char* text);
  CString& operator+=(char ch);

  friend CString operator+(const CString& a, const CString& b);
  friend CString operator+(const CString& a, const char* b);
  friend CString operator+(const char* a, const CString& b);
  friend CString operator+(const CString& a, char b);

  friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
  friend bool operator==(const CString& a, const char* b);
  friend bool operator==(const char* a, const CString& b) { return b == a; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
  friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

  // Byte-wise comparisons: <0, 0, >0.
  int Compare(const char* other) const;
  int CompareNoCase(const char* other) const;

  // printf-style formatting; the text is replaced (Format) or extended
  // (AppendFormat).  A format error leaves the text empty / unchanged.
  void Format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void AppendFormat(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void FormatV(const char* format, va_list args);
  void AppendFormatV(const char* format, va_list args);

  CString& MakeUpper();  // ASCII letters only
  CString& MakeLower();
  CString& MakeReverse();

  // Index of the first match at or after start, or -1.  An empty needle is
  // found at start when start is within the text.
  int Find(const char* sub, int start = 0) const;
  int Find(char ch, int start = 0) const;
  int ReverseFind(char ch) const;
  int FindOneOf(const char* chars) const;

  // Substrings; counts and indexes are clamped to the text.
  CString Left(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Right(int count) const;

  // Remove white space (or the given characters) from one end.
  CString& TrimLeft();
  CString& TrimRight();
  CString& Trim();
  CString& TrimLeft(const char* chars);
  CString& TrimRight(const char* chars);

  int Replace(const char* oldText, const char* newText);
  int Remove(char ch);
  int Insert(int index, const char* text);
  int Delete(int index, int count = 1);

  // Replaces the text with the string table's text for id; false (and the
  // text emptied) when no text exists for the id.
  BOOL LoadString(UINT id);

  // The function LoadString asks; installed by the string table.  A null
  // resolver makes every LoadString fail.
  using Resolver = CString (*)(unsigned id);
  static void SetStringResolver(Resolver resolver);
  static Resolver GetStringResolver();

 private:
  std::string m_text;
};
