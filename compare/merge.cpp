#include "compare/merge.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "compare/elementio.h"

namespace compare {
namespace {

using Refs = std::vector<const Difference*>;

// One edit of one side at an array level, in base positions: an insertion
// before base item s (s == e), or base item s removed, replaced, or changed
// inside.  Its differences are refs[begin, end).
struct Unit {
  enum Kind : uint8_t { Insert, Delete, Replace, Nested } kind = Insert;
  uint32_t s = 0, e = 0;
  uint32_t sideIndex = 0;  // the item's position on the side (for a removal: where it was)
  size_t begin = 0, end = 0;
};

// Units of one side that touch: a region as diff3 sees it.  Where both
// sides' regions overlap and cannot be paired item by item (insertions or
// removals among them), the whole array is the conflict: an item range would
// be no element of the tree, and the array is the smallest one enclosing it.
struct Hunk {
  uint32_t s = 0, e = 0;
  size_t first = 0, last = 0;  // units [first, last)
  bool Empty() const { return s == e; }
};

// Whether a hunk of mine and a hunk of theirs overlap.  An insertion meets
// a region only strictly inside it; two insertions meet at the same place.
bool Overlap(const Hunk& a, const Hunk& b) {
  if (!a.Empty() && !b.Empty()) return a.s < b.e && b.s < a.e;
  if (a.Empty() && b.Empty()) return a.s == b.s;
  const Hunk& point = a.Empty() ? a : b;
  const Hunk& range = a.Empty() ? b : a;
  return range.s < point.s && point.s < range.e;
}

bool Before(const Hunk& a, const Hunk& b) { return a.s < b.s || (a.s == b.s && a.Empty() && !b.Empty()); }

class Merger {
 public:
  std::vector<Difference> patch;  // turns mine into the merged element
  std::vector<Conflict> conflicts;
  bool ok = true;

  // b, m, t: one place in the three trees, which both sides kept; md and td
  // their differences at or below it; depth the place's path length.
  void Node(const Item& b, const Item& m, const Item& t, const Refs& md, const Refs& td, size_t depth) {
    if (td.empty()) return;  // mine holds everything already
    if (md.empty()) {
      for (const Difference* d : td) Take(*d, depth);
      return;
    }
    const bool mineWhole = md.front()->path.size() == depth;
    const bool theirsWhole = td.front()->path.size() == depth;
    if (mineWhole || theirsWhole) {
      if (mineWhole && theirsWhole && Equal(md.front()->newValue, td.front()->newValue)) return;
      AddConflict(&b, &m, &t);
      return;
    }
    if (b.type == CT_TYPE_KVSET && m.type == b.type && t.type == b.type) {
      Sets(b, m, t, md, td, depth);
    } else if (b.type >= CT_TYPE_ARRAY && m.type == b.type && t.type == b.type && CTary_IsKnownType(b.type)) {
      Arrays(b, m, t, md, td, depth);
    } else {
      ok = false;  // differences below a value that has nothing below it
    }
  }

 private:
  // A change of theirs where mine changed nothing: below this place mine
  // is the base and the merged tree is theirs, so only the path's prefix
  // needs mine's and the merged positions.
  void Take(const Difference& d, size_t depth) {
    Difference copy;
    copy.kind = d.kind;
    copy.path.reserve(d.path.size());
    copy.path.assign(path_.begin(), path_.end());
    copy.path.insert(copy.path.end(), d.path.begin() + static_cast<long>(depth), d.path.end());
    copy.oldValue = d.oldValue;
    copy.newValue = d.newValue;
    patch.push_back(std::move(copy));
  }

  void AddConflict(const Item* b, const Item* m, const Item* t) {
    Conflict c;
    c.path = path_;
    if ((b != nullptr && !ToElement(*b, &c.base)) || (m != nullptr && !ToElement(*m, &c.mine)) ||
        (t != nullptr && !ToElement(*t, &c.theirs)))
      ok = false;
    conflicts.push_back(std::move(c));
  }

  // A set's entries by key, read only where both sides changed something
  // below the same key.
  struct SetView {
    std::vector<Entry> entries;
    std::unordered_map<CTsymbol, size_t> at;
    bool Read(CTkvs set) {
      if (!ReadSet(set, &entries)) return false;
      at.reserve(entries.size());
      for (size_t i = 0; i < entries.size(); ++i) at.emplace(entries[i].key, i);
      return true;
    }
    const Item* Find(CTsymbol key) const {
      auto it = at.find(key);
      return it == at.end() ? nullptr : &entries[it->second].value;
    }
  };

