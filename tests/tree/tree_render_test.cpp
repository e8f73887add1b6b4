// Renders a sample profile with every node kind through the Qt device, as
// the view draws it, to tree_sample.png (100 %) and tree_sample_200.png
// (200 %) in the build folder, and checks that every row left its text.
#include <QImage>
#include <algorithm>
#include <string>

#include "platform/qtdc.h"
#include "tests/common/sessions_fixture.h"
#include "tests/tree/nodes_fixture.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"

#ifndef QUELT_TEST_BINARY_DIR
#define QUELT_TEST_BINARY_DIR "."
#endif

namespace {

using sessions_test::Ary;
using sessions_test::Kvs;

void FillSample(CTkvs set) {
  CTkvs_PutInt(set, kProfileNamesSymbol, 42, nullptr);
  CTkvs_PutUInt(set, kProfileClassesSymbol, 4294967295u, nullptr);
  CTkvs_PutBool(set, 0x7003, 1, nullptr);
  CTkvs_PutSymbol(set, 0x7004, kProfileNamesSymbol, nullptr);
  CTkvs_PutFloat(set, 0x7005, 3.14159f, nullptr);
  const CTirange ir{-5, 10};
  CTkvs_PutIRange(set, 0x7006, &ir, nullptr);
  const CTfrange fr{0.5f, 2.25f};
  CTkvs_PutFRange(set, 0x7007, &fr, nullptr);
  CTkvs_PutString(set, 0x7008, "Hello, profile", nullptr);
  Kvs inner;
  CTkvs_PutString(inner, 0x7101, "nested", nullptr);
  CTkvs_PutKVSet(set, 0x7009, inner, nullptr);
  Ary ints;
  const int32_t values[] = {1, -2, 3};
  CTary_PutInt(ints, values, 3, nullptr);
  Ary sets;
  const CTkvs items[] = {inner};
  CTary_PutKVSet(sets, items, 1, nullptr);
  Ary arrays;
  const CTary inners[] = {ints};
  CTary_PutArray(arrays, inners, 1, nullptr);
  Ary unknown;
  const uint32_t words[] = {1};
  CTary_PutWords(unknown, 70, words, 1, nullptr);
  CTkvs_PutArray(set, 0x700A, ints, nullptr);
  CTkvs_PutArray(set, 0x700B, sets, nullptr);
  CTkvs_PutArray(set, 0x700C, arrays, nullptr);
  CTkvs_PutArray(set, 0x700D, unknown, nullptr);
}

// Draws the tree as the view does: grey background, icons matched to it,
// the tree font at the scale, the root at (8, 8).  Returns the image and the
// texts drawn.
QImage Render(CKVSetNode& root, float scale, std::vector<std::string>* texts) {
  // A first pass on a recording device sets every row's width.
  CRecordingDC measure;
  measure.SetDeviceCaps(HORZRES, 8000);
  measure.SetDeviceCaps(VERTRES, 8000);
  CFont measureFont;
  measureFont.CreateFont(static_cast<int>(16 * scale), static_cast<int>(6 * scale), 0, 0, FW_NORMAL, 0, 0, 0, 0, 4,
                         0, 2, 0x20, nullptr);
  measure.SelectObject(&measureFont);
  root.DrawTree(8, 8, &measure, scale);
  for (const DCRecord& r : measure.RecordsOf(DCRecord::Op::TextOut)) texts->push_back(r.text);
  int maxX = 0, maxY = 0;
  root.GetExtent(8, 8, maxX, maxY);
  // Real text is wider or narrower than the recording device's: draw on a
  // wide image, then keep what the tree's extent says it covers.
  QImage image(static_cast<int>((maxX + 8) * scale) * 2, static_cast<int>((maxY + 8) * scale),
               QImage::Format_RGB32);
  image.fill(QColor(192, 192, 192));
  CQtDC dc(&image);
  dc.SetBkMode(TRANSPARENT);
  dc.SetBkColor(RGB(192, 192, 192));
  CBitmapStore::ChangePalettes(7, dc.GetBkColor());
  CFont font;
  font.CreateFont(static_cast<int>(16 * scale), static_cast<int>(6 * scale), 0, 0, FW_NORMAL, 0, 0, 0, 0, 4, 0, 2,
                  0x20, nullptr);
  dc.SelectObject(&font);
  EXPECT_EQ(root.DrawTree(8, 8, &dc, scale), 1);
  maxX = maxY = 0;
  root.GetExtent(8, 8, maxX, maxY);
  return image.copy(0, 0, static_cast<int>((maxX + 8) * scale), image.height());
}

TEST_F(NodesTest, SampleProfileRendersEveryKind) {
  Kvs profile;
  FillSample(profile);
  QV_DataElement element;
  element.SetToKVSet(profile);
  CKVSetNode root;
  ASSERT_EQ(root.PutDE(element, Session(), server), 1);
  // Select one row so the frame shows too, and shut a set and an array so
  // that their shut icons show.
  root.GetFirstChild()->GetFirstChild()->SetSelected(1);
  for (CTreeNode* pair = root.GetFirstChild(); pair; pair = pair->GetNextSibling()) {
    const unsigned long key = static_cast<CKVPairNode*>(pair)->GetKey();
    if (key == 0x7009 || key == 0x700D) pair->GetFirstChild()->SetExpanded(0);
  }
  for (float scale : {1.0f, 2.0f}) {
    std::vector<std::string> texts;
    const QImage image = Render(root, scale, &texts);
    const std::vector<std::string> expected = {
        "Admin_ProfileNames", "+42", "Admin_ProfileClasses", "4294967295", "TRUE", "Admin_ProfileNames",
        "3.14159", "-5 to 10", "0.5 to 2.25", "\"Hello, profile\"", "\"nested\"", "Integer", "+1", "-2", "+3",
        "KV Set", "Array", "Integer", "!!! Error - Unknown Array Type !!!"};
    for (const std::string& t : expected)
      EXPECT_NE(std::find(texts.begin(), texts.end(), t), texts.end()) << t << " at " << scale;
    // Something other than background was drawn across the picture.
    int inked = 0;
    for (int y = 0; y < image.height(); y += 2)
      for (int x = 0; x < image.width(); x += 2)
        if ((image.pixel(x, y) & 0xFFFFFF) != 0xC0C0C0) ++inked;
    EXPECT_GT(inked, 500);
    const std::string file = std::string(QUELT_TEST_BINARY_DIR) + (scale == 1.0f ? "/tree_sample.png" : "/tree_sample_200.png");
    EXPECT_TRUE(image.save(QString::fromStdString(file)));
  }
}

}  // namespace
