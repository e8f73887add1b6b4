#include "compare/diff.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "compare/elementio.h"

namespace compare {
namespace {

// Stable ids for symbols: by number the symbol itself; by name one id per
// distinct name, shared by both sides, and one per number without a name.
class SymbolIds {
 public:
  explicit SymbolIds(const Options& options) : options_(options) {}

  struct Id {
    uint32_t id;
    bool unnamed;
  };

  Id Of(uint32_t symbol, bool oldSide) {
    if (!options_.byName) return {symbol, false};
    auto& cache = oldSide ? oldCache_ : newCache_;
    if (auto it = cache.find(symbol); it != cache.end()) return it->second;
    const SymbolNamer& namer = oldSide ? options_.oldNames : options_.newNames;
    std::string name;
    Id id{0, false};
    if (namer && namer(symbol, &name) && !name.empty()) {
      id.id = Intern(name);
    } else {
      // '#' never starts a name, so a number cannot meet a name here.
      id.id = Intern("#" + std::to_string(symbol));
      id.unnamed = true;
    }
    cache.emplace(symbol, id);
    return id;
  }

 private:
  uint32_t Intern(const std::string& name) {
    auto [it, added] = names_.emplace(name, static_cast<uint32_t>(names_.size() + 1));
    (void)added;
    return it->second;
  }

  const Options& options_;
  std::unordered_map<uint32_t, Id> oldCache_, newCache_;
  std::unordered_map<std::string, uint32_t> names_;
};

uint64_t Mix(uint64_t h, uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
  return h;
}

uint64_t HashText(const char* text) {
  uint64_t h = 1469598103934665603ULL;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    h ^= *p;
    h *= 1099511628211ULL;
  }
  return h;
}

class Engine {
 public:
  Engine(const Options& options, std::vector<Difference>* out) : options_(options), ids_(options), out_(out) {}

  bool ok() const { return ok_; }

  void Compare(const Item& o, const Item& n) {
    if (!Continue()) return;
    if (o.type != n.type) {
      Emit(DiffKind::Changed, &o, &n);
      return;
    }
    if (o.type == CT_TYPE_KVSET) {
      CompareSets(o.handle, n.handle);
    } else if (o.type >= CT_TYPE_ARRAY) {
      if (CTary_IsKnownType(o.type)) {
        CompareArrays(o.handle, n.handle, o.type);
      } else if (!SameWords(o.handle, n.handle)) {
        Emit(DiffKind::Changed, &o, &n);
      }
    } else if (!Same(o, n)) {
      Emit(DiffKind::Changed, &o, &n);
    }
  }

 private:
  // Equality of two items, the first of the old side.
  bool Same(const Item& o, const Item& n) {
    if (o.type != n.type || !Continue()) return false;
    switch (o.type) {
      case CT_TYPE_SYMBOL:
        return ids_.Of(o.w0, true).id == ids_.Of(n.w0, false).id;
      case CT_TYPE_STRING:
        return std::strcmp(o.text != nullptr ? o.text : "", n.text != nullptr ? n.text : "") == 0;
      case CT_TYPE_KVSET:
        return SameSets(o.handle, n.handle);
      default:
        if (o.type >= CT_TYPE_ARRAY) return SameArrays(o.handle, n.handle);
        return o.w0 == n.w0 && o.w1 == n.w1;
    }
  }

  bool SameSets(CTkvs o, CTkvs n) {
    std::vector<Entry> oe, ne;
    if (!ReadSet(o, &oe) || !ReadSet(n, &ne)) return Fail();
    if (oe.size() != ne.size()) return false;
    KeyIndex index(oe, [this](CTsymbol k) { return ids_.Of(k, true).id; });
    for (const Entry& e : ne) {
      const Entry* match = index.Find(ids_.Of(e.key, false).id);
      if (match == nullptr || !Same(match->value, e.value)) return false;
    }
    return true;
  }

  bool SameArrays(CTary o, CTary n) {
    ArrayItems oa, na;
    if (!ReadArray(o, &oa) || !ReadArray(n, &na)) return Fail();
    if (oa.type != na.type || oa.count != na.count) return false;
    if (!CTary_IsKnownType(oa.type)) return SameWordBlocks(oa, na);
    for (uint32_t i = 0; i < oa.count; ++i)
      if (!Same(oa.At(i), na.At(i))) return false;
    return true;
  }

