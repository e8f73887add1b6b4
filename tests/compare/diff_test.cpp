#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "compare/diff.h"
#include "compare/difftext.h"
#include "compare/elementio.h"
#include "s100/deif.h"
#include "tests/compare/randomprofiles.h"

namespace {

using compare::Difference;
using compare::DiffKind;
using compare::SymbolNamer;
using comparetest::Parse;
using comparetest::RandomProfiles;

SymbolNamer Table(std::map<uint32_t, std::string> names) {
  return [names = std::move(names)](uint32_t symbol, std::string* name) {
    auto it = names.find(symbol);
    if (it == names.end()) return false;
    *name = it->second;
    return true;
  };
}

const SymbolNamer kNames = Table({{1, "Alpha"}, {2, "Beta"}, {3, "List"}, {4, "Sub"}, {5, "Idle"}, {6, "Busy"}});

std::vector<std::string> Lines(const std::string& oldText, const std::string& newText,
                               const compare::Options& options = {}, const SymbolNamer& oldNames = kNames,
                               const SymbolNamer& newNames = kNames) {
  std::vector<Difference> diffs;
  EXPECT_TRUE(compare::Diff(Parse(oldText), Parse(newText), options, &diffs));
  std::vector<std::string> lines;
  for (const Difference& d : diffs) lines.push_back(compare::DifferenceLine(d, oldNames, newNames));
  return lines;
}

struct LineCase {
  const char* what;
  const char* oldText;
  const char* newText;
  std::vector<std::string> lines;
};

TEST(DiffTest, LinesNameEachDifferenceWhereItIs) {
  const std::vector<LineCase> cases = {
      {"identical", "kvset { #1 = int 1; #4 = kvset { #2 = string \"x\"; }; }",
       "kvset { #1 = int 1; #4 = kvset { #2 = string \"x\"; }; }", {}},
      {"key order alone", "kvset { #1 = int 1; #2 = int 2; }", "kvset { #2 = int 2; #1 = int 1; }", {}},
      {"scalar changed", "kvset { #1 = int 1; }", "kvset { #1 = int 2; }", {"~ Alpha: int 1 -> int 2"}},
      {"type changed is one replacement", "kvset { #1 = int 1; }", "kvset { #1 = string \"1\"; }",
       {"~ Alpha: int 1 -> string \"1\""}},
      {"added and removed", "kvset { #1 = int 1; #777 = bool 1; }", "kvset { #1 = int 1; #2 = uint 7; }",
       {"+ Beta = uint 7", "- #777 = bool 1"}},
      {"nested path", "kvset { #4 = kvset { #2 = symbol #5; }; }", "kvset { #4 = kvset { #2 = symbol #6; }; }",
       {"~ Sub.Beta: symbol Idle -> symbol Busy"}},
      {"whole set added on one line", "kvset { }", "kvset { #4 = kvset { #1 = int 1; #2 = int 2; }; }",
       {"+ Sub = kvset { Alpha = int 1; Beta = int 2; }"}},
      {"array item inserted", "kvset { #3 = array int [1, 2, 3]; }", "kvset { #3 = array int [1, 9, 2, 3]; }",
       {"+ List[1] = int 9"}},
      {"array item removed", "kvset { #3 = array int [1, 2, 3]; }", "kvset { #3 = array int [1, 3]; }",
       {"- List[1] = int 2"}},
      {"array item changed", "kvset { #3 = array string [\"a\", \"b\"]; }",
       "kvset { #3 = array string [\"a\", \"c\"]; }", {"~ List[1]: string \"b\" -> string \"c\""}},
      {"inside an array of sets", "kvset { #3 = array kvset [kvset { #1 = int 1; }, kvset { #1 = int 2; }]; }",
       "kvset { #3 = array kvset [kvset { #1 = int 1; }, kvset { #1 = int 3; }]; }", {"~ List[1].Alpha: int 2 -> int 3"}},
      {"array kind changed", "kvset { #3 = array int []; }", "kvset { #3 = array uint []; }",
       {"~ List: array int [] -> array uint []"}},
      {"negative zero is not zero", "kvset { #1 = float 0; }", "kvset { #1 = float -0; }",
       {"~ Alpha: float 0 -> float -0"}},
      {"the same NaN is the same", "kvset { #1 = float nan; }", "kvset { #1 = float nan; }", {}},
      {"arrays of arrays", "kvset { #3 = array array [array int [1], array string [\"a\"]]; }",
       "kvset { #3 = array array [array int [1], array int [2]]; }",
       {"~ List[1]: array string [\"a\"] -> array int [2]"}},
      {"words of a code without a kind", "kvset { #3 = array #67 [1, 2]; }", "kvset { #3 = array #67 [1, 3]; }",
       {"~ List: array #67 [1, 2] -> array #67 [1, 3]"}},
  };
  for (const LineCase& c : cases) EXPECT_EQ(Lines(c.oldText, c.newText), c.lines) << c.what;
}

TEST(DiffTest, LongArraysAlignInsertionsAndDeletions) {
  std::string oldItems, newItems;
  for (int i = 0; i < 10000; ++i) oldItems += (i ? ", " : "") + std::to_string(i);
  newItems = "-1, " + oldItems;
  EXPECT_EQ(Lines("kvset { #3 = array int [" + oldItems + "]; }", "kvset { #3 = array int [" + newItems + "]; }"),
            std::vector<std::string>{"+ List[0] = int -1"});

  // Scattered edits inside: each one found as itself.
  std::string a, b;
  for (int i = 0; i < 2000; ++i) {
    a += std::to_string(i) + ", ";
    if (i == 500) continue;                         // removed
    if (i == 1200) b += "77777, ";                  // inserted before 1200
    b += std::to_string(i == 1500 ? -i : i) + ", ";  // changed
  }
  EXPECT_EQ(Lines("kvset { #3 = array int [" + a + "]; }", "kvset { #3 = array int [" + b + "]; }"),
            (std::vector<std::string>{"- List[500] = int 500", "+ List[1199] = int 77777",
                                      "~ List[1500]: int 1500 -> int -1500"}));
}

TEST(DiffTest, ByNameMatchesKeysAndSymbolsAcrossTables) {
  // The same names under other numbers on the new side; #9 has no name on
  // either side and is matched by number.
  const SymbolNamer newNames = Table({{101, "Alpha"}, {102, "Beta"}, {105, "Idle"}, {106, "Busy"}});
  compare::Options byName;
  byName.byName = true;
  byName.oldNames = kNames;
  byName.newNames = newNames;
  EXPECT_TRUE(Lines("kvset { #1 = symbol #5; #2 = array symbol [#5, #6]; #9 = int 1; }",
                    "kvset { #102 = array symbol [#105, #106]; #101 = symbol #105; #9 = int 1; }", byName, kNames,
                    newNames)
                  .empty());
  EXPECT_EQ(Lines("kvset { #1 = symbol #5; #9 = int 1; }", "kvset { #101 = symbol #106; #9 = int 2; }", byName,
                  kNames, newNames),
            (std::vector<std::string>{"~ Alpha: symbol Idle -> symbol Busy", "~ #9: int 1 -> int 2"}));

  std::vector<Difference> diffs;
  ASSERT_TRUE(compare::Diff(Parse("kvset { #9 = int 1; #1 = int 1; }"), Parse("kvset { #9 = int 2; #101 = int 2; }"),
                            byName, &diffs));
  ASSERT_EQ(diffs.size(), 2u);
  EXPECT_TRUE(diffs[0].path[0].unnamed);
  EXPECT_FALSE(diffs[1].path[0].unnamed);
  EXPECT_EQ(diffs[1].path[0].key, 101u);
  EXPECT_EQ(diffs[1].path[0].oldKey, 1u);

  // By number the same profiles differ everywhere.
  EXPECT_EQ(Lines("kvset { #1 = int 1; }", "kvset { #101 = int 1; }").size(), 2u);
}

TEST(DiffTest, ApplyingTheDifferencesGivesTheNewSide) {
  RandomProfiles unrelated(20261209);
  for (uint32_t round = 0; round < 300; ++round) {
    // Two unrelated profiles, or one and a lightly edited copy of it.
    RandomProfiles first(round), edited(round, 0.05);
    const bool alike = round % 2 == 0;
    const QV_DataElement a = alike ? Parse(first.Set(0)) : Parse(unrelated.Set(0));
    const QV_DataElement b = alike ? Parse(edited.Set(0)) : Parse(unrelated.Set(0));
    std::vector<Difference> self;
    ASSERT_TRUE(compare::Diff(a, a, {}, &self));
    EXPECT_TRUE(self.empty()) << "round " << round;

    for (size_t cap : {size_t{1024}, size_t{0}}) {  // aligned, and position by position
      compare::Options options;
      options.maxArrayEdits = cap;
      std::vector<Difference> diffs;
      ASSERT_TRUE(compare::Diff(a, b, options, &diffs));
      std::string lines;
      for (const Difference& d : diffs) lines += compare::DifferenceLine(d, {}, {}) + "\n";
      const std::string context = "round " + std::to_string(round) + "\n" + compare::ValueText(a, {}) + "\n" +
                                  compare::ValueText(b, {}) + "\n" + lines;
      QV_DataElement made;
      ASSERT_TRUE(compare::Apply(a, diffs, &made)) << context;
      EXPECT_TRUE(compare::Equal(made, b)) << context;
    }
  }
}

TEST(DiffTest, ApplyRefusesDifferencesThatDoNotFit) {
  std::vector<Difference> diffs;
  ASSERT_TRUE(compare::Diff(Parse("kvset { #1 = int 1; #2 = int 2; }"), Parse("kvset { #1 = int 5; }"), {}, &diffs));
  QV_DataElement made;
  EXPECT_FALSE(compare::Apply(Parse("kvset { #7 = int 1; }"), diffs, &made));  // names keys the set lacks
  EXPECT_FALSE(compare::Apply(Parse("int 3"), diffs, &made));
}

}  // namespace

