#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/dib.h"
#include "tests/platform/dibfixture.h"

namespace {

// A bitmap of any depth with a grey-ramp colour table; rows are given as
// raw bytes, bottom row first.
TestDib MakeRaw(int width, int height, int bitCount, const std::vector<uint8_t>& bits, unsigned colors) {
  TestDib d;
  d.infoBytes.resize(sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD));
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bitCount);
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<uint32_t>(bits.size());
  h.biClrUsed = colors;
  std::memcpy(d.infoBytes.data(), &h, sizeof h);
  for (unsigned i = 0; i < colors; ++i) {
    const uint8_t v = static_cast<uint8_t>(i * 10);
    RGBQUAD q{v, static_cast<uint8_t>(v + 1), static_cast<uint8_t>(v + 2), 0};  // blue, green, red
    std::memcpy(d.infoBytes.data() + sizeof h + i * sizeof q, &q, sizeof q);
  }
  d.bits = bits;
  return d;
}

COLORREF Entry(unsigned i) { return RGB(i * 10 + 2, i * 10 + 1, i * 10); }

}  // namespace

TEST(DibTest, DecodesEachDepth) {
  DibView v;
  // 1 bit, 10 pixels wide: 2 bytes of pixels, padded to 4.
  const TestDib one = MakeRaw(10, 1, 1, {0xA0, 0x40, 0, 0}, 2);
  ASSERT_TRUE(DibCheck(one.info(), one.bits.data(), one.bits.size(), &v));
  EXPECT_EQ(v.PixelAt(0, 0), Entry(1));
  EXPECT_EQ(v.PixelAt(1, 0), Entry(0));
  EXPECT_EQ(v.PixelAt(2, 0), Entry(1));
  EXPECT_EQ(v.PixelAt(9, 0), Entry(1));
  EXPECT_EQ(v.PixelAt(8, 0), Entry(0));
  // 8 bits, 3 x 2, rows of 4 bytes; row 0 is the bottom one.
  const TestDib eight = MakeRaw(3, 2, 8, {1, 2, 3, 0, 4, 5, 6, 0}, 7);
  ASSERT_TRUE(DibCheck(eight.info(), eight.bits.data(), eight.bits.size(), &v));
  EXPECT_EQ(v.PixelAt(0, 0), Entry(1));
  EXPECT_EQ(v.PixelAt(2, 1), Entry(6));
  // 24 bits: blue, green, red per pixel; 2 pixels -> 6 bytes padded to 8.
  const TestDib rgb = MakeRaw(2, 1, 24, {0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0, 0, 0}, 0);
  ASSERT_TRUE(DibCheck(rgb.info(), rgb.bits.data(), rgb.bits.size(), &v));
  EXPECT_EQ(v.PixelAt(0, 0), RGB(0x30, 0x20, 0x10));
  EXPECT_EQ(v.PixelAt(1, 0), RGB(0xC0, 0xB0, 0xA0));
}

TEST(DibTest, IndexBeyondAShortColourTableIsBlack) {
  DibView v;
  const TestDib eight = MakeRaw(2, 1, 8, {1, 200, 0, 0}, 2);
  ASSERT_TRUE(DibCheck(eight.info(), eight.bits.data(), eight.bits.size(), &v));
  EXPECT_EQ(v.PixelAt(0, 0), Entry(1));
  EXPECT_EQ(v.PixelAt(1, 0), RGB(0, 0, 0));
}

TEST(DibTest, FourBitSampleMatchesItsPalette) {
  const TestDib dib = SampleDib();
  DibView v;
  ASSERT_TRUE(DibCheck(dib.info(), dib.bits.data(), dib.bits.size(), &v));
  EXPECT_EQ(v.width, 3);
  EXPECT_EQ(v.height, 2);
  EXPECT_EQ(v.stride, 4u);
  EXPECT_EQ(v.PixelAt(0, 1), RGB(255, 0, 0));    // top left
  EXPECT_EQ(v.PixelAt(2, 0), RGB(255, 255, 0));  // bottom right
}

TEST(DibTest, SizesAreCheckedAgainstWhatTheCallerHolds) {
  const TestDib dib = SampleDib();
  DibView v;
  EXPECT_FALSE(DibCheck(dib.info(), dib.bits.data(), dib.bits.size() - 1, &v));
  EXPECT_EQ(DibPixelBytes(dib.info()->bmiHeader), 8u);
  TestDib computed = SampleDib();
  computed.header().biSizeImage = 0;  // allowed: computed from the dimensions
  EXPECT_EQ(DibPixelBytes(computed.info()->bmiHeader), 8u);
  TestDib larger = SampleDib();
  larger.header().biSizeImage = 100;
  EXPECT_EQ(DibPixelBytes(larger.info()->bmiHeader), 100u);
  TestDib tooBig = SampleDib();
  tooBig.header().biWidth = kDibMaxDimension + 1;
  EXPECT_EQ(DibPixelBytes(tooBig.info()->bmiHeader), 0u);
  TestDib area = SampleDib();
  area.header().biWidth = 30000;
  area.header().biHeight = 30000;  // 450 MB of pixels
  area.header().biSizeImage = 0;
  EXPECT_EQ(DibPixelBytes(area.info()->bmiHeader), 0u);
}

TEST(DibTest, BandsCoverOnlyTheirRows) {
  const TestDib dib = SampleDib();
  DibView v;
  ASSERT_TRUE(DibCheck(dib.info(), dib.bits.data() + 4, 4, &v, 1, 5));  // cut to the one row left
  EXPECT_EQ(v.rows, 1);
  EXPECT_FALSE(v.HasPixel(0, 0));
  EXPECT_TRUE(v.HasPixel(0, 1));
  EXPECT_EQ(v.PixelAt(1, 1), RGB(0, 255, 0));
  EXPECT_FALSE(DibCheck(dib.info(), dib.bits.data(), 8, &v, 2, 1));  // no such row
  EXPECT_FALSE(DibCheck(dib.info(), dib.bits.data(), 8, &v, 0, 0));
}

TEST(DibTest, NearestNeighbourMapping) {
  int col = 0;
  int row = 0;
  // 3 x 2 source to 6 x 4: each source pixel covers a 2 x 2 block.
  DibMapPixel(0, 0, 3, 2, 6, 4, 5, 0, &col, &row);
  EXPECT_EQ(col, 2);
  EXPECT_EQ(row, 1);  // destination top is the source's top row
  DibMapPixel(0, 0, 3, 2, 6, 4, 2, 3, &col, &row);
  EXPECT_EQ(col, 1);
  EXPECT_EQ(row, 0);
  // Shrinking 4 -> 2 samples pixel centres: columns 0 and 2 are skipped.
  DibMapPixel(0, 0, 4, 1, 2, 1, 0, 0, &col, &row);
  EXPECT_EQ(col, 1);
  DibMapPixel(0, 0, 4, 1, 2, 1, 1, 0, &col, &row);
  EXPECT_EQ(col, 3);
}
