// Words, character classes and value spellings shared by the writer and the
// reader of the data-element text, so that both agree on every spelling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "s100/deif_buffer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace deif {

// The words of the text.  Every one of them is a type word or a value word;
// none is reserved where a name is expected.
enum class Word : uint8_t {
  kNotAWord,
  kNone,
  kInt,
  kUInt,
  kBool,
  kSymbol,
  kFloat,
  kIRange,
  kFRange,
  kKVSet,
  kString,
  kArray,
  kTo,
  kTrue,
  kFalse,
  kInf,
  kNan,
};

Word LookupWord(const char* s, size_t n);

// Character classes.
enum : uint8_t {
  kSpace = 1,      // blank, tab, carriage return, line feed
  kNameStart = 2,  // A-Z a-z _
  kNameChar = 4,   // A-Z a-z 0-9 _ .
  kDigit = 8,      // 0-9
  kHexDigit = 16,  // 0-9 A-F a-f
  kPlainInString = 32,  // written as itself inside quotes: printable ASCII except " and backslash
  kQuoteStop = 64,      // ends a run of literal bytes inside quotes: " backslash NUL
};

constexpr uint8_t CharClassOf(unsigned c) {
  uint8_t k = 0;
  if (c == ' ' || c == '\t' || c == '\r' || c == '\n') k |= kSpace;
  bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  bool digit = c >= '0' && c <= '9';
  if (alpha || c == '_') k |= kNameStart;
  if (alpha || digit || c == '_' || c == '.') k |= kNameChar;
  if (digit) k |= kDigit;
  if (digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) k |= kHexDigit;
  if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') k |= kPlainInString;
  if (c == '"' || c == '\\' || c == 0) k |= kQuoteStop;
  return k;
}

struct CharClassTable {
  uint8_t v[256];
  constexpr CharClassTable() : v() {
    for (unsigned c = 0; c < 256; ++c) v[c] = CharClassOf(c);
  }
};
inline constexpr CharClassTable kCharClass{};

inline bool Is(unsigned char c, uint8_t cls) { return (kCharClass.v[c] & cls) != 0; }

// Word-at-a-time scans over text of known length.
namespace swar {
inline constexpr uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr uint64_t kHigh = 0x8080808080808080ULL;
inline uint64_t Load(const char* s) {
  uint64_t v;
  std::memcpy(&v, s, 8);
  return v;
}
// Non-zero when some byte of v is zero / is b / is below b (b <= 128).
inline uint64_t HasZero(uint64_t v) { return (v - kOnes) & ~v & kHigh; }
inline uint64_t HasByte(uint64_t v, unsigned char b) { return HasZero(v ^ (kOnes * b)); }
inline uint64_t HasBelow(uint64_t v, unsigned char b) { return (v - kOnes * b) & ~v & kHigh; }
}  // namespace swar

#if defined(__SSE2__)
namespace sse {
// Moves *i on sixteen bytes at a time; true, with *i at the byte, when
// stop() marks one of the sixteen bytes at *i, false when fewer than
// sixteen are left.
template <class Stop>
inline bool FindStop(const char* s, size_t n, size_t* i, Stop stop) {
  while (*i + 16 <= n) {
    const int mask = _mm_movemask_epi8(stop(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + *i))));
    if (mask != 0) {
      *i += static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
      return true;
    }
    *i += 16;
  }
  return false;
}
}  // namespace sse
#endif

// Length of the leading run of bytes that are written as themselves inside
// quotes.
inline size_t PlainRun(const char* s, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time; as signed bytes, those below 0x20 and those
  // with the high bit set are both "less than blank".
  const __m128i blank = _mm_set1_epi8(0x20), del = _mm_set1_epi8(0x7f);
  const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
  if (sse::FindStop(s, n, &i, [&](__m128i v) {
        return _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(v, blank), _mm_cmpeq_epi8(v, del)),
                            _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
      }))
    return i;
#endif
  while (i + 8 <= n) {
    uint64_t v = swar::Load(s + i);
    if ((v & swar::kHigh) | swar::HasBelow(v, 0x20) | swar::HasByte(v, 0x7f) | swar::HasByte(v, '"') |
        swar::HasByte(v, '\\'))
      break;
    i += 8;
  }
  while (i < n && Is(static_cast<unsigned char>(s[i]), kPlainInString)) ++i;
  return i;
}

// Length of the leading run of bytes inside quotes that are taken as they
// stand: everything up to a quote, a backslash or a zero byte.
inline size_t QuotedRun(const char* s, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
  if (sse::FindStop(s, n, &i, [&](__m128i v) {
        return _mm_or_si128(_mm_cmpeq_epi8(v, zero),
                            _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
      }))
    return i;
#endif
  while (i + 8 <= n) {
    uint64_t v = swar::Load(s + i);
    if (swar::HasZero(v) | swar::HasByte(v, '"') | swar::HasByte(v, '\\')) break;
    i += 8;
  }
  while (i < n && !Is(static_cast<unsigned char>(s[i]), kQuoteStop)) ++i;
  return i;
}

// A name that reads back as a bare word: a name start followed by name
// characters, and not one of the words above (those are quoted so that the
// text stays unambiguous to a human reader).
bool IsBareName(const char* s, size_t n);

// Appends the bytes in double quotes, escaping what is not plain.
void AppendQuoted(TextBuffer& out, const char* s, size_t n);

// The element kind of an array type code, as its type word, or kNotAWord
// for the codes that hold raw words.
Word ArrayKindWord(uint32_t arrayCode);
// The array type code of an element kind word (kNotAWord when there is none).
uint32_t ArrayCodeOf(Word kind);
// The spelling of a word, and its length.
const char* WordText(Word w, size_t* length);

// Writes a float so that it reads back bit for bit: shortest round-trip
// decimal for finite values, inf / -inf, and nan:0xXXXXXXXX with the whole
// bit pattern for every NaN.  Returns the length; out needs 24 bytes.
size_t FormatFloat(float f, char* out);

}  // namespace deif
