#include "tree/dibitmap.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/cdc.h"
#include "platform/dib.h"
#include "platform/msgbox.h"
#include "platform/resourcefile.h"

namespace {

constexpr size_t kHeaderSize = sizeof(BITMAPINFOHEADER);  // the only header size handled
constexpr size_t kFileHeaderSize = 14;                      // "BM", file size, reserved, pixel offset
// A bitmap resource larger than this is refused before it is read.
constexpr size_t kMaxResourceBytes = static_cast<size_t>(kDibMaxPixelBytes) + 14 + 40 + 256 * 4;

void* DefaultAllocate(size_t bytes) { return std::malloc(bytes); }

void* (*g_allocate)(size_t) = &DefaultAllocate;

uint32_t ReadU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// The colour-table size that the bit depth alone implies.
int TableSizeByDepth(int bitCount) {
  switch (bitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

// The only message the loader shows itself: a plain box, no owner, OK only.
void ShowAllocationFailure() { MessageBoxPlain("Memory allocation failed!\n", "ERROR", MB_OK); }

}  // namespace

CDIBitmap::CDIBitmap()
    : m_nColors(0), m_dwDataOffset(0), m_nWidth(0), m_nHeight(0), m_nTableSizeByDepth(0), m_pBitmap(nullptr) {}

CDIBitmap::~CDIBitmap() { Release(); }

void CDIBitmap::Release() {
  std::free(m_pBitmap);
  m_pBitmap = nullptr;
  m_nColors = 0;
  m_dwDataOffset = 0;
  m_nWidth = 0;
  m_nHeight = 0;
  m_nTableSizeByDepth = 0;
}

CDIBitmap::Allocator CDIBitmap::SetAllocator(Allocator allocator) {
  const Allocator previous = g_allocate;
  g_allocate = allocator != nullptr ? allocator : &DefaultAllocate;
  return previous;
}

BOOL CDIBitmap::LoadDIBitmap(UINT resourceId) {
  std::vector<unsigned char> bytes;
  if (!ReadBitmapResource(resourceId, kMaxResourceBytes, &bytes)) return FALSE;
  if (bytes.size() < kFileHeaderSize + kHeaderSize) return FALSE;
  const unsigned char* p = bytes.data();
  if (p[0] != 'B' || p[1] != 'M') return FALSE;

  // A bitmap resource is the file without its file header, the pixel rows
  // straight after the colour table; a file whose rows lie elsewhere is
  // refused rather than guessed at.
  const unsigned char* dib = p + kFileHeaderSize;
  const size_t dibSize = bytes.size() - kFileHeaderSize;
  const uint32_t pixelOffset = ReadU32(p + 10);
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib, sizeof header);
  const uint64_t colours =
      header.biClrUsed != 0 ? header.biClrUsed : static_cast<uint64_t>(TableSizeByDepth(header.biBitCount));
  if (pixelOffset != 0 && pixelOffset != kFileHeaderSize + kHeaderSize + 4 * colours) return FALSE;
  return LoadPackedDIB(dib, dibSize);
}

BOOL CDIBitmap::LoadPackedDIB(const void* data, size_t size) {
  if (data == nullptr || size < kHeaderSize) return FALSE;
  const auto* bytes = static_cast<const unsigned char*>(data);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes, sizeof header);

  if (header.biSize != kHeaderSize || header.biPlanes != 1 || header.biCompression != BI_RGB) return FALSE;
  const int bitCount = header.biBitCount;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) return FALSE;
  // Only bottom-up bitmaps of a sane size.
  if (header.biWidth <= 0 || header.biWidth > kDibMaxDimension) return FALSE;
  if (header.biHeight <= 0 || header.biHeight > kDibMaxDimension) return FALSE;

  const int tableSize = TableSizeByDepth(bitCount);
  const uint64_t colours = header.biClrUsed != 0 ? header.biClrUsed : static_cast<uint64_t>(tableSize);
  if (colours > (bitCount <= 8 ? static_cast<uint64_t>(tableSize) : 256u)) return FALSE;

  const uint64_t stride = (static_cast<uint64_t>(header.biWidth) * bitCount + 31) / 32 * 4;
  const uint64_t rowsBytes = stride * static_cast<uint64_t>(header.biHeight);
  if (rowsBytes > kDibMaxPixelBytes) return FALSE;
  // An image size of 0 is allowed for uncompressed bitmaps: the rows' size
  // follows from width, height and depth.  A stated size must cover them.
  const uint64_t imageSize = header.biSizeImage != 0 ? header.biSizeImage : rowsBytes;
  if (imageSize < rowsBytes || imageSize > kDibMaxPixelBytes) return FALSE;

  const uint64_t dataOffset = kHeaderSize + 4 * colours;
  const uint64_t total = dataOffset + imageSize;
  if (total > size) return FALSE;  // the resource holds fewer bytes than its header claims

  auto* block = static_cast<BYTE*>(g_allocate(static_cast<size_t>(total)));
  if (block == nullptr) {
    ShowAllocationFailure();
    return FALSE;
  }
  std::memcpy(block, bytes, static_cast<size_t>(total));

  Release();
  m_pBitmap = block;
  m_nTableSizeByDepth = tableSize;
  m_nColors = static_cast<int>(colours);
  m_dwDataOffset = static_cast<DWORD>(dataOffset);
  m_nWidth = header.biWidth;
  m_nHeight = header.biHeight;
  return TRUE;
}

int CDIBitmap::Draw(CDC* dc, int x, int y, int width, int height) {
  if (m_pBitmap == nullptr || dc == nullptr) return 0;
  dc->SetStretchBltMode(COLORONCOLOR);
  if (width == m_nWidth && height == m_nHeight) {
    return dc->SetDIBitsToDevice(x, y, width, height, 0, 0, 0, static_cast<unsigned>(m_nHeight), Data(), Info(),
                                 DIB_RGB_COLORS);
  }
  return dc->StretchDIBits(x, y, width, height, 0, 0, m_nWidth, m_nHeight, Data(), Info(), DIB_RGB_COLORS,
                           SRCCOPY);
}

BOOL CDIBitmap::ChangePaletteEntry(int index, COLORREF colour) {
  if (m_pBitmap == nullptr || index < 0 || index >= m_nColors) return FALSE;
  // The entry is stored blue, green, red, reserved.
  RGBQUAD entry;
  entry.rgbBlue = static_cast<BYTE>(GetBValue(colour));
  entry.rgbGreen = static_cast<BYTE>(GetGValue(colour));
  entry.rgbRed = static_cast<BYTE>(GetRValue(colour));
  entry.rgbReserved = 0;
  std::memcpy(m_pBitmap + kHeaderSize + sizeof(RGBQUAD) * static_cast<size_t>(index), &entry, sizeof entry);
  return TRUE;
}

int CDIBitmap::Width() const { return m_nWidth; }

int CDIBitmap::Height() const { return m_nHeight; }

BITMAPINFO* CDIBitmap::Info() const { return reinterpret_cast<BITMAPINFO*>(m_pBitmap); }

BITMAPINFOHEADER* CDIBitmap::Header() const { return reinterpret_cast<BITMAPINFOHEADER*>(m_pBitmap); }

BYTE* CDIBitmap::Data() const { return m_pBitmap != nullptr ? m_pBitmap + m_dwDataOffset : nullptr; }
