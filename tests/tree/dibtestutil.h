// Helpers for the bitmap tests: a CDIBitmap that exposes its protected
// parts, and crafted packed bitmaps (header, colour table, rows).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/dibtypes.h"
#include "tree/dibitmap.h"

class TestDIBitmap : public CDIBitmap {
 public:
  using CDIBitmap::Allocator;
  using CDIBitmap::Data;
  using CDIBitmap::Header;
  using CDIBitmap::Info;
  using CDIBitmap::LoadPackedDIB;
  using CDIBitmap::SetAllocator;

  BOOL Load(const std::vector<uint8_t>& bytes) { return LoadPackedDIB(bytes.data(), bytes.size()); }
  RGBQUAD Entry(int index) const { return Info()->bmiColors[index]; }
};

struct DibSpec {
  int width = 5;
  int height = 3;
  int bitCount = 4;
  uint32_t headerSize = 40;
  uint32_t colorsUsed = 0;       // 0: as many as the depth allows
  bool stateImageSize = true;   // false: image size field 0
  int32_t imageSizeDelta = 0;   // added to the stated image size
  uint16_t planes = 1;
  uint32_t compression = BI_RGB;
};

inline size_t DibStride(int width, int bitCount) { return (static_cast<size_t>(width) * bitCount + 31) / 32 * 4; }

// A packed bitmap; palette entry i is (i, 2i, 3i), pixel bytes count up.
inline std::vector<uint8_t> MakeDib(const DibSpec& s) {
  BITMAPINFOHEADER h{};
  h.biSize = s.headerSize;
  h.biWidth = s.width;
  h.biHeight = s.height;
  h.biPlanes = s.planes;
  h.biBitCount = static_cast<uint16_t>(s.bitCount);
  h.biCompression = s.compression;
  const size_t rows = s.width > 0 && s.height > 0 ? DibStride(s.width, s.bitCount) * s.height : 0;
  h.biSizeImage = s.stateImageSize ? static_cast<uint32_t>(static_cast<int64_t>(rows) + s.imageSizeDelta) : 0;
  h.biClrUsed = s.colorsUsed;
  const unsigned colours = s.colorsUsed != 0 ? s.colorsUsed : (s.bitCount <= 8 ? 1u << s.bitCount : 0u);
  std::vector<uint8_t> out(sizeof h);
  std::memcpy(out.data(), &h, sizeof h);
  for (unsigned i = 0; i < colours; ++i) {
    const RGBQUAD q{static_cast<uint8_t>(3 * i), static_cast<uint8_t>(2 * i), static_cast<uint8_t>(i), 0};
    const auto* p = reinterpret_cast<const uint8_t*>(&q);
    out.insert(out.end(), p, p + sizeof q);
  }
  for (size_t i = 0; i < rows; ++i) out.push_back(static_cast<uint8_t>(i));
  return out;
}