  bool SameWords(CTary o, CTary n) {
    ArrayItems oa, na;
    if (!ReadArray(o, &oa) || !ReadArray(n, &na)) return Fail();
    return SameWordBlocks(oa, na);
  }

  static bool SameWordBlocks(const ArrayItems& a, const ArrayItems& b) {
    return a.type == b.type && a.count == b.count &&
           (a.count == 0 || std::memcmp(a.words, b.words, a.count * sizeof(uint32_t)) == 0);
  }

  // A hash that equal items share (sets whatever their key order), so the
  // array walk compares numbers and looks deeper only on a match.
  uint64_t Hash(const Item& item, bool oldSide) {
    uint64_t h = item.type;
    switch (item.type) {
      case CT_TYPE_SYMBOL:
        return Mix(h, ids_.Of(item.w0, oldSide).id);
      case CT_TYPE_STRING:
        return Mix(h, HashText(item.text != nullptr ? item.text : ""));
      case CT_TYPE_KVSET: {
        std::vector<Entry> entries;
        if (!ReadSet(item.handle, &entries)) {
          Fail();
          return h;
        }
        uint64_t sum = 0;
        for (const Entry& e : entries) sum += Mix(Mix(0, ids_.Of(e.key, oldSide).id), Hash(e.value, oldSide));
        return Mix(h, sum);
      }
      default:
        if (item.type >= CT_TYPE_ARRAY) {
          ArrayItems a;
          if (!ReadArray(item.handle, &a)) {
            Fail();
            return h;
          }
          h = Mix(Mix(h, a.type), a.count);
          if (!CTary_IsKnownType(a.type)) {
            for (uint32_t i = 0; i < a.count; ++i) h = Mix(h, a.words[i]);
          } else {
            for (uint32_t i = 0; i < a.count; ++i) h = Mix(h, Hash(a.At(i), oldSide));
          }
          return h;
        }
        return Mix(Mix(h, item.w0), item.w1);
    }
  }

  void CompareSets(CTkvs o, CTkvs n) {
    std::vector<Entry> oe, ne;
    if (!ReadSet(o, &oe) || !ReadSet(n, &ne)) {
      Fail();
      return;
    }
    KeyIndex index(oe, [this](CTsymbol k) { return ids_.Of(k, true).id; });
    std::vector<bool> matched(oe.size(), false);
    for (const Entry& e : ne) {
      const SymbolIds::Id id = ids_.Of(e.key, false);
      const Entry* match = index.Find(id.id);
      PathStep step;
      step.key = e.key;
      step.oldKey = match != nullptr ? match->key : e.key;
      step.unnamed = id.unnamed || (match != nullptr && ids_.Of(match->key, true).unnamed);
      path_.push_back(step);
      if (match != nullptr) {
        matched[static_cast<size_t>(match - oe.data())] = true;
        Compare(match->value, e.value);
      } else {
        Emit(DiffKind::Added, nullptr, &e.value);
      }
      path_.pop_back();
    }
    for (size_t i = 0; i < oe.size(); ++i) {
      if (matched[i]) continue;
      PathStep step;
      step.key = step.oldKey = oe[i].key;
      step.unnamed = ids_.Of(oe[i].key, true).unnamed;
      path_.push_back(step);
      Emit(DiffKind::Removed, &oe[i].value, nullptr);
      path_.pop_back();
    }
  }

  enum class Op : uint8_t { Keep, Delete, Insert };

