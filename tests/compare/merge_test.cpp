#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "compare/diff.h"
#include "compare/difftext.h"
#include "compare/elementio.h"
#include "compare/merge.h"
#include "tests/compare/randomprofiles.h"

namespace {

using comparetest::Parse;
using comparetest::RandomProfiles;

std::string Text(const QV_DataElement& value) {
  return value.Type() == CT_TYPE_NONE ? "none" : compare::ValueText(value, {});
}

// A conflict as "path: base | mine | theirs", positions as merged has them.
std::string ConflictLine(const compare::Conflict& c) {
  compare::Difference place;
  place.path = c.path;
  return compare::PathText(place, {}) + ": " + Text(c.base) + " | " + Text(c.mine) + " | " + Text(c.theirs);
}

struct MergeCase {
  const char* what;
  const char* base;
  const char* mine;
  const char* theirs;
  const char* merged;
  std::vector<std::string> conflicts;
  size_t mineChanges;
  size_t theirChanges;
};

TEST(MergeTest, ConflictsAreWhereBothSidesChangedDifferently) {
  const std::vector<MergeCase> cases = {
      {"same key changed differently", "kvset { #1 = int 1; #2 = int 2; }", "kvset { #1 = int 5; #2 = int 2; }",
       "kvset { #1 = int 6; #2 = int 3; }", "kvset { #1 = int 5; #2 = int 3; }", {"#1: int 1 | int 5 | int 6"}, 1, 2},
      {"same key changed alike", "kvset { #1 = int 1; }", "kvset { #1 = int 5; }", "kvset { #1 = int 5; }",
       "kvset { #1 = int 5; }", {}, 1, 1},
      {"removed against a change below", "kvset { #4 = kvset { #1 = int 1; #2 = int 2; }; }", "kvset { }",
       "kvset { #4 = kvset { #1 = int 1; #2 = int 7; }; }", "kvset { }",
       {"#4: kvset { #1 = int 1; #2 = int 2; } | none | kvset { #1 = int 1; #2 = int 7; }"}, 1, 1},
      {"changed below against removed", "kvset { #4 = kvset { #1 = int 1; }; }", "kvset { #4 = kvset { #1 = int 2; }; }",
       "kvset { }", "kvset { #4 = kvset { #1 = int 2; }; }",
       {"#4: kvset { #1 = int 1; } | kvset { #1 = int 2; } | none"}, 1, 1},
      {"removed on both sides", "kvset { #1 = int 1; #2 = int 2; }", "kvset { #2 = int 2; }", "kvset { #2 = int 2; }",
       "kvset { #2 = int 2; }", {}, 1, 1},
      {"a change of type against a change below", "kvset { #4 = kvset { #1 = int 1; }; }", "kvset { #4 = int 4; }",
       "kvset { #4 = kvset { #1 = int 2; }; }", "kvset { #4 = int 4; }",
       {"#4: kvset { #1 = int 1; } | int 4 | kvset { #1 = int 2; }"}, 1, 1},
      {"both added one key differently", "kvset { }", "kvset { #3 = int 1; }", "kvset { #3 = string \"x\"; }",
       "kvset { #3 = int 1; }", {"#3: none | int 1 | string \"x\""}, 1, 1},
      {"different keys of one nested set", "kvset { #4 = kvset { #1 = int 1; #2 = int 2; }; }",
       "kvset { #4 = kvset { #1 = int 5; #2 = int 2; }; }",
       "kvset { #4 = kvset { #1 = int 1; #2 = int 2; #3 = int 3; }; }",
       "kvset { #4 = kvset { #1 = int 5; #2 = int 2; #3 = int 3; }; }", {}, 1, 1},
      {"two conflicts in mine's order", "kvset { #1 = int 1; #2 = int 2; }", "kvset { #2 = int 7; #1 = int 5; }",
       "kvset { #1 = int 6; #2 = int 8; }", "kvset { #2 = int 7; #1 = int 5; }",
       {"#2: int 2 | int 7 | int 8", "#1: int 1 | int 5 | int 6"}, 2, 2},
      {"the whole element replaced on both sides", "int 1", "int 2", "string \"2\"", "int 2",
       {".: int 1 | int 2 | string \"2\""}, 1, 1},
      {"the whole element replaced by theirs alone", "kvset { #1 = int 1; }", "kvset { #1 = int 1; }",
       "array int [1]", "array int [1]", {}, 0, 1},
      {"array: neighbouring items are separate places", "kvset { #3 = array int [1, 2, 3]; }",
       "kvset { #3 = array int [1, 5, 3]; }", "kvset { #3 = array int [1, 9, 2, 4]; }",
       "kvset { #3 = array int [1, 9, 5, 4]; }", {}, 1, 2},
      {"array: one item changed differently", "kvset { #3 = array int [1, 2, 3]; }",
       "kvset { #3 = array int [1, 5, 3]; }", "kvset { #3 = array int [1, 6, 3]; }",
       "kvset { #3 = array int [1, 5, 3]; }", {"#3[1]: int 2 | int 5 | int 6"}, 1, 1},
      {"array: both inserted different items at one place", "kvset { #3 = array int [1, 2, 3]; }",
       "kvset { #3 = array int [1, 7, 2, 3]; }", "kvset { #3 = array int [1, 8, 2, 3]; }",
       "kvset { #3 = array int [1, 7, 2, 3]; }", {"#3[1]: none | int 7 | int 8"}, 1, 1},
      {"array: both inserted the same item", "kvset { #3 = array int [1, 2]; }", "kvset { #3 = array int [1, 7, 2]; }",
       "kvset { #3 = array int [1, 7, 2]; }", "kvset { #3 = array int [1, 7, 2]; }", {}, 1, 1},
      {"array: removed against changed", "kvset { #3 = array string [\"a\", \"b\", \"c\"]; }",
       "kvset { #3 = array string [\"a\", \"c\"]; }", "kvset { #3 = array string [\"a\", \"x\", \"c\"]; }",
       "kvset { #3 = array string [\"a\", \"c\"]; }", {"#3[1]: string \"b\" | none | string \"x\""}, 1, 1},
      {"array: edits in separate regions shift each other", "kvset { #3 = array int [1, 2, 3, 4, 5]; }",
       "kvset { #3 = array int [0, 1, 2, 3, 4, 5]; }", "kvset { #3 = array int [1, 2, 3, 5, 9]; }",
       "kvset { #3 = array int [0, 1, 2, 3, 5, 9]; }", {}, 1, 2},
      {"array: a conflict is placed where merged has it", "kvset { #3 = array int [1, 2, 3]; }",
       "kvset { #3 = array int [1, 2, 5]; }", "kvset { #3 = array int [0, 1, 2, 6]; }",
       "kvset { #3 = array int [0, 1, 2, 5]; }", {"#3[3]: int 3 | int 5 | int 6"}, 1, 2},
      {"array: overlapping regions make the whole array one conflict", "kvset { #3 = array int [1, 2, 3, 4, 5]; }",
       "kvset { #3 = array int [1, 9, 4, 5]; }", "kvset { #3 = array int [1, 2, 8, 4]; }",
       "kvset { #3 = array int [1, 9, 4, 5]; }",
       {"#3: array int [1, 2, 3, 4, 5] | array int [1, 9, 4, 5] | array int [1, 2, 8, 4]"}, 2, 2},
      {"array: items changed in place pair up one by one", "kvset { #3 = array int [1, 2, 3, 4]; }",
       "kvset { #3 = array int [1, 5, 6, 4]; }", "kvset { #3 = array int [1, 2, 7, 8]; }",
       "kvset { #3 = array int [1, 5, 6, 8]; }", {"#3[2]: int 3 | int 6 | int 7"}, 2, 2},
      {"array: items both kept merge inside", "kvset { #3 = array kvset [kvset { #1 = int 1; #2 = int 2; }]; }",
       "kvset { #3 = array kvset [kvset { #1 = int 5; #2 = int 2; }]; }",
       "kvset { #3 = array kvset [kvset { #1 = int 1; #2 = int 6; }]; }",
       "kvset { #3 = array kvset [kvset { #1 = int 5; #2 = int 6; }]; }", {}, 1, 1},
      {"array: a conflict inside an item", "kvset { #3 = array kvset [kvset { #1 = int 1; }, kvset { #1 = int 2; }]; }",
       "kvset { #3 = array kvset [kvset { #1 = int 1; }, kvset { #1 = int 5; }]; }",
       "kvset { #3 = array kvset [kvset { #1 = int 0; }, kvset { #1 = int 1; }, kvset { #1 = int 6; }]; }",
       "kvset { #3 = array kvset [kvset { #1 = int 0; }, kvset { #1 = int 1; }, kvset { #1 = int 5; }]; }",
       {"#3[2].#1: int 2 | int 5 | int 6"}, 1, 2},
  };
  for (const MergeCase& c : cases) {
    compare::MergeResult result;
    ASSERT_TRUE(compare::Merge(Parse(c.base), Parse(c.mine), Parse(c.theirs), &result)) << c.what;
    EXPECT_EQ(Text(result.merged), Text(Parse(c.merged))) << c.what;
    EXPECT_TRUE(compare::Equal(result.merged, Parse(c.merged))) << c.what;
    std::vector<std::string> lines;
    for (const compare::Conflict& conflict : result.conflicts) lines.push_back(ConflictLine(conflict));
    EXPECT_EQ(lines, c.conflicts) << c.what;
    EXPECT_EQ(result.mineChanges, c.mineChanges) << c.what;
    EXPECT_EQ(result.theirChanges, c.theirChanges) << c.what;
  }
}

TEST(MergeTest, AConflictNamesMinesPositionAndTheMergedOne) {
  compare::MergeResult result;
  ASSERT_TRUE(compare::Merge(Parse("kvset { #3 = array int [1, 2, 3]; }"), Parse("kvset { #3 = array int [1, 3]; }"),
                             Parse("kvset { #3 = array int [0, 0, 1, 7, 3]; }"), &result));
  ASSERT_EQ(result.conflicts.size(), 1u);
  const compare::PathStep& step = result.conflicts[0].path.back();
  EXPECT_FALSE(step.isKey);
  EXPECT_EQ(step.oldIndex, 1u);  // where mine had the item it removed
  EXPECT_EQ(step.newIndex, 3u);  // after theirs' two insertions
}

TEST(MergeTest, AnElementWithoutAValueLeavesTheResultAlone) {
  compare::MergeResult result;
  result.mineChanges = 99;
  const QV_DataElement set = Parse("kvset { #1 = int 1; }");
  const QV_DataElement none;
  EXPECT_FALSE(compare::Merge(set, none, set, &result));
  EXPECT_FALSE(compare::Merge(set, set, none, &result));
  EXPECT_EQ(result.mineChanges, 99u);
  EXPECT_EQ(result.merged.Type(), static_cast<uint32_t>(CT_TYPE_NONE));
  EXPECT_FALSE(compare::Merge(set, set, set, nullptr));
}

// Edits a profile for two sides at once, each place edited by one side at
// most: out[0] has mine's edits, out[1] theirs', out[2] both sides'.  Array
// insertions and deletions happen only in arrays of distinct items, with
// new items unlike every old one, so each side's walk finds its edits where
// they were made; the sides' regions in one array are kept apart by an item
// neither touches.
class DisjointEdits {
 public:
  explicit DisjointEdits(uint32_t seed) : rng_(seed), values_(seed ^ 0xC0FFEEu) {}

