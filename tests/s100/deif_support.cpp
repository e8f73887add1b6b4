#include "tests/s100/deif_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "s100/ctstore.h"

namespace deif_test {

QV_Status MapTranslator(uint32_t* symbol, char** text, int32_t direction, void* context) {
  Names* n = static_cast<Names*>(context);
  if (direction != 0) {
    ++n->toName;
    auto it = n->names.find(*symbol);
    if (it == n->names.end()) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrUnknownSymbol, 0);
    *text = static_cast<char*>(std::malloc(it->second.size() + 1));
    std::memcpy(*text, it->second.c_str(), it->second.size() + 1);
    return QV_OK;
  }
  ++n->toSymbol;
  auto it = n->symbols.find(*text);
  if (it == n->symbols.end()) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrUnknownSymbol, 0);
  *symbol = it->second;
  return QV_OK;
}

std::string Write(const QV_RawDataElement& e, QV_SymbolTranslator tr, void* ctx) {
  Text t;
  QV_Status st = DEtoA(&e, &t.p, tr, ctx);
  EXPECT_EQ(st, QV_OK) << std::hex << "DEtoA error 0x" << st.error;
  return t.str();
}

QV_Status ReadText(const std::string& text, QV_RawDataElement* out, QV_SymbolTranslator tr, void* ctx, size_t* stop) {
  return AtoAnyDEn(text.data(), text.size(), stop, out, tr, ctx);
}

std::string NestedText(int depth) {
  std::string open, close;
  int level = 1;
  // Level 1 is the outermost; each step opens one or two more.
  while (level < depth) {
    if (level % 3 == 0 && level + 2 <= depth) {
      open += "array kvset [{#1 = ";
      close = ";}]" + close;
      level += 2;
    } else if (level % 3 == 1) {
      open += "kvset {#2 = ";
      close = ";}" + close;
      level += 1;
    } else {
      open += "array array [";
      close = "]" + close;
      level += 1;
    }
  }
  return open + "array int [7]" + close;  // the innermost, at level `depth`
}

size_t LiveHandles() { return ct::store::LiveHandles(); }

// ---------------------------------------------------------------- generator

Generator::Generator(uint32_t seed, Names* names) : rng_(seed), names_(names) {}

