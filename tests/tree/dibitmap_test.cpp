// CDIBitmap: loading packed bitmaps and resources, refusing malformed ones
// without reading past their end, drawing through the two transfers, and
// changing palette entries.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/modalhost.h"
#include "platform/recordingdc.h"
#include "platform/scriptedmodalhost.h"
#include "tests/tree/dibtestutil.h"

namespace {

// Loads a copy of the first size bytes held in a block of exactly that
// size, so that AddressSanitizer reports any read beyond it.
BOOL LoadExact(TestDIBitmap& bm, const std::vector<uint8_t>& bytes, size_t size) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[size == 0 ? 1 : size]);
  if (size != 0) std::memcpy(block.get(), bytes.data(), size);
  return bm.LoadPackedDIB(size == 0 ? nullptr : block.get(), size);
}

TEST(DIBitmapLoad, NothingLoadedDrawsNothing) {
  TestDIBitmap bm;
  CRecordingDC dc;
  EXPECT_EQ(bm.Width(), 0);
  EXPECT_EQ(bm.Height(), 0);
  EXPECT_EQ(bm.Info(), nullptr);
  EXPECT_EQ(bm.Data(), nullptr);
  EXPECT_EQ(bm.Draw(&dc, 0, 0, 16, 16), 0);
  EXPECT_TRUE(dc.Records().empty());
  EXPECT_FALSE(bm.ChangePaletteEntry(0, RGB(1, 2, 3)));
}

TEST(DIBitmapLoad, PackedBitmapGivesSizeTableAndRows) {
  TestDIBitmap bm;
  const std::vector<uint8_t> bytes = MakeDib({});
  ASSERT_TRUE(bm.Load(bytes));
  EXPECT_EQ(bm.Width(), 5);
  EXPECT_EQ(bm.Height(), 3);
  ASSERT_NE(bm.Info(), nullptr);
  EXPECT_EQ(static_cast<void*>(bm.Header()), static_cast<void*>(bm.Info()));
  // Rows start right after the 40-byte header and 16 colours.
  EXPECT_EQ(bm.Data() - reinterpret_cast<BYTE*>(bm.Info()), 40 + 16 * 4);
  EXPECT_EQ(std::memcmp(bm.Info(), bytes.data(), bytes.size()), 0);
  // The copy is the loader's own: changing the source changes nothing.
  std::vector<uint8_t> again = bytes;
  TestDIBitmap other;
  ASSERT_TRUE(other.Load(again));
  again[40] = 0xEE;
  EXPECT_NE(other.Entry(0).rgbBlue, 0xEE);
}

TEST(DIBitmapLoad, ColourCountFollowsDepthOrColoursUsed) {
  struct Case {
    int bitCount;
    uint32_t used;
    int lastGood;  // highest index ChangePaletteEntry accepts, -1 none
  };
  for (const Case c : {Case{1, 0, 1}, Case{4, 0, 15}, Case{8, 0, 255}, Case{8, 4, 3}, Case{4, 2, 1},
                       Case{24, 0, -1}}) {
    TestDIBitmap bm;
    DibSpec s;
    s.bitCount = c.bitCount;
    s.colorsUsed = c.used;
    const std::vector<uint8_t> bytes = MakeDib(s);
    ASSERT_TRUE(LoadExact(bm, bytes, bytes.size())) << c.bitCount << "/" << c.used;
    if (c.lastGood >= 0) {
      EXPECT_TRUE(bm.ChangePaletteEntry(c.lastGood, RGB(9, 9, 9))) << c.bitCount << "/" << c.used;
    }
    EXPECT_FALSE(bm.ChangePaletteEntry(c.lastGood + 1, RGB(9, 9, 9))) << c.bitCount << "/" << c.used;
    EXPECT_EQ(bm.Data() - reinterpret_cast<BYTE*>(bm.Info()), 40 + 4 * (c.lastGood + 1));
  }
}

