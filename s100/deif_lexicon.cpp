#include "s100/deif_lexicon.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "s100/ctcontainers.h"

namespace deif {

namespace {

struct WordEntry {
  const char* text;
  Word word;
};
constexpr WordEntry kWords[] = {
    {"none", Word::kNone},     {"int", Word::kInt},       {"uint", Word::kUInt},
    {"bool", Word::kBool},     {"symbol", Word::kSymbol}, {"float", Word::kFloat},
    {"irange", Word::kIRange}, {"frange", Word::kFRange}, {"kvset", Word::kKVSet},
    {"string", Word::kString}, {"array", Word::kArray},   {"to", Word::kTo},
    {"true", Word::kTrue},     {"false", Word::kFalse},   {"inf", Word::kInf},
    {"nan", Word::kNan},
};

}  // namespace

Word LookupWord(const char* s, size_t n) {
  auto is = [&](const char* w) { return std::memcmp(s, w, n) == 0; };
  switch (n) {
    case 2: return is("to") ? Word::kTo : Word::kNotAWord;
    case 3:
      if (is("int")) return Word::kInt;
      if (is("inf")) return Word::kInf;
      if (is("nan")) return Word::kNan;
      return Word::kNotAWord;
    case 4:
      if (is("uint")) return Word::kUInt;
      if (is("bool")) return Word::kBool;
      if (is("none")) return Word::kNone;
      if (is("true")) return Word::kTrue;
      return Word::kNotAWord;
    case 5:
      if (is("array")) return Word::kArray;
      if (is("float")) return Word::kFloat;
      if (is("kvset")) return Word::kKVSet;
      if (is("false")) return Word::kFalse;
      return Word::kNotAWord;
    case 6:
      if (is("symbol")) return Word::kSymbol;
      if (is("string")) return Word::kString;
      if (is("irange")) return Word::kIRange;
      if (is("frange")) return Word::kFRange;
      return Word::kNotAWord;
    default: return Word::kNotAWord;
  }
}

const char* WordText(Word w, size_t* length) {
  for (const WordEntry& e : kWords) {
    if (e.word == w) {
      *length = std::strlen(e.text);
      return e.text;
    }
  }
  *length = 0;
  return "";
}

bool IsBareName(const char* s, size_t n) {
  if (n == 0 || !Is(static_cast<unsigned char>(s[0]), kNameStart)) return false;
  for (size_t i = 1; i < n; ++i) {
    if (!Is(static_cast<unsigned char>(s[i]), kNameChar)) return false;
  }
  return LookupWord(s, n) == Word::kNotAWord;
}

void AppendQuoted(TextBuffer& out, const char* s, size_t n) {
  static const char kHex[] = "0123456789abcdef";
  out.Put('"');
  size_t i = 0;
  while (i < n) {
    size_t run = PlainRun(s + i, n - i);
    if (run > 0) {
      out.Append(s + i, run);
      i += run;
      if (i == n) break;
    }
    unsigned char c = static_cast<unsigned char>(s[i++]);
    char esc[4] = {'\\', 0, 0, 0};
    size_t len = 2;
    switch (c) {
      case '"': esc[1] = '"'; break;
      case '\\': esc[1] = '\\'; break;
      case '\n': esc[1] = 'n'; break;
      case '\t': esc[1] = 't'; break;
      case '\r': esc[1] = 'r'; break;
      default:
        esc[1] = 'x';
        esc[2] = kHex[c >> 4];
        esc[3] = kHex[c & 15];
        len = 4;
    }
    out.Append(esc, len);
  }
  out.Put('"');
}

Word ArrayKindWord(uint32_t code) {
  switch (code) {
    case CT_TYPE_INT_ARRAY: return Word::kInt;
    case CT_TYPE_UINT_ARRAY: return Word::kUInt;
    case CT_TYPE_BOOL_ARRAY: return Word::kBool;
    case CT_TYPE_FRANGE_ARRAY: return Word::kFRange;
    case CT_TYPE_IRANGE_ARRAY: return Word::kIRange;
    case CT_TYPE_KVSET_ARRAY: return Word::kKVSet;
    case CT_TYPE_SYMBOL_ARRAY: return Word::kSymbol;
    case CT_TYPE_FLOAT_ARRAY: return Word::kFloat;
    case CT_TYPE_STRING_ARRAY: return Word::kString;
    case CT_TYPE_ARRAY_ARRAY: return Word::kArray;
    default: return Word::kNotAWord;
  }
}

uint32_t ArrayCodeOf(Word kind) {
  switch (kind) {
    case Word::kInt: return CT_TYPE_INT_ARRAY;
    case Word::kUInt: return CT_TYPE_UINT_ARRAY;
    case Word::kBool: return CT_TYPE_BOOL_ARRAY;
    case Word::kFRange: return CT_TYPE_FRANGE_ARRAY;
    case Word::kIRange: return CT_TYPE_IRANGE_ARRAY;
    case Word::kKVSet: return CT_TYPE_KVSET_ARRAY;
    case Word::kSymbol: return CT_TYPE_SYMBOL_ARRAY;
    case Word::kFloat: return CT_TYPE_FLOAT_ARRAY;
    case Word::kString: return CT_TYPE_STRING_ARRAY;
    case Word::kArray: return CT_TYPE_ARRAY_ARRAY;
    default: return 0;
  }
}

namespace {

// A float below 2^24 in magnitude whose value is a decimal with at most
// eight places and seven significant digits is written as exactly that
// decimal.  f * 10^k is exact in a double (24 + 19 bits), so the digits are
// the float's own value and read back as the same float; with seven digits
// or fewer no shorter decimal lies within half a unit of the float, so it is
// also the shortest form.  This is the common case in profiles and much
// cheaper than the general conversion.  Returns 0 when it does not apply.
size_t FormatExactDecimal(float f, char* out) {
  double d = f;
  bool negative = std::signbit(d);
  if (negative) d = -d;
  if (!(d < 16777216.0)) return 0;
  // If any k <= 8 makes f * 10^k whole, 10^8 does.
  double t = d * 1e8;  // below 2^51: the conversion to an integer is exact
  uint64_t m = static_cast<uint64_t>(t);
  if (static_cast<double>(m) != t) return 0;
  size_t places = 8;
  while (places > 0 && m % 10 == 0) {
    m /= 10;
    --places;
  }
  uint64_t significant = m;
  while (significant >= 10 && significant % 10 == 0) significant /= 10;
  if (significant >= 10000000) return 0;  // more than seven significant digits

  char digits[24];
  size_t n = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, m).ptr - digits);
  char* p = out;
  if (negative) *p++ = '-';
  if (places == 0) {
    std::memcpy(p, digits, n);
    return static_cast<size_t>(p + n - out);
  }
  if (n <= places) {  // 0.000ddd
    *p++ = '0';
    *p++ = '.';
    std::memset(p, '0', places - n);
    p += places - n;
    std::memcpy(p, digits, n);
    return static_cast<size_t>(p + n - out);
  }
  std::memcpy(p, digits, n - places);
  p += n - places;
  *p++ = '.';
  std::memcpy(p, digits + n - places, places);
  return static_cast<size_t>(p + places - out);
}

}  // namespace

size_t FormatFloat(float f, char* out) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  if ((bits & 0x7f800000u) == 0x7f800000u) {
    if ((bits & 0x007fffffu) == 0) {
      if (bits & 0x80000000u) {
        std::memcpy(out, "-inf", 4);
        return 4;
      }
      std::memcpy(out, "inf", 3);
      return 3;
    }
    static const char kHex[] = "0123456789abcdef";
    std::memcpy(out, "nan:0x", 6);
    for (int i = 0; i < 8; ++i) out[6 + i] = kHex[(bits >> (28 - 4 * i)) & 15];
    return 14;
  }
  if (size_t n = FormatExactDecimal(f, out)) return n;
  std::to_chars_result r = std::to_chars(out, out + 24, f);
  return static_cast<size_t>(r.ptr - out);
}

}  // namespace deif