float Generator::Float() {
  static const uint32_t kSpecial[] = {0x00000000u, 0x80000000u, 0x7f800000u, 0xff800000u, 0x7fc00000u,
                                      0x7fc00001u, 0xffffffffu, 0x7f800001u, 0x00000001u, 0x807fffffu,
                                      0x7f7fffffu, 0x3f800000u};
  uint32_t bits;
  switch (Below(4)) {
    case 0: bits = kSpecial[Below(sizeof kSpecial / sizeof kSpecial[0])]; break;
    case 1: {
      float f = static_cast<float>(static_cast<int32_t>(Below(2001)) - 1000) / 8.0f;
      std::memcpy(&bits, &f, 4);
      break;
    }
    default: bits = Word();
  }
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

std::string Generator::Bytes(size_t maxLength) {
  std::string s(Below(static_cast<uint32_t>(maxLength) + 1), ' ');
  for (char& c : s) c = static_cast<char>(1 + Below(255));
  return s;
}

uint32_t Generator::Symbol() {
  // Mostly symbols the translator knows, some it does not, a few extremes.
  switch (Below(6)) {
    case 0: return Word();
    case 1: return Below(2) ? 0u : 0xffffffffu;
    default: {
      if (names_ == nullptr || names_->names.empty()) return Word();
      auto it = names_->names.begin();
      std::advance(it, Below(static_cast<uint32_t>(names_->names.size())));
      return it->first;
    }
  }
}

void Generator::Set(QV_RawDataElement* out, int maxDepth) {
  out->type = CT_TYPE_KVSET;
  out->value.kvs = MakeSet(maxDepth);
}

void Generator::Any(QV_RawDataElement* out, int maxDepth) {
  out->value.bits = 0;
  switch (Below(12)) {
    case 0: out->type = CT_TYPE_NONE; break;
    case 1: out->type = CT_TYPE_INT; out->value.u = Word(); break;
    case 2: out->type = CT_TYPE_UINT; out->value.u = Word(); break;
    case 3: out->type = CT_TYPE_BOOL; out->value.u = Below(3) ? Below(2) : Word(); break;
    case 4: out->type = CT_TYPE_SYMBOL; out->value.u = Symbol(); break;
    case 5: out->type = CT_TYPE_FLOAT; out->value.f = Float(); break;
    case 6: out->type = CT_TYPE_IRANGE; out->value.ir = {static_cast<int32_t>(Word()), static_cast<int32_t>(Word())}; break;
    case 7: out->type = CT_TYPE_FRANGE; out->value.fr = {Float(), Float()}; break;
    case 8: {
      std::string s = Bytes(40);
      out->type = CT_TYPE_STRING;
      out->value.str = static_cast<char*>(std::malloc(s.size() + 1));
      std::memcpy(out->value.str, s.c_str(), s.size() + 1);
      break;
    }
    case 9:
    case 10: Set(out, maxDepth); break;
    default: {
      CTary a = MakeArray(maxDepth);
      uint32_t err;
      CTary_GetType(a, &out->type, &err);
      out->value.ary = a;
    }
  }
}

CTkvs Generator::MakeSet(int depth) {
  CTkvs set;
  uint32_t err;
  CTkvs_Create(&set, &err);
  uint32_t count = Below(8);
  for (uint32_t i = 0; i < count; ++i) {
    CTsymbol key = Symbol();
    if (key == CT_KVS_START_KEY || key == CT_KVS_END_KEY) continue;
    uint32_t type;
    if (CTkvs_GetType(set, key, &type, &err) == 1) continue;  // keys are unique
    switch (Below(depth > 1 ? 12 : 10)) {
      case 0: CTkvs_PutInt(set, key, static_cast<int32_t>(Word()), &err); break;
      case 1: CTkvs_PutUInt(set, key, Word(), &err); break;
      case 2: CTkvs_PutBool(set, key, Below(2) ? static_cast<int32_t>(Below(2)) : static_cast<int32_t>(Word()), &err); break;
      case 3: CTkvs_PutSymbol(set, key, Symbol(), &err); break;
      case 4: CTkvs_PutFloat(set, key, Float(), &err); break;
      case 5: {
        CTirange r{static_cast<int32_t>(Word()), static_cast<int32_t>(Word())};
        CTkvs_PutIRange(set, key, &r, &err);
        break;
      }
      case 6: {
        CTfrange r{Float(), Float()};
        CTkvs_PutFRange(set, key, &r, &err);
        break;
      }
      case 7:
      case 8: CTkvs_PutString(set, key, Bytes(30).c_str(), &err); break;
      case 9: {
        CTary a = MakeArray(depth > 1 ? depth - 1 : 1);
        CTkvs_PutArray(set, key, a, &err);
        CTary_Destroy(a, &err);
        break;
      }
      default: {
        CTkvs inner = MakeSet(depth - 1);
        CTkvs_PutKVSet(set, key, inner, &err);
        CTkvs_Destroy(inner, &err);
      }
    }
  }
  return set;
}

CTary Generator::MakeArray(int depth) {
  CTary a;
  uint32_t err;
  CTary_Create(&a, &err);
  static const uint32_t kRawCodes[] = {60, 67, 68, 69, 70, 73, 74, 75, 76, 79, 1000, 0xffffffffu};
  uint32_t n = Below(6);
  // n items, each made by make() in turn.
  auto items = [&](auto make) {
    std::vector<decltype(make())> v(n);
    for (auto& x : v) x = make();
    return v;
  };
  switch (Below(depth > 1 ? 13 : 11)) {
    case 0:
    case 1: {
      const auto v = items([&] { return static_cast<int32_t>(Below(3) ? Below(2) : Word()); });
      Below(2) ? CTary_PutInt(a, v.data(), n, &err) : CTary_PutBool(a, v.data(), n, &err);
      break;
    }
    case 2: {
      const auto v = items([&] { return Word(); });
      CTary_PutUInt(a, v.data(), n, &err);
      break;
    }
    case 3: {
      const auto v = items([&] { return Symbol(); });
      CTary_PutSymbol(a, v.data(), n, &err);
      break;
    }
    case 4: {
      const auto v = items([&] { return Float(); });
      CTary_PutFloat(a, v.data(), n, &err);
      break;
    }
    case 5: {
      const auto v = items([&] { return CTirange{static_cast<int32_t>(Word()), static_cast<int32_t>(Word())}; });
      CTary_PutIRange(a, v.data(), n, &err);
      break;
    }
    case 6: {
      const auto v = items([&] { return CTfrange{Float(), Float()}; });
      CTary_PutFRange(a, v.data(), n, &err);
      break;
    }
    case 7:
    case 8: {
      std::vector<std::string> s(n);
      std::vector<const char*> p(n);
      for (uint32_t i = 0; i < n; ++i) {
        s[i] = Bytes(20);
        p[i] = s[i].c_str();
      }
      CTary_PutString(a, p.data(), n, &err);
      break;
    }
    case 9:
    case 10: {
      uint32_t code = kRawCodes[Below(sizeof kRawCodes / sizeof kRawCodes[0])];
      const auto v = items([&] { return Word(); });
      if (code == 60 && Below(2)) break;  // a fresh array, never put
      CTary_PutWords(a, code, v.data(), n, &err);
      break;
    }
    case 11: {
      const auto v = items([&] { return MakeSet(depth - 1); });
      CTary_PutKVSet(a, v.data(), n, &err);
      for (auto x : v) CTkvs_Destroy(x, &err);
      break;
    }
    default: {
      const auto v = items([&] { return MakeArray(depth - 1); });
      CTary_PutArray(a, v.data(), n, &err);
      for (auto x : v) CTary_Destroy(x, &err);
    }
  }
  return a;
}

}  // namespace deif_test
