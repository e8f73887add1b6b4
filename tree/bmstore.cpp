#include "tree/bmstore.h"

#include <new>

#include "resources/resourceids.h"

CDIBitmap* CBitmapStore::m_pArrayOpenBM = nullptr;
CDIBitmap* CBitmapStore::m_pArrayShutBM = nullptr;
CDIBitmap* CBitmapStore::m_pKVSetOpenBM = nullptr;
CDIBitmap* CBitmapStore::m_pKVSetShutBM = nullptr;
CDIBitmap* CBitmapStore::m_pIntegerBM = nullptr;
CDIBitmap* CBitmapStore::m_pUIntBM = nullptr;
CDIBitmap* CBitmapStore::m_pBooleanBM = nullptr;
CDIBitmap* CBitmapStore::m_pRangeBM = nullptr;
CDIBitmap* CBitmapStore::m_pStringBM = nullptr;
CDIBitmap* CBitmapStore::m_pKeyBM = nullptr;
CDIBitmap* CBitmapStore::m_pFloatBM = nullptr;

namespace {

struct Slot {
  CDIBitmap** bitmap;
  UINT resourceId;
};

}  // namespace

BOOL CBitmapStore::LoadBitmaps() {
  FreeBitmaps();
  // Created, then loaded, in this order.
  const Slot slots[] = {
      {&m_pArrayOpenBM, IDB_ARRAY_OPEN}, {&m_pArrayShutBM, IDB_ARRAY_SHUT}, {&m_pKVSetOpenBM, IDB_KVSET_OPEN},
      {&m_pKVSetShutBM, IDB_KVSET_SHUT}, {&m_pIntegerBM, IDB_INTEGER},      {&m_pUIntBM, IDB_UINT},
      {&m_pBooleanBM, IDB_BOOLEAN},      {&m_pRangeBM, IDB_RANGE},          {&m_pStringBM, IDB_STRING},
      {&m_pKeyBM, IDB_KEY},              {&m_pFloatBM, IDB_FLOAT},
  };
  for (const Slot& slot : slots) *slot.bitmap = new (std::nothrow) CDIBitmap;
  BOOL all = TRUE;
  for (const Slot& slot : slots) {
    CDIBitmap*& bitmap = *slot.bitmap;
    if (bitmap != nullptr && !bitmap->LoadDIBitmap(slot.resourceId)) {
      delete bitmap;
      bitmap = nullptr;
    }
    if (bitmap == nullptr) all = FALSE;
  }
  return all;
}

void CBitmapStore::FreeBitmaps() {
  CDIBitmap** const all[] = {&m_pArrayOpenBM, &m_pArrayShutBM, &m_pKVSetOpenBM, &m_pKVSetShutBM,
                             &m_pIntegerBM,   &m_pUIntBM,      &m_pBooleanBM,   &m_pRangeBM,
                             &m_pStringBM,    &m_pKeyBM,       &m_pFloatBM};
  for (CDIBitmap** bitmap : all) {
    delete *bitmap;
    *bitmap = nullptr;
  }
}

BOOL CBitmapStore::ChangePalettes(int index, COLORREF colour) {
  CDIBitmap* const order[] = {m_pArrayOpenBM, m_pArrayShutBM, m_pKVSetOpenBM, m_pKVSetShutBM,
                              m_pIntegerBM,   m_pBooleanBM,   m_pStringBM,    m_pRangeBM,
                              m_pUIntBM,      m_pKeyBM,       m_pFloatBM};
  BOOL all = TRUE;
  for (CDIBitmap* bitmap : order) {
    if (bitmap != nullptr)
      bitmap->ChangePaletteEntry(index, colour);
    else
      all = FALSE;
  }
  return all;
}