TEST(DIBitmapLoad, ZeroImageSizeIsComputedFromTheRows) {
  DibSpec s;
  s.width = 7;  // 4 bytes a row at 4 bits, padded
  s.height = 4;
  s.stateImageSize = false;
  const std::vector<uint8_t> bytes = MakeDib(s);
  TestDIBitmap bm;
  ASSERT_TRUE(LoadExact(bm, bytes, bytes.size()));
  // All rows came along: the last row's bytes are there.
  const size_t rows = DibStride(7, 4) * 4;
  EXPECT_EQ(std::memcmp(bm.Data(), bytes.data() + 40 + 64, rows), 0);
  CRecordingDC dc;
  EXPECT_EQ(bm.Draw(&dc, 0, 0, 7, 4), 4);
  // Without the rows it is refused.
  EXPECT_FALSE(LoadExact(bm, bytes, bytes.size() - 1));
}

TEST(DIBitmapLoad, TruncatedBitmapsAreRefusedAtEveryLength) {
  for (const int bitCount : {1, 4, 8, 24}) {
    DibSpec s;
    s.bitCount = bitCount;
    const std::vector<uint8_t> bytes = MakeDib(s);
    for (size_t n = 0; n < bytes.size(); ++n) {
      TestDIBitmap bm;
      EXPECT_FALSE(LoadExact(bm, bytes, n)) << bitCount << " bits, " << n << " of " << bytes.size();
      EXPECT_EQ(bm.Width(), 0);
    }
    TestDIBitmap bm;
    EXPECT_TRUE(LoadExact(bm, bytes, bytes.size())) << bitCount;
  }
}

TEST(DIBitmapLoad, HeadersItCannotHandleAreRefused) {
  std::vector<DibSpec> bad;
  for (const uint32_t size : {0u, 12u, 39u, 41u, 52u, 56u, 64u, 108u, 124u}) {
    DibSpec s;
    s.headerSize = size;
    bad.push_back(s);
  }
  for (const int depth : {0, 2, 3, 16, 32, 48}) {
    DibSpec s;
    s.bitCount = depth;
    bad.push_back(s);
  }
  for (const uint32_t compression : {1u, 2u, 3u}) {
    DibSpec s;
    s.compression = compression;
    bad.push_back(s);
  }
  {
    DibSpec s;
    s.planes = 2;
    bad.push_back(s);
  }
  for (const auto& [w, h] : {std::pair{0, 3}, {5, 0}, {-5, 3}, {5, -3}, {40000, 1}, {1, 40000}}) {
    DibSpec s;
    s.width = w;
    s.height = h;
    bad.push_back(s);
  }
  for (const auto& [depth, used] : {std::pair{4, 17u}, {1, 3u}, {8, 257u}, {24, 300u}}) {
    DibSpec s;
    s.bitCount = depth;
    s.colorsUsed = used;
    bad.push_back(s);
  }
  for (size_t i = 0; i < bad.size(); ++i) {
    const std::vector<uint8_t> bytes = MakeDib(bad[i]);
    TestDIBitmap bm;
    EXPECT_FALSE(LoadExact(bm, bytes, bytes.size())) << "case " << i;
    EXPECT_EQ(bm.Info(), nullptr) << "case " << i;
  }
}

std::vector<size_t> g_allocations;
void* CountingAllocate(size_t bytes) {
  g_allocations.push_back(bytes);
  return std::malloc(bytes);
}

