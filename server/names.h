// Rules for the names the server stores: profile and service names and
// profile classes.
#pragma once

#include <string>

namespace ctserver {

inline constexpr size_t kMaxNameBytes = 255;

// 1 to 255 bytes, each a printable character other than white space.
bool IsValidName(const std::string& name);

// 1 to 255 bytes, each printable (a space is printable).
bool IsValidClass(const std::string& profileClass);

}  // namespace ctserver
