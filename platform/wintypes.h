// The handful of scalar types and colour helpers the editor's classes use,
// shaped as the Windows ones they were written against.  Plain, no Qt.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using LONG = long;
using DWORD = uint32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
// A colour as 0x00BBGGRR.
using COLORREF = uint32_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
  return static_cast<COLORREF>((r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16));
}
constexpr unsigned GetRValue(COLORREF c) { return c & 0xFFu; }
constexpr unsigned GetGValue(COLORREF c) { return (c >> 8) & 0xFFu; }
constexpr unsigned GetBValue(COLORREF c) { return (c >> 16) & 0xFFu; }
