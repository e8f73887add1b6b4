// CBitmapStore: loading the eleven icons, recolouring them, freeing them.
#include <gtest/gtest.h>

#include <QImage>
#include <set>

#include "platform/qtdc.h"
#include "tree/bmstore.h"

namespace {

struct Icon {
  const char* name;
  CDIBitmap* (*get)();
  int width, height;
};

const Icon kIcons[] = {
    {"array open", &CBitmapStore::GetArrayOpenBM, 38, 29}, {"array shut", &CBitmapStore::GetArrayShutBM, 38, 29},
    {"set open", &CBitmapStore::GetKVSetOpenBM, 35, 26},   {"set shut", &CBitmapStore::GetKVSetShutBM, 35, 26},
    {"integer", &CBitmapStore::GetIntegerBM, 16, 16},      {"unsigned", &CBitmapStore::GetUIntBM, 16, 16},
    {"boolean", &CBitmapStore::GetBooleanBM, 16, 16},      {"range", &CBitmapStore::GetRangeBM, 30, 16},
    {"string", &CBitmapStore::GetStringBM, 19, 16},        {"key", &CBitmapStore::GetKeyBM, 16, 16},
    {"float", &CBitmapStore::GetFloatBM, 30, 16},
};

// The colour an icon shows at its top right corner, which is background in
// every icon.
QRgb CornerColour(CDIBitmap* bm) {
  QImage image(bm->Width(), bm->Height(), QImage::Format_RGB32);
  image.fill(Qt::black);
  {
    CQtDC dc(&image);
    bm->Draw(&dc, 0, 0, bm->Width(), bm->Height());
  }
  return image.pixel(bm->Width() - 1, 0) & 0xFFFFFFu;
}

class BitmapStore : public ::testing::Test {
 protected:
  void TearDown() override { CBitmapStore::FreeBitmaps(); }
};

TEST_F(BitmapStore, NothingBeforeLoading) {
  for (const Icon& icon : kIcons) EXPECT_EQ(icon.get(), nullptr) << icon.name;
  EXPECT_FALSE(CBitmapStore::ChangePalettes(7, RGB(255, 255, 255)));
}

TEST_F(BitmapStore, LoadsAllElevenAtTheirSizes) {
  ASSERT_TRUE(CBitmapStore::LoadBitmaps());
  std::set<CDIBitmap*> distinct;
  for (const Icon& icon : kIcons) {
    CDIBitmap* bm = icon.get();
    ASSERT_NE(bm, nullptr) << icon.name;
    EXPECT_EQ(bm->Width(), icon.width) << icon.name;
    EXPECT_EQ(bm->Height(), icon.height) << icon.name;
    distinct.insert(bm);
  }
  EXPECT_EQ(distinct.size(), 11u);
  // Loading again replaces the icons (the old ones are freed, as the leak
  // checker confirms).
  ASSERT_TRUE(CBitmapStore::LoadBitmaps());
  for (const Icon& icon : kIcons) EXPECT_NE(icon.get(), nullptr) << icon.name;
}

TEST_F(BitmapStore, FreeClearsEveryAccessor) {
  ASSERT_TRUE(CBitmapStore::LoadBitmaps());
  CBitmapStore::FreeBitmaps();
  for (const Icon& icon : kIcons) EXPECT_EQ(icon.get(), nullptr) << icon.name;
  EXPECT_FALSE(CBitmapStore::ChangePalettes(7, RGB(0, 0, 0)));
  CBitmapStore::FreeBitmaps();  // freeing twice is harmless
  for (const Icon& icon : kIcons) EXPECT_EQ(icon.get(), nullptr) << icon.name;
}

TEST_F(BitmapStore, BackgroundFollowsTheSurface) {
  ASSERT_TRUE(CBitmapStore::LoadBitmaps());
  for (const Icon& icon : kIcons) EXPECT_EQ(CornerColour(icon.get()), 0xC0C0C0u) << icon.name;
  // A printed page is white; a non-grey colour shows the channels land
  // where they belong.
  ASSERT_TRUE(CBitmapStore::ChangePalettes(7, RGB(255, 255, 255)));
  for (const Icon& icon : kIcons) EXPECT_EQ(CornerColour(icon.get()), 0xFFFFFFu) << icon.name;
  ASSERT_TRUE(CBitmapStore::ChangePalettes(7, RGB(0xFF, 0x80, 0x00)));
  for (const Icon& icon : kIcons) EXPECT_EQ(CornerColour(icon.get()), 0xFF8000u) << icon.name;
  // An index outside the tables changes no icon but all are there.
  EXPECT_TRUE(CBitmapStore::ChangePalettes(16, RGB(0, 0, 0)));
  for (const Icon& icon : kIcons) EXPECT_EQ(CornerColour(icon.get()), 0xFF8000u) << icon.name;
}

}  // namespace
