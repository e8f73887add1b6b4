// The bitmaps as drawn: every bitmap resource drawn at 100 % and 200 % on
// one image shows exactly its pixel map (resources/bitmaps/icons.txt), the
// doubled copy pixel for pixel.  The sheet is saved as icon_sheet.png in
// the build folder for a look by eye.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/qtdc.h"
#include "tree/dibitmap.h"

namespace {

const QRgb kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                           0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

struct PixelMap {
  unsigned id = 0;
  int width = 0, height = 0;
  std::vector<std::vector<int>> rows;  // top row first, palette indexes
};

std::string Dir(const char* var, const char* fallback) {
  const char* value = std::getenv(var);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// Reads the legend and the bitmap blocks; an empty result on any error.
std::vector<PixelMap> ReadPixelMaps(const std::string& path) {
  std::ifstream in(path);
  std::map<char, int> legend;
  std::vector<PixelMap> maps;
  std::string line;
  bool inLegend = false;
  PixelMap* current = nullptr;
  while (std::getline(in, line)) {
    if (current != nullptr) {
      if (line == "end") {
        if (static_cast<int>(current->rows.size()) != current->height) return {};
        current = nullptr;
        continue;
      }
      if (static_cast<int>(line.size()) != current->width) return {};
      std::vector<int> row;
      for (char ch : line) {
        if (legend.count(ch) == 0) return {};
        row.push_back(legend[ch]);
      }
      current->rows.push_back(row);
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (inLegend) {
      if (first == "end") {
        inLegend = false;
      } else {
        int index = -1;
        words >> index;
        if (first.size() != 1 || index < 0 || index > 15) return {};
        legend[first[0]] = index;
      }
    } else if (first == "legend") {
      inLegend = true;
    } else if (first == "bitmap") {
      PixelMap map;
      words >> map.id >> map.width >> map.height;
      maps.push_back(map);
      current = &maps.back();
    }
  }
  return current == nullptr && !inLegend ? maps : std::vector<PixelMap>{};
}

constexpr int kMargin = 8;
constexpr QRgb kSheetBackground = 0xC0C0C0;

TEST(IconSheet, DrawnBitmapsShowTheirPixelMapsAtBothScales) {
  const std::vector<PixelMap> maps =
      ReadPixelMaps(Dir("QUELT_SOURCE_DIR", QUELT_DEFAULT_SOURCE_DIR) + "/resources/bitmaps/icons.txt");
  ASSERT_EQ(maps.size(), 13u);

  int width100 = kMargin, width200 = kMargin, tallest = 0;
  for (const PixelMap& m : maps) {
    width100 += m.width + kMargin;
    width200 += 2 * m.width + kMargin;
    tallest = std::max(tallest, m.height);
  }
  const int row100 = kMargin, row200 = 2 * kMargin + tallest;
  QImage sheet(std::max(width100, width200), row200 + 2 * tallest + kMargin, QImage::Format_RGB32);
  sheet.fill(kSheetBackground);
  std::vector<int> left100, left200;
  {
    CQtDC dc(&sheet);
    int x100 = kMargin, x200 = kMargin;
    for (const PixelMap& m : maps) {
      CDIBitmap bm;
      ASSERT_TRUE(bm.LoadDIBitmap(m.id)) << m.id;
      ASSERT_EQ(bm.Width(), m.width) << m.id;
      ASSERT_EQ(bm.Height(), m.height) << m.id;
      EXPECT_EQ(bm.Draw(&dc, x100, row100, m.width, m.height), m.height) << m.id;
      EXPECT_EQ(bm.Draw(&dc, x200, row200, 2 * m.width, 2 * m.height), m.height) << m.id;
      left100.push_back(x100);
      left200.push_back(x200);
      x100 += m.width + kMargin;
      x200 += 2 * m.width + kMargin;
    }
  }
  const std::string out = Dir("QUELT_BINARY_DIR", QUELT_DEFAULT_BINARY_DIR) + "/icon_sheet.png";
  EXPECT_TRUE(sheet.save(QString::fromStdString(out), "PNG")) << out;

  // 13 bitmaps: 513 pixels wide in all, 1026 doubled, plus the margins.
  EXPECT_EQ(sheet.width(), 1026 + 14 * kMargin);
  EXPECT_EQ(sheet.height(), 3 * kMargin + 3 * 32);
  // The margins and the gaps between bitmaps stay background.
  for (int y = 0; y < sheet.height(); ++y) {
    EXPECT_EQ(sheet.pixel(0, y) & 0xFFFFFF, kSheetBackground);
    EXPECT_EQ(sheet.pixel(sheet.width() - 1, y) & 0xFFFFFF, kSheetBackground);
  }
  for (size_t i = 0; i < maps.size(); ++i) {
    EXPECT_EQ(sheet.pixel(left100[i] - 1, row100) & 0xFFFFFF, kSheetBackground) << maps[i].id;
    EXPECT_EQ(sheet.pixel(left100[i] + maps[i].width, row100) & 0xFFFFFF, kSheetBackground) << maps[i].id;
    EXPECT_EQ(sheet.pixel(left200[i] + 2 * maps[i].width, row200) & 0xFFFFFF, kSheetBackground) << maps[i].id;
  }

  for (size_t i = 0; i < maps.size(); ++i) {
    const PixelMap& m = maps[i];
    int mismatches = 0, foreground = 0;
    for (int y = 0; y < m.height; ++y) {
      for (int x = 0; x < m.width; ++x) {
        const QRgb want = kPalette[m.rows[y][x]];
        if (m.rows[y][x] != 7) ++foreground;
        if ((sheet.pixel(left100[i] + x, row100 + y) & 0xFFFFFF) != want) ++mismatches;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx)
            if ((sheet.pixel(left200[i] + 2 * x + dx, row200 + 2 * y + dy) & 0xFFFFFF) != want) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0) << "bitmap " << m.id;
    // Every bitmap draws something besides background.
    EXPECT_GT(foreground, m.width * m.height / 5) << "bitmap " << m.id;
  }
}

TEST(IconSheet, ResourceFilesAreBitmapsQtReadsAsTheyAre) {
  // The toolbar and the window icon are read by Qt's own reader, which
  // checks the file header too.
  const std::vector<PixelMap> maps =
      ReadPixelMaps(Dir("QUELT_SOURCE_DIR", QUELT_DEFAULT_SOURCE_DIR) + "/resources/bitmaps/icons.txt");
  ASSERT_EQ(maps.size(), 13u);
  for (const PixelMap& m : maps) {
    const QImage image(QString(":/bitmaps/%1.bmp").arg(m.id), "BMP");
    ASSERT_FALSE(image.isNull()) << m.id;
    ASSERT_EQ(image.width(), m.width) << m.id;
    ASSERT_EQ(image.height(), m.height) << m.id;
    int mismatches = 0;
    for (int y = 0; y < m.height; ++y)
      for (int x = 0; x < m.width; ++x) mismatches += (image.pixel(x, y) & 0xFFFFFF) != kPalette[m.rows[y][x]];
    EXPECT_EQ(mismatches, 0) << m.id;
  }
}

TEST(IconSheet, NodeIconsAreMutuallyDistinct) {
  // Icons of the same size must differ in many pixels to be told apart.
  const std::vector<PixelMap> maps =
      ReadPixelMaps(Dir("QUELT_SOURCE_DIR", QUELT_DEFAULT_SOURCE_DIR) + "/resources/bitmaps/icons.txt");
  ASSERT_EQ(maps.size(), 13u);
  for (size_t a = 0; a < maps.size(); ++a) {
    for (size_t b = a + 1; b < maps.size(); ++b) {
      if (maps[a].width != maps[b].width || maps[a].height != maps[b].height) continue;
      int differ = 0;
      for (int y = 0; y < maps[a].height; ++y)
        for (int x = 0; x < maps[a].width; ++x) differ += maps[a].rows[y][x] != maps[b].rows[y][x];
      EXPECT_GT(differ, maps[a].width * maps[a].height / 10) << maps[a].id << " vs " << maps[b].id;
    }
  }
}

}  // namespace
