// The profile the view and print benchmarks load: groups (nested sets) of
// integers and strings, each group 2 + 2 * kValuesPerGroup rows and pairs.
#pragma once

#include <string>

#include "s100/ctcontainers.h"

constexpr int kValuesPerGroup = 8;

// A new set of `groups` groups; the caller destroys it.
inline CTkvs MakeGroupedProfile(int groups) {
  uint32_t err = 0;
  CTkvs root = 0;
  CTkvs_Create(&root, &err);
  for (int g = 0; g < groups; ++g) {
    CTkvs group = 0;
    CTkvs_Create(&group, &err);
    for (int i = 0; i < kValuesPerGroup; ++i) {
      if (i % 2 == 0)
        CTkvs_PutInt(group, 0x7001 + i, g * 31 + i, &err);
      else
        CTkvs_PutString(group, 0x7001 + i, ("value " + std::to_string(g * 31 + i)).c_str(), &err);
    }
    CTkvs_PutKVSet(root, 0x10000 + g, group, &err);
    CTkvs_Destroy(group, &err);
  }
  return root;
}
