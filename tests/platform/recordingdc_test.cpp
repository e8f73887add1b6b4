#include <gtest/gtest.h>

#include "platform/recordingdc.h"
#include "tests/platform/dibfixture.h"

using Op = DCRecord::Op;

TEST(RecordingDCTest, LinesAreRecordedInDeviceCoordinatesAfterTheViewportOrigin) {
  CRecordingDC dc;
  dc.SetViewportOrg(100, 50);
  dc.MoveTo(1, 2);
  dc.LineTo(11, 2);
  dc.LineTo(11, 22);
  const auto lines = dc.RecordsOf(Op::LineTo);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].from, CPoint(101, 52));
  EXPECT_EQ(lines[0].to, CPoint(111, 52));
  EXPECT_EQ(lines[1].from, CPoint(111, 52));
  EXPECT_EQ(lines[1].to, CPoint(111, 72));
  // The pen position stays logical.
  EXPECT_EQ(dc.GetCurrentPosition(), CPoint(11, 22));
  EXPECT_EQ(dc.MoveTo(0, 0), CPoint(11, 22));
}

TEST(RecordingDCTest, PenSelectionReturnsThePreviousPenAndIsRecordedWithEachLine) {
  CRecordingDC dc;
  CPen wide(PS_SOLID, 2, RGB(0, 0, 255));
  CPen* stock = dc.SelectObject(&wide);
  ASSERT_NE(stock, nullptr);
  EXPECT_TRUE(stock->IsStock());
  EXPECT_EQ(stock->GetLogPen().lopnColor, RGB(0, 0, 0));
  dc.MoveTo(0, 0);
  dc.LineTo(5, 0);
  EXPECT_EQ(dc.SelectObject(stock), &wide);
  dc.LineTo(5, 5);
  EXPECT_TRUE(wide.DeleteObject());
  const auto lines = dc.RecordsOf(Op::LineTo);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].pen.lopnWidth, 2);
  EXPECT_EQ(lines[0].pen.lopnColor, 0x00FF0000u);  // 0x00BBGGRR
  EXPECT_EQ(lines[1].pen.lopnWidth, 0);
  EXPECT_EQ(lines[1].pen.lopnColor, 0u);
}

TEST(RecordingDCTest, StockBlackPenReplacesASelectedPen) {
  CRecordingDC dc;
  CPen red(PS_SOLID, 3, RGB(255, 0, 0));
  dc.SelectObject(&red);
  CGdiObject* previous = dc.SelectStockObject(BLACK_PEN);
  EXPECT_EQ(previous, &red);
  EXPECT_EQ(dc.GetCurrentPen().lopnColor, RGB(0, 0, 0));
  EXPECT_EQ(dc.GetCurrentPen().lopnWidth, 0);
  const auto selections = dc.RecordsOf(Op::SelectPen);
  ASSERT_EQ(selections.size(), 2u);
  EXPECT_EQ(selections[0].value, 0);
  EXPECT_EQ(selections[0].pen.lopnWidth, 3);
  EXPECT_EQ(selections[1].value, 1);  // the stock pen
  EXPECT_EQ(selections[1].pen.lopnWidth, 0);
  EXPECT_EQ(dc.SelectStockObject(9999), nullptr);
  CPen never;
  EXPECT_EQ(dc.SelectObject(&never), nullptr);  // not created: selection unchanged
  EXPECT_EQ(dc.GetCurrentPen().lopnColor, RGB(0, 0, 0));
}

TEST(RecordingDCTest, FixedTextMetricsScaleWithTheFontHeight) {
  CRecordingDC dc;
  CFont font;
  ASSERT_TRUE(font.CreateFont(16, 6, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                              PROOF_QUALITY, FF_SWISS | DEFAULT_PITCH, nullptr));
  dc.SelectObject(&font);
  EXPECT_EQ(dc.GetOutputTextExtent(CString("+5")), CSize(16, 16));
  CFont big;
  ASSERT_TRUE(big.CreateFont(32, 12, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                             PROOF_QUALITY, FF_SWISS | DEFAULT_PITCH, nullptr));
  dc.SelectObject(&big);
  EXPECT_EQ(dc.GetOutputTextExtent(CString("abc")), CSize(48, 32));
  TEXTMETRIC tm;
  ASSERT_TRUE(dc.GetTextMetrics(&tm));
  EXPECT_EQ(tm.tmHeight, 32);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, 32);
  EXPECT_EQ(tm.tmAveCharWidth, 16);
}

