#include "s100/deif_lexicon.h"

#include <charconv>
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
  std::to_chars_result r = std::to_chars(out, out + 24, f);
  return static_cast<size_t>(r.ptr - out);
}

}  // namespace deif
