// Error codes of the client runtime, the container library and the server.
// Every failing call leaves one of these in its error word (or in word 9 of
// the reply record).  docs/deif.md and docs/server.md list them for users.
#pragma once

#include <cstdint>

namespace ct {

// --- Runtime error space (what the administration client tells apart) ---
inline constexpr uint32_t kErrNone = 0x01600400;           // nothing specific; every call starts from it
inline constexpr uint32_t kErrTranslator = 0x01600409;     // the symbol translator could not serve a request
inline constexpr uint32_t kErrNoMemory = 0x0160040C;       // out of memory
inline constexpr uint32_t kErrNotFound = 0x01600436;       // nothing found
inline constexpr uint32_t kErrNameExists = 0x0160044F;     // a profile of that name exists
inline constexpr uint32_t kErrInvalidName = 0x01600453;    // the profile name is invalid

// Further codes of this runtime and its server (0x01600460 and up).
inline constexpr uint32_t kErrInvalidClass = 0x01600460;   // empty or unprintable profile class
inline constexpr uint32_t kErrInvalidArgument = 0x01600461;// a malformed request (bad field, bad content)
inline constexpr uint32_t kErrNoSession = 0x01600462;      // unknown or closed session
inline constexpr uint32_t kErrTooLarge = 0x01600463;       // message or element over its size limit
inline constexpr uint32_t kErrTooDeep = 0x01600464;        // element nested deeper than 100
inline constexpr uint32_t kErrServiceExists = 0x01600465;  // a service of that name exists
inline constexpr uint32_t kErrPathRefused = 0x01600466;    // import/export path outside the data folder
inline constexpr uint32_t kErrIo = 0x01600467;             // file or database input/output failed
inline constexpr uint32_t kErrInternal = 0x01600468;       // unexpected server-side failure
inline constexpr uint32_t kErrServiceDisabled = 0x01600469;// the service's start mode is Disabled
inline constexpr uint32_t kErrRevisionConflict = 0x0160046A;// the profile's current revision is not the expected one

// Transport (client side): 0x01600480 and up.
inline constexpr uint32_t kErrConnect = 0x01600480;        // the server could not be reached
inline constexpr uint32_t kErrTimeout = 0x01600481;        // the call's deadline passed
inline constexpr uint32_t kErrUnauthenticated = 0x01600482;// missing or wrong token
inline constexpr uint32_t kErrTransport = 0x01600483;      // any other transport failure
inline constexpr uint32_t kErrUnknownServer = 0x01600484;  // the server name is not a known server
inline constexpr uint32_t kErrNotInitialized = 0x01600485; // CT_Initialize was not called
inline constexpr uint32_t kErrNoSymbolTable = 0x01600486;  // no symbol table loaded in the session
inline constexpr uint32_t kErrUnknownSymbol = 0x01600487;  // the table has no such name or number
inline constexpr uint32_t kErrBufferTooSmall = 0x01600488; // the caller's buffer cannot hold the answer
inline constexpr uint32_t kErrBadAddress = 0x01600489;     // malformed server address, or plain gRPC to a host that is not loopback
inline constexpr uint32_t kErrCancelled = 0x0160048A;      // the caller abandoned the call (CT_CancelToken)

// Data-element text (DEtoA / AtoAnyDE): 0x016004A0 and up.
inline constexpr uint32_t kErrTextSyntax = 0x016004A0;     // unexpected character or token
inline constexpr uint32_t kErrTextTruncated = 0x016004A1;  // the text ends inside an element
inline constexpr uint32_t kErrTextRange = 0x016004A2;      // a number out of range for its kind
inline constexpr uint32_t kErrTextDuplicateKey = 0x016004A3;// a key appears twice in one set
inline constexpr uint32_t kErrTextMixedArray = 0x016004A4; // an array item of another kind than the array
inline constexpr uint32_t kErrTextTooDeep = 0x016004A5;    // nesting deeper than 100
inline constexpr uint32_t kErrTextTooLarge = 0x016004A6;   // text over 64 MiB
inline constexpr uint32_t kErrTextUnknownName = 0x016004A7;// the translator refused a name
inline constexpr uint32_t kErrTextBadType = 0x016004A8;    // an unknown type word or a type code that cannot be written
inline constexpr uint32_t kErrTextTrailing = 0x016004A9;   // text after the element
inline constexpr uint32_t kErrTextBadElement = 0x016004AA; // DEtoA: a handle or pointer in the element is not valid
inline constexpr uint32_t kErrTextReservedKey = 0x016004AB;// a key that no set may hold (the iteration markers)

// Container library (CTkvs_ / CTary_): 0x01200400 and up.
inline constexpr uint32_t kErrBadHandle = 0x01200401;      // stale, destroyed, forged or lent-only handle
inline constexpr uint32_t kErrNoSuchKey = 0x01200402;      // the set has no value under the key
inline constexpr uint32_t kErrWrongKind = 0x01200403;      // the value or array is of another kind
inline constexpr uint32_t kErrContainerNoMemory = 0x01200404; // allocation failed or the handle table is full
inline constexpr uint32_t kErrBadArgument = 0x01200405;    // null out-pointer, reserved key, bad count
inline constexpr uint32_t kErrEndOfKeys = 0x01200406;      // iteration passed the last key
inline constexpr uint32_t kErrCycle = 0x01200407;          // a container put into itself

}  // namespace ct
