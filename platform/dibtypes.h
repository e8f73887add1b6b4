// Device-independent bitmap layout, as stored in .bmp resources after the
// 14-byte file header: a 40-byte information header, the colour table, then
// bottom-up pixel rows padded to 4 bytes.  Plain types, no Qt.
#pragma once

#include <cstdint>

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};

struct RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];  // colour table; really as many entries as the header says
};
#pragma pack(pop)

static_assert(sizeof(BITMAPINFOHEADER) == 40, "the information header is 40 bytes");

inline constexpr uint32_t BI_RGB = 0;
inline constexpr unsigned DIB_RGB_COLORS = 0;
inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr int COLORONCOLOR = 3;
