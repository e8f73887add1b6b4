// Speed of the data-element text: DEtoA and AtoAnyDE on a generated profile
// of about 1 MiB (nested sets, arrays of every kind, long strings, many
// symbols named through a hash-map translator), against nlohmann::json
// writing (dump) and reading (parse) the equivalent JSON document.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "s100/deif.h"

namespace {

using nlohmann::json;

// The translator behind the profile's names.
struct SymbolTable {
  std::unordered_map<uint32_t, std::string> names;
  std::unordered_map<std::string, uint32_t> symbols;
  std::vector<uint32_t> all;

  void Add(uint32_t symbol, std::string name) {
    symbols[name] = symbol;
    names[symbol] = std::move(name);
    all.push_back(symbol);
  }
  static QV_Status Translate(uint32_t* symbol, char** text, int32_t direction, void* context) {
    auto* t = static_cast<SymbolTable*>(context);
    if (direction != 0) {
      auto it = t->names.find(*symbol);
      if (it == t->names.end()) return QV_CreateStatus(QV_STATE_FAILURE, 0x01600409, 0);
      *text = static_cast<char*>(std::malloc(it->second.size() + 1));
      std::memcpy(*text, it->second.c_str(), it->second.size() + 1);
      return QV_OK;
    }
    auto it = t->symbols.find(*text);
    if (it == t->symbols.end()) return QV_CreateStatus(QV_STATE_FAILURE, 0x01600409, 0);
    *symbol = it->second;
    return QV_OK;
  }
};

// Builds the profile as containers and as JSON side by side.
class ProfileMaker {
 public:
  explicit ProfileMaker(SymbolTable* table) : table_(table), rng_(20261208) {
    static const char* kParts[] = {"Player", "Recorder", "Signal", "Line", "Call", "Tone", "Media",
                                   "Queue",  "Timer",    "Route",  "Codec", "Gain", "Level", "Mode"};
    static const char* kTails[] = {"Speed", "Volume", "Timeout", "Count", "Rate", "Format",
                                   "Enabled", "Name", "Id", "Limit", "Delay", "State"};
    uint32_t n = 0x00d00000;
    for (const char* p : kParts)
      for (const char* t : kTails)
        for (int v = 0; v < 3; ++v) table_->Add(n++, std::string(p) + "." + t + (v ? std::to_string(v) : ""));
  }

  void Build(size_t targetBytes, CTkvs* set, json* doc) {
    uint32_t err;
    CTkvs_Create(set, &err);
    *doc = json::object();
    for (uint32_t i = 0; approx_ < targetBytes; ++i) {
      CTkvs section;
      json js;
      Section(3, &section, &js);
      uint32_t key = Key(i);
      CTkvs_PutKVSet(*set, key, section, &err);
      CTkvs_Destroy(section, &err);
      (*doc)[Name(key)] = std::move(js);
    }
  }

 private:
  uint32_t Key(uint32_t i) { return table_->all[i % table_->all.size()]; }
  const std::string& Name(uint32_t key) { return table_->names[key]; }
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  float Float() { return static_cast<float>(static_cast<int>(Below(200000)) - 100000) / 64.0f; }
  std::string Text(size_t n) {
    static const char kWords[][8] = {"call", "the ", "line ", "tone", "voice", "menu", "press ", "digit"};
    std::string s;
    while (s.size() < n) s += kWords[Below(8)];
    if (Below(4) == 0) s += "\n\t\"quoted\"";
    return s;
  }

