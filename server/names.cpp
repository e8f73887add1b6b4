#include "server/names.h"

namespace ctserver {

bool IsValidName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameBytes) return false;
  for (unsigned char c : name) {
    if (c < 0x21 || c > 0x7E) return false;
  }
  return true;
}

bool IsValidClass(const std::string& profileClass) {
  if (profileClass.empty() || profileClass.size() > kMaxNameBytes) return false;
  for (unsigned char c : profileClass) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace ctserver
