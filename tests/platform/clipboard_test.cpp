#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <string>

#include "platform/clipboard.h"

TEST(ClipboardFormatTest, SameNameGivesTheSameNumberEveryTime) {
  const UINT deif = RegisterClipboardFormatA("Velcor DEIF");
  EXPECT_GE(deif, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormatA("Velcor DEIF"), deif);
  EXPECT_EQ(RegisterClipboardFormatA("velcor deif"), deif);
  const UINT other = RegisterClipboardFormatA("Other Format");
  EXPECT_NE(other, deif);
  EXPECT_NE(other, 0u);
  EXPECT_EQ(ClipboardFormatMimeType(deif), "application/x-velcor-deif");
  EXPECT_EQ(ClipboardFormatMimeType(CF_TEXT), "text/plain");
  EXPECT_TRUE(ClipboardFormatMimeType(0xBEEF).IsEmpty());
}

TEST(ClipboardFormatTest, BadNamesAreRefused) {
  EXPECT_EQ(RegisterClipboardFormatA(nullptr), 0u);
  EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
  EXPECT_EQ(RegisterClipboardFormatA(std::string(300, 'n').c_str()), 0u);
}

TEST(ClipboardTest, TextRoundTripsUnderTheFormatAndAsPlainText) {
  const UINT deif = RegisterClipboardFormatA("Velcor DEIF");
  const CString text("KVSet{ \"Lines\" = Int 5 }");
  ASSERT_TRUE(ClipboardSetText(deif, text));
  EXPECT_TRUE(ClipboardHasFormat(deif));
  CString back;
  ASSERT_TRUE(ClipboardGetText(deif, &back));
  EXPECT_EQ(back, text);
  // Another program reads the same text as plain text.
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(text.GetString()));
  EXPECT_TRUE(ClipboardHasFormat(CF_TEXT));
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->data("application/x-velcor-deif"), QByteArray(text.GetString()));
}

TEST(ClipboardTest, PlainTextFromAnotherProgramDoesNotEnableTheFormat) {
  const UINT deif = RegisterClipboardFormatA("Velcor DEIF");
  ASSERT_TRUE(ClipboardSetText(deif, "first"));
  QGuiApplication::clipboard()->setText("KVSet{}");  // replaces everything
  EXPECT_FALSE(ClipboardHasFormat(deif));
  CString back("unchanged");
  EXPECT_FALSE(ClipboardGetText(deif, &back));
  EXPECT_EQ(back, "unchanged");
  EXPECT_TRUE(ClipboardHasFormat(CF_TEXT));
}

TEST(ClipboardTest, ReadsStopAtAZeroByteAndRespectTheLimit) {
  const UINT deif = RegisterClipboardFormatA("Velcor DEIF");
  auto* data = new QMimeData;
  data->setData("application/x-velcor-deif", QByteArray("Int 5\0garbage", 13));
  QGuiApplication::clipboard()->setMimeData(data);
  CString back;
  ASSERT_TRUE(ClipboardGetText(deif, &back));
  EXPECT_EQ(back, "Int 5");
  EXPECT_FALSE(ClipboardGetText(deif, &back, 12));
  EXPECT_TRUE(ClipboardGetText(deif, &back, 13));
}

TEST(ClipboardTest, UnknownFormatsAreRefused) {
  EXPECT_FALSE(ClipboardSetText(0xBEEF, "x"));
  EXPECT_FALSE(ClipboardHasFormat(0xBEEF));
  CString back;
  EXPECT_FALSE(ClipboardGetText(0xBEEF, &back));
  EXPECT_FALSE(ClipboardGetText(RegisterClipboardFormatA("Velcor DEIF"), nullptr));
}