  void CompareArrays(CTary o, CTary n, uint32_t type) {
    ArrayItems oa, na;
    if (!ReadArray(o, &oa) || !ReadArray(n, &na) || oa.type != type || na.type != type) {
      Fail();
      return;
    }
    const size_t on = oa.count, nn = na.count;
    // Common ends first: an insertion at the front of a long array is then
    // a walk over nothing.
    size_t head = 0;
    while (head < on && head < nn && Same(oa.At(head), na.At(head))) ++head;
    size_t tail = 0;
    while (tail < on - head && tail < nn - head && Same(oa.At(on - 1 - tail), na.At(nn - 1 - tail))) ++tail;

    const size_t om = on - head - tail, nm = nn - head - tail;
    std::vector<Op> script;
    if (om > 0 && nm > 0) {
      std::vector<uint64_t> oh(om), nh(nm);
      for (size_t i = 0; i < om; ++i) oh[i] = Hash(oa.At(head + i), true);
      for (size_t j = 0; j < nm; ++j) nh[j] = Hash(na.At(head + j), false);
      auto equal = [&](size_t i, size_t j) { return oh[i] == nh[j] && Same(oa.At(head + i), na.At(head + j)); };
      if (!Myers(om, nm, equal, options_.maxArrayEdits, &script)) {
        if (!ok_) return;
        // Too different to align: one run, so positions pair up and the
        // rest are added or removed.
        script.assign(om, Op::Delete);
        script.insert(script.end(), nm, Op::Insert);
      }
    } else {
      script.assign(om, Op::Delete);
      script.insert(script.end(), nm, Op::Insert);
    }

    // Each run of deletions and insertions between kept items: pairs become
    // changes (looked into when they are containers), the rest removals or
    // additions.
    uint32_t oi = static_cast<uint32_t>(head), ni = static_cast<uint32_t>(head);
    for (size_t s = 0; s < script.size();) {
      if (script[s] == Op::Keep) {
        ++oi, ++ni, ++s;
        continue;
      }
      size_t dels = 0, ins = 0;
      while (s < script.size() && script[s] != Op::Keep) (script[s++] == Op::Delete ? dels : ins)++;
      const size_t pairs = std::min(dels, ins);
      for (size_t k = 0; k < pairs; ++k) {
        path_.push_back(IndexStep(oi + k, ni + k));
        Compare(oa.At(oi + k), na.At(ni + k));
        path_.pop_back();
      }
      for (size_t k = pairs; k < dels; ++k) {
        path_.push_back(IndexStep(oi + k, ni + pairs));
        const Item item = oa.At(oi + k);
        Emit(DiffKind::Removed, &item, nullptr);
        path_.pop_back();
      }
      for (size_t k = pairs; k < ins; ++k) {
        path_.push_back(IndexStep(oi + dels, ni + k));
        const Item item = na.At(ni + k);
        Emit(DiffKind::Added, nullptr, &item);
        path_.pop_back();
      }
      oi += static_cast<uint32_t>(dels);
      ni += static_cast<uint32_t>(ins);
    }
  }

  static PathStep IndexStep(size_t oldIndex, size_t newIndex) {
    PathStep step;
    step.isKey = false;
    step.oldIndex = static_cast<uint32_t>(oldIndex);
    step.newIndex = static_cast<uint32_t>(newIndex);
    return step;
  }

