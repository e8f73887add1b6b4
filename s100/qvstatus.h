// The runtime's status record: state (1 success, 3 failure), error code, 0.
#pragma once

#include <cstdint>

struct QV_Status {
  int32_t state;
  uint32_t error;
  int32_t reserved;
};

inline constexpr int32_t QV_STATE_SUCCESS = 1;
inline constexpr int32_t QV_STATE_FAILURE = 3;

inline constexpr QV_Status QV_OK{QV_STATE_SUCCESS, 0, 0};

inline constexpr QV_Status QV_CreateStatus(int32_t state, uint32_t error, int32_t reserved) {
  return QV_Status{state, error, reserved};
}

inline constexpr bool operator==(const QV_Status& a, const QV_Status& b) {
  return a.state == b.state && a.error == b.error && a.reserved == b.reserved;
}
inline constexpr bool operator!=(const QV_Status& a, const QV_Status& b) { return !(a == b); }