TEST(RecordingDCTest, TextIsRecordedWithFontColoursAndAlignedBox) {
  CRecordingDC dc;
  CFont header;
  ASSERT_TRUE(header.CreateFont(24, 0, 0, 0, FW_DONTCARE, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS,
                                CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FF_MODERN | DEFAULT_PITCH, nullptr));
  CFont* old = dc.SelectObject(&header);
  EXPECT_EQ(dc.SetTextAlign(TA_CENTER | TA_BASELINE), TA_LEFT | TA_TOP);
  EXPECT_EQ(dc.SetBkMode(TRANSPARENT), OPAQUE);
  dc.SetTextColor(RGB(1, 2, 3));
  dc.SetViewportOrg(10, 20);
  dc.TextOut(500, 49, CString("Page 1 of 4"));  // 11 characters of 12 units
  dc.SelectObject(old);
  const auto texts = dc.RecordsOf(Op::TextOut);
  ASSERT_EQ(texts.size(), 1u);
  const DCRecord& t = texts[0];
  EXPECT_EQ(t.text, "Page 1 of 4");
  EXPECT_EQ(t.from, CPoint(510, 69));
  EXPECT_EQ(t.rect, CRect(510 - 66, 69 - 18, 510 + 66, 69 + 6));
  EXPECT_EQ(t.font.lfHeight, 24);
  EXPECT_EQ(t.font.lfPitchAndFamily, FF_MODERN);
  EXPECT_EQ(t.bkMode, TRANSPARENT);
  EXPECT_EQ(t.textColor, RGB(1, 2, 3));
  EXPECT_EQ(t.textAlign, TA_CENTER | TA_BASELINE);
}

TEST(RecordingDCTest, ClippingNarrowsInDeviceCoordinatesAndDecidesVisibility) {
  CRecordingDC dc;
  dc.SetViewportOrg(50, 50);
  EXPECT_EQ(dc.IntersectClipRect(0, 0, 100, 100), SIMPLEREGION);  // device 50..150
  EXPECT_TRUE(dc.RectVisible(CRect(90, 90, 120, 120)));
  EXPECT_FALSE(dc.RectVisible(CRect(100, 0, 120, 50)));  // starts at the exclusive edge
  dc.SetViewportOrg(0, 0);  // the clip stays where it was on the device
  EXPECT_TRUE(dc.RectVisible(CRect(140, 140, 160, 160)));
  EXPECT_FALSE(dc.RectVisible(CRect(0, 0, 50, 50)));
  CRect box;
  EXPECT_EQ(dc.GetClipBox(&box), SIMPLEREGION);
  EXPECT_EQ(box, CRect(50, 50, 150, 150));
  EXPECT_EQ(dc.IntersectClipRect(200, 200, 300, 300), NULLREGION);
  EXPECT_FALSE(dc.RectVisible(CRect(50, 50, 150, 150)));
  dc.MoveTo(60, 60);
  dc.LineTo(70, 70);
  EXPECT_TRUE(dc.RecordsOf(Op::LineTo).back().clip.IsRectEmpty());
}

TEST(RecordingDCTest, VisibilityIsBoundedByTheDeviceWithoutAClip) {
  CRecordingDC dc;
  dc.SetDeviceCaps(HORZRES, 200);
  dc.SetDeviceCaps(VERTRES, 100);
  EXPECT_TRUE(dc.RectVisible(CRect(190, 90, 300, 300)));
  EXPECT_FALSE(dc.RectVisible(CRect(200, 0, 300, 50)));
  EXPECT_FALSE(dc.RectVisible(CRect(-30, -30, 0, 0)));
}