  // Myers' greedy walk for the shortest edit script of a[0..n) into b[0..m).
  // False when it needs more than maxEdits insertions and deletions.
  template <typename Eq>
  bool Myers(size_t n, size_t m, Eq equal, size_t maxEdits, std::vector<Op>* script) {
    const long N = static_cast<long>(n), M = static_cast<long>(m);
    const long maxD = std::min<long>(N + M, static_cast<long>(maxEdits));
    const long offset = maxD + 1;
    std::vector<long> v(static_cast<size_t>(2 * maxD + 3), 0);
    std::vector<std::vector<long>> trace;  // v's band [-d, d] before each round d
    long found = -1;
    for (long d = 0; d <= maxD && found < 0; ++d) {
      trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
      for (long k = -d; k <= d; k += 2) {
        if (!Continue()) return false;
        long x;
        if (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1]))
          x = v[offset + k + 1];
        else
          x = v[offset + k - 1] + 1;
        long y = x - k;
        while (x < N && y < M && equal(static_cast<size_t>(x), static_cast<size_t>(y))) ++x, ++y;
        v[offset + k] = x;
        if (x >= N && y >= M) {
          found = d;
          break;
        }
      }
    }
    if (found < 0) return false;
    // Walk back through the rounds, collecting the script in reverse.
    std::vector<Op> reversed;
    long x = N, y = M;
    for (long d = found; d > 0; --d) {
      const std::vector<long>& prev = trace[static_cast<size_t>(d)];  // band of round d-1's result
      auto at = [&](long k) { return prev[static_cast<size_t>(k + (d - 1) + 1)]; };
      const long k = x - y;
      long prevK;
      if (k == -d || (k != d && at(k - 1) < at(k + 1)))
        prevK = k + 1;
      else
        prevK = k - 1;
      const long prevX = at(prevK), prevY = prevX - prevK;
      while (x > prevX && y > prevY) {
        reversed.push_back(Op::Keep);
        --x, --y;
      }
      reversed.push_back(x == prevX ? Op::Insert : Op::Delete);
      x = prevX, y = prevY;
    }
    while (x > 0 && y > 0) {
      reversed.push_back(Op::Keep);
      --x, --y;
    }
    script->assign(reversed.rbegin(), reversed.rend());
    return true;
  }

  void Emit(DiffKind kind, const Item* o, const Item* n) {
    Difference diff;
    diff.kind = kind;
    diff.path = path_;
    if (o != nullptr && !ToElement(*o, &diff.oldValue)) Fail();
    if (n != nullptr && !ToElement(*n, &diff.newValue)) Fail();
    out_->push_back(std::move(diff));
  }

  bool Fail() {
    ok_ = false;
    return false;
  }

  // False once the walk is to stop: a failure, or the cancel hook said so
  // at one of its checks.
  bool Continue() {
    if (!ok_) return false;
    if (options_.cancelled && ++steps_ % kCancelCheckInterval == 0 && options_.cancelled()) ok_ = false;
    return ok_;
  }

  const Options& options_;
  SymbolIds ids_;
  std::vector<Difference>* out_;
  std::vector<PathStep> path_;
  bool ok_ = true;
  size_t steps_ = 0;
};

}  // namespace