  void Section(int depth, CTkvs* out, json* js) {
    uint32_t err;
    CTkvs_Create(out, &err);
    *js = json::object();
    uint32_t base = Below(static_cast<uint32_t>(table_->all.size()));
    for (uint32_t k = 0; k < 24; ++k) {
      uint32_t key = Key(base + k);
      json& v = (*js)[Name(key)];
      approx_ += Name(key).size() + 12;
      switch (k % 12) {
        case 0: {
          int32_t x = static_cast<int32_t>(rng_());
          CTkvs_PutInt(*out, key, x, &err);
          v = x;
          break;
        }
        case 1: {
          uint32_t x = Below(100000);
          CTkvs_PutUInt(*out, key, x, &err);
          v = x;
          break;
        }
        case 2: CTkvs_PutBool(*out, key, 1, &err); v = true; break;
        case 3: {
          uint32_t s = Key(Below(1000));
          CTkvs_PutSymbol(*out, key, s, &err);
          v = Name(s);
          approx_ += Name(s).size();
          break;
        }
        case 4: {
          float f = Float();
          CTkvs_PutFloat(*out, key, f, &err);
          v = f;
          approx_ += 10;
          break;
        }
        case 5: {
          CTirange r{static_cast<int32_t>(Below(1000)), static_cast<int32_t>(Below(100000))};
          CTkvs_PutIRange(*out, key, &r, &err);
          v = json::array({r.start, r.end});
          approx_ += 12;
          break;
        }
        case 6: {
          CTfrange r{Float(), Float()};
          CTkvs_PutFRange(*out, key, &r, &err);
          v = json::array({r.start, r.end});
          approx_ += 20;
          break;
        }
        case 7: {
          std::string s = Text(40 + Below(400));
          CTkvs_PutString(*out, key, s.c_str(), &err);
          v = s;
          approx_ += s.size();
          break;
        }
        case 8: {
          // Number arrays: ints and floats.
          CTary a;
          CTary_Create(&a, &err);
          uint32_t n = 8 + Below(40);
          v = json::array();
          if (Below(2)) {
            std::vector<int32_t> items(n);
            for (auto& x : items) {
              x = static_cast<int32_t>(Below(100000));
              v.push_back(x);
            }
            CTary_PutInt(a, items.data(), n, &err);
          } else {
            std::vector<float> items(n);
            for (auto& x : items) {
              x = Float();
              v.push_back(x);
            }
            CTary_PutFloat(a, items.data(), n, &err);
          }
          approx_ += n * 8;
          CTkvs_PutArray(*out, key, a, &err);
          CTary_Destroy(a, &err);
          break;
        }
        case 9: {
          // Strings and symbols.
          CTary a;
          CTary_Create(&a, &err);
          uint32_t n = 4 + Below(12);
          v = json::array();
          if (Below(2)) {
            std::vector<std::string> s(n);
            std::vector<const char*> p(n);
            for (uint32_t i = 0; i < n; ++i) {
              s[i] = Text(10 + Below(60));
              p[i] = s[i].c_str();
              v.push_back(s[i]);
              approx_ += s[i].size() + 4;
            }
            CTary_PutString(a, p.data(), n, &err);
          } else {
            std::vector<uint32_t> items(n);
            for (auto& x : items) {
              x = Key(Below(1000));
              v.push_back(Name(x));
              approx_ += Name(x).size() + 2;
            }
            CTary_PutSymbol(a, items.data(), n, &err);
          }
          CTkvs_PutArray(*out, key, a, &err);
          CTary_Destroy(a, &err);
          break;
        }
        case 10: {
          // Ranges, bools and unsigned numbers in arrays.
          CTary a;
          CTary_Create(&a, &err);
          uint32_t n = 4 + Below(12);
          v = json::array();
          switch (Below(3)) {
            case 0: {
              std::vector<CTirange> items(n);
              for (auto& x : items) {
                x = {static_cast<int32_t>(Below(100)), static_cast<int32_t>(Below(10000))};
                v.push_back(json::array({x.start, x.end}));
              }
              CTary_PutIRange(a, items.data(), n, &err);
              break;
            }
            case 1: {
              std::vector<CTfrange> items(n);
              for (auto& x : items) {
                x = {Float(), Float()};
                v.push_back(json::array({x.start, x.end}));
              }
              CTary_PutFRange(a, items.data(), n, &err);
              break;
            }
            default: {
              std::vector<int32_t> items(n);
              for (auto& x : items) {
                x = static_cast<int32_t>(Below(2));
                v.push_back(x != 0);
              }
              CTary_PutBool(a, items.data(), n, &err);
            }
          }
          approx_ += n * 14;
          CTkvs_PutArray(*out, key, a, &err);
          CTary_Destroy(a, &err);
          break;
        }
        default: {
          // Nesting: a set, an array of sets or an array of arrays.
          if (depth <= 1) {
            CTkvs_PutUInt(*out, key, 7, &err);
            v = 7;
            break;
          }
          switch (Below(3)) {
            case 0: {
              CTkvs inner;
              Section(depth - 1, &inner, &v);
              CTkvs_PutKVSet(*out, key, inner, &err);
              CTkvs_Destroy(inner, &err);
              break;
            }
            case 1: {
              uint32_t n = 1 + Below(3);
              std::vector<CTkvs> items(n);
              v = json::array();
              for (auto& x : items) {
                json j;
                Section(depth - 1, &x, &j);
                v.push_back(std::move(j));
              }
              CTary a;
              CTary_Create(&a, &err);
              CTary_PutKVSet(a, items.data(), n, &err);
              for (auto x : items) CTkvs_Destroy(x, &err);
              CTkvs_PutArray(*out, key, a, &err);
              CTary_Destroy(a, &err);
              break;
            }
            default: {
              uint32_t n = 2 + Below(4);
              std::vector<CTary> items(n);
              v = json::array();
              for (auto& x : items) {
                CTary_Create(&x, &err);
                uint32_t m = 2 + Below(10);
                std::vector<int32_t> w(m);
                json j = json::array();
                for (auto& y : w) {
                  y = static_cast<int32_t>(Below(1000));
                  j.push_back(y);
                }
                CTary_PutInt(x, w.data(), m, &err);
                v.push_back(std::move(j));
                approx_ += m * 5;
              }
              CTary a;
              CTary_Create(&a, &err);
              CTary_PutArray(a, items.data(), n, &err);
              for (auto x : items) CTary_Destroy(x, &err);
              CTkvs_PutArray(*out, key, a, &err);
              CTary_Destroy(a, &err);
            }
          }
        }
      }
    }
  }

