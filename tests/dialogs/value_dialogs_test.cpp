// The scalar value dialogs: initial texts, conversions on OK, refusals by
// message id with the dialog kept open.
#include <cmath>
#include <cstring>

#include "dialog_fixture.h"
#include "dialogs/editbool.h"
#include "dialogs/editflt.h"
#include "dialogs/editfrng.h"
#include "dialogs/editint.h"
#include "dialogs/editirng.h"
#include "dialogs/editstr.h"
#include "dialogs/edituint.h"

namespace {

class ValueDialogs : public DialogFixture {};

enum Kind { kInt, kUInt, kFloat, kIRange, kFRange };

// One entry: the texts typed (the second only for ranges), the messages
// shown (none: accepted) and the values then held.
struct EntryCase {
  Kind kind;
  const char* first;
  const char* second;
  std::vector<UINT> messages;
  double firstValue;
  double secondValue;
};

}  // namespace

TEST_F(ValueDialogs, NumberDialogsShowTheirValuesWhenTheyOpen) {
  CEditIntBox integer;
  EXPECT_EQ(integer.m_strValue, "0");
  integer.m_lValue = -5;
  EXPECT_EQ(InitialTexts(integer, {49153}), std::vector<QString>{"-5"});
  CEditUIntBox unsignedBox;
  unsignedBox.m_ulValue = 4294967295UL;
  EXPECT_EQ(InitialTexts(unsignedBox, {49154}), std::vector<QString>{"4294967295"});
  CEditFloatBox floatBox;
  floatBox.m_fValue = 0.1f;
  EXPECT_EQ(InitialTexts(floatBox, {49185}), std::vector<QString>{"0.1"});
  floatBox.m_fValue = 123456789.0f;
  EXPECT_EQ(InitialTexts(floatBox, {49185}), std::vector<QString>{"1.234568e+08"});
  CEditIRangeBox irange;
  irange.m_lBegin = -2147483647L - 1;
  irange.m_lEnd = 9;
  EXPECT_EQ(InitialTexts(irange, {49161, 49155}), (std::vector<QString>{"-2147483648", "9"}));
  CEditFRangeBox frange;
  frange.m_fBegin = 1.5f;
  frange.m_fEnd = 1e10f;
  EXPECT_EQ(InitialTexts(frange, {49161, 49155}), (std::vector<QString>{"1.5", "1e+10"}));
}