  static void GroupByKey(const Refs& refs, size_t depth, std::vector<CTsymbol>* order,
                         std::unordered_map<CTsymbol, Refs>* byKey) {
    for (const Difference* d : refs) {
      auto [it, added] = byKey->try_emplace(d->path[depth].oldKey);
      if (added) order->push_back(d->path[depth].oldKey);
      it->second.push_back(d);
    }
  }

  void Sets(const Item& b, const Item& m, const Item& t, const Refs& md, const Refs& td, size_t depth) {
    std::vector<CTsymbol> mineOrder, theirOrder;
    std::unordered_map<CTsymbol, Refs> mineKeys, theirKeys;
    GroupByKey(md, depth, &mineOrder, &mineKeys);
    GroupByKey(td, depth, &theirOrder, &theirKeys);
    for (CTsymbol key : theirOrder)
      if (mineKeys.find(key) == mineKeys.end())
        for (const Difference* d : theirKeys[key]) Take(*d, depth);

    SetView bv, mv, tv;
    bool read = false;
    for (CTsymbol key : mineOrder) {
      auto theirs = theirKeys.find(key);
      if (theirs == theirKeys.end()) continue;
      const Refs& mr = mineKeys[key];
      const Refs& tr = theirs->second;
      if (!read) {
        if (!bv.Read(b.handle) || !mv.Read(m.handle) || !tv.Read(t.handle)) {
          ok = false;
          return;
        }
        read = true;
      }
      PathStep step;
      step.key = step.oldKey = key;
      path_.push_back(step);
      const Difference* mTerm = mr.size() == 1 && mr[0]->path.size() == depth + 1 ? mr[0] : nullptr;
      const Difference* tTerm = tr.size() == 1 && tr[0]->path.size() == depth + 1 ? tr[0] : nullptr;
      const Item* bi = bv.Find(key);
      const Item* mi = mv.Find(key);
      const Item* ti = tv.Find(key);
      if (mTerm != nullptr && tTerm != nullptr) {
        // Added, removed or replaced on both sides: the same outcome is one.
        const bool same = mTerm->kind == tTerm->kind &&
                          (mTerm->kind == DiffKind::Removed || Equal(mTerm->newValue, tTerm->newValue));
        if (!same) AddConflict(bi, mi, ti);
      } else if (mTerm != nullptr || tTerm != nullptr) {
        AddConflict(bi, mi, ti);  // removed or replaced against a change below
      } else if (bi != nullptr && mi != nullptr && ti != nullptr) {
        Node(*bi, *mi, *ti, mr, tr, depth + 1);
      } else {
        ok = false;
      }
      path_.pop_back();
    }
  }

  static bool Units(const Refs& refs, size_t depth, std::vector<Unit>* units) {
    for (size_t i = 0; i < refs.size();) {
      const PathStep& step = refs[i]->path[depth];
      if (step.isKey) return false;
      size_t j = i + 1;
      while (j < refs.size()) {
        const PathStep& next = refs[j]->path[depth];
        if (next.isKey || next.oldIndex != step.oldIndex || next.newIndex != step.newIndex) break;
        ++j;
      }
      Unit u;
      u.s = u.e = step.oldIndex;
      u.sideIndex = step.newIndex;
      u.begin = i;
      u.end = j;
      const Difference& first = *refs[i];
      if (j - i == 1 && first.path.size() == depth + 1) {
        u.kind = first.kind == DiffKind::Added     ? Unit::Insert
                 : first.kind == DiffKind::Removed ? Unit::Delete
                                                   : Unit::Replace;
      } else {
        u.kind = Unit::Nested;
      }
      if (u.kind != Unit::Insert) u.e = u.s + 1;
      if (!units->empty() && u.s < units->back().s) return false;
      units->push_back(u);
      i = j;
    }
    return true;
  }

  static std::vector<Hunk> Hunks(const std::vector<Unit>& units) {
    std::vector<Hunk> hunks;
    for (size_t i = 0; i < units.size(); ++i) {
      if (!hunks.empty() && units[i].s <= hunks.back().e) {
        hunks.back().e = std::max(hunks.back().e, units[i].e);
        hunks.back().last = i + 1;
      } else {
        hunks.push_back(Hunk{units[i].s, units[i].e, i, i + 1});
      }
    }
    return hunks;
  }

  static int Shift(const std::vector<Unit>& units, const Hunk& h) {
    int shift = 0;
    for (size_t i = h.first; i < h.last; ++i) shift += units[i].kind == Unit::Insert ? 1 : units[i].kind == Unit::Delete ? -1 : 0;
    return shift;
  }

