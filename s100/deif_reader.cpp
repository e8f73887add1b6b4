#include "s100/deif_reader.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "s100/ctbulk.h"
#include "s100/cterrors.h"

namespace deif {

namespace {

inline bool IsNameStart(char c) { return Is(static_cast<unsigned char>(c), kNameStart); }
inline bool IsNameChar(char c) { return Is(static_cast<unsigned char>(c), kNameChar); }
inline bool IsDigit(char c) { return Is(static_cast<unsigned char>(c), kDigit); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// [-]digits[.digits] with at most fifteen significant digits and at most
// twenty-two after the point: the digits and the power of ten are exact
// doubles, so one division gives the correctly rounded double.  Rounding
// that double to a float gives the correctly rounded float too, unless it
// fell exactly halfway between two floats (then the true value may not
// have).  Reads at s in one pass; returns the end, or null when the number
// is not of this simple form (an exponent, more digits, a malformed number,
// the halfway case, a result outside the normal floats), which from_chars
// then settles.
const char* FastDecimal(const char* s, const char* end, float* value) {
  static const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  bool negative = s < end && *s == '-';
  if (negative) ++s;
  const char* start = s;
  uint64_t m = 0;
  int digits = 0, fraction = -1;
  for (; s < end; ++s) {
    unsigned d = static_cast<unsigned char>(*s) - static_cast<unsigned>('0');
    if (d < 10) {
      if ((m != 0 || d != 0) && ++digits > 15) return nullptr;  // leading zeros are free
      m = m * 10 + d;
      if (fraction >= 0) ++fraction;
    } else if (*s == '.' && fraction < 0) {
      fraction = 0;
    } else {
      break;
    }
  }
  if (s == start || (s == start + 1 && fraction == 0) || fraction > 22) return nullptr;
  if (s < end && (IsNameChar(*s) || *s == '+' || *s == '-' || *s == '.')) return nullptr;
  float f = 0.0f;
  if (m != 0) {
    double d = static_cast<double>(m);
    if (fraction > 0) d /= kPow10[fraction];
    if (!(d >= 1.1754943508222875e-38 && d <= 3.4028234663852886e38)) return nullptr;
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    if ((bits & 0x1fffffffu) == 0x10000000u) return nullptr;  // halfway between two floats
    f = static_cast<float>(d);
  }
  *value = negative ? -f : f;
  return s;
}

}  // namespace

Reader::Reader(const char* text, size_t length, QV_SymbolTranslator translator, void* context)
    : begin_(text), end_(text + length), p_(text), stop_(text), translator_(translator), context_(context) {}

Reader::~Reader() {
  if (rootSet_ != 0) CTkvs_Destroy(rootSet_, nullptr);
  if (rootArray_ != 0) CTary_Destroy(rootArray_, nullptr);
}

// ---------------------------------------------------------------- tokens

bool Reader::Fail(uint32_t code, const char* at) {
  if (error_ == 0) {
    error_ = code;
    stop_ = at;
  }
  return false;
}

bool Reader::FailContainer(uint32_t containerError) {
  switch (containerError) {
    case ct::kErrContainerNoMemory: return Fail(ct::kErrNoMemory, p_);
    case ct::kErrTooDeep: return Fail(ct::kErrTextTooDeep, p_);
    default: return Fail(ct::kErrInternal, p_);
  }
}

bool Reader::Stored(int result, const uint32_t* containerError) {
  return result == 1 || FailContainer(*containerError);
}

bool Reader::Unexpected() {
  if (p_ >= end_) return Fail(ct::kErrTextTruncated, end_);
  return Fail(ct::kErrTextSyntax, p_);
}

bool Reader::SkipSpace() {
  for (;;) {
    while (p_ < end_ && Is(static_cast<unsigned char>(*p_), kSpace)) ++p_;
    if (p_ + 1 < end_ && p_[0] == '/' && p_[1] == '/') {
      const void* nl = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
      p_ = nl ? static_cast<const char*>(nl) + 1 : end_;
      continue;
    }
    return p_ < end_;
  }
}

bool Reader::Expect(char c) {
  if (!SkipSpace() || *p_ != c) return Unexpected();
  ++p_;
  return true;
}

bool Reader::ExpectTo() {
  if (!SkipSpace()) return Unexpected();
  if (IsNameStart(*p_)) {
    const char* at = p_;
    const char* s;
    size_t n;
    ReadWord(&s, &n);
    if (LookupWord(s, n) == Word::kTo) return true;
    p_ = at;
  }
  return Unexpected();
}

void Reader::ReadWord(const char** s, size_t* n) {
  const char* start = p_++;
  while (p_ < end_ && IsNameChar(*p_)) ++p_;
  *s = start;
  *n = static_cast<size_t>(p_ - start);
}

// An optional minus, then decimal digits or 0x and hex digits.  Magnitudes
// past 32 bits stop growing (any such value is out of range for every kind).
bool Reader::ReadMagnitude(bool* negative, uint64_t* magnitude, const char** start) {
  if (!SkipSpace()) return Unexpected();
  *start = p_;
  *negative = false;
  if (*p_ == '-') {
    *negative = true;
    ++p_;
  }
  uint64_t v = 0;
  constexpr uint64_t kCap = uint64_t{1} << 40;
  if (p_ + 2 < end_ && p_[0] == '0' && (p_[1] == 'x' || p_[1] == 'X') && HexValue(p_[2]) >= 0) {
    p_ += 2;
    int h;
    while (p_ < end_ && (h = HexValue(*p_)) >= 0) {
      v = v < kCap ? v * 16 + static_cast<uint64_t>(h) : v;
      ++p_;
    }
  } else if (p_ < end_ && IsDigit(*p_)) {
    while (p_ < end_ && IsDigit(*p_)) {
      v = v < kCap ? v * 10 + static_cast<uint64_t>(*p_ - '0') : v;
      ++p_;
    }
  } else {
    return Unexpected();
  }
  if (p_ < end_ && IsNameChar(*p_)) return Fail(ct::kErrTextSyntax, p_);
  *magnitude = v;
  return true;
}

// A whole number within [min, max].  Outside it, or a minus sign where min
// allows no negative (even "-0"), is a range error at the number.
bool Reader::ReadWhole(int64_t min, int64_t max, int64_t* value) {
  bool negative;
  uint64_t m;
  const char* start;
  if (!ReadMagnitude(&negative, &m, &start)) return false;
  // The magnitude stops growing far below 63 bits, so this cannot overflow.
  const int64_t v = negative ? -static_cast<int64_t>(m) : static_cast<int64_t>(m);
  if ((negative && min >= 0) || v < min || v > max) return Fail(ct::kErrTextRange, start);
  *value = v;
  return true;
}

bool Reader::ReadInt32(int32_t* value) {
  int64_t v;
  if (!ReadWhole(INT32_MIN, INT32_MAX, &v)) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool Reader::ReadUInt32(uint32_t* value) {
  int64_t v;
  if (!ReadWhole(0, UINT32_MAX, &v)) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool Reader::ReadUnsignedAt(uint32_t* value) {
  if (p_ >= end_ || !IsDigit(*p_)) return Unexpected();
  return ReadUInt32(value);
}

bool Reader::ReadBool(int32_t* value) {
  if (!SkipSpace()) return Unexpected();
  if (IsNameStart(*p_)) {
    const char* at = p_;
    const char* s;
    size_t n;
    ReadWord(&s, &n);
    Word w = LookupWord(s, n);
    if (w == Word::kTrue || w == Word::kFalse) {
      *value = w == Word::kTrue ? 1 : 0;
      return true;
    }
    return Fail(ct::kErrTextSyntax, at);
  }
  return ReadInt32(value);
}

bool Reader::ReadFloat(float* value) {
  if (!SkipSpace()) return Unexpected();
  const char* start = p_;
  bool negative = false;
  if (*p_ == '-' && p_ + 1 < end_ && IsNameStart(p_[1])) {
    negative = true;
    ++p_;
  }
  if (IsNameStart(*p_)) {
    const char* s;
    size_t n;
    ReadWord(&s, &n);
    Word w = LookupWord(s, n);
    uint32_t bits;
    if (w == Word::kInf) {
      bits = negative ? 0xff800000u : 0x7f800000u;
    } else if (w == Word::kNan && !negative) {
      bits = 0x7fc00000u;
      if (p_ < end_ && *p_ == ':') {
        ++p_;
        const char* digits = p_;
        if (end_ - p_ < 3 || p_[0] != '0' || (p_[1] != 'x' && p_[1] != 'X')) return Fail(ct::kErrTextSyntax, digits);
        p_ += 2;
        uint64_t v = 0;
        int h, count = 0;
        while (p_ < end_ && (h = HexValue(*p_)) >= 0) {
          if (++count <= 8) v = v * 16 + static_cast<uint64_t>(h);
          ++p_;
        }
        if (count == 0 || (p_ < end_ && IsNameChar(*p_))) return Fail(ct::kErrTextSyntax, p_);
        bits = static_cast<uint32_t>(v);
        // Only a NaN pattern may be written as nan.
        if (count > 8 || (bits & 0x7f800000u) != 0x7f800000u || (bits & 0x007fffffu) == 0)
          return Fail(ct::kErrTextRange, digits);
      }
    } else {
      return Fail(ct::kErrTextSyntax, start);
    }
    std::memcpy(value, &bits, sizeof bits);
    return true;
  }
  if (const char* done = FastDecimal(p_, end_, value)) {
    p_ = done;
    return true;
  }
  const char* q = p_;
  while (q < end_ && (IsDigit(*q) || *q == '.' || *q == 'e' || *q == 'E' || *q == '+' || *q == '-')) ++q;
  if (q == p_) return Unexpected();
  if (q < end_ && IsNameChar(*q)) return Fail(ct::kErrTextSyntax, q);
  std::from_chars_result r = std::from_chars(p_, q, *value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) return Fail(ct::kErrTextRange, start);
  if (r.ec != std::errc() || r.ptr != q) return Fail(ct::kErrTextSyntax, r.ec != std::errc() ? start : r.ptr);
  p_ = q;
  if (p_ < end_ && IsNameChar(*p_)) return Fail(ct::kErrTextSyntax, p_);
  return true;
}

bool Reader::ReadIRange(CTirange* value) {
  return ReadInt32(&value->start) && ExpectTo() && ReadInt32(&value->end);
}

bool Reader::ReadFRange(CTfrange* value) {
  return ReadFloat(&value->start) && ExpectTo() && ReadFloat(&value->end);
}

bool Reader::ReadQuoted(std::string& out) {
  ++p_;  // the opening quote
  for (;;) {
    size_t run = QuotedRun(p_, static_cast<size_t>(end_ - p_));
    out.append(p_, run);
    p_ += run;
    if (p_ >= end_) return Fail(ct::kErrTextTruncated, end_);
    char c = *p_;
    if (c == '"') {
      ++p_;
      return true;
    }
    if (c == '\0') return Fail(ct::kErrTextSyntax, p_);  // a text holds no zero byte
    const char* esc = p_++;
    if (p_ >= end_) return Fail(ct::kErrTextTruncated, end_);
    switch (*p_++) {
      case '"': out.push_back('"'); break;
      case '\\': out.push_back('\\'); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      case 'x': {
        if (end_ - p_ < 2) {
          if (end_ - p_ == 0 || HexValue(*p_) >= 0) return Fail(ct::kErrTextTruncated, end_);
          return Fail(ct::kErrTextSyntax, esc);
        }
        int hi = HexValue(p_[0]), lo = HexValue(p_[1]);
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return Fail(ct::kErrTextSyntax, esc);
        out.push_back(static_cast<char>(hi * 16 + lo));
        p_ += 2;
        break;
      }
      default: return Fail(ct::kErrTextSyntax, esc);
    }
  }
}

bool Reader::Translate(const char* name, size_t length, const char* at, uint32_t* symbol) {
  if (symbols_.Find(name, length, symbol)) return true;
  if (translator_ == nullptr) return Fail(ct::kErrTextUnknownName, at);
  asked_.assign(name, name + length);
  asked_.push_back('\0');
  char* text = asked_.data();
  uint32_t value = 0;
  if (translator_(&value, &text, 0, context_) != QV_OK) return Fail(ct::kErrTextUnknownName, at);
  symbols_.Insert(name, length, value);
  *symbol = value;
  return true;
}

bool Reader::ReadName(uint32_t* symbol) {
  if (!SkipSpace()) return Unexpected();
  const char* at = p_;
  if (*p_ == '#') {
    ++p_;
    return ReadUnsignedAt(symbol);
  }
  if (*p_ == '"') {
    name_.clear();
    if (!ReadQuoted(name_)) return false;
    return Translate(name_.data(), name_.size(), at, symbol);
  }
  if (IsNameStart(*p_)) {
    const char* s;
    size_t n;
    ReadWord(&s, &n);
    return Translate(s, n, at, symbol);
  }
  return Unexpected();
}

// ---------------------------------------------------------------- structure

bool Reader::Read(QV_RawDataElement* out) {
  out->type = CT_TYPE_NONE;
  out->value.bits = 0;
  if (!SkipSpace()) return Unexpected();
  if (!IsNameStart(*p_)) return Fail(ct::kErrTextSyntax, p_);
  const char* at = p_;
  const char* s;
  size_t n;
  ReadWord(&s, &n);
  QV_RawDataElement e{};
  char* ownedText = nullptr;
  uint32_t err = 0;
  bool ok = true;
  switch (LookupWord(s, n)) {
    case Word::kNone: e.type = CT_TYPE_NONE; break;
    case Word::kInt: e.type = CT_TYPE_INT; ok = ReadInt32(&e.value.i); break;
    case Word::kUInt: e.type = CT_TYPE_UINT; ok = ReadUInt32(&e.value.u); break;
    case Word::kBool: e.type = CT_TYPE_BOOL; ok = ReadBool(&e.value.i); break;
    case Word::kSymbol: e.type = CT_TYPE_SYMBOL; ok = ReadName(&e.value.u); break;
    case Word::kFloat: e.type = CT_TYPE_FLOAT; ok = ReadFloat(&e.value.f); break;
    case Word::kIRange:
      e.type = CT_TYPE_IRANGE;
      ok = ReadInt32(&e.value.ir.start) && ExpectTo() && ReadInt32(&e.value.ir.end);
      break;
    case Word::kFRange:
      e.type = CT_TYPE_FRANGE;
      ok = ReadFloat(&e.value.fr.start) && ExpectTo() && ReadFloat(&e.value.fr.end);
      break;
    case Word::kString:
      e.type = CT_TYPE_STRING;
      text_.clear();
      if (!SkipSpace() || *p_ != '"') return Unexpected();
      if (!ReadQuoted(text_)) return false;
      ownedText = static_cast<char*>(std::malloc(text_.size() + 1));
      if (ownedText == nullptr) return Fail(ct::kErrNoMemory, p_);
      std::memcpy(ownedText, text_.c_str(), text_.size() + 1);
      e.value.str = ownedText;
      break;
    case Word::kKVSet:
      e.type = CT_TYPE_KVSET;
      if (CTkvs_Create(&rootSet_, &err) != 1) {
        rootSet_ = 0;
        return FailContainer(err);
      }
      e.value.kvs = rootSet_;
      ok = ReadSetBody(rootSet_, 1);
      break;
    case Word::kArray:
      if (CTary_Create(&rootArray_, &err) != 1) {
        rootArray_ = 0;
        return FailContainer(err);
      }
      e.value.ary = rootArray_;
      ok = ReadArray(rootArray_, 1);
      if (ok && (CTary_GetType(rootArray_, &e.type, &err) != 1 || e.type < CT_TYPE_ARRAY))
        ok = Fail(ct::kErrInternal, p_);
      break;
    default: return Fail(ct::kErrTextBadType, at);
  }
  if (ok && SkipSpace()) ok = Fail(ct::kErrTextTrailing, p_);
  if (!ok) {
    std::free(ownedText);
    return false;
  }
  *out = e;
  rootSet_ = rootArray_ = 0;  // the element owns them now
  stop_ = end_;
  return true;
}

bool Reader::ReadSetBody(CTkvs set, int depth) {
  if (!Expect('{')) return false;
  if (keys_.size() <= static_cast<size_t>(depth)) keys_.resize(static_cast<size_t>(depth) + 1);
  keys_[static_cast<size_t>(depth)].Clear();
  for (;;) {
    if (!SkipSpace()) return Unexpected();
    if (*p_ == '}') {
      ++p_;
      return true;
    }
    const char* keyAt = p_;
    CTsymbol key;
    if (!ReadName(&key)) return false;
    if (key == CT_KVS_START_KEY || key == CT_KVS_END_KEY) return Fail(ct::kErrTextReservedKey, keyAt);
    if (!keys_[static_cast<size_t>(depth)].Insert(key)) return Fail(ct::kErrTextDuplicateKey, keyAt);
    if (!Expect('=')) return false;
    if (!ReadSetValue(set, key, depth)) return false;
    if (!SkipSpace()) return Unexpected();
    if (*p_ == ';') {
      ++p_;
    } else if (*p_ != '}') {
      return Unexpected();
    }
  }
}

bool Reader::ReadSetValue(CTkvs set, CTsymbol key, int depth) {
  if (!SkipSpace()) return Unexpected();
  const char* at = p_;
  if (!IsNameStart(*p_)) return Fail(ct::kErrTextSyntax, p_);
  const char* s;
  size_t n;
  ReadWord(&s, &n);
  uint32_t err = 0;
  int32_t i;
  uint32_t u;
  float f;
  CTirange ir;
  CTfrange fr;
  switch (LookupWord(s, n)) {
    case Word::kInt: return ReadInt32(&i) && Stored(CTkvs_PutInt(set, key, i, &err), &err);
    case Word::kUInt: return ReadUInt32(&u) && Stored(CTkvs_PutUInt(set, key, u, &err), &err);
    case Word::kBool: return ReadBool(&i) && Stored(CTkvs_PutBool(set, key, i, &err), &err);
    case Word::kSymbol: return ReadName(&u) && Stored(CTkvs_PutSymbol(set, key, u, &err), &err);
    case Word::kFloat: return ReadFloat(&f) && Stored(CTkvs_PutFloat(set, key, f, &err), &err);
    case Word::kIRange: return ReadIRange(&ir) && Stored(CTkvs_PutIRange(set, key, &ir, &err), &err);
    case Word::kFRange: return ReadFRange(&fr) && Stored(CTkvs_PutFRange(set, key, &fr, &err), &err);
    case Word::kString:
      if (!SkipSpace() || *p_ != '"') return Unexpected();
      text_.clear();
      return ReadQuoted(text_) && Stored(CTkvs_PutString(set, key, text_.c_str(), &err), &err);
    case Word::kKVSet: {
      if (depth >= kDeifMaxDepth) return Fail(ct::kErrTextTooDeep, at);
      // Put an empty set and fill it in place: no copy of the finished set.
      CTkvs inner;
      if (ct::store::PutNewKVSet(set, key, &inner, &err) != 1) return FailContainer(err);
      return ReadSetBody(inner, depth + 1);
    }
    case Word::kArray: {
      if (depth >= kDeifMaxDepth) return Fail(ct::kErrTextTooDeep, at);
      CTary inner;
      if (ct::store::PutNewArray(set, key, &inner, &err) != 1) return FailContainer(err);
      return ReadArray(inner, depth + 1);
    }
    default: return Fail(ct::kErrTextBadType, at);
  }
}

// Items of an array: after the opening bracket, items separated by commas
// (one trailing comma allowed) up to the closing bracket.  `item` reads one
// item starting at a non-blank character.
template <class Item>
bool Reader::ReadItems(Item item) {
  if (!SkipSpace()) return Unexpected();
  if (*p_ == ']') {
    ++p_;
    return true;
  }
  for (;;) {
    if (!item()) return false;
    if (!SkipSpace()) return Unexpected();
    if (*p_ == ',') {
      ++p_;
      if (!SkipSpace()) return Unexpected();
    } else if (*p_ != ']') {
      return Unexpected();
    }
    if (*p_ == ']') {
      ++p_;
      return true;
    }
  }
}

// Something that could start a value of another kind is a mixed array;
// anything else is a plain syntax fault.
bool Reader::FailItem() {
  char c = *p_;
  if (IsDigit(c) || IsNameStart(c) || c == '-' || c == '.' || c == '"' || c == '{' || c == '#' || c == '[')
    return Fail(ct::kErrTextMixedArray, p_);
  return Fail(ct::kErrTextSyntax, p_);
}

// The word at p_, left unread; kNotAWord where no name starts.
Word Reader::PeekWord() {
  if (!IsNameStart(*p_)) return Word::kNotAWord;
  const char* at = p_;
  const char* s;
  size_t n;
  ReadWord(&s, &n);
  p_ = at;
  return LookupWord(s, n);
}

// Whether the item at p_ starts like an item of the kind.
bool Reader::ItemFits(Word kind) {
  char c = *p_;
  char next = p_ + 1 < end_ ? p_[1] : '\0';
  bool number = IsDigit(c) || (c == '-' && IsDigit(next));
  switch (kind) {
    case Word::kInt:
    case Word::kUInt:
    case Word::kIRange:
    case Word::kNotAWord:  // plain words
      if (number) return true;
      break;
    case Word::kBool: {
      if (number) return true;
      const Word w = PeekWord();
      if (w == Word::kTrue || w == Word::kFalse) return true;
      break;
    }
    case Word::kFloat:
    case Word::kFRange: {
      if (number || c == '.' || (c == '-' && (next == '.' || next == 'i'))) return true;
      const Word w = PeekWord();
      if (w == Word::kInf || w == Word::kNan) return true;
      break;
    }
    case Word::kSymbol:
      if (IsNameStart(c) || c == '"' || c == '#') return true;
      break;
    case Word::kString:
      if (c == '"') return true;
      break;
    default: break;
  }
  return FailItem();
}

// Items of an array of one value kind, each read by `read`, into items.
template <class T>
bool Reader::ReadValueItems(std::vector<T>& items, Word kind, bool (Reader::*read)(T*)) {
  items.clear();
  return ReadItems([&] {
    T v;
    if (!ItemFits(kind) || !(this->*read)(&v)) return false;
    items.push_back(v);
    return true;
  });
}

bool Reader::ReadArray(CTary target, int depth) {
  // After the word "array": the element kind, then the items.
  if (!SkipSpace()) return Unexpected();
  const char* at = p_;
  uint32_t code = 0;
  if (*p_ == '#') {
    ++p_;
    if (!ReadUnsignedAt(&code)) return false;
    if (code < CT_TYPE_ARRAY) return Fail(ct::kErrTextBadType, at);
  } else if (IsNameStart(*p_)) {
    const char* s;
    size_t n;
    ReadWord(&s, &n);
    code = ArrayCodeOf(LookupWord(s, n));
    if (code == 0) return Fail(ct::kErrTextBadType, at);
  } else {
    return Unexpected();
  }
  if (!Expect('[')) return false;

  Word kind = ArrayKindWord(code);
  uint32_t err = 0;
  int r = 0;
  switch (kind) {
    case Word::kKVSet: return ReadSetItems(target, depth);
    case Word::kArray: return ReadArrayItems(target, depth);
    case Word::kString: return ReadStringItems(target);
    case Word::kFloat:
      if (!ReadValueItems(floats_, kind, &Reader::ReadFloat)) return false;
      r = CTary_PutFloat(target, floats_.data(), static_cast<uint32_t>(floats_.size()), &err);
      break;
    case Word::kIRange:
      if (!ReadValueItems(iranges_, kind, &Reader::ReadIRange)) return false;
      r = CTary_PutIRange(target, iranges_.data(), static_cast<uint32_t>(iranges_.size()), &err);
      break;
    case Word::kFRange:
      if (!ReadValueItems(franges_, kind, &Reader::ReadFRange)) return false;
      r = CTary_PutFRange(target, franges_.data(), static_cast<uint32_t>(franges_.size()), &err);
      break;
    default: {
      // One 32-bit word per item: Int, Bool, UInt, Symbol and the plain words.
      words_.clear();
      if (!ReadItems([&] {
            if (!ItemFits(kind)) return false;
            uint32_t v;
            int32_t i;
            switch (kind) {
              case Word::kInt:
                if (!ReadInt32(&i)) return false;
                v = static_cast<uint32_t>(i);
                break;
              case Word::kBool:
                if (!ReadBool(&i)) return false;
                v = static_cast<uint32_t>(i);
                break;
              case Word::kSymbol:
                if (!ReadName(&v)) return false;
                break;
              default:
                if (!ReadUInt32(&v)) return false;
            }
            words_.push_back(v);
            return true;
          }))
        return false;
      const uint32_t count = static_cast<uint32_t>(words_.size());
      const int32_t* asInt = reinterpret_cast<const int32_t*>(words_.data());
      switch (kind) {
        case Word::kInt: r = CTary_PutInt(target, asInt, count, &err); break;
        case Word::kBool: r = CTary_PutBool(target, asInt, count, &err); break;
        case Word::kUInt: r = CTary_PutUInt(target, words_.data(), count, &err); break;
        case Word::kSymbol: r = CTary_PutSymbol(target, words_.data(), count, &err); break;
        default: r = CTary_PutWords(target, code, words_.data(), count, &err);
      }
    }
  }
  if (r != 1) return FailContainer(err);
  return true;
}

bool Reader::ReadStringItems(CTary target) {
  texts_.clear();
  textStarts_.clear();
  if (!ReadItems([&] {
        if (!ItemFits(Word::kString)) return false;
        textStarts_.push_back(texts_.size());
        if (!ReadQuoted(texts_)) return false;
        texts_.push_back('\0');
        return true;
      }))
    return false;
  textPointers_.clear();
  for (size_t start : textStarts_) textPointers_.push_back(texts_.data() + start);
  uint32_t err = 0;
  if (CTary_PutString(target, textPointers_.data(), static_cast<uint32_t>(textPointers_.size()), &err) != 1)
    return FailContainer(err);
  return true;
}

// The items of an array of sets: each item is a new empty set appended to
// the array and read in place, so nothing is copied however deep sets and
// arrays nest.
bool Reader::ReadSetItems(CTary target, int depth) {
  uint32_t err = 0;
  const CTkvs none = 0;
  // An array with no items still becomes an array of sets.
  if (CTary_PutKVSet(target, &none, 0, &err) != 1) return FailContainer(err);
  return ReadItems([&] {
    const char* at = p_;
    if (IsNameStart(*p_)) {  // an item may repeat the word kvset
      const char* s;
      size_t n;
      ReadWord(&s, &n);
      if (LookupWord(s, n) != Word::kKVSet) {
        p_ = at;
        return FailItem();
      }
      if (!SkipSpace()) return Unexpected();
    }
    if (*p_ != '{') return FailItem();
    if (depth >= kDeifMaxDepth) return Fail(ct::kErrTextTooDeep, at);
    CTkvs set;
    uint32_t e = 0;
    if (ct::store::AppendNewKVSet(target, &set, &e) != 1) return FailContainer(e);
    return ReadSetBody(set, depth + 1);
  });
}

// The items of an array of arrays, made the same way.
bool Reader::ReadArrayItems(CTary target, int depth) {
  uint32_t err = 0;
  const CTary none = 0;
  if (CTary_PutArray(target, &none, 0, &err) != 1) return FailContainer(err);
  return ReadItems([&] {
    const char* at = p_;
    if (!IsNameStart(*p_)) return FailItem();
    const char* s;
    size_t n;
    ReadWord(&s, &n);
    if (LookupWord(s, n) != Word::kArray) {
      p_ = at;
      return FailItem();
    }
    if (depth >= kDeifMaxDepth) return Fail(ct::kErrTextTooDeep, at);
    CTary array;
    uint32_t e = 0;
    if (ct::store::AppendNewArray(target, &array, &e) != 1) return FailContainer(e);
    return ReadArray(array, depth + 1);
  });
}

}  // namespace deif

QV_Status AtoAnyDEn(const char* text, size_t length, size_t* stop, QV_RawDataElement* element,
                    QV_SymbolTranslator translator, void* context) {
  if (stop) *stop = 0;
  if (element == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrInvalidArgument, 0);
  element->type = CT_TYPE_NONE;
  element->value.bits = 0;
  if (text == nullptr && length != 0) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrInvalidArgument, 0);
  if (length > kDeifMaxTextBytes) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTextTooLarge, 0);
  if (text == nullptr) text = "";
  deif::Reader reader(text, length, translator, context);
  bool ok = reader.Read(element);
  if (stop) *stop = reader.Stop();
  if (!ok) return QV_CreateStatus(QV_STATE_FAILURE, reader.Error(), 0);
  return QV_OK;
}

QV_Status AtoAnyDE(const char* text, const char** stop, QV_RawDataElement* element, QV_SymbolTranslator translator,
                   void* context) {
  if (stop) *stop = text;
  if (text == nullptr) {
    if (element) {
      element->type = CT_TYPE_NONE;
      element->value.bits = 0;
    }
    return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrInvalidArgument, 0);
  }
  // Look no further than one byte past the limit.
  size_t length = strnlen(text, kDeifMaxTextBytes + 1);
  size_t at = 0;
  QV_Status st = AtoAnyDEn(text, length, &at, element, translator, context);
  if (stop) *stop = text + at;
  return st;
}

void QV_DestroyDataElement(QV_RawDataElement* element) {
  if (element == nullptr) return;
  if (element->type == CT_TYPE_KVSET) {
    CTkvs_Destroy(element->value.kvs, nullptr);
  } else if (element->type == CT_TYPE_STRING) {
    std::free(element->value.str);
  } else if (element->type >= CT_TYPE_ARRAY) {
    CTary_Destroy(element->value.ary, nullptr);
  }
  element->type = CT_TYPE_NONE;
  element->value.bits = 0;
}
