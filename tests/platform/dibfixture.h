// Builds small uncompressed bitmaps for the drawing tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/dibtypes.h"

// A bitmap's header with its colour table, and its pixel rows, each in its
// own exactly sized heap block so that AddressSanitizer sees any read past
// either.
struct TestDib {
  std::vector<uint8_t> infoBytes;
  std::vector<uint8_t> bits;
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(infoBytes.data()); }
  BITMAPINFOHEADER& header() { return reinterpret_cast<BITMAPINFO*>(infoBytes.data())->bmiHeader; }
};

// The standard 16-colour palette, as 0x00RRGGBB for readability.
inline const uint32_t kPalette16[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                        0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                        0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// A 4-bit bitmap; indexes[row * width + col] with row 0 at the top.
inline TestDib MakeDib4(int width, int height, const std::vector<uint8_t>& indexes) {
  TestDib d;
  d.infoBytes.resize(sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD));
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 4;
  h.biCompression = BI_RGB;
  const size_t stride = ((static_cast<size_t>(width) * 4 + 31) / 32) * 4;
  h.biSizeImage = static_cast<uint32_t>(stride * height);
  std::memcpy(d.infoBytes.data(), &h, sizeof h);
  for (int i = 0; i < 16; ++i) {
    RGBQUAD q{static_cast<uint8_t>(kPalette16[i] & 0xFF), static_cast<uint8_t>((kPalette16[i] >> 8) & 0xFF),
              static_cast<uint8_t>((kPalette16[i] >> 16) & 0xFF), 0};
    std::memcpy(d.infoBytes.data() + sizeof h + i * sizeof q, &q, sizeof q);
  }
  d.bits.assign(stride * height, 0);
  for (int row = 0; row < height; ++row) {
    uint8_t* line = d.bits.data() + stride * static_cast<size_t>(height - 1 - row);  // bottom-up
    for (int col = 0; col < width; ++col) {
      const uint8_t v = indexes[static_cast<size_t>(row * width + col)] & 0xF;
      line[col / 2] |= (col % 2 == 0) ? static_cast<uint8_t>(v << 4) : v;
    }
  }
  return d;
}

// A 3 x 2 bitmap: top row red, green, blue; bottom row white, black, yellow.
inline TestDib SampleDib() { return MakeDib4(3, 2, {9, 10, 12, 15, 0, 11}); }