  void Arrays(const Item& b, const Item& m, const Item& t, const Refs& md, const Refs& td, size_t depth) {
    ArrayItems ba, ma, ta;
    std::vector<Unit> mu, tu;
    if (!ReadArray(b.handle, &ba) || !ReadArray(m.handle, &ma) || !ReadArray(t.handle, &ta) ||
        !Units(md, depth, &mu) || !Units(td, depth, &tu)) {
      ok = false;
      return;
    }
    const std::vector<Hunk> mh = Hunks(mu), th = Hunks(tu);
    const size_t patchMark = patch.size(), conflictMark = conflicts.size();
    long mShift = 0;   // mine's position of a base item minus its base position
    long tApplied = 0;  // merged position minus mine's, from theirs' edits taken so far
    size_t mi = 0, ti = 0;
    bool whole = false;
    while (!whole && (mi < mh.size() || ti < th.size())) {
      // A cluster: hunks chained by overlaps between the sides, in base order.
      std::vector<size_t> mc, tc;
      if (ti >= th.size() || (mi < mh.size() && !Before(th[ti], mh[mi])))
        mc.push_back(mi++);
      else
        tc.push_back(ti++);
      for (bool grew = true; grew;) {
        grew = false;
        if (mi < mh.size() && std::any_of(tc.begin(), tc.end(), [&](size_t k) { return Overlap(mh[mi], th[k]); })) {
          mc.push_back(mi++);
          grew = true;
        }
        if (ti < th.size() && std::any_of(mc.begin(), mc.end(), [&](size_t k) { return Overlap(mh[k], th[ti]); })) {
          tc.push_back(ti++);
          grew = true;
        }
      }
      if (tc.empty()) {
        for (size_t k : mc) mShift += Shift(mu, mh[k]);
        continue;
      }
      if (mc.empty()) {
        for (size_t k : tc) TakeHunk(tu, th[k], td, depth, mShift, &tApplied);
        continue;
      }
      // Both sides edited the region.
      if (mc.size() == 1 && tc.size() == 1 && SameEdits(mu, mh[mc[0]], ma, tu, th[tc[0]], ta)) {
        mShift += Shift(mu, mh[mc[0]]);
        continue;
      }
      std::vector<const Unit*> mine, theirs;
      for (size_t k : mc)
        for (size_t u = mh[k].first; u < mh[k].last; ++u) mine.push_back(&mu[u]);
      for (size_t k : tc)
        for (size_t u = th[k].first; u < th[k].last; ++u) theirs.push_back(&tu[u]);
      auto inPlace = [](const Unit* u) { return u->kind == Unit::Replace || u->kind == Unit::Nested; };
      const bool single = mine.size() == 1 && theirs.size() == 1 && mine[0]->s == theirs[0]->s &&
                          mine[0]->e == theirs[0]->e;
      if (single || (std::all_of(mine.begin(), mine.end(), inPlace) && std::all_of(theirs.begin(), theirs.end(), inPlace))) {
        // One item each, or items changed in place (positions pair up one
        // to one): each item merges on its own.
        const Level level{ba, ma, ta, md, td, depth};
        size_t x = 0, y = 0;
        while (x < mine.size() || y < theirs.size()) {
          if (y >= theirs.size() || (x < mine.size() && mine[x]->s < theirs[y]->s)) {
            ++x;
          } else if (x >= mine.size() || theirs[y]->s < mine[x]->s) {
            TakeUnit(*theirs[y++], td, depth, mShift, &tApplied);
          } else {
            BothAt(level, *mine[x++], *theirs[y++], tApplied);
          }
        }
        for (size_t k : mc) mShift += Shift(mu, mh[k]);
        continue;
      }
      whole = true;
    }
    if (whole) {
      // Regions that cannot be told apart item by item: the whole array is
      // the conflict, and merged keeps mine's array as it is (none of
      // theirs' edits in it, nor the conflicts found inside it).
      patch.resize(patchMark);
      conflicts.resize(conflictMark);
      AddConflict(&b, &m, &t);
    }
  }

  // The same edits of the same base region: the same items on both sides.
  static bool SameEdits(const std::vector<Unit>& mu, const Hunk& a, const ArrayItems& ma, const std::vector<Unit>& tu,
                        const Hunk& c, const ArrayItems& ta) {
    if (a.s != c.s || a.e != c.e || Shift(mu, a) != Shift(tu, c)) return false;
    const long count = static_cast<long>(a.e - a.s) + Shift(mu, a);
    const uint32_t mFrom = mu[a.first].sideIndex, tFrom = tu[c.first].sideIndex;
    if (mFrom + count > ma.count || tFrom + count > ta.count) return false;
    for (uint32_t i = 0; i < static_cast<uint32_t>(count); ++i) {
      QV_DataElement x, y;
      if (!ToElement(ma.At(mFrom + i), &x) || !ToElement(ta.At(tFrom + i), &y) || !Equal(x, y)) return false;
    }
    return true;
  }