TEST(RecordingDCTest, SaveAndRestoreBringBackTheWholeState) {
  CRecordingDC dc;
  CPen pen(PS_SOLID, 4, RGB(9, 9, 9));
  const int depth = dc.SaveDC();
  EXPECT_EQ(depth, 1);
  dc.SelectObject(&pen);
  dc.SetViewportOrg(-300, 40);
  dc.IntersectClipRect(0, 0, 10, 10);
  dc.SetBkMode(TRANSPARENT);
  EXPECT_EQ(dc.SaveDC(), 2);
  dc.SetTextAlign(TA_RIGHT);
  EXPECT_TRUE(dc.RestoreDC(-1));
  EXPECT_EQ(dc.GetTextAlign(), TA_LEFT | TA_TOP);
  EXPECT_EQ(dc.GetViewportOrg(), CPoint(-300, 40));
  EXPECT_TRUE(dc.RestoreDC(depth));
  EXPECT_EQ(dc.GetViewportOrg(), CPoint(0, 0));
  EXPECT_EQ(dc.GetCurrentPen().lopnWidth, 0);
  EXPECT_EQ(dc.GetBkMode(), OPAQUE);
  EXPECT_TRUE(dc.RectVisible(CRect(500, 500, 510, 510)));
  EXPECT_FALSE(dc.RestoreDC(1));  // nothing saved any more
  EXPECT_FALSE(dc.RestoreDC(0));
}

TEST(RecordingDCTest, DeviceCapsAndPrintingAreConfigurable) {
  CRecordingDC dc;
  EXPECT_FALSE(dc.IsPrinting());
  EXPECT_NE(dc.GetDeviceCaps(RASTERCAPS) & RC_STRETCHDIB, 0);
  EXPECT_NE(dc.GetDeviceCaps(RASTERCAPS) & RC_DI_BITMAP, 0);
  dc.SetPrinting(true);
  dc.SetDeviceCaps(HORZRES, 2400);
  dc.SetDeviceCaps(HORZSIZE, 203);
  dc.SetDeviceCaps(RASTERCAPS, 0);
  EXPECT_TRUE(dc.IsPrinting());
  EXPECT_EQ(dc.GetDeviceCaps(HORZRES), 2400);
  EXPECT_EQ(dc.GetDeviceCaps(HORZSIZE), 203);
  EXPECT_EQ(dc.GetDeviceCaps(RASTERCAPS) & RC_BITBLT, 0);
}

TEST(RecordingDCTest, BitmapTransfersRecordRectanglesModeAndResult) {
  CRecordingDC dc;
  const TestDib dib = SampleDib();
  EXPECT_EQ(dc.SetStretchBltMode(COLORONCOLOR), BLACKONWHITE);
  EXPECT_EQ(dc.SetStretchBltMode(77), 0);  // unknown modes are refused
  dc.SetViewportOrg(5, 5);
  EXPECT_EQ(dc.SetDIBitsToDevice(10, 20, 3, 2, 0, 0, 0, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(dc.StretchDIBits(10, 20, 6, 4, 0, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(dc.StretchDIBits(10, 20, 6, 4, 0, 0, 3, 2, dib.bits.data(), dib.info(), DIB_RGB_COLORS, 0x1234), 0);
  const auto set = dc.RecordsOf(Op::SetDIBitsToDevice);
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(set[0].rect, CRect(15, 25, 18, 27));
  EXPECT_EQ(set[0].value, COLORONCOLOR);
  const auto stretch = dc.RecordsOf(Op::StretchDIBits);
  ASSERT_EQ(stretch.size(), 2u);
  EXPECT_EQ(stretch[0].rect, CRect(15, 25, 21, 29));
  EXPECT_EQ(stretch[0].src, CRect(0, 0, 3, 2));
  EXPECT_EQ(stretch[1].result, 0);
}