  void Edit(const QV_DataElement& v, int mask, QV_DataElement out[3]) {
    if (mask != 0 && v.Type() == CT_TYPE_KVSET) return EditSet(v, mask, out);
    if (mask != 0 && v.Type() >= CT_TYPE_ARRAY && CTary_IsKnownType(v.Type())) return EditArray(v, mask, out);
    out[0] = out[1] = out[2] = v;
  }

  size_t arrayEdits = 0;  // insertions and deletions made in arrays both sides edited

 private:
  static constexpr int kMine = 1, kTheirs = 2, kBoth = 3;

  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  static bool IsContainer(const QV_DataElement& v) { return v.Type() == CT_TYPE_KVSET || v.Type() >= CT_TYPE_ARRAY; }
  // Whether out[i] holds side's edits.
  static bool Has(int side, int i) { return i == 2 || i + 1 == side; }

  void EditSet(const QV_DataElement& v, int mask, QV_DataElement out[3]) {
    std::vector<compare::Entry> entries;
    ASSERT_TRUE(compare::ReadSet(v.KVSet(), &entries));
    compare::SetBuilder built[3];
    for (const compare::Entry& e : entries) {
      QV_DataElement value;
      ASSERT_TRUE(compare::ToElement(e.value, &value));
      QV_DataElement sub[3] = {value, value, value};
      if (Chance(0.6)) {
        int owner = mask == kBoth ? (IsContainer(value) && Chance(0.5) ? kBoth : Pick(1, 2)) : mask;
        if (owner == kBoth && !IsContainer(value)) owner = Pick(1, 2);
        if (owner == kBoth) {
          Edit(value, kBoth, sub);
        } else {
          const int action = Pick(0, 2);
          QV_DataElement edited[3];
          if (action == 0) {  // removed
            for (int i = 0; i < 3; ++i)
              if (Has(owner, i)) sub[i] = QV_DataElement();
          } else if (action == 1 || !IsContainer(value)) {
            const QV_DataElement fresh = Parse(values_.Value(2));
            for (int i = 0; i < 3; ++i)
              if (Has(owner, i)) sub[i] = fresh;
          } else {
            Edit(value, owner, sub);
          }
        }
      }
      for (int i = 0; i < 3; ++i) {
        if (sub[i].Type() != CT_TYPE_NONE) {
          ASSERT_TRUE(built[i].Put(e.key, sub[i]));
        }
      }
    }
    for (int side : {kMine, kTheirs}) {
      if ((mask & side) == 0 || !Chance(0.3)) continue;
      const QV_DataElement added = Parse(values_.Value(2));
      for (int i = 0; i < 3; ++i) {
        if (Has(side, i)) {
          ASSERT_TRUE(built[i].Put(static_cast<CTsymbol>(side == kMine ? 20 : 30), added));
        }
      }
    }
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(built[i].Release(&out[i]));
  }

