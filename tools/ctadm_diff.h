// `ctadm diff`: the differences between a profile and another side of it (a
// revision, a text file, or a profile on another server), one line each,
// with diff(1)'s exit status: 0 the same, 1 different, 2 trouble.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/ctadm_client.h"

namespace ctadm {

struct DiffRequest {
  std::string name;
  std::string profileClass;
  // Exactly one other side: a revision (above 0), a file's text, or a server.
  uint64_t revision = 0;
  bool haveFile = false;
  std::string fileText;
  std::vector<std::string> with;  // SERVER [NAME CLASS]
  bool byName = false;
};

// The other side is the old one and the named profile the new one.  On
// trouble *error says why and the answer is 2.
int RunDiff(AdminClient& client, const DiffRequest& request, std::ostream& out, std::string* error);

}  // namespace ctadm
