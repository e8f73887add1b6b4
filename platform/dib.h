// Checked reading of uncompressed, bottom-up device-independent bitmaps
// (1, 4, 8 or 24 bits per pixel, 40-byte header).  Every size is checked
// against limits before any pixel is touched, so a malformed bitmap is
// refused instead of read past its end.  No Qt here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/dibtypes.h"
#include "platform/wintypes.h"

// Largest accepted width or height, and pixel data size.
inline constexpr int kDibMaxDimension = 32768;
inline constexpr size_t kDibMaxPixelBytes = size_t{64} * 1024 * 1024;
// Largest source rectangle a stretch takes, in pixels (it is expanded to
// 32 bits a pixel on the way).
inline constexpr long long kDibMaxStretchPixels = 16LL * 1024 * 1024;

// A bitmap whose header has been checked.
struct DibView {
  int width = 0;
  int height = 0;  // rows of the whole bitmap; row 0 is the bottom row
  int firstRow = 0;  // bits start with this row...
  int rows = 0;      // ...and hold this many
  int bitCount = 0;
  size_t stride = 0;  // bytes per row, padded to 4
  const uint8_t* bits = nullptr;
  const RGBQUAD* colors = nullptr;  // null for 24-bit bitmaps
  unsigned colorCount = 0;

  bool HasPixel(int col, int rowFromBottom) const {
    return col >= 0 && col < width && rowFromBottom >= firstRow && rowFromBottom < firstRow + rows;
  }
  // The pixel's colour as 0x00BBGGRR; HasPixel must hold.  A palette index
  // beyond the colour table gives black.
  COLORREF PixelAt(int col, int rowFromBottom) const;
};

// Bytes of pixel data the header describes (its image size, or computed
// from width, height and depth when that is 0); 0 when the header is not an
// accepted bitmap or its image size is too small for its rows.
size_t DibPixelBytes(const BITMAPINFOHEADER& header);

// Entries in the colour table the header describes (0 for 24-bit).
unsigned DibColorCount(const BITMAPINFOHEADER& header);

// Checks info and bits and fills out.  bitsSize is how many bytes bits
// holds.  bits holds scanLines rows from row startScan on (a band; the whole
// bitmap by default, and a band is cut to the rows the bitmap has); those
// rows must fit in bitsSize.  Returns false for a null pointer, a
// header that is not 40 bytes, compression, a depth other than 1, 4, 8 or
// 24, a non-positive or too large width or height (top-down bitmaps
// included), more colours than the depth allows, or pixel data that does
// not fit.
bool DibCheck(const BITMAPINFO* info, const void* bits, size_t bitsSize, DibView* out, unsigned startScan = 0,
              unsigned scanLines = 0xFFFFFFFFu);

// The source pixel that destination pixel (i, j) of a dstW x dstH
// rectangle shows when the source rectangle (srcX, srcY: its bottom-left
// corner, counted from the bitmap's bottom-left; srcW x srcH) is scaled
// into it by nearest neighbour.  j counts from the top of the destination.
void DibMapPixel(int srcX, int srcY, int srcW, int srcH, int dstW, int dstH, int i, int j, int* col,
                 int* rowFromBottom);

// Checks the arguments of the two transfers as CDC takes them; the pixel
// data is taken to be as large as the header says (DibPixelBytes).  On
// success fills view and returns the count the call reports (scan lines
// set or copied); 0 when the call must draw nothing: bad bitmap, palette
// colours, a non-positive size, a stretch source outside the bitmap or
// larger than kDibMaxStretchPixels, or a raster operation other than SRCCOPY.
int DibCheckSetBits(int width, int height, unsigned startScan, unsigned scanLines, const void* bits,
                    const BITMAPINFO* info, unsigned colorUse, DibView* view);
int DibCheckStretch(int width, int height, int srcX, int srcY, int srcWidth, int srcHeight, const void* bits,
                    const BITMAPINFO* info, unsigned colorUse, uint32_t rop, DibView* view);