  // A new item of the array's kind unlike every old one; false when none
  // was found.
  bool Fresh(uint32_t type, const std::vector<QV_DataElement>& items, QV_DataElement* out) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      switch (type) {
        case CT_TYPE_INT_ARRAY: out->SetToInt(Pick(100, 1000000)); break;
        case CT_TYPE_STRING_ARRAY: out->SetToString(("n" + std::to_string(Pick(0, 1000000))).c_str()); break;
        case CT_TYPE_KVSET_ARRAY: *out = Parse(values_.Set(2)); break;
        default: return false;
      }
      bool unlike = true;
      for (const QV_DataElement& item : items) unlike = unlike && !compare::Equal(item, *out);
      if (unlike) return true;
    }
    return false;
  }

  void EditArray(const QV_DataElement& v, int mask, QV_DataElement out[3]) {
    compare::ArrayItems array;
    ASSERT_TRUE(compare::ReadArray(v.Array(), &array));
    std::vector<QV_DataElement> items(array.count);
    for (uint32_t i = 0; i < array.count; ++i) ASSERT_TRUE(compare::ToElement(array.At(i), &items[i]));
    bool distinct = true;
    for (size_t i = 0; i < items.size(); ++i)
      for (size_t j = i + 1; j < items.size(); ++j) distinct = distinct && !compare::Equal(items[i], items[j]);
    // Who may edit each item and each gap before an item (gap n: the end).
    const size_t n = items.size();
    std::vector<int> itemOwner(n, mask), gapOwner(n + 1, mask);
    if (mask == kBoth) {
      if (!distinct || n == 0) {
        const int side = Pick(1, 2);
        itemOwner.assign(n, side);
        gapOwner.assign(n + 1, side);
      } else {
        const size_t keep = static_cast<size_t>(Pick(0, static_cast<int>(n) - 1));
        for (size_t i = 0; i < n; ++i) itemOwner[i] = i < keep ? kMine : i > keep ? kTheirs : 0;
        for (size_t g = 0; g <= n; ++g) gapOwner[g] = g <= keep ? kMine : kTheirs;
      }
    }
    const bool reshape = distinct || mask != kBoth;  // insertions and deletions allowed
    std::vector<QV_DataElement> made[3];
    auto insert = [&](size_t g) {
      QV_DataElement fresh;
      if (gapOwner[g] == 0 || !reshape || !Chance(0.15) || !Fresh(v.Type(), items, &fresh)) return;
      for (int i = 0; i < 3; ++i)
        if (Has(gapOwner[g], i)) made[i].push_back(fresh);
      arrayEdits += mask == kBoth;
    };
    for (size_t k = 0; k < n; ++k) {
      insert(k);
      QV_DataElement sub[3] = {items[k], items[k], items[k]};
      const int owner = itemOwner[k];
      if (owner != 0 && Chance(0.3)) {
        const int action = Pick(0, 2);
        QV_DataElement fresh;
        if (action == 0 && reshape) {
          for (int i = 0; i < 3; ++i)
            if (Has(owner, i)) sub[i] = QV_DataElement();
          arrayEdits += mask == kBoth;
        } else if (action == 1 && Fresh(v.Type(), items, &fresh)) {
          for (int i = 0; i < 3; ++i)
            if (Has(owner, i)) sub[i] = fresh;
        } else if (IsContainer(items[k])) {
          QV_DataElement edited[3];
          Edit(items[k], owner, edited);
          bool unlike = true;  // an edited item must not look like another old one
          for (size_t j = 0; j < n; ++j) unlike = unlike && (j == k || !compare::Equal(items[j], edited[2]));
          if (unlike)
            for (int i = 0; i < 3; ++i) sub[i] = edited[i];
        }
      }
      for (int i = 0; i < 3; ++i)
        if (sub[i].Type() != CT_TYPE_NONE) made[i].push_back(sub[i]);
    }
    insert(n);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(compare::MakeArray(v.Type(), made[i], &out[i]));
  }

  std::mt19937 rng_;
  RandomProfiles values_;
};

