// Figures for the container library: one set of 100,000 keys filled, read,
// iterated and copied, and the cost of one uncontended call.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "s100/ctcontainers.h"

namespace {

constexpr uint32_t kKeys = 100000;

// Keys spread over the word, avoiding the two iteration markers.
CTsymbol KeyOf(uint32_t i) { return (i * 2654435761u) | 0x01000000u; }

CTkvs FilledSet(uint32_t n) {
  CTkvs set = 0;
  uint32_t err = 0;
  CTkvs_Create(&set, &err);
  for (uint32_t i = 0; i < n; ++i) CTkvs_PutInt(set, KeyOf(i), static_cast<int32_t>(i), &err);
  return set;
}

void BM_PutNewKeys(benchmark::State& state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  uint32_t err = 0;
  for (auto _ : state) {
    CTkvs set = 0;
    CTkvs_Create(&set, &err);
    for (uint32_t i = 0; i < n; ++i) CTkvs_PutInt(set, KeyOf(i), static_cast<int32_t>(i), &err);
    state.PauseTiming();
    CTkvs_Destroy(set, &err);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PutNewKeys)->Arg(kKeys)->Unit(benchmark::kMillisecond);

void BM_ReplaceExistingKey(benchmark::State& state) {
  CTkvs set = FilledSet(kKeys);
  uint32_t err = 0, i = 0;
  for (auto _ : state) {
    CTkvs_PutInt(set, KeyOf(i), 1, &err);
    if (++i == kKeys) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  CTkvs_Destroy(set, &err);
}
BENCHMARK(BM_ReplaceExistingKey);

void BM_GetInt(benchmark::State& state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  CTkvs set = FilledSet(n);
  uint32_t err = 0, i = 0;
  int32_t value = 0;
  for (auto _ : state) {
    CTkvs_GetInt(set, KeyOf(i), &value, &err);
    benchmark::DoNotOptimize(value);
    if (++i == n) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  CTkvs_Destroy(set, &err);
}
// 5 keys: the linear search of small sets; 100,000: the hash index.
BENCHMARK(BM_GetInt)->Arg(5)->Arg(kKeys);
BENCHMARK(BM_GetInt)->Arg(kKeys)->Threads(2)->UseRealTime();

void BM_IterateKeys(benchmark::State& state) {
  CTkvs set = FilledSet(kKeys);
  uint32_t err = 0;
  for (auto _ : state) {
    CTsymbol key = CT_KVS_START_KEY;
    uint32_t type = 0, seen = 0;
    while (CTkvs_GetNextKey(set, &key, &type, &err) == 1) ++seen;
    benchmark::DoNotOptimize(seen);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
  CTkvs_Destroy(set, &err);
}
BENCHMARK(BM_IterateKeys)->Unit(benchmark::kMillisecond);

// A profile-like set: ints, texts, and a nested set with an array every
// tenth key.
void BM_DeepCopy(benchmark::State& state) {
  uint32_t err = 0;
  CTkvs inner = 0;
  CTary array = 0;
  CTkvs_Create(&inner, &err);
  CTary_Create(&array, &err);
  const int32_t items[] = {1, 2, 3, 4};
  CTary_PutInt(array, items, 4, &err);
  CTkvs_PutArray(inner, 1, array, &err);
  CTkvs_PutString(inner, 2, "a nested text value", &err);
  CTkvs source = 0;
  CTkvs_Create(&source, &err);
  for (uint32_t i = 0; i < kKeys; ++i) {
    if (i % 10 == 0)
      CTkvs_PutKVSet(source, KeyOf(i), inner, &err);
    else if (i % 2 == 0)
      CTkvs_PutString(source, KeyOf(i), "value text", &err);
    else
      CTkvs_PutInt(source, KeyOf(i), static_cast<int32_t>(i), &err);
  }
  for (auto _ : state) {
    CTkvs copy = 0;
    CTkvs_Create(&copy, &err);
    CTkvs_Copy(copy, source, &err);
    state.PauseTiming();
    CTkvs_Destroy(copy, &err);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
  CTkvs_Destroy(source, &err);
  CTkvs_Destroy(inner, &err);
  CTary_Destroy(array, &err);
}
BENCHMARK(BM_DeepCopy)->Unit(benchmark::kMillisecond);

void BM_CreateDestroy(benchmark::State& state) {
  uint32_t err = 0;
  for (auto _ : state) {
    CTkvs set = 0;
    CTkvs_Create(&set, &err);
    CTkvs_Destroy(set, &err);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CreateDestroy);

}  // namespace

BENCHMARK_MAIN();