TEST_F(ValueDialogs, NumberDialogsConvertOrRefuseByMessage) {
  const EntryCase cases[] = {
      {kInt, "12abc", nullptr, {4191}, 0, 0},
      {kInt, "12345678901", nullptr, {4190}, 0, 0},
      {kInt, "2147483648", nullptr, {4190}, 0, 0},
      {kInt, "", nullptr, {4191}, 0, 0},
      {kInt, "0x10", nullptr, {4191}, 0, 0},
      {kInt, "-2147483648", nullptr, {}, -2147483648.0, 0},
      {kInt, " 2147483647 ", nullptr, {}, 2147483647.0, 0},
      // The edit takes 20 characters: the 21st is never typed.
      {kInt, "123456789012345678901", nullptr, {4190}, 0, 0},
      {kUInt, "4294967295", nullptr, {}, 4294967295.0, 0},
      {kUInt, "-1", nullptr, {}, 4294967295.0, 0},
      {kUInt, "-5", nullptr, {}, 4294967291.0, 0},
      {kUInt, "4294967296", nullptr, {4192}, 0, 0},
      {kUInt, "abc", nullptr, {4193}, 0, 0},
      {kFloat, "1e39", nullptr, {4194}, 0, 0},
      {kFloat, "-1e39", nullptr, {4194}, 0, 0},
      {kFloat, "1e999", nullptr, {4194}, 0, 0},
      {kFloat, "3.4028236e38", nullptr, {4194}, 0, 0},
      {kFloat, "inf", nullptr, {4195}, 0, 0},
      {kFloat, "-Infinity", nullptr, {4195}, 0, 0},
      {kFloat, "0x10", nullptr, {4195}, 0, 0},
      {kFloat, "", nullptr, {4195}, 0, 0},
      {kFloat, "1.5x", nullptr, {4195}, 0, 0},
      {kFloat, "1 5", nullptr, {4195}, 0, 0},
      {kFloat, "nan", nullptr, {4195}, 0, 0},
      {kFloat, "1e-50", nullptr, {}, 0, 0},
      {kFloat, "1e-40", nullptr, {}, 1e-40f, 0},
      {kFloat, "  -2.5e1  ", nullptr, {}, -25, 0},
      {kFloat, "3.4e38", nullptr, {}, 3.4e38f, 0},
      {kFloat, "0.1", nullptr, {}, 0.1f, 0},
      // Ranges: the begin first, the end only when the begin is good; the
      // two ends are never compared.
      {kIRange, "x", "7", {4198}, 0, 0},
      {kIRange, "x", "y", {4198}, 0, 0},
      {kIRange, "2147483648", "x", {4196}, 0, 0},
      {kIRange, "1", "2147483648", {4197}, 0, 0},
      {kIRange, "1", "y", {4199}, 0, 0},
      {kIRange, "5", "1", {}, 5, 1},
      {kIRange, "-2147483648", "2147483647", {}, -2147483648.0, 2147483647.0},
      {kFRange, "1e39", "x", {4200}, 0, 0},
      {kFRange, "x", "1", {4202}, 0, 0},
      {kFRange, "", "1", {4202}, 0, 0},
      {kFRange, "1", "-1e39", {4201}, 0, 0},
      {kFRange, "1", "z", {4203}, 0, 0},
      {kFRange, "0x1", "1", {4202}, 0, 0},
      {kFRange, "inf", "1", {4202}, 0, 0},
      {kFRange, "1", "-inf", {4203}, 0, 0},
      {kFRange, "1", "nan", {4203}, 0, 0},
      {kFRange, "1", "0x10", {4203}, 0, 0},
      {kFRange, "3.4028236e38", "1", {4200}, 0, 0},
      {kFRange, "1", "1e39", {4201}, 0, 0},
      {kFRange, " 1e-40 ", " -0 ", {}, 1e-40f, 0},
      {kFRange, "5", "1", {}, 5, 1},
      {kFRange, "-0.5", "1e-50", {}, -0.5, 0},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kind << " [" << c.first << "] [" << (c.second ? c.second : "") << "]");
    CEditIntBox integer;
    CEditUIntBox unsignedBox;
    CEditFloatBox floatBox;
    CEditIRangeBox irange;
    CEditFRangeBox frange;
    Outcome outcome;
    double first = 0;
    double second = 0;
    switch (c.kind) {
      case kInt:
        outcome = TypeAndPressOK(integer, {{49153, c.first}});
        first = integer.m_lValue;
        break;
      case kUInt:
        outcome = TypeAndPressOK(unsignedBox, {{49154, c.first}});
        first = unsignedBox.m_ulValue;
        break;
      case kFloat:
        outcome = TypeAndPressOK(floatBox, {{49185, c.first}});
        first = floatBox.m_fValue;
        break;
      case kIRange:
        outcome = TypeAndPressOK(irange, {{49161, c.first}, {49155, c.second}});
        first = irange.m_lBegin;
        second = irange.m_lEnd;
        break;
      case kFRange:
        outcome = TypeAndPressOK(frange, {{49161, c.first}, {49155, c.second}});
        first = frange.m_fBegin;
        second = frange.m_fEnd;
        break;
    }
    EXPECT_EQ(outcome.messages, c.messages);
    EXPECT_EQ(outcome.stayedOpen, !c.messages.empty());
    EXPECT_EQ(outcome.result, c.messages.empty() ? IDOK : IDCANCEL);
    if (c.messages.empty()) {
      EXPECT_EQ(first, c.firstValue);
      EXPECT_EQ(second, c.secondValue);
    }
  }
}