TEST(MergeTest, DisjointChangesCombineWithoutConflict) {
  size_t bothChanged = 0, arrayEdits = 0;
  for (uint32_t round = 0; round < 1000; ++round) {
    RandomProfiles profiles(round * 7919 + 1);
    const QV_DataElement base = Parse(profiles.Set(0));
    DisjointEdits edits(round);
    QV_DataElement sides[3];
    edits.Edit(base, 3, sides);
    if (HasFatalFailure()) return;
    const QV_DataElement& mine = sides[0];
    const QV_DataElement& theirs = sides[1];
    const QV_DataElement& both = sides[2];
    const std::string context = "round " + std::to_string(round) + "\nbase   " + Text(base) + "\nmine   " +
                                Text(mine) + "\ntheirs " + Text(theirs) + "\nboth   " + Text(both);

    compare::MergeResult result, swapped;
    ASSERT_TRUE(compare::Merge(base, mine, theirs, &result)) << context;
    ASSERT_TRUE(compare::Merge(base, theirs, mine, &swapped)) << context;
    for (const compare::MergeResult* r : {&result, &swapped}) {
      EXPECT_TRUE(r->conflicts.empty()) << context << "\n" << ConflictLine(r->conflicts.front());
      EXPECT_TRUE(compare::Equal(r->merged, both)) << context << "\nmerged " << Text(r->merged);
    }
    std::vector<compare::Difference> mineDiffs, theirDiffs;
    ASSERT_TRUE(compare::Diff(base, mine, {}, &mineDiffs));
    ASSERT_TRUE(compare::Diff(base, theirs, {}, &theirDiffs));
    EXPECT_EQ(result.mineChanges, mineDiffs.size());
    EXPECT_EQ(result.theirChanges, theirDiffs.size());
    EXPECT_EQ(swapped.mineChanges, theirDiffs.size());
    bothChanged += !mineDiffs.empty() && !theirDiffs.empty();
    arrayEdits += edits.arrayEdits;

    // One side alone, or the same change on both, is taken whole.
    struct Identity {
      const QV_DataElement& mine;
      const QV_DataElement& theirs;
      const QV_DataElement& merged;
    };
    for (const Identity& id : {Identity{both, both, both}, Identity{base, theirs, theirs}, Identity{mine, base, mine},
                               Identity{base, base, base}}) {
      compare::MergeResult r;
      ASSERT_TRUE(compare::Merge(base, id.mine, id.theirs, &r)) << context;
      EXPECT_TRUE(r.conflicts.empty()) << context;
      EXPECT_TRUE(compare::Equal(r.merged, id.merged)) << context;
    }
  }
  // The generator must exercise the merge: most rounds edit on both sides.
  EXPECT_GT(bothChanged, 400u);
  EXPECT_GT(arrayEdits, 50u);
}

