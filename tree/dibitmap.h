// CDIBitmap: one device-independent bitmap held in memory (header, colour
// table and pixel rows in one block), drawn onto any device context at any
// size.  The node icons are such bitmaps; see CBitmapStore.
#pragma once

#include <cstddef>

#include "platform/dibtypes.h"
#include "platform/wintypes.h"

class CDC;

class CDIBitmap {
 public:
  CDIBitmap();
  virtual ~CDIBitmap();
  CDIBitmap(const CDIBitmap&) = delete;
  CDIBitmap& operator=(const CDIBitmap&) = delete;

  // Loads the bitmap resource of that id (":/bitmaps/<id>.bmp"), replacing
  // what was loaded.  False, and nothing changed, when the resource is
  // missing or malformed, or memory runs out (then after a message box).
  virtual BOOL LoadDIBitmap(UINT resourceId);
  // Draws the bitmap into the rectangle at (x, y), width x height device
  // units: copied as it is at its own size, stretched otherwise.  Returns
  // the device's result; 0 when nothing is loaded.
  virtual int Draw(CDC* dc, int x, int y, int width, int height);
  // Sets colour-table entry index to colour (0x00BBGGRR) for every later
  // draw.  False, and nothing changed, when nothing is loaded or the index
  // is outside the colour table.
  virtual BOOL ChangePaletteEntry(int index, COLORREF colour);
  virtual int Width() const;
  virtual int Height() const;

 protected:
  // The loaded block as bitmap information (header and colour table), as
  // header alone, and its pixel rows.  Null when nothing is loaded.
  BITMAPINFO* Info() const;
  BITMAPINFOHEADER* Header() const;
  BYTE* Data() const;

  // Loads a bitmap laid out as a bitmap resource holds it: the 40-byte
  // header, the colour table and the pixel rows, with no file header.
  // size is the number of bytes at data; nothing beyond it is read.
  BOOL LoadPackedDIB(const void* data, size_t size);

  // The allocator of the bitmap block (std::malloc unless replaced);
  // returns the previous one.  Lets a test run the out-of-memory path.
  using Allocator = void* (*)(size_t bytes);
  static Allocator SetAllocator(Allocator allocator);

 private:
  void Release();

  int m_nColors;            // colour-table entries of the loaded bitmap
  DWORD m_dwDataOffset;     // pixel rows' offset in the block
  int m_nWidth;
  int m_nHeight;            // rows are stored bottom-up
  int m_nTableSizeByDepth;  // colour-table size the bit depth implies
  BYTE* m_pBitmap;          // the block, from the general heap; owned
};