TEST(DIBitmapLoad, ClaimsBeyondTheDataAreRefusedBeforeAllocating) {
  const TestDIBitmap::Allocator previous = TestDIBitmap::SetAllocator(&CountingAllocate);
  g_allocations.clear();
  {
    // Stated image size one byte more than the block holds.
    DibSpec s;
    s.imageSizeDelta = 1;
    const std::vector<uint8_t> bytes = MakeDib(s);
    TestDIBitmap bm;
    EXPECT_FALSE(LoadExact(bm, bytes, bytes.size()));
  }
  {
    // A huge stated image size.
    std::vector<uint8_t> bytes = MakeDib({});
    const uint32_t huge = 0xFFFFFFF0u;
    std::memcpy(bytes.data() + 20, &huge, sizeof huge);
    TestDIBitmap bm;
    EXPECT_FALSE(LoadExact(bm, bytes, bytes.size()));
  }
  {
    // Large dimensions over a small block.
    std::vector<uint8_t> bytes = MakeDib({});
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes.data(), sizeof h);
    h.biWidth = 30000;
    h.biHeight = 30000;
    h.biSizeImage = 0;
    std::memcpy(bytes.data(), &h, sizeof h);
    TestDIBitmap bm;
    EXPECT_FALSE(LoadExact(bm, bytes, bytes.size()));
  }
  {
    // A stated image size too small for the rows would let a draw read
    // past the block.
    DibSpec s;
    s.imageSizeDelta = -1;
    const std::vector<uint8_t> bytes = MakeDib(s);
    TestDIBitmap bm;
    EXPECT_FALSE(LoadExact(bm, bytes, bytes.size()));
  }
  EXPECT_TRUE(g_allocations.empty());
  {
    // A larger stated image size than the rows need is kept whole.
    DibSpec s;
    s.imageSizeDelta = 8;
    std::vector<uint8_t> bytes = MakeDib(s);
    bytes.resize(bytes.size() + 8, 0xAA);
    TestDIBitmap bm;
    EXPECT_TRUE(LoadExact(bm, bytes, bytes.size()));
    ASSERT_EQ(g_allocations.size(), 1u);
    EXPECT_EQ(g_allocations[0], bytes.size());
  }
  TestDIBitmap::SetAllocator(previous);
}

void* NoMemory(size_t) { return nullptr; }

TEST(DIBitmapLoad, OutOfMemoryShowsThePlainBoxAndFails) {
  ScriptedModalHost host;
  ScopedModalHost scoped(&host);
  TestDIBitmap bm;
  ASSERT_TRUE(bm.LoadDIBitmap(151));
  const TestDIBitmap::Allocator previous = TestDIBitmap::SetAllocator(&NoMemory);
  const BOOL fromBytes = bm.Load(MakeDib({}));
  const BOOL fromResource = bm.LoadDIBitmap(150);
  TestDIBitmap::SetAllocator(previous);
  EXPECT_FALSE(fromBytes);
  EXPECT_FALSE(fromResource);
  ASSERT_EQ(host.Messages().size(), 2u);
  for (const MessageRecord& m : host.Messages()) {
    EXPECT_EQ(m.stringId, 0u);
    EXPECT_EQ(m.text, "Memory allocation failed!\n");
    EXPECT_EQ(m.caption, "ERROR");
    EXPECT_EQ(m.type & MB_TYPEMASK, MB_OK);
    EXPECT_FALSE(m.hadOwner);
  }
  // The bitmap loaded before is still there.
  EXPECT_EQ(bm.Width(), 16);
  CRecordingDC dc;
  EXPECT_EQ(bm.Draw(&dc, 0, 0, 16, 16), 16);
  // Malformed input is refused without a message.
  host.Clear();
  DibSpec bad;
  bad.headerSize = 12;
  EXPECT_FALSE(bm.Load(MakeDib(bad)));
  EXPECT_FALSE(bm.LoadDIBitmap(999));
  EXPECT_TRUE(host.Messages().empty());
}

TEST(DIBitmapLoad, AFailedLoadKeepsThePreviousBitmap) {
  TestDIBitmap bm;
  ASSERT_TRUE(bm.Load(MakeDib({})));
  DibSpec bad;
  bad.bitCount = 16;
  EXPECT_FALSE(bm.Load(MakeDib(bad)));
  EXPECT_FALSE(bm.LoadDIBitmap(999));
  EXPECT_EQ(bm.Width(), 5);
  EXPECT_EQ(bm.Height(), 3);
  CRecordingDC dc;
  EXPECT_EQ(bm.Draw(&dc, 0, 0, 5, 3), 3);
  // A good load replaces it.
  DibSpec bigger;
  bigger.width = 9;
  bigger.height = 2;
  ASSERT_TRUE(bm.Load(MakeDib(bigger)));
  EXPECT_EQ(bm.Width(), 9);
  EXPECT_EQ(bm.Height(), 2);
}