  // Theirs' edits of a region mine left alone, at mine's positions.
  void TakeHunk(const std::vector<Unit>& units, const Hunk& h, const Refs& td, size_t depth, long mShift,
                long* tApplied) {
    for (size_t i = h.first; i < h.last; ++i) TakeUnit(units[i], td, depth, mShift, tApplied);
  }

  void TakeUnit(const Unit& u, const Refs& td, size_t depth, long mShift, long* tApplied) {
    PathStep step;
    step.isKey = false;
    step.oldIndex = static_cast<uint32_t>(u.s + mShift);
    step.newIndex = static_cast<uint32_t>(u.s + mShift + *tApplied);
    path_.push_back(step);
    for (size_t k = u.begin; k < u.end; ++k) Take(*td[k], depth + 1);
    path_.pop_back();
    if (u.kind == Unit::Insert) ++*tApplied;
    if (u.kind == Unit::Delete) --*tApplied;
  }

  struct Level {
    const ArrayItems& ba;
    const ArrayItems& ma;
    const ArrayItems& ta;
    const Refs& md;
    const Refs& td;
    size_t depth;
  };

  // Both sides edited one base item (or inserted one at the same place):
  // merged inside when both changed it inside, else the item conflicts
  // unless both made it the same.
  void BothAt(const Level& l, const Unit& a, const Unit& c, long tApplied) {
    if (a.kind == Unit::Replace && c.kind == Unit::Replace &&
        Equal(l.md[a.begin]->newValue, l.td[c.begin]->newValue))
      return;
    PathStep step;
    step.isKey = false;
    step.oldIndex = a.sideIndex;
    step.newIndex = static_cast<uint32_t>(a.sideIndex + tApplied);
    path_.push_back(step);
    if (a.kind == Unit::Nested && c.kind == Unit::Nested) {
      const Refs mr(l.md.begin() + static_cast<long>(a.begin), l.md.begin() + static_cast<long>(a.end));
      const Refs tr(l.td.begin() + static_cast<long>(c.begin), l.td.begin() + static_cast<long>(c.end));
      if (a.s >= l.ba.count || a.sideIndex >= l.ma.count || c.sideIndex >= l.ta.count)
        ok = false;
      else
        Node(l.ba.At(a.s), l.ma.At(a.sideIndex), l.ta.At(c.sideIndex), mr, tr, l.depth + 1);
    } else {
      Item bi, mItem, tItem;
      const bool hasBase = a.kind != Unit::Insert && a.s < l.ba.count;
      const bool hasMine = a.kind != Unit::Delete && a.sideIndex < l.ma.count;
      const bool hasTheirs = c.kind != Unit::Delete && c.sideIndex < l.ta.count;
      if (hasBase) bi = l.ba.At(a.s);
      if (hasMine) mItem = l.ma.At(a.sideIndex);
      if (hasTheirs) tItem = l.ta.At(c.sideIndex);
      AddConflict(hasBase ? &bi : nullptr, hasMine ? &mItem : nullptr, hasTheirs ? &tItem : nullptr);
    }
    path_.pop_back();
  }

  std::vector<PathStep> path_;  // the current place: keys, and mine's and the merged positions
};

// Applies the merge's changes to a copy of mine in place: nested sets and
// arrays are changed through the handles their parents lend, so only the
// containers that change are touched.
class Patcher {
 public:
  bool Element(QV_DataElement* element, const Refs& refs) {
    if (refs.empty()) return true;
    if (refs.front()->path.empty()) {
      if (refs.size() != 1 || refs.front()->kind != DiffKind::Changed) return false;
      *element = refs.front()->newValue;
      return true;
    }
    if (element->Type() == CT_TYPE_KVSET) return Set(element->KVSet(), refs, 0);
    if (element->Type() >= CT_TYPE_ARRAY) return Array(element->Array(), refs, 0);
    return false;
  }

 private:
  static bool Terminal(const Refs& refs, size_t begin, size_t end, size_t depth) {
    return end - begin == 1 && refs[begin]->path.size() == depth + 1;
  }

