// Symbol values the server itself gives meaning to.  The default symbol
// table (resources/symbols.txt) names them; the server uses the numbers
// whatever table it was started with.
#pragma once

#include <cstdint>

namespace ctserver {

inline constexpr uint32_t kSymSessionServerName = 0x00D00400;  // session option: the server name

inline constexpr uint32_t kSymServiceStopped = 0x01100A00;
inline constexpr uint32_t kSymServiceStarted = 0x01100A01;
inline constexpr uint32_t kSymModeAuto = 0x01100A10;
inline constexpr uint32_t kSymModeManual = 0x01100A11;
inline constexpr uint32_t kSymModeDisabled = 0x01100A12;
// Key of a service configuration that gives the start mode (a symbol).
inline constexpr uint32_t kSymServiceStartMode = 0x01100A20;

// Server levels a target may name.
inline constexpr int32_t kMinServerLevel = 0;
inline constexpr int32_t kMaxServerLevel = 9;
inline constexpr int32_t kDefaultServerLevel = 1;

}  // namespace ctserver
