// The difference engine on two profiles of about 1,000,000 nodes, one an
// edited copy of the other (1 % of the values changed, 0.1 % added, 0.1 %
// removed), beside GNU diff on their two data-element texts, written to
// files beforehand.  Then the three-way merge of a profile and two copies
// each with another 1 % of its values changed, beside the difference of one
// copy alone.  Run with scripts/bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "compare/diff.h"
#include "compare/merge.h"
#include "s100/deif.h"

namespace {

constexpr int kGroups = 72000;  // each: a set of 8 values and an array of 4 (14 nodes)

// The profile; `edited` changes, adds and removes values at fixed strides;
// values at `changeAt` modulo 100 are changed.
QV_DataElement MakeProfile(bool edited, int changeAt) {
  uint32_t err = 0;
  CTkvs root = 0;
  CTkvs_Create(&root, &err);
  long value = 0;
  for (int g = 0; g < kGroups; ++g) {
    CTkvs group = 0;
    CTkvs_Create(&group, &err);
    for (int i = 0; i < 8; ++i, ++value) {
      if (edited && value % 1000 == 7) continue;  // removed
      const bool changed = value % 100 == changeAt;
      if (i % 2 == 0)
        CTkvs_PutInt(group, 0x7001 + i, static_cast<int32_t>(value) + (changed ? 1 : 0), &err);
      else
        CTkvs_PutString(group, 0x7001 + i, ((changed ? "changed " : "value ") + std::to_string(value)).c_str(), &err);
      if (edited && value % 1000 == 11) CTkvs_PutUInt(group, 0x7100 + i, 1, &err);  // added
    }
    const int32_t items[4] = {g, g + 1, g + 2, g + 3};
    CTary array = 0;
    CTary_Create(&array, &err);
    CTary_PutInt(array, items, 4, &err);
    CTkvs_PutArray(group, 0x7009, array, &err);
    CTary_Destroy(array, &err);
    CTkvs_PutKVSet(root, 0x10000 + g, group, &err);
    CTkvs_Destroy(group, &err);
  }
  QV_DataElement element;
  element.SetToKVSet(root);
  CTkvs_Destroy(root, &err);
  return element;
}

struct Pair {
  QV_DataElement a = MakeProfile(false, -1);
  QV_DataElement b = MakeProfile(true, 3);
  std::string fileA, fileB;

  Pair() {
    char dir[] = "/tmp/quelt-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    fileA = std::string(dir) + "/a.txt";
    fileB = std::string(dir) + "/b.txt";
    Write(a, fileA);
    Write(b, fileB);
  }
  ~Pair() {
    std::remove(fileA.c_str());
    std::remove(fileB.c_str());
    rmdir(fileA.substr(0, fileA.rfind('/')).c_str());
  }
  static void Write(const QV_DataElement& element, const std::string& path) {
    const QV_RawDataElement raw = ToRawDataElement(element);
    char* text = nullptr;
    DEtoA(&raw, &text, nullptr, nullptr);
    if (FILE* f = std::fopen(path.c_str(), "w")) {
      if (text != nullptr) std::fputs(text, f);
      std::fclose(f);
    }
    std::free(text);
  }
};

Pair& Profiles() {
  static Pair pair;
  return pair;
}

// Compares old with new in every iteration and counts the differences.
void TimeDiff(benchmark::State& state, const QV_DataElement& oldValue, const QV_DataElement& newValue) {
  size_t count = 0;
  for (auto _ : state) {
    std::vector<compare::Difference> diffs;
    compare::Diff(oldValue, newValue, {}, &diffs);
    count = diffs.size();
    benchmark::DoNotOptimize(diffs.data());
  }
  state.counters["differences"] = static_cast<double>(count);
}

void BM_Diff1M(benchmark::State& state) {
  Pair& p = Profiles();
  TimeDiff(state, p.a, p.b);
}
BENCHMARK(BM_Diff1M)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Identical1M(benchmark::State& state) {
  Pair& p = Profiles();
  for (auto _ : state) benchmark::DoNotOptimize(compare::Equal(p.a, p.a));
}
BENCHMARK(BM_Identical1M)->Unit(benchmark::kMillisecond)->Iterations(5);

// The peer: GNU diff on the two texts.
void BM_GnuDiffText1M(benchmark::State& state) {
  Pair& p = Profiles();
  const std::string command = "diff '" + p.fileA + "' '" + p.fileB + "' > /dev/null";
  for (auto _ : state) benchmark::DoNotOptimize(std::system(command.c_str()));
}
BENCHMARK(BM_GnuDiffText1M)->Unit(benchmark::kMillisecond)->Iterations(5);

// Three-way: base, and mine and theirs each with 1 % of the values changed,
// in different places.
struct Triple {
  QV_DataElement base = MakeProfile(false, -1);
  QV_DataElement mine = MakeProfile(false, 3);
  QV_DataElement theirs = MakeProfile(false, 53);
};

Triple& Sides() {
  static Triple triple;
  return triple;
}

void BM_DiffMine1M(benchmark::State& state) {
  Triple& t = Sides();
  TimeDiff(state, t.base, t.mine);
}
BENCHMARK(BM_DiffMine1M)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Merge1M(benchmark::State& state) {
  Triple& t = Sides();
  size_t conflicts = 0, changes = 0;
  for (auto _ : state) {
    compare::MergeResult result;
    compare::Merge(t.base, t.mine, t.theirs, &result);
    conflicts = result.conflicts.size();
    changes = result.mineChanges + result.theirChanges;
    benchmark::DoNotOptimize(result.merged.Type());
  }
  state.counters["conflicts"] = static_cast<double>(conflicts);
  state.counters["changes"] = static_cast<double>(changes);
}
BENCHMARK(BM_Merge1M)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