TEST(DIBitmapLoad, ResourcesLoadByIdWithTheirFileHeaderStripped) {
  TestDIBitmap bm;
  ASSERT_TRUE(bm.LoadDIBitmap(150));
  EXPECT_EQ(bm.Width(), 16);
  EXPECT_EQ(bm.Height(), 16);
  const BITMAPINFOHEADER* h = bm.Header();
  EXPECT_EQ(h->biSize, 40u);
  EXPECT_EQ(h->biBitCount, 4);
  EXPECT_EQ(h->biSizeImage, 8u * 16u);
  EXPECT_EQ(bm.Data() - reinterpret_cast<BYTE*>(bm.Info()), 40 + 64);
  for (const UINT missing : {0u, 1u, 149u, 152u, 156u, 164u, 4148u}) {
    TestDIBitmap none;
    EXPECT_FALSE(none.LoadDIBitmap(missing)) << missing;
  }
}

TEST(DIBitmapLoad, EveryBitmapResourceHasItsSizeAndTheStandardPalette) {
  struct Expected {
    UINT id;
    int width, height;
  };
  const Expected all[] = {{158, 38, 29}, {161, 38, 29}, {153, 35, 26}, {154, 35, 26}, {150, 16, 16},
                          {159, 16, 16}, {151, 16, 16}, {160, 30, 16}, {157, 19, 16}, {155, 16, 16},
                          {163, 30, 16}, {162, 192, 24}, {128, 32, 32}};
  const COLORREF standard[16] = {RGB(0, 0, 0),       RGB(0x80, 0, 0),    RGB(0, 0x80, 0),    RGB(0x80, 0x80, 0),
                                 RGB(0, 0, 0x80),    RGB(0x80, 0, 0x80), RGB(0, 0x80, 0x80), RGB(0xC0, 0xC0, 0xC0),
                                 RGB(0x80, 0x80, 0x80), RGB(0xFF, 0, 0), RGB(0, 0xFF, 0),    RGB(0xFF, 0xFF, 0),
                                 RGB(0, 0, 0xFF),    RGB(0xFF, 0, 0xFF), RGB(0, 0xFF, 0xFF), RGB(0xFF, 0xFF, 0xFF)};
  for (const Expected& e : all) {
    TestDIBitmap bm;
    ASSERT_TRUE(bm.LoadDIBitmap(e.id)) << e.id;
    EXPECT_EQ(bm.Width(), e.width) << e.id;
    EXPECT_EQ(bm.Height(), e.height) << e.id;
    EXPECT_EQ(bm.Header()->biBitCount, 4) << e.id;
    EXPECT_EQ(bm.Header()->biCompression, BI_RGB) << e.id;
    EXPECT_EQ(bm.Header()->biSizeImage, DibStride(e.width, 4) * e.height) << e.id;
    for (int i = 0; i < 16; ++i) {
      const RGBQUAD q = bm.Entry(i);
      EXPECT_EQ(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue), standard[i]) << e.id << " entry " << i;
    }
    EXPECT_FALSE(bm.ChangePaletteEntry(16, 0)) << e.id;
  }
}

TEST(DIBitmapDraw, OwnSizeCopiesUnscaled) {
  TestDIBitmap bm;
  ASSERT_TRUE(bm.LoadDIBitmap(150));
  CRecordingDC dc;
  const int result = bm.Draw(&dc, 12, 34, 16, 16);
  const std::vector<DCRecord>& r = dc.Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].op, DCRecord::Op::SetStretchBltMode);
  EXPECT_EQ(r[0].value, COLORONCOLOR);
  EXPECT_EQ(r[1].op, DCRecord::Op::SetDIBitsToDevice);
  EXPECT_EQ(r[1].rect, CRect(12, 34, 28, 50));
  EXPECT_EQ(r[1].src, CRect(0, 0, 16, 16));
  EXPECT_EQ(r[1].value, COLORONCOLOR);  // the mode in force for the copy
  EXPECT_EQ(r[1].result, 16);
  EXPECT_EQ(result, r[1].result);
}