bool Diff(const QV_DataElement& oldValue, const QV_DataElement& newValue, const Options& options,
          std::vector<Difference>* out) {
  if (out == nullptr) return false;
  std::vector<Difference> found;
  Engine engine(options, &found);
  engine.Compare(FromElement(oldValue), FromElement(newValue));
  if (!engine.ok()) return false;
  out->insert(out->end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
  return true;
}

bool Equal(const QV_DataElement& a, const QV_DataElement& b) {
  std::vector<Difference> diffs;
  return Diff(a, b, Options{}, &diffs) && diffs.empty();
}

namespace {

using DiffRefs = std::vector<const Difference*>;

bool ApplyAt(const QV_DataElement& old, const DiffRefs& diffs, size_t depth, QV_DataElement* result);

// The differences below one step: those whose step at this depth is the same.
bool SameStep(const PathStep& a, const PathStep& b) {
  return a.isKey == b.isKey && (a.isKey ? a.oldKey == b.oldKey && a.key == b.key
                                        : a.oldIndex == b.oldIndex && a.newIndex == b.newIndex);
}

bool ApplyToSet(CTkvs set, const DiffRefs& diffs, size_t depth, QV_DataElement* result) {
  std::vector<Entry> entries;
  if (!ReadSet(set, &entries)) return false;
  // What each old key becomes: dropped, replaced, or looked into.
  std::unordered_map<CTsymbol, DiffRefs> byKey;
  std::vector<const Difference*> added;
  for (const Difference* d : diffs) {
    const PathStep& step = d->path[depth];
    if (!step.isKey) return false;
    if (d->path.size() == depth + 1 && d->kind == DiffKind::Added)
      added.push_back(d);
    else
      byKey[step.oldKey].push_back(d);
  }
  SetBuilder out;
  if (!out.Ok()) return false;
  for (const Entry& e : entries) {
    auto it = byKey.find(e.key);
    QV_DataElement value;
    if (!ToElement(e.value, &value)) return false;
    if (it != byKey.end()) {
      const DiffRefs here = std::move(it->second);
      byKey.erase(it);
      if (here.size() == 1 && here[0]->path.size() == depth + 1) {
        if (here[0]->kind == DiffKind::Removed) continue;
        value = here[0]->newValue;
      } else {
        QV_DataElement changed;
        if (!ApplyAt(value, here, depth + 1, &changed)) return false;
        value = std::move(changed);
      }
    }
    if (!out.Put(e.key, value)) return false;
  }
  if (!byKey.empty()) return false;  // a difference names a key the set lacks
  for (const Difference* d : added)
    if (!out.Put(d->path[depth].key, d->newValue)) return false;
  return out.Release(result);
}

}  // namespace

bool ApplyToArray(CTary array, const DiffRefs& diffs, size_t depth, QV_DataElement* result) {
  ArrayItems items;
  if (!ReadArray(array, &items) || !CTary_IsKnownType(items.type)) return false;
  std::vector<QV_DataElement> out;
  out.reserve(items.count);
  uint32_t next = 0;  // the next old item not yet copied
  auto copyTo = [&](uint32_t end) {
    if (end > items.count || end < next) return false;
    for (; next < end; ++next) {
      out.emplace_back();
      if (!ToElement(items.At(next), &out.back())) return false;
    }
    return true;
  };
  for (size_t i = 0; i < diffs.size();) {
    const PathStep& step = diffs[i]->path[depth];
    if (step.isKey) return false;
    size_t j = i + 1;
    while (j < diffs.size() && SameStep(diffs[j]->path[depth], step)) ++j;
    const Difference& first = *diffs[i];
    if (j - i == 1 && first.path.size() == depth + 1) {
      if (!copyTo(step.oldIndex)) return false;
      if (first.kind == DiffKind::Added) {
        out.push_back(first.newValue);
      } else {
        if (next >= items.count) return false;
        ++next;
        if (first.kind == DiffKind::Changed) out.push_back(first.newValue);
      }
    } else {
      if (!copyTo(step.oldIndex) || next >= items.count) return false;
      QV_DataElement inner, changed;
      if (!ToElement(items.At(next++), &inner)) return false;
      const DiffRefs below(diffs.begin() + static_cast<long>(i), diffs.begin() + static_cast<long>(j));
      if (!ApplyAt(inner, below, depth + 1, &changed)) return false;
      out.push_back(std::move(changed));
    }
    i = j;
  }
  if (!copyTo(items.count)) return false;
  return MakeArray(items.type, out, result);
}

namespace {

bool ApplyAt(const QV_DataElement& old, const DiffRefs& diffs, size_t depth, QV_DataElement* result) {
  if (diffs.empty()) {
    *result = old;
    return true;
  }
  for (const Difference* d : diffs) {
    if (d->path.size() < depth) return false;
    if (d->path.size() == depth) {
      // The element itself is replaced; nothing else may touch it.
      if (diffs.size() != 1 || d->kind != DiffKind::Changed) return false;
      *result = d->newValue;
      return true;
    }
  }
  if (old.Type() == CT_TYPE_KVSET) return ApplyToSet(old.KVSet(), diffs, depth, result);
  if (old.Type() >= CT_TYPE_ARRAY) return ApplyToArray(old.Array(), diffs, depth, result);
  return false;
}

}  // namespace

bool Apply(const QV_DataElement& oldValue, const std::vector<Difference>& diffs, QV_DataElement* result) {
  if (result == nullptr) return false;
  DiffRefs refs;
  refs.reserve(diffs.size());
  for (const Difference& d : diffs) refs.push_back(&d);
  QV_DataElement made;
  if (!ApplyAt(oldValue, refs, 0, &made)) return false;
  *result = made;
  return true;
}

std::string PathText(const Difference& diff, const SymbolNamer& names, const SymbolNamer& oldNames) {
  if (diff.path.empty()) return ".";
  std::string text;
  for (size_t i = 0; i < diff.path.size(); ++i) {
    const PathStep& step = diff.path[i];
    // Only a removed node itself has no place in the new tree.
    const bool old = diff.kind == DiffKind::Removed && i + 1 == diff.path.size();
    if (step.isKey) {
      if (!text.empty()) text += '.';
      const SymbolNamer& namer = old && oldNames ? oldNames : names;
      const CTsymbol key = old ? step.oldKey : step.key;
      std::string name;
      if (namer && namer(key, &name) && !name.empty())
        text += name;
      else
        text += "#" + std::to_string(key);
    } else {
      text += '[';
      text += std::to_string(old ? step.oldIndex : step.newIndex);
      text += ']';
    }
  }
  return text;
}

}  // namespace compare