TEST_F(ValueDialogs, FloatTextsLeftAsShownKeepTheValueExactly) {
  // Seven digits do not give every float back: OK on the text the dialog
  // opened with must not round the value, nor refuse an infinity or nan
  // that the profile already holds.
  const float values[] = {std::nextafter(1.0f, 2.0f), 0.1f, HUGE_VALF, -HUGE_VALF, std::nanf(""), -0.0f};
  for (const float value : values) {
    CEditFloatBox box;
    box.m_fValue = value;
    host.ExpectDialog([](DialogDriver& d) { d.Click(IDOK); });
    EXPECT_EQ(box.DoModal(), IDOK) << value;
    EXPECT_EQ(std::memcmp(&box.m_fValue, &value, sizeof value), 0) << value;
    EXPECT_TRUE(host.Messages().empty()) << value;
    host.Clear();
  }
  // In a range only the end that was changed is converted.
  CEditFRangeBox range;
  range.m_fBegin = std::nextafter(1.0f, 2.0f);
  range.m_fEnd = HUGE_VALF;
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(49155, "2");
    d.Click(IDOK);
  });
  EXPECT_EQ(range.DoModal(), IDOK);
  EXPECT_EQ(range.m_fBegin, std::nextafter(1.0f, 2.0f));
  EXPECT_EQ(range.m_fEnd, 2.0f);
}

TEST_F(ValueDialogs, ARefusedEntryCanBeCorrectedInTheSameRun) {
  CEditIntBox box;
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(49153, "12abc");
    d.Click(IDOK);
    ASSERT_TRUE(d.IsOpen());
    d.Type(49153, "12");
    d.PressEnter();  // OK is the default button
  });
  EXPECT_EQ(box.DoModal(), IDOK);
  EXPECT_EQ(box.m_lValue, 12);
  ASSERT_EQ(host.Messages().size(), 1u);
  const MessageRecord& message = host.Messages()[0];
  EXPECT_EQ(message.stringId, 4191u);
  EXPECT_EQ(message.text, "You must enter a valid integer");
  EXPECT_EQ(message.caption, "Error");
  EXPECT_EQ(message.owner, box.GetDialog());  // the dialog itself owns it
}

TEST_F(ValueDialogs, CancelKeepsTheCallersValueWhateverWasTyped) {
  CEditFloatBox box;
  box.m_fValue = 2.5f;
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(49185, "9");
    d.PressEscape();
  });
  EXPECT_EQ(box.DoModal(), IDCANCEL);
  EXPECT_EQ(box.m_fValue, 2.5f);
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(ValueDialogs, TruthDialogMapsItsButtonsToTheChoiceIndex) {
  const struct {
    int initial;
    int click;  // 0: none
    bool trueChecked;
    bool falseChecked;
    int result;
  } cases[] = {
      {-1, 0, false, false, -1},
      {0, 0, true, false, 0},
      {1, 0, false, true, 1},
      {-1, 49167, false, false, 1},
      {1, 49164, false, true, 0},
  };
  for (const auto& c : cases) {
    CEditBoolbox box;
    EXPECT_EQ(box.m_nChoice, -1);
    box.m_nChoice = c.initial;
    host.ExpectDialog([&c](DialogDriver& d) {
      EXPECT_EQ(d.IsChecked(49164), c.trueChecked);
      EXPECT_EQ(d.IsChecked(49167), c.falseChecked);
      if (c.click != 0) d.Click(c.click);
      d.Click(IDOK);
    });
    EXPECT_EQ(box.DoModal(), IDOK);
    EXPECT_EQ(box.m_nChoice, c.result) << c.initial << " " << c.click;
  }
}

TEST_F(ValueDialogs, StringDialogTakesAnyTextTheEmptyOneIncluded) {
  const QString texts[] = {"", "  spaced  ", QString(300, 'x'), QString::fromUtf8("Grüße")};
  for (const QString& text : texts) {
    CEditStringBox box;
    box.m_strValue = "before";
    const Outcome outcome = TypeAndPressOK(box, {{49160, text}});
    EXPECT_EQ(outcome.result, IDOK);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_EQ(QString::fromUtf8(box.m_strValue.GetString()), text);
  }
}
