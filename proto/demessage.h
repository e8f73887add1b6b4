// Conversions between the container library's data elements and the wire
// protocol's DataElement message, shared by the server and the client
// runtime.  The bytes form is what travels in `content`, `config` and
// `options` fields and what the store keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "proto/ctadmin.pb.h"
#include "s100/ctcontainers.h"
#include "s100/ctlimits.h"

namespace ctserver {

// Deepest nesting of data elements accepted anywhere (a set at top level is
// depth 1).
inline constexpr int kMaxElementDepth = kCtMaxElementDepth;

// Largest serialised element accepted anywhere (bytes).
inline constexpr size_t kMaxElementBytes = size_t{64} << 20;

// Parses serialised DataElement bytes with a recursion limit that fits
// kMaxElementDepth, then checks the element: depth, known kinds, array items
// matching the array's code.  On failure returns false and sets *error to an
// S.100 code (kErrTooDeep, kErrInvalidArgument, kErrTooLarge).
bool ParseElement(const std::string& bytes, ctadmin::v1::DataElement* out, uint32_t* error);

// Checks an element built in memory the same way ParseElement does.
bool CheckElement(const ctadmin::v1::DataElement& element, uint32_t* error);

// Set and array of the container library to and from the message.  The
// container calls' failures give false with the container's error code.
bool KvsToMessage(CTkvs set, ctadmin::v1::KVSet* out, uint32_t* error);
bool MessageToKvs(const ctadmin::v1::KVSet& in, CTkvs set, uint32_t* error);  // set is cleared first
bool AryToMessage(CTary array, ctadmin::v1::Array* out, uint32_t* error);
bool MessageToAry(const ctadmin::v1::Array& in, CTary array, uint32_t* error);

// A whole KVSet element as bytes, and back into a set.
bool KvsToBytes(CTkvs set, std::string* bytes, uint32_t* error);
bool BytesToKvs(const std::string& bytes, CTkvs set, uint32_t* error);

}  // namespace ctserver