  bool Set(CTkvs set, const Refs& refs, size_t depth) {
    std::vector<CTsymbol> removed;
    for (size_t i = 0; i < refs.size();) {
      const PathStep& step = refs[i]->path[depth];
      if (!step.isKey) return false;
      size_t j = i + 1;
      while (j < refs.size() && refs[j]->path[depth].isKey && refs[j]->path[depth].oldKey == step.oldKey) ++j;
      if (Terminal(refs, i, j, depth)) {
        const Difference& d = *refs[i];
        if (d.kind == DiffKind::Removed) {
          removed.push_back(step.oldKey);
        } else if (!PutValue(set, d.kind == DiffKind::Added ? step.key : step.oldKey, d.newValue)) {
          return false;
        }
      } else {
        const Refs below(refs.begin() + static_cast<long>(i), refs.begin() + static_cast<long>(j));
        uint32_t type = 0, err = 0;
        if (!CTkvs_GetType(set, step.oldKey, &type, &err)) return false;
        if (type == CT_TYPE_KVSET) {
          CTkvs inner = 0;
          if (!CTkvs_GetKVSet(set, step.oldKey, &inner, &err) || !Set(inner, below, depth + 1)) return false;
        } else if (type >= CT_TYPE_ARRAY) {
          CTary inner = 0;
          if (!CTkvs_GetArray(set, step.oldKey, &inner, &err) || !Array(inner, below, depth + 1)) return false;
        } else {
          return false;
        }
      }
      i = j;
    }
    if (removed.empty()) return true;
    // Sets have no removal: the rest is put back in its order.
    CTkvs rest = 0;
    uint32_t err = 0;
    if (!CTkvs_Create(&rest, &err)) return false;
    bool done = CTkvs_Copy(rest, set, &err) && CTkvs_Clear(set, &err);
    std::vector<Entry> entries;
    done = done && ReadSet(rest, &entries);
    std::sort(removed.begin(), removed.end());
    for (size_t k = 0; done && k < entries.size(); ++k) {
      if (std::binary_search(removed.begin(), removed.end(), entries[k].key)) continue;
      QV_DataElement value;
      done = ToElement(entries[k].value, &value) && PutValue(set, entries[k].key, value);
    }
    CTkvs_Destroy(rest, &err);
    return done;
  }

  bool Array(CTary array, const Refs& refs, size_t depth) {
    ArrayItems items;
    if (!ReadArray(array, &items) || !CTary_IsKnownType(items.type)) return false;
    // Only items changed inside: each changes in place.
    bool inside = items.type == CT_TYPE_KVSET_ARRAY || items.type == CT_TYPE_ARRAY_ARRAY;
    for (const Difference* d : refs) inside = inside && d->path.size() > depth + 1 && !d->path[depth].isKey;
    if (inside) {
      for (size_t i = 0; i < refs.size();) {
        const PathStep& step = refs[i]->path[depth];
        size_t j = i + 1;
        while (j < refs.size() && refs[j]->path[depth].oldIndex == step.oldIndex &&
               refs[j]->path[depth].newIndex == step.newIndex)
          ++j;
        if (step.oldIndex >= items.count) return false;
        const Refs below(refs.begin() + static_cast<long>(i), refs.begin() + static_cast<long>(j));
        const Item item = items.At(step.oldIndex);
        if (!(item.type == CT_TYPE_KVSET ? Set(item.handle, below, depth + 1) : Array(item.handle, below, depth + 1)))
          return false;
        i = j;
      }
      return true;
    }
    // Insertions or removals: the array is made again.
    QV_DataElement made;
    uint32_t err = 0;
    return ApplyToArray(array, refs, depth, &made) && CTary_Copy(array, made.Array(), &err) != 0;
  }
};

}  // namespace

bool Merge(const QV_DataElement& base, const QV_DataElement& mine, const QV_DataElement& theirs,
           MergeResult* out) {
  if (out == nullptr) return false;
  std::vector<Difference> dm, dt;
  if (!Diff(base, mine, Options{}, &dm) || !Diff(base, theirs, Options{}, &dt)) return false;
  Refs mr, tr;
  mr.reserve(dm.size());
  tr.reserve(dt.size());
  for (const Difference& d : dm) mr.push_back(&d);
  for (const Difference& d : dt) tr.push_back(&d);
  Merger merger;
  merger.Node(FromElement(base), FromElement(mine), FromElement(theirs), mr, tr, 0);
  if (!merger.ok) return false;
  MergeResult result;
  result.merged = mine;
  Refs patch;
  patch.reserve(merger.patch.size());
  for (const Difference& d : merger.patch) patch.push_back(&d);
  if (!Patcher().Element(&result.merged, patch)) return false;
  result.conflicts = std::move(merger.conflicts);
  result.mineChanges = dm.size();
  result.theirChanges = dt.size();
  *out = std::move(result);
  return true;
}

}  // namespace compare
