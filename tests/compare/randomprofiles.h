// Shared by the comparison tests: data-element text to elements, and random
// profiles of every kind (with lightly edited copies of them).
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "compare/elementio.h"
#include "s100/deif.h"

namespace comparetest {

inline QV_DataElement Parse(const std::string& text) {
  QV_RawDataElement raw{};
  const QV_Status status = AtoAnyDE(text.c_str(), nullptr, &raw, nullptr, nullptr);
  EXPECT_EQ(status.state, QV_STATE_SUCCESS) << text;
  QV_DataElement element;
  EXPECT_TRUE(FromRawDataElement(raw, &element));
  QV_DestroyDataElement(&raw);
  return element;
}

// Random profiles of every kind, and random edits of them.
class RandomProfiles {
 public:
  // With a rate above 0, each choice is made afresh at that rate: the same
  // seed then gives a profile like the first with a few local edits.
  explicit RandomProfiles(uint32_t seed, double rate = 0) : rng_(seed), edits_(seed ^ 0x5EEDu), rate_(rate) {}

  std::string Set(int depth) {
    std::string text = "kvset { ";
    const int keys = Pick(0, depth > 2 ? 3 : 6);
    std::vector<int> used;
    for (int i = 0; i < keys; ++i) {
      int key = Pick(1, 12);
      bool dup = false;
      for (int u : used) dup = dup || u == key;
      if (dup) continue;
      used.push_back(key);
      text += "#" + std::to_string(key) + " = " + Value(depth + 1) + "; ";
    }
    return text + "}";
  }

  std::string Value(int depth) {
    switch (Pick(0, depth > 3 ? 8 : 11)) {
      case 0: return "int " + std::to_string(Pick(-3, 3));
      case 1: return "uint " + std::to_string(Pick(0, 3));
      case 2: return "bool " + std::to_string(Pick(0, 1));
      case 3: return "symbol #" + std::to_string(Pick(1, 6));
      case 4: return std::string("float ") + (Pick(0, 1) ? "-0" : std::to_string(Pick(0, 3)) + ".5");
      case 5: return "irange " + std::to_string(Pick(0, 2)) + " to " + std::to_string(Pick(2, 4));
      case 6: return "frange 0.5 to " + std::to_string(Pick(1, 3));
      case 7: return "string \"" + std::string(static_cast<size_t>(Pick(0, 2)), static_cast<char>('a' + Pick(0, 2))) + "\"";
      case 8: return Array("int", [this] { return std::to_string(Pick(0, 4)); });
      case 9: return Array("string", [this] { return "\"" + std::string(1, static_cast<char>('a' + Pick(0, 3))) + "\""; });
      case 10: return Array("kvset", [this, depth] { return Set(depth + 1); });
      default: return Set(depth);
    }
  }

  template <typename Item>
  std::string Array(const char* kind, Item item) {
    std::string text = std::string("array ") + kind + " [";
    const int n = Pick(0, 6);
    for (int i = 0; i < n; ++i) text += (i ? ", " : "") + item();
    return text + "]";
  }

  int Pick(int low, int high) {
    std::uniform_int_distribution<int> pick(low, high);
    const int value = pick(rng_);
    if (rate_ > 0 && std::uniform_real_distribution<double>(0, 1)(edits_) < rate_) return pick(edits_);
    return value;
  }

 private:
  std::mt19937 rng_;
  std::mt19937 edits_;
  double rate_;
};

}  // namespace comparetest
