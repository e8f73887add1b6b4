// The profiles of the demo installation, as data-element text: a handful
// of realistic profiles of several classes (nested sets, arrays of every
// kind, a key the symbol table does not know) and one large profile that
// shows the editor's speed.
#pragma once

#include <string>
#include <vector>

namespace demo {

struct DemoProfile {
  std::string name;
  std::string profileClass;
  std::string text;  // a key-value set in data-element text
  long nodes = 0;    // values in it, counting every nested value and array item
};

// About this many values in the large profile.
inline constexpr long kLargeProfileNodes = 100000;

// The same profiles on every call.
std::vector<DemoProfile> DemoProfiles();

}  // namespace demo