TEST(DIBitmapDraw, OtherSizesStretchTheWholeBitmap) {
  TestDIBitmap bm;
  ASSERT_TRUE(bm.LoadDIBitmap(160));  // 30 x 16
  struct Case {
    int w, h;
  };
  // 200 % (printing), 50 %, and a change in one direction only.
  for (const Case c : {Case{60, 32}, Case{15, 8}, Case{30, 17}, Case{31, 16}}) {
    CRecordingDC dc;
    const int result = bm.Draw(&dc, -3, 7, c.w, c.h);
    const std::vector<DCRecord> stretch = dc.RecordsOf(DCRecord::Op::StretchDIBits);
    ASSERT_EQ(stretch.size(), 1u) << c.w << "x" << c.h;
    EXPECT_TRUE(dc.RecordsOf(DCRecord::Op::SetDIBitsToDevice).empty());
    EXPECT_EQ(stretch[0].rect, CRect(-3, 7, -3 + c.w, 7 + c.h));
    EXPECT_EQ(stretch[0].src, CRect(0, 0, 30, 16));
    EXPECT_EQ(stretch[0].value, COLORONCOLOR);
    EXPECT_EQ(stretch[0].result, 16);
    EXPECT_EQ(result, 16);
  }
}

TEST(DIBitmapDraw, SixteenByDoubledIsAStretch) {
  TestDIBitmap bm;
  ASSERT_TRUE(bm.LoadDIBitmap(151));
  CRecordingDC dc;
  dc.SetPrinting(true);
  EXPECT_EQ(bm.Draw(&dc, 100, 200, 32, 32), 16);
  const std::vector<DCRecord> stretch = dc.RecordsOf(DCRecord::Op::StretchDIBits);
  ASSERT_EQ(stretch.size(), 1u);
  EXPECT_EQ(stretch[0].rect, CRect(100, 200, 132, 232));
  EXPECT_EQ(stretch[0].src, CRect(0, 0, 16, 16));
}

TEST(DIBitmapDraw, NoDeviceContextDrawsNothing) {
  TestDIBitmap bm;
  ASSERT_TRUE(bm.LoadDIBitmap(150));
  EXPECT_EQ(bm.Draw(nullptr, 0, 0, 16, 16), 0);
}

TEST(DIBitmapPalette, IndexOutsideTheTableChangesNothing) {
  TestDIBitmap bm;
  ASSERT_TRUE(bm.LoadDIBitmap(150));
  const std::vector<uint8_t> before(reinterpret_cast<BYTE*>(bm.Info()), bm.Data() + 8 * 16);
  for (const int index : {16, 17, 255, 1 << 30, -1, -16}) {
    EXPECT_FALSE(bm.ChangePaletteEntry(index, RGB(1, 2, 3))) << index;
  }
  const std::vector<uint8_t> after(reinterpret_cast<BYTE*>(bm.Info()), bm.Data() + 8 * 16);
  EXPECT_EQ(before, after);
}

TEST(DIBitmapPalette, EntrySevenTakesTheColourInChannelOrder) {
  TestDIBitmap bm;
  ASSERT_TRUE(bm.LoadDIBitmap(150));
  const RGBQUAD six = bm.Entry(6);
  const RGBQUAD eight = bm.Entry(8);
  ASSERT_TRUE(bm.ChangePaletteEntry(7, RGB(0x12, 0x34, 0x56) | 0xAB000000u));
  const RGBQUAD seven = bm.Entry(7);
  EXPECT_EQ(seven.rgbRed, 0x12);
  EXPECT_EQ(seven.rgbGreen, 0x34);
  EXPECT_EQ(seven.rgbBlue, 0x56);
  EXPECT_EQ(seven.rgbReserved, 0);  // only the low 24 bits count
  const RGBQUAD sixAfter = bm.Entry(6);
  EXPECT_EQ(std::memcmp(&six, &sixAfter, sizeof six), 0);
  const RGBQUAD eightAfter = bm.Entry(8);
  EXPECT_EQ(std::memcmp(&eight, &eightAfter, sizeof eight), 0);
  // The last change wins.
  ASSERT_TRUE(bm.ChangePaletteEntry(7, RGB(0xC0, 0xC0, 0xC0)));
  EXPECT_EQ(bm.Entry(7).rgbRed, 0xC0);
  EXPECT_EQ(bm.Entry(7).rgbBlue, 0xC0);
}

}  // namespace
