#include "s100/deif_writer.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "s100/cterrors.h"
#include "s100/deif_lexicon.h"

namespace deif {

namespace {

// Writes count items separated by ", ", each by the given function.
template <typename T, typename F>
void WriteList(TextBuffer& out, const T* items, uint32_t count, F write) {
  for (uint32_t i = 0; i < count; ++i) {
    if (i != 0) out.Literal(", ");
    write(items[i]);
  }
}

// The same for numbers: each item with its separator in one reservation.
template <typename T, typename F>
void WriteNumbers(TextBuffer& out, const T* items, uint32_t count, size_t widest, F format) {
  for (uint32_t i = 0; i < count; ++i) {
    char* p = out.Reserve(widest + 2);
    if (p == nullptr) return;
    size_t n = 0;
    if (i != 0) {
      p[0] = ',';
      p[1] = ' ';
      n = 2;
    }
    out.Commit(n + format(items[i], p + n));
  }
}

float AsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

size_t FormatInt(int32_t v, char* p) { return static_cast<size_t>(std::to_chars(p, p + 12, v).ptr - p); }
size_t FormatUInt(uint32_t v, char* p) { return static_cast<size_t>(std::to_chars(p, p + 12, v).ptr - p); }

// "FROM to TO", each end written by Format.
template <class Range, auto Format>
size_t FormatRange(const Range& v, char* p) {
  const size_t n = Format(v.start, p);
  std::memcpy(p + n, " to ", 4);
  return n + 4 + Format(v.end, p + n + 4);
}

}  // namespace

Writer::Writer(QV_SymbolTranslator translator, void* context)
    : out_(kDeifMaxTextBytes), translator_(translator), context_(context) {
  // Sized once: the views of enclosing sets must not move while nested ones are written.
  views_.resize(static_cast<size_t>(kDeifMaxDepth) + 2);
}

bool Writer::Fail(uint32_t code) {
  if (error_ == 0) error_ = code;
  return false;
}

// A get that fails on a handle the element gave us means the element is
// not sound; only running out of memory is told apart.
bool Writer::FailContainer(uint32_t containerError) {
  if (containerError == ct::kErrContainerNoMemory) return Fail(ct::kErrNoMemory);
  return Fail(ct::kErrTextBadElement);
}

bool Writer::CheckOutput() {
  if (out_.Ok()) return true;
  return Fail(out_.OverLimit() ? ct::kErrTextTooLarge : ct::kErrNoMemory);
}

void Writer::WriteInt(int32_t value) {
  char* p = out_.Reserve(12);
  if (p == nullptr) return;
  out_.Commit(static_cast<size_t>(std::to_chars(p, p + 12, value).ptr - p));
}

void Writer::WriteUInt(uint32_t value) {
  char* p = out_.Reserve(12);
  if (p == nullptr) return;
  out_.Commit(static_cast<size_t>(std::to_chars(p, p + 12, value).ptr - p));
}

void Writer::WriteFloat(float value) {
  char* p = out_.Reserve(24);
  if (p == nullptr) return;
  out_.Commit(FormatFloat(value, p));
}

void Writer::WriteString(const char* text) {
  if (text == nullptr) text = "";
  AppendQuoted(out_, text, std::strlen(text));
}

void Writer::WriteSymbol(uint32_t symbol) {
  const char* cached;
  size_t length;
  if (spellings_.Find(symbol, &cached, &length)) {
    out_.Append(cached, length);
    return;
  }
  size_t start = out_.Size();
  char* name = nullptr;
  bool named = false;
  if (translator_ != nullptr) {
    uint32_t asked = symbol;
    ++translations_;
    QV_Status st = translator_(&asked, &name, 1, context_);
    named = st == QV_OK && name != nullptr;
  }
  if (named) {
    size_t n = std::strlen(name);
    if (IsBareName(name, n)) {
      out_.Append(name, n);
    } else {
      AppendQuoted(out_, name, n);
    }
  } else {
    out_.Put('#');
    WriteUInt(symbol);
  }
  std::free(name);  // a translator may hand back text even when it fails
  if (out_.Ok()) spellings_.Insert(symbol, out_.Data() + start, out_.Size() - start);
}

// Writes a value of one or two words, as its type word and the value;
// false, with nothing written, for any other type.
bool Writer::WriteWords(uint32_t type, uint32_t w0, uint32_t w1) {
  switch (type) {
    case CT_TYPE_INT: out_.Literal("int "); WriteInt(static_cast<int32_t>(w0)); return true;
    case CT_TYPE_UINT: out_.Literal("uint "); WriteUInt(w0); return true;
    case CT_TYPE_BOOL: out_.Literal("bool "); WriteInt(static_cast<int32_t>(w0)); return true;
    case CT_TYPE_SYMBOL: out_.Literal("symbol "); WriteSymbol(w0); return true;
    case CT_TYPE_FLOAT: out_.Literal("float "); WriteFloat(AsFloat(w0)); return true;
    case CT_TYPE_IRANGE:
      out_.Literal("irange ");
      WriteInt(static_cast<int32_t>(w0));
      out_.Literal(" to ");
      WriteInt(static_cast<int32_t>(w1));
      return true;
    case CT_TYPE_FRANGE:
      out_.Literal("frange ");
      WriteFloat(AsFloat(w0));
      out_.Literal(" to ");
      WriteFloat(AsFloat(w1));
      return true;
    default: return false;
  }
}

bool Writer::Write(const QV_RawDataElement& e) {
  uint32_t words[2];
  std::memcpy(words, &e.value.bits, sizeof words);
  if (WriteWords(e.type, words[0], words[1])) return CheckOutput();
  switch (e.type) {
    case CT_TYPE_NONE: out_.Literal("none"); break;
    case CT_TYPE_STRING: out_.Literal("string "); WriteString(e.value.str); break;
    case CT_TYPE_KVSET:
      out_.Literal("kvset ");
      if (!WriteSet(e.value.kvs, 1, 0)) return false;
      break;
    default: {
      if (e.type < CT_TYPE_ARRAY) return Fail(ct::kErrTextBadType);
      uint32_t err = 0, actual = 0;
      if (CTary_GetType(e.value.ary, &actual, &err) != 1) return FailContainer(err);
      if (actual != e.type) return Fail(ct::kErrTextBadElement);
      if (!WriteArray(e.value.ary, 1, 0)) return false;
    }
  }
  return CheckOutput();
}

bool Writer::WriteSet(CTkvs set, int depth, int indent) {
  if (depth > kDeifMaxDepth) return Fail(ct::kErrTextTooDeep);
  // One view of the whole set, reused per nesting level.
  std::vector<ct::store::EntryView>& entries = views_[static_cast<size_t>(depth)];
  uint32_t err = 0;
  if (ct::store::ViewSet(set, &entries, &err) != 1) return FailContainer(err);
  if (entries.empty()) {
    out_.Literal("{}");
    return CheckOutput();
  }
  const uint64_t viewed = translations_;
  out_.Literal("{\n");
  for (const ct::store::EntryView& entry : entries) {
    out_.Spaces(2 * static_cast<size_t>(indent + 1));
    WriteSymbol(entry.key);
    out_.Literal(" = ");
    if (!WriteSetValue(set, entry, viewed, depth, indent + 1)) return false;
    out_.Literal(";\n");
    if (!CheckOutput()) return false;
  }
  out_.Spaces(2 * static_cast<size_t>(indent));
  out_.Put('}');
  return CheckOutput();
}

bool Writer::WriteSetValue(CTkvs set, const ct::store::EntryView& entry, uint64_t viewed, int depth, int indent) {
  if (WriteWords(entry.type, entry.w0, entry.w1)) return true;
  switch (entry.type) {
    case CT_TYPE_STRING: {
      out_.Literal("string ");
      if (viewed == translations_) {
        AppendQuoted(out_, entry.text, entry.length);
        return true;
      }
      // The translator ran since the view was taken and may have changed
      // the set: read the text again.
      const char* v;
      uint32_t err = 0;
      if (CTkvs_GetString(set, entry.key, &v, &err) != 1) return FailContainer(err);
      WriteString(v);
      return true;
    }
    case CT_TYPE_KVSET:
      out_.Literal("kvset ");
      return WriteSet(entry.handle, depth + 1, indent);
    default:
      if (entry.type < CT_TYPE_ARRAY) return Fail(ct::kErrTextBadElement);
      return WriteArray(entry.handle, depth + 1, indent);
  }
}

bool Writer::WriteArray(CTary array, int depth, int indent) {
  if (depth > kDeifMaxDepth) return Fail(ct::kErrTextTooDeep);
  ct::store::ArrayView view{};
  uint32_t err = 0;
  if (ct::store::ViewArray(array, &view, &err) != 1) return FailContainer(err);
  const uint32_t code = view.type;
  out_.Literal("array ");
  Word kind = ArrayKindWord(code);
  if (kind == Word::kNotAWord) {
    out_.Put('#');
    WriteUInt(code);
  } else {
    size_t n;
    const char* w = WordText(kind, &n);
    out_.Append(w, n);
  }
  out_.Literal(" [");
  bool ok = (kind == Word::kKVSet || kind == Word::kArray) ? WriteContainerItems(view, depth, indent)
                                                            : WriteScalarItems(view);
  if (!ok) return false;
  out_.Put(']');
  return CheckOutput();
}


bool Writer::WriteScalarItems(const ct::store::ArrayView& view) {
  const uint32_t count = view.count;
  switch (view.type) {
    case CT_TYPE_INT_ARRAY:
    case CT_TYPE_BOOL_ARRAY:
      WriteNumbers(out_, static_cast<const int32_t*>(view.block), count, 11, FormatInt);
      break;
    case CT_TYPE_UINT_ARRAY:
      WriteNumbers(out_, static_cast<const uint32_t*>(view.block), count, 10, FormatUInt);
      break;
    case CT_TYPE_SYMBOL_ARRAY: {
      const CTsymbol* items = static_cast<const CTsymbol*>(view.block);
      // The translator may run arbitrary code; copy the lent block first.
      std::vector<CTsymbol> copy(items, items + count);
      WriteList(out_, copy.data(), count, [this](CTsymbol v) { WriteSymbol(v); });
      break;
    }
    case CT_TYPE_FLOAT_ARRAY:
      WriteNumbers(out_, static_cast<const float*>(view.block), count, 24, FormatFloat);
      break;
    case CT_TYPE_IRANGE_ARRAY:
      WriteNumbers(out_, static_cast<const CTirange*>(view.block), count, 26, FormatRange<CTirange, FormatInt>);
      break;
    case CT_TYPE_FRANGE_ARRAY:
      WriteNumbers(out_, static_cast<const CTfrange*>(view.block), count, 52, FormatRange<CTfrange, FormatFloat>);
      break;
    case CT_TYPE_STRING_ARRAY:
      if (view.texts != nullptr) {
        WriteList(out_, view.texts, count,
                  [this](const std::string& v) { AppendQuoted(out_, v.data(), v.size()); });
      }
      break;
    default:
      WriteNumbers(out_, static_cast<const uint32_t*>(view.block), count, 10, FormatUInt);
  }
  return CheckOutput();
}

bool Writer::WriteContainerItems(const ct::store::ArrayView& view, int depth, int indent) {
  const uint32_t code = view.type;
  const uint32_t count = view.count;
  uint32_t err = 0;
  const uint32_t* lent = static_cast<const uint32_t*>(view.block);
  if (count == 0) return true;
  // Symbols inside may call the translator; keep our own copy of the handles.
  std::vector<uint32_t> items(lent, lent + count);

  // An array of flat arrays stays on one line; sets and deeper arrays get a
  // line per item.
  bool oneLine = code == CT_TYPE_ARRAY_ARRAY;
  for (uint32_t i = 0; oneLine && i < count; ++i) {
    uint32_t t = 0;
    if (CTary_GetType(items[i], &t, &err) != 1) return FailContainer(err);
    if (t == CT_TYPE_KVSET_ARRAY || t == CT_TYPE_ARRAY_ARRAY) oneLine = false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (oneLine) {
      if (i != 0) out_.Literal(", ");
    } else {
      if (i != 0) out_.Put(',');
      out_.Put('\n');
      out_.Spaces(2 * static_cast<size_t>(indent + 1));
    }
    bool ok = code == CT_TYPE_KVSET_ARRAY ? WriteSet(items[i], depth + 1, indent + 1)
                                          : WriteArray(items[i], depth + 1, indent + 1);
    if (!ok) return false;
    if (!CheckOutput()) return false;
  }
  if (!oneLine) {
    out_.Put('\n');
    out_.Spaces(2 * static_cast<size_t>(indent));
  }
  return true;
}

}  // namespace deif

QV_Status DEtoA(const QV_RawDataElement* element, char** text, QV_SymbolTranslator translator, void* context) {
  if (text == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrInvalidArgument, 0);
  *text = nullptr;
  if (element == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrInvalidArgument, 0);
  deif::Writer writer(translator, context);
  if (!writer.Write(*element)) return QV_CreateStatus(QV_STATE_FAILURE, writer.Error(), 0);
  *text = writer.Release();
  if (*text == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrNoMemory, 0);
  return QV_OK;
}