  SymbolTable* table_;
  std::mt19937 rng_;
  size_t approx_ = 0;
};

struct Fixture {
  SymbolTable table;
  QV_RawDataElement profile{};
  std::string text;     // DEtoA of the profile
  json doc;
  std::string jsonText;  // doc.dump()

  Fixture() {
    ProfileMaker maker(&table);
    profile.type = CT_TYPE_KVSET;
    maker.Build(size_t{1} << 20, &profile.value.kvs, &doc);
    char* t = nullptr;
    if (DEtoA(&profile, &t, SymbolTable::Translate, &table) != QV_OK) std::abort();
    text = t;
    std::free(t);
    jsonText = doc.dump();
  }
};

Fixture& Data() {
  static Fixture f;
  return f;
}

}  // namespace

namespace {

void BM_DEtoA(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    char* t = nullptr;
    QV_Status st = DEtoA(&f.profile, &t, SymbolTable::Translate, &f.table);
    if (st != QV_OK) state.SkipWithError("DEtoA failed");
    benchmark::DoNotOptimize(t);
    std::free(t);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.text.size()));
  state.counters["text_bytes"] = static_cast<double>(f.text.size());
}
BENCHMARK(BM_DEtoA)->Unit(benchmark::kMillisecond);

void BM_AtoAnyDE(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    QV_RawDataElement e;
    QV_Status st = AtoAnyDEn(f.text.data(), f.text.size(), nullptr, &e, SymbolTable::Translate, &f.table);
    if (st != QV_OK) state.SkipWithError("AtoAnyDE failed");
    QV_DestroyDataElement(&e);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.text.size()));
  state.counters["text_bytes"] = static_cast<double>(f.text.size());
}
BENCHMARK(BM_AtoAnyDE)->Unit(benchmark::kMillisecond);

