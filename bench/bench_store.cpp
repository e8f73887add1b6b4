// The store beside its two databases: Get and Update of a 10 KiB profile on
// SQLite and on PostgreSQL (the tests' private cluster on a Unix socket),
// with one writer and with four writers on one profile.  The private
// cluster runs without fsync, so its Update figures are a bound from
// below for a durable PostgreSQL.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "server/store.h"
#include "tests/support/pgcluster.h"
#include "tests/support/tempdir.h"

namespace {

enum Backend { kSqlite, kPostgres };

// One store per backend for the whole run, with the profile in it.
ctserver::Store* TheStore(Backend backend) {
  // The folder outlives the stores in it (statics go in reverse order).
  static testsupport::TempDir folder;
  static std::map<Backend, std::unique_ptr<ctserver::Store>> stores;
  testsupport::TempDir* dir = &folder;
  auto& store = stores[backend];
  if (!store) {
    std::string location = dir->File("bench.db"), error;
    if (backend == kPostgres) {
      auto& cluster = testsupport::PgCluster::Shared();
      location = cluster.CreateDatabase(&error);
      if (location.empty()) {
        std::fprintf(stderr, "cannot start PostgreSQL: %s\n", error.c_str());
        return nullptr;
      }
    }
    store = ctserver::Store::Open(location, &error);
    if (!store || store->AddProfile("p", "Bench", std::string(10 << 10, 'x'), nullptr) != 0) {
      std::fprintf(stderr, "cannot open the store: %s\n", error.c_str());
      store.reset();
    }
  }
  return store.get();
}

void BM_Get(benchmark::State& state, Backend backend) {
  ctserver::Store* store = TheStore(backend);
  if (!store) return state.SkipWithError("no store");
  for (auto _ : state) {
    ctserver::ProfileRow row;
    if (store->GetProfile("p", "Bench", &row) != 0) return state.SkipWithError("Get failed");
    benchmark::DoNotOptimize(row);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Update(benchmark::State& state, Backend backend) {
  ctserver::Store* store = TheStore(backend);
  if (!store) return state.SkipWithError("no store");
  const std::string content(10 << 10, 'y');
  for (auto _ : state) {
    if (store->UpdateProfile("p", "Bench", content, nullptr) != 0) return state.SkipWithError("Update failed");
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(BM_Get, sqlite_10KiB, kSqlite)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Get, postgres_10KiB, kPostgres)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, sqlite_10KiB, kSqlite)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, postgres_10KiB, kPostgres)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, sqlite_10KiB_writers, kSqlite)->Threads(4)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Update, postgres_10KiB_writers, kPostgres)
    ->Threads(4)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
