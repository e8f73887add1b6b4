#include "s100/deif_lexicon.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

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

namespace {

// The element kind word of each array type code.
constexpr struct {
  uint32_t code;
  Word kind;
} kArrayKinds[] = {
    {CT_TYPE_INT_ARRAY, Word::kInt},       {CT_TYPE_UINT_ARRAY, Word::kUInt},
    {CT_TYPE_BOOL_ARRAY, Word::kBool},     {CT_TYPE_FRANGE_ARRAY, Word::kFRange},
    {CT_TYPE_IRANGE_ARRAY, Word::kIRange}, {CT_TYPE_KVSET_ARRAY, Word::kKVSet},
    {CT_TYPE_SYMBOL_ARRAY, Word::kSymbol}, {CT_TYPE_FLOAT_ARRAY, Word::kFloat},
    {CT_TYPE_STRING_ARRAY, Word::kString}, {CT_TYPE_ARRAY_ARRAY, Word::kArray},
};

}  // namespace

Word ArrayKindWord(uint32_t code) {
  for (const auto& k : kArrayKinds) {
    if (k.code == code) return k.kind;
  }
  return Word::kNotAWord;
}

uint32_t ArrayCodeOf(Word kind) {
  for (const auto& k : kArrayKinds) {
    if (k.kind == kind) return k.code;
  }
  return 0;
}

namespace {

constexpr uint64_t kPow10[] = {1ull,
                               10ull,
                               100ull,
                               1000ull,
                               10000ull,
                               100000ull,
                               1000000ull,
                               10000000ull,
                               100000000ull,
                               1000000000ull,
                               10000000000ull,
                               100000000000ull,
                               1000000000000ull,
                               10000000000000ull,
                               100000000000000ull,
                               1000000000000000ull,
                               10000000000000000ull,
                               100000000000000000ull,
                               1000000000000000000ull};

// For a half gap of 10^8 / 2^shift units: the largest k with
// 10^k / 2 < 10^8 / 2^shift, i.e. 10^k * 2^shift < 2 * 10^8.
struct SafeDigitsTable {
  int v[64];
  constexpr SafeDigitsTable() : v() {
    for (int shift = 0; shift < 64; ++shift) {
      int k = 0;
      while (shift < 28 && k < 17 && (kPow10[k + 1] << shift) < 200000000ull) ++k;
      v[shift] = k;
    }
  }
};
constexpr SafeDigitsTable kSafeDigitsTable{};
constexpr const int* kSafeDigits = kSafeDigitsTable.v;

// m / 10^k with a constant divisor for each k (a multiplication, not a
// division instruction).
template <size_t... K>
uint64_t DividePow10Of(uint64_t m, int k, std::index_sequence<K...>) {
  uint64_t q = 0;
  static_cast<void>(((k == static_cast<int>(K) ? (q = m / kPow10[K], true) : false) || ...));
  return q;
}
inline uint64_t DividePow10(uint64_t m, int k) { return DividePow10Of(m, k, std::make_index_sequence<18>()); }

// Whether a decimal `diff` units of 10^-8 away from the float lies inside
// the float's rounding interval, whose half-width there is 10^8 / 2^shift
// units; a decimal exactly on the edge reads back as the float only when its
// mantissa is even (ties go to even).
inline bool WithinHalfGap(uint64_t diff, int shift, bool evenMantissa) {
  if (diff >= 100000000u || shift > 27) return diff == 0;
  const uint64_t scaled = diff << shift;
  return scaled < 100000000u || (scaled == 100000000u && evenMantissa);
}

// A float below 2^24 in magnitude whose value is a decimal with at most
// eight places is written in plain positional form with the fewest digits
// that read back as the same float (the closest such decimal).  f * 10^8 is
// exact in a double (24 + 27 bits), so the digits start as the float's own
// value; they are then rounded off a digit at a time for as long as the
// result stays inside the float's rounding interval, computed exactly in
// integers.  This is the common case in profiles and much cheaper than the
// general conversion.  Returns 0 when it does not apply.
size_t FormatExactDecimal(float f, char* out) {
  double d = f;
  bool negative = std::signbit(d);
  if (negative) d = -d;
  if (!(d < 16777216.0)) return 0;
  // If any k <= 8 makes f * 10^k whole, 10^8 does.
  // Below 2^51: the conversion to an integer is exact (signed conversions
  // are single instructions, unsigned ones are not).
  double t = d * 1e8;
  const int64_t whole = static_cast<int64_t>(t);
  if (static_cast<double>(whole) != t) return 0;
  uint64_t m = static_cast<uint64_t>(whole);

  // The value written is `digits` * 10^dropped units of 10^-8.
  uint64_t digits = m;
  int dropped = 0;
  if (m != 0) {
    // f = M * 2^E; the gap to the next float up is 2^E, to the next one
    // down 2^(E-1) when M is a power of two (and f not the least normal).
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const int field = static_cast<int>((bits >> 23) & 0xff);
    const uint32_t fraction = bits & 0x7fffffu;
    const bool even = (fraction & 1u) == 0;
    const int shiftUp = 1 - (field - 150);  // half gap above: 2^(E-1)
    const int shiftDown = (fraction == 0 && field > 1) ? shiftUp + 1 : shiftUp;
    if (shiftUp <= 27) {
      // Rounding to a multiple of 10^k moves by at most 10^k / 2, so up to
      // the safe k the nearest multiple always fits: start there, then try
      // coarser steps while one fits.
      int k = kSafeDigits[shiftDown];
      uint64_t step = kPow10[k];
      uint64_t quotient = DividePow10(m, k);
      const uint64_t below = m - quotient * step, above = step - below;
      digits = quotient;
      dropped = k;
      if (below != 0 && (quotient == 0 || above < below || (above == below && quotient % 2 != 0))) ++digits;
      for (++k, step *= 10; quotient != 0 && k <= 17; ++k, step *= 10) {
        quotient /= 10;
        const uint64_t low = quotient * step;
        const uint64_t lowGap = m - low, highGap = low + step - m;
        if (lowGap == 0) {  // already a multiple of this step
          digits = quotient;
          dropped = k;
          continue;
        }
        const bool lowFits = quotient != 0 && WithinHalfGap(lowGap, shiftDown, even);
        const bool highFits = WithinHalfGap(highGap, shiftUp, even);
        if (!lowFits && !highFits) break;  // no coarser decimal fits either
        const bool takeLow = lowFits && (!highFits || lowGap < highGap || (lowGap == highGap && quotient % 2 == 0));
        digits = takeLow ? quotient : quotient + 1;
        dropped = k;
      }
    }
  }
  size_t places;
  if (dropped >= 8) {
    for (int i = 8; i < dropped; ++i) digits *= 10;
    places = 0;
  } else {
    places = static_cast<size_t>(8 - dropped);
  }
  while (places > 0 && digits % 10 == 0) {
    digits /= 10;
    --places;
  }

  char text[24];
  size_t n = static_cast<size_t>(std::to_chars(text, text + sizeof text, digits).ptr - text);
  char* p = out;
  if (negative) *p++ = '-';
  if (places == 0) {
    std::memcpy(p, text, n);
    return static_cast<size_t>(p + n - out);
  }
  if (n <= places) {  // 0.000ddd
    *p++ = '0';
    *p++ = '.';
    std::memset(p, '0', places - n);
    p += places - n;
    std::memcpy(p, text, n);
    return static_cast<size_t>(p + n - out);
  }
  std::memcpy(p, text, n - places);
  p += n - places;
  *p++ = '.';
  std::memcpy(p, text + n - places, places);
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