namespace {

// A profile whose walk passes many nodes, and one whose array needs a long
// Myers walk (scattered edits, no common ends to strip).
std::string ManyPairs(int count, int changedEvery) {
  std::string text = "kvset { #3 = array kvset [";
  for (int i = 0; i < count; ++i)
    text += "kvset { #1 = int " + std::to_string(changedEvery > 0 && i % changedEvery == 0 ? -i : i) + "; }, ";
  return text + "]; }";
}

std::string Scattered(int count, bool edited) {
  std::string text = "kvset { #3 = array int [";
  for (int i = 0; i < count; ++i) text += std::to_string(edited && i % 7 == 3 ? 100000 + i : i) + ", ";
  return text + "]; }";
}

}  // namespace

// The cancel hook stops the walk at a check: Diff is false and leaves the
// output as it was; a hook that never says yes changes nothing.
TEST(DiffTest, CancelHookStopsTheWalk) {
  struct CancelCase {
    const char* what;
    std::string oldText, newText;
    int cancelAtCheck;  // 0: never
    bool ran;
  };
  const std::vector<CancelCase> cases = {
      {"nodes, at the first check", ManyPairs(5000, 0), ManyPairs(5000, 97), 1, false},
      {"nodes, later", ManyPairs(5000, 0), ManyPairs(5000, 97), 3, false},
      {"myers loop", Scattered(3000, false), Scattered(3000, true), 2, false},
      {"never cancelled", ManyPairs(5000, 0), ManyPairs(5000, 97), 0, true},
  };
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.what);
    int checks = 0;
    compare::Options options;
    options.cancelled = [&] { return ++checks == c.cancelAtCheck; };
    std::vector<Difference> diffs(1);  // something there before
    diffs[0].kind = DiffKind::Added;
    const bool ran = compare::Diff(Parse(c.oldText), Parse(c.newText), options, &diffs);
    EXPECT_EQ(ran, c.ran);
    EXPECT_GE(checks, c.cancelAtCheck);
    if (c.ran) {
      EXPECT_GT(diffs.size(), 1u);
    } else {
      ASSERT_EQ(diffs.size(), 1u);
      EXPECT_EQ(diffs[0].kind, DiffKind::Added);
      // It stopped at the check that said so, not at the end of the walk.
      EXPECT_EQ(checks, c.cancelAtCheck);
    }
  }
}