TEST(MergeTest, UnrelatedProfilesMergeTheSameWhicheverSideIsMine) {
  // Three unrelated profiles conflict in many places; the conflicts are the
  // same seen from either side, and without any the results agree.
  RandomProfiles unrelated(424242);
  for (int round = 0; round < 200; ++round) {
    const QV_DataElement base = Parse(unrelated.Set(0));
    const QV_DataElement mine = Parse(unrelated.Set(0));
    const QV_DataElement theirs = Parse(unrelated.Set(0));
    compare::MergeResult r, swapped;
    ASSERT_TRUE(compare::Merge(base, mine, theirs, &r)) << round;
    ASSERT_TRUE(compare::Merge(base, theirs, mine, &swapped)) << round;
    EXPECT_EQ(r.conflicts.size(), swapped.conflicts.size()) << round;
    EXPECT_EQ(r.mineChanges, swapped.theirChanges);
    if (r.conflicts.empty()) {
      EXPECT_TRUE(compare::Equal(r.merged, swapped.merged)) << round;
    }
    // The same places with the sides' values exchanged (listed in each
    // side's own key order).
    std::vector<std::string> seen, seenSwapped;
    for (const compare::Conflict& c : r.conflicts) seen.push_back(Text(c.base) + " | " + Text(c.mine) + " | " + Text(c.theirs));
    for (const compare::Conflict& c : swapped.conflicts)
      seenSwapped.push_back(Text(c.base) + " | " + Text(c.theirs) + " | " + Text(c.mine));
    std::sort(seen.begin(), seen.end());
    std::sort(seenSwapped.begin(), seenSwapped.end());
    EXPECT_EQ(seen, seenSwapped) << round;
  }
}

}  // namespace
