// Deep, bit-exact comparison of two data elements (no test framework, so
// that the fuzz target can use it too).
#pragma once

#include <string>

#include "s100/deif.h"

namespace deif_test {

// True when both elements hold the same value bit for bit (a null string
// equals the empty one, as the containers store it).  *why tells where
// they differ.
bool SameElement(const QV_RawDataElement& a, const QV_RawDataElement& b, std::string* why);

}  // namespace deif_test
