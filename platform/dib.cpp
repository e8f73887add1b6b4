#include "platform/dib.h"

#include <algorithm>

namespace {

// Row stride of a checked header, or 0 when the width or depth is refused.
size_t StrideOf(const BITMAPINFOHEADER& h) {
  if (h.biWidth <= 0 || h.biWidth > kDibMaxDimension) return 0;
  if (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24) return 0;
  const size_t bitsPerRow = static_cast<size_t>(h.biWidth) * h.biBitCount;
  return ((bitsPerRow + 31) / 32) * 4;
}

bool HeaderAccepted(const BITMAPINFOHEADER& h) {
  if (h.biSize != sizeof(BITMAPINFOHEADER)) return false;
  if (h.biPlanes != 1 || h.biCompression != BI_RGB) return false;
  if (h.biHeight <= 0 || h.biHeight > kDibMaxDimension) return false;
  if (StrideOf(h) == 0) return false;
  if (h.biBitCount <= 8 && h.biClrUsed > (1u << h.biBitCount)) return false;
  if (h.biBitCount == 24 && h.biClrUsed > 256) return false;
  return StrideOf(h) * static_cast<size_t>(h.biHeight) <= kDibMaxPixelBytes;
}

}  // namespace

COLORREF DibView::PixelAt(int col, int rowFromBottom) const {
  const uint8_t* row = bits + stride * static_cast<size_t>(rowFromBottom - firstRow);
  if (bitCount == 24) {
    const uint8_t* p = row + static_cast<size_t>(col) * 3;  // blue, green, red
    return RGB(p[2], p[1], p[0]);
  }
  unsigned index = 0;
  switch (bitCount) {
    case 1:
      index = (row[col / 8] >> (7 - col % 8)) & 0x1u;
      break;
    case 4:
      index = (row[col / 2] >> (col % 2 == 0 ? 4 : 0)) & 0xFu;
      break;
    default:
      index = row[col];
      break;
  }
  if (index >= colorCount) return RGB(0, 0, 0);
  const RGBQUAD& q = colors[index];
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

size_t DibPixelBytes(const BITMAPINFOHEADER& header) {
  if (!HeaderAccepted(header)) return 0;
  const size_t rows = StrideOf(header) * static_cast<size_t>(header.biHeight);
  if (header.biSizeImage == 0) return rows;
  // An image size smaller than the rows it describes is inconsistent.
  return header.biSizeImage < rows ? 0 : header.biSizeImage;
}

unsigned DibColorCount(const BITMAPINFOHEADER& header) {
  if (header.biBitCount > 8) return 0;
  if (header.biBitCount != 1 && header.biBitCount != 4 && header.biBitCount != 8) return 0;
  return header.biClrUsed != 0 ? header.biClrUsed : (1u << header.biBitCount);
}

bool DibCheck(const BITMAPINFO* info, const void* bits, size_t bitsSize, DibView* out, unsigned startScan,
              unsigned scanLines) {
  if (info == nullptr || bits == nullptr || out == nullptr) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (!HeaderAccepted(h)) return false;
  if (startScan >= static_cast<unsigned>(h.biHeight) || scanLines == 0) return false;
  const unsigned rows = std::min(scanLines, static_cast<unsigned>(h.biHeight) - startScan);
  const size_t stride = StrideOf(h);
  const size_t needed = stride * rows;
  if (needed > bitsSize) return false;
  DibView v;
  v.width = h.biWidth;
  v.height = h.biHeight;
  v.firstRow = static_cast<int>(startScan);
  v.rows = static_cast<int>(rows);
  v.bitCount = h.biBitCount;
  v.stride = stride;
  v.bits = static_cast<const uint8_t*>(bits);
  v.colorCount = DibColorCount(h);
  v.colors = v.colorCount != 0 ? info->bmiColors : nullptr;
  *out = v;
  return true;
}

void DibMapPixel(int srcX, int srcY, int srcW, int srcH, int dstW, int dstH, int i, int j, int* col,
                 int* rowFromBottom) {
  // Sample at the centre of each destination pixel; 64-bit so that large
  // sizes cannot overflow.
  const long long c = static_cast<long long>(srcX) + ((2LL * i + 1) * srcW) / (2LL * dstW);
  const long long r = ((2LL * j + 1) * srcH) / (2LL * dstH);  // from the source top
  const long long row = static_cast<long long>(srcY) + srcH - 1 - r;
  const auto fits = [](long long v) { return v >= -kDibMaxDimension && v <= 2LL * kDibMaxDimension; };
  *col = fits(c) ? static_cast<int>(c) : -1;
  *rowFromBottom = fits(row) ? static_cast<int>(row) : -1;
}

int DibCheckSetBits(int width, int height, unsigned startScan, unsigned scanLines, const void* bits,
                    const BITMAPINFO* info, unsigned colorUse, DibView* view) {
  if (info == nullptr || view == nullptr || colorUse != DIB_RGB_COLORS) return 0;
  if (width <= 0 || height <= 0) return 0;
  const size_t size = DibPixelBytes(info->bmiHeader);
  if (size == 0 || !DibCheck(info, bits, size, view, startScan, scanLines)) return 0;
  return view->rows;
}

int DibCheckStretch(int width, int height, int srcX, int srcY, int srcWidth, int srcHeight, const void* bits,
                    const BITMAPINFO* info, unsigned colorUse, uint32_t rop, DibView* view) {
  if (info == nullptr || view == nullptr || colorUse != DIB_RGB_COLORS || rop != SRCCOPY) return 0;
  if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return 0;
  const size_t size = DibPixelBytes(info->bmiHeader);
  if (size == 0 || !DibCheck(info, bits, size, view)) return 0;
  if (srcX < 0 || srcY < 0 || srcWidth > view->width - srcX || srcHeight > view->height - srcY) return 0;
  if (static_cast<long long>(srcWidth) * srcHeight > kDibMaxStretchPixels) return 0;
  return srcHeight;
}
