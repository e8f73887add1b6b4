#include "platform/textbytes.h"

#include <string>

namespace {

// Length of the UTF-8 sequence that starts at p (at most end - p bytes), or
// 0 when it is not a valid, shortest-form sequence of a scalar value.
int SequenceLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  int n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) lo = 0xA0;  // no overlong forms
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (end - p < n) return 0;
  if (p[1] < lo || p[1] > hi) return 0;
  for (int i = 2; i < n; ++i)
    if ((p[i] & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

bool IsUtf8(const char* text, size_t length) {
  if (text == nullptr) return length == 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const int n = SequenceLength(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

TextEncoding EncodingOf(const char* text, int length) {
  if (text == nullptr || length <= 0) return TextEncoding::Utf8;
  return IsUtf8(text, static_cast<size_t>(length)) ? TextEncoding::Utf8 : TextEncoding::Latin1;
}

CString Latin1ToUtf8(const CString& latin1) {
  std::string out;
  out.reserve(static_cast<size_t>(latin1.GetLength()));
  for (const char ch : latin1.str()) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return CString(out);
}

bool Utf8ToLatin1(const CString& utf8, CString* latin1) {
  if (latin1 == nullptr || !IsUtf8(utf8.GetString(), static_cast<size_t>(utf8.GetLength()))) return false;
  std::string out;
  const std::string& in = utf8.str();
  for (size_t i = 0; i < in.size(); ++i) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(in[i]);
    } else if (b == 0xC2 || b == 0xC3) {
      // Valid UTF-8, so a continuation byte follows.
      out.push_back(static_cast<char>(((b & 0x03) << 6) | (static_cast<unsigned char>(in[++i]) & 0x3F)));
    } else {
      return false;
    }
  }
  *latin1 = CString(out);
  return true;
}

CString ShownAsUtf8(const CString& text) {
  return EncodingOf(text) == TextEncoding::Utf8 ? text : Latin1ToUtf8(text);
}

int FitTextLength(const char* text, int length, int maxBytes) {
  if (text == nullptr || length <= 0 || maxBytes <= 0) return 0;
  if (length <= maxBytes) return length;
  if (!IsUtf8(text, static_cast<size_t>(length))) return maxBytes;
  int cut = maxBytes;
  // Back off over continuation bytes to the start of the character cut.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}
