#include "tests/s100/deif_compare.h"

#include <cstring>
#include <string>
#include <vector>

namespace deif_test {

namespace {

bool Differ(std::string* why, const std::string& where) {
  if (why) *why = where;
  return false;
}

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

bool SameSet(CTkvs a, CTkvs b, const std::string& at, std::string* why);

// Items kept as plain bytes, read by get from both arrays: the same count
// and the same bytes (floats by their bits).
template <class T>
bool SameItems(int (*get)(CTary, const T**, uint32_t*, uint32_t*), CTary a, CTary b, const std::string& at,
               std::string* why) {
  const T *x = nullptr, *y = nullptr;
  uint32_t na = 0, nb = 0, err = 0;
  if (get(a, &x, &na, &err) != 1 || get(b, &y, &nb, &err) != 1) return Differ(why, at + ": items unreadable");
  if (na != nb) return Differ(why, at + ": count " + std::to_string(na) + " vs " + std::to_string(nb));
  if (na && std::memcmp(x, y, sizeof(T) * na) != 0) return Differ(why, at + ": items differ");
  return true;
}

bool SameArray(CTary a, CTary b, const std::string& at, std::string* why) {
  uint32_t ta = 0, tb = 0, err;
  if (CTary_GetType(a, &ta, &err) != 1 || CTary_GetType(b, &tb, &err) != 1) return Differ(why, at + ": bad array");
  if (ta != tb) return Differ(why, at + ": array code " + std::to_string(ta) + " vs " + std::to_string(tb));
  uint32_t na = 0, nb = 0;
  auto same = [&](auto get) { return SameItems(get, a, b, at, why); };
  switch (ta) {
    case CT_TYPE_INT_ARRAY: return same(CTary_GetInt);
    case CT_TYPE_BOOL_ARRAY: return same(CTary_GetBool);
    case CT_TYPE_UINT_ARRAY: return same(CTary_GetUInt);
    case CT_TYPE_SYMBOL_ARRAY: return same(CTary_GetSymbol);
    case CT_TYPE_FLOAT_ARRAY: return same(CTary_GetFloat);
    case CT_TYPE_IRANGE_ARRAY: return same(CTary_GetIRange);
    case CT_TYPE_FRANGE_ARRAY: return same(CTary_GetFRange);
    case CT_TYPE_STRING_ARRAY: {
      const char *const *x, *const *y;
      CTary_GetString(a, &x, &na, &err);
      CTary_GetString(b, &y, &nb, &err);
      if (na != nb) return Differ(why, at + ": count differs");
      for (uint32_t i = 0; i < na; ++i) {
        if (std::strcmp(x[i], y[i]) != 0) return Differ(why, at + "[" + std::to_string(i) + "]: text differs");
      }
      return true;
    }
    case CT_TYPE_KVSET_ARRAY:
    case CT_TYPE_ARRAY_ARRAY: {
      const uint32_t *x, *y;
      const auto get = ta == CT_TYPE_KVSET_ARRAY ? CTary_GetKVSet : CTary_GetArray;
      get(a, &x, &na, &err);
      get(b, &y, &nb, &err);
      if (na != nb) return Differ(why, at + ": count differs");
      std::vector<uint32_t> xs(x, x + na), ys(y, y + nb);
      for (uint32_t i = 0; i < na; ++i) {
        std::string item = at + "[" + std::to_string(i) + "]";
        const bool equal =
            ta == CT_TYPE_KVSET_ARRAY ? SameSet(xs[i], ys[i], item, why) : SameArray(xs[i], ys[i], item, why);
        if (!equal) return false;
      }
      return true;
    }
    default: return same(CTary_GetWords);  // items of a code without a kind
  }
}

bool SameSet(CTkvs a, CTkvs b, const std::string& at, std::string* why) {
  CTsymbol ka = CT_KVS_START_KEY, kb = CT_KVS_START_KEY;
  uint32_t ta = 0, tb = 0, err;
  for (;;) {
    int ra = CTkvs_GetNextKey(a, &ka, &ta, &err);
    int rb = CTkvs_GetNextKey(b, &kb, &tb, &err);
    if (ra != rb) return Differ(why, at + ": key counts differ");
    if (ra != 1) return true;
    std::string here = at + "." + std::to_string(ka);
    if (ka != kb) return Differ(why, here + ": key order/identity differs (" + std::to_string(kb) + ")");
    if (ta != tb) return Differ(why, here + ": type " + std::to_string(ta) + " vs " + std::to_string(tb));
    QV_RawDataElement x{}, y{};
    x.type = y.type = ta;
    switch (ta) {
      case CT_TYPE_INT: CTkvs_GetInt(a, ka, &x.value.i, &err); CTkvs_GetInt(b, kb, &y.value.i, &err); break;
      case CT_TYPE_UINT: CTkvs_GetUInt(a, ka, &x.value.u, &err); CTkvs_GetUInt(b, kb, &y.value.u, &err); break;
      case CT_TYPE_BOOL: CTkvs_GetBool(a, ka, &x.value.i, &err); CTkvs_GetBool(b, kb, &y.value.i, &err); break;
      case CT_TYPE_SYMBOL: CTkvs_GetSymbol(a, ka, &x.value.u, &err); CTkvs_GetSymbol(b, kb, &y.value.u, &err); break;
      case CT_TYPE_FLOAT: CTkvs_GetFloat(a, ka, &x.value.f, &err); CTkvs_GetFloat(b, kb, &y.value.f, &err); break;
      case CT_TYPE_IRANGE: CTkvs_GetIRange(a, ka, &x.value.ir, &err); CTkvs_GetIRange(b, kb, &y.value.ir, &err); break;
      case CT_TYPE_FRANGE: CTkvs_GetFRange(a, ka, &x.value.fr, &err); CTkvs_GetFRange(b, kb, &y.value.fr, &err); break;
      case CT_TYPE_STRING: {
        const char *sx, *sy;
        CTkvs_GetString(a, ka, &sx, &err);
        CTkvs_GetString(b, kb, &sy, &err);
        if (std::strcmp(sx, sy) != 0) return Differ(why, here + ": text differs");
        continue;
      }
      case CT_TYPE_KVSET: {
        CTkvs sx, sy;
        CTkvs_GetKVSet(a, ka, &sx, &err);
        CTkvs_GetKVSet(b, kb, &sy, &err);
        if (!SameSet(sx, sy, here, why)) return false;
        continue;
      }
      default: {
        CTary ax, ay;
        CTkvs_GetArray(a, ka, &ax, &err);
        CTkvs_GetArray(b, kb, &ay, &err);
        if (!SameArray(ax, ay, here, why)) return false;
        continue;
      }
    }
    if (!SameElement(x, y, why)) {
      if (why) *why = here + ": " + *why;
      return false;
    }
  }
}

}  // namespace

bool SameElement(const QV_RawDataElement& a, const QV_RawDataElement& b, std::string* why) {
  if (a.type != b.type) return Differ(why, "type " + std::to_string(a.type) + " vs " + std::to_string(b.type));
  switch (a.type) {
    case CT_TYPE_NONE: return true;
    case CT_TYPE_INT:
    case CT_TYPE_UINT:
    case CT_TYPE_BOOL:
    case CT_TYPE_SYMBOL:
      if (a.value.u != b.value.u) return Differ(why, std::to_string(a.value.u) + " vs " + std::to_string(b.value.u));
      return true;
    case CT_TYPE_FLOAT:
      if (Bits(a.value.f) != Bits(b.value.f)) return Differ(why, "float bits differ");
      return true;
    case CT_TYPE_IRANGE:
      if (a.value.ir.start != b.value.ir.start || a.value.ir.end != b.value.ir.end) return Differ(why, "irange differs");
      return true;
    case CT_TYPE_FRANGE:
      if (Bits(a.value.fr.start) != Bits(b.value.fr.start) || Bits(a.value.fr.end) != Bits(b.value.fr.end))
        return Differ(why, "frange bits differ");
      return true;
    case CT_TYPE_STRING: {
      const char* x = a.value.str ? a.value.str : "";
      const char* y = b.value.str ? b.value.str : "";
      if (std::strcmp(x, y) != 0) return Differ(why, "text differs");
      return true;
    }
    case CT_TYPE_KVSET: return SameSet(a.value.kvs, b.value.kvs, "", why);
    default:
      if (a.type < CT_TYPE_ARRAY) return Differ(why, "not a value type");
      return SameArray(a.value.ary, b.value.ary, "", why);
  }
}

}  // namespace deif_test
