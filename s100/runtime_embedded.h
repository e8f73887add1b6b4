// The backend of an `embedded:` server: the server core runs in this
// process on the named SQLite file.  One core is shared by every session on
// the same file.
#pragma once

#include <memory>

#include "s100/runtime_backend.h"

namespace ct::runtime {

std::unique_ptr<Backend> MakeEmbeddedBackend(const ServerAddress& address, uint32_t* error);

// Lets go of the shared cores (the last CT_Shutdown); sessions that are
// still open keep theirs.
void ReleaseEmbeddedCores();

}  // namespace ct::runtime
