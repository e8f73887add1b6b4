// Helpers for tests of containers and values: sets and arrays the test owns,
// and floats by their bit patterns (NaN payloads, negative zero).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "s100/ctcontainers.h"

namespace testsupport {

// An owned key-value set.
struct Kvs {
  CTkvs h = 0;
  Kvs() { EXPECT_EQ(CTkvs_Create(&h, nullptr), 1); }
  ~Kvs() { CTkvs_Destroy(h, nullptr); }
  Kvs(const Kvs&) = delete;
  Kvs& operator=(const Kvs&) = delete;
  operator CTkvs() const { return h; }
};

// An owned typed array.
struct Ary {
  CTary h = 0;
  Ary() { EXPECT_EQ(CTary_Create(&h, nullptr), 1); }
  ~Ary() { CTary_Destroy(h, nullptr); }
  Ary(const Ary&) = delete;
  Ary& operator=(const Ary&) = delete;
  operator CTary() const { return h; }
};

inline uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return bits;
}

inline float BitsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

}  // namespace testsupport
