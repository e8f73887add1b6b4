// CBitmapStore: the process-wide store of the eleven node icons.  The
// application loads them once at start-up and frees them at exit; nodes
// only point to them.  Class-wide members only; there is no instance.
#pragma once

#include "platform/wintypes.h"
#include "tree/dibitmap.h"

class CBitmapStore {
 public:
  CBitmapStore() = delete;

  // Loads all eleven icons; true only when every one loaded.  An icon that
  // fails stays null.  Icons loaded before are freed first.
  static BOOL LoadBitmaps();
  // Destroys all icons and clears every pointer.
  static void FreeBitmaps();
  // Sets palette entry index of every icon that exists (the view uses index
  // 7, the icons' background, with the colour of the surface); true only
  // when all eleven exist.
  static BOOL ChangePalettes(int index, COLORREF colour);

  // The icons; null before loading, after a failed load and after freeing.
  static CDIBitmap* GetArrayOpenBM() { return m_pArrayOpenBM; }
  static CDIBitmap* GetArrayShutBM() { return m_pArrayShutBM; }
  static CDIBitmap* GetKVSetOpenBM() { return m_pKVSetOpenBM; }
  static CDIBitmap* GetKVSetShutBM() { return m_pKVSetShutBM; }
  static CDIBitmap* GetIntegerBM() { return m_pIntegerBM; }
  static CDIBitmap* GetUIntBM() { return m_pUIntBM; }
  static CDIBitmap* GetBooleanBM() { return m_pBooleanBM; }
  static CDIBitmap* GetRangeBM() { return m_pRangeBM; }
  static CDIBitmap* GetStringBM() { return m_pStringBM; }
  static CDIBitmap* GetKeyBM() { return m_pKeyBM; }
  static CDIBitmap* GetFloatBM() { return m_pFloatBM; }

 private:
  static CDIBitmap* m_pArrayOpenBM;
  static CDIBitmap* m_pArrayShutBM;
  static CDIBitmap* m_pKVSetOpenBM;
  static CDIBitmap* m_pKVSetShutBM;
  static CDIBitmap* m_pIntegerBM;
  static CDIBitmap* m_pUIntBM;
  static CDIBitmap* m_pBooleanBM;
  static CDIBitmap* m_pRangeBM;
  static CDIBitmap* m_pStringBM;
  static CDIBitmap* m_pKeyBM;
  static CDIBitmap* m_pFloatBM;
};
