// The backend that reaches a ctserver over gRPC, with a deadline on every
// call and the installation's token in the call's metadata.
#pragma once

#include <memory>

#include "s100/runtime_backend.h"

namespace ct::runtime {

// Largest message either way: a profile of up to 64 MiB of text with room
// for its framing.
inline constexpr int kMaxMessageBytes = 80 << 20;

// Makes a channel for a Plain, Tls or Unix address.  Fails (null, *error)
// when the token or CA file is named but cannot be read.
std::unique_ptr<Backend> MakeGrpcBackend(const ServerAddress& address, const RuntimeSettings& settings,
                                         uint32_t* error);

}  // namespace ct::runtime