// The container calls DEtoA makes, with no text: the floor under DEtoA.
uint64_t WalkArray(CTary a);
uint64_t WalkSet(CTkvs set) {
  uint64_t sum = 0;
  uint32_t err, type = 0;
  CTsymbol key = CT_KVS_START_KEY;
  while (CTkvs_GetNextKey(set, &key, &type, &err) == 1) {
    sum += key;
    switch (type) {
      case CT_TYPE_INT:
      case CT_TYPE_BOOL: {
        int32_t v;
        CTkvs_GetInt(set, key, &v, &err) || CTkvs_GetBool(set, key, &v, &err);
        sum += static_cast<uint32_t>(v);
        break;
      }
      case CT_TYPE_UINT:
      case CT_TYPE_SYMBOL: {
        uint32_t v;
        CTkvs_GetUInt(set, key, &v, &err) || CTkvs_GetSymbol(set, key, &v, &err);
        sum += v;
        break;
      }
      case CT_TYPE_FLOAT: {
        float v;
        CTkvs_GetFloat(set, key, &v, &err);
        sum += static_cast<uint64_t>(v != 0);
        break;
      }
      case CT_TYPE_IRANGE: {
        CTirange v;
        CTkvs_GetIRange(set, key, &v, &err);
        sum += static_cast<uint32_t>(v.end);
        break;
      }
      case CT_TYPE_FRANGE: {
        CTfrange v;
        CTkvs_GetFRange(set, key, &v, &err);
        sum += static_cast<uint64_t>(v.end != 0);
        break;
      }
      case CT_TYPE_STRING: {
        const char* v;
        CTkvs_GetString(set, key, &v, &err);
        sum += std::strlen(v);
        break;
      }
      case CT_TYPE_KVSET: {
        CTkvs v;
        CTkvs_GetKVSet(set, key, &v, &err);
        sum += WalkSet(v);
        break;
      }
      default: {
        CTary v;
        CTkvs_GetArray(set, key, &v, &err);
        sum += WalkArray(v);
      }
    }
  }
  return sum;
}

uint64_t WalkArray(CTary a) {
  uint32_t type = 0, count = 0, err;
  CTary_GetType(a, &type, &err);
  const void* items = nullptr;
  uint64_t sum = 0;
  switch (type) {
    case CT_TYPE_KVSET_ARRAY:
    case CT_TYPE_ARRAY_ARRAY: {
      const uint32_t* h;
      type == CT_TYPE_KVSET_ARRAY ? CTary_GetKVSet(a, &h, &count, &err) : CTary_GetArray(a, &h, &count, &err);
      std::vector<uint32_t> copy(h, h + count);
      for (uint32_t x : copy) sum += type == CT_TYPE_KVSET_ARRAY ? WalkSet(x) : WalkArray(x);
      return sum;
    }
    case CT_TYPE_STRING_ARRAY: {
      const char* const* s;
      CTary_GetString(a, &s, &count, &err);
      for (uint32_t i = 0; i < count; ++i) sum += std::strlen(s[i]);
      return sum;
    }
    case CT_TYPE_INT_ARRAY: CTary_GetInt(a, reinterpret_cast<const int32_t**>(&items), &count, &err); break;
    case CT_TYPE_UINT_ARRAY: CTary_GetUInt(a, reinterpret_cast<const uint32_t**>(&items), &count, &err); break;
    case CT_TYPE_BOOL_ARRAY: CTary_GetBool(a, reinterpret_cast<const int32_t**>(&items), &count, &err); break;
    case CT_TYPE_SYMBOL_ARRAY: CTary_GetSymbol(a, reinterpret_cast<const uint32_t**>(&items), &count, &err); break;
    case CT_TYPE_FLOAT_ARRAY: CTary_GetFloat(a, reinterpret_cast<const float**>(&items), &count, &err); break;
    case CT_TYPE_IRANGE_ARRAY: CTary_GetIRange(a, reinterpret_cast<const CTirange**>(&items), &count, &err); break;
    case CT_TYPE_FRANGE_ARRAY: CTary_GetFRange(a, reinterpret_cast<const CTfrange**>(&items), &count, &err); break;
    default: CTary_GetWords(a, reinterpret_cast<const uint32_t**>(&items), &count, &err);
  }
  return sum + count;
}

void BM_ContainerWalk(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) benchmark::DoNotOptimize(WalkSet(f.profile.value.kvs));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.text.size()));
}
BENCHMARK(BM_ContainerWalk)->Unit(benchmark::kMillisecond);

void BM_JsonDump(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    std::string s = f.doc.dump();
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.jsonText.size()));
  state.counters["text_bytes"] = static_cast<double>(f.jsonText.size());
}
BENCHMARK(BM_JsonDump)->Unit(benchmark::kMillisecond);

void BM_JsonParse(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    json j = json::parse(f.jsonText);
    benchmark::DoNotOptimize(j);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.jsonText.size()));
  state.counters["text_bytes"] = static_cast<double>(f.jsonText.size());
}
BENCHMARK(BM_JsonParse)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  Data();  // build the profile before any timing (and outside profiles of one benchmark)
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
