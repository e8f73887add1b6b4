// The scalar value dialogs: initial texts, conversions on OK, refusals by
// message id with the dialog kept open.
#include <cmath>

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

struct IntCase {
  const char* typed;
  std::vector<UINT> messages;  // none: accepted
  long value;
};

struct FloatCase {
  const char* typed;
  std::vector<UINT> messages;
  float value;
};

struct RangeCase {
  const char* begin;
  const char* end;
  std::vector<UINT> messages;
  double beginValue;
  double endValue;
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

TEST_F(ValueDialogs, IntegerDialogConvertsOrRefusesByMessage) {
  const IntCase cases[] = {
      {"12abc", {4191}, 0},
      {"12345678901", {4190}, 0},
      {"2147483648", {4190}, 0},
      {"", {4191}, 0},
      {"0x10", {4191}, 0},
      {"-2147483648", {}, -2147483647L - 1},
      {" 2147483647 ", {}, 2147483647L},
      {"-5", {}, -5},
      // The edit takes 20 characters: the 21st is never typed.
      {"123456789012345678901", {4190}, 0},
  };
  for (const IntCase& c : cases) {
    CEditIntBox box;
    box.m_lValue = 0;
    const Outcome outcome = TypeAndPressOK(box, {{49153, c.typed}});
    EXPECT_EQ(outcome.messages, c.messages) << c.typed;
    EXPECT_EQ(outcome.stayedOpen, !c.messages.empty()) << c.typed;
    EXPECT_EQ(outcome.result, c.messages.empty() ? IDOK : IDCANCEL) << c.typed;
    if (c.messages.empty()) {
      EXPECT_EQ(box.m_lValue, c.value) << c.typed;
    }
  }
}

TEST_F(ValueDialogs, UnsignedDialogConvertsOrRefusesByMessage) {
  const struct {
    const char* typed;
    std::vector<UINT> messages;
    unsigned long value;
  } cases[] = {
      {"4294967295", {}, 4294967295UL},
      {"-1", {}, 4294967295UL},
      {"-5", {}, 4294967291UL},
      {"0", {}, 0},
      {"4294967296", {4192}, 0},
      {"abc", {4193}, 0},
      {"", {4193}, 0},
  };
  for (const auto& c : cases) {
    CEditUIntBox box;
    const Outcome outcome = TypeAndPressOK(box, {{49154, c.typed}});
    EXPECT_EQ(outcome.messages, c.messages) << c.typed;
    EXPECT_EQ(outcome.stayedOpen, !c.messages.empty()) << c.typed;
    if (c.messages.empty()) {
      EXPECT_EQ(box.m_ulValue, c.value) << c.typed;
    }
  }
}

TEST_F(ValueDialogs, FloatDialogRefusesWhatSinglePrecisionCannotHold) {
  const FloatCase cases[] = {
      {"1e39", {4194}, 0},
      {"-1e39", {4194}, 0},
      {"1e999", {4194}, 0},
      {"inf", {4194}, 0},
      {"", {4195}, 0},
      {"1.5x", {4195}, 0},
      {"nan", {4195}, 0},
      {"1e-50", {}, 0.0f},
      {"2.5e3", {}, 2500.0f},
      {"3.4e38", {}, 3.4e38f},
      {"0.1", {}, 0.1f},
  };
  for (const FloatCase& c : cases) {
    CEditFloatBox box;
    box.m_fValue = 7.0f;
    const Outcome outcome = TypeAndPressOK(box, {{49185, c.typed}});
    EXPECT_EQ(outcome.messages, c.messages) << c.typed;
    EXPECT_EQ(outcome.stayedOpen, !c.messages.empty()) << c.typed;
    if (c.messages.empty()) {
      EXPECT_EQ(box.m_fValue, c.value) << c.typed;
    }
  }
}

TEST_F(ValueDialogs, IntegerRangeChecksTheBeginFirstAndNeverComparesTheEnds) {
  const RangeCase cases[] = {
      {"x", "7", {4198}, 0, 0},
      {"x", "y", {4198}, 0, 0},
      {"2147483648", "x", {4196}, 0, 0},
      {"1", "2147483648", {4197}, 0, 0},
      {"1", "y", {4199}, 0, 0},
      {"", "1", {4198}, 0, 0},
      {"5", "1", {}, 5, 1},
      {"-2147483648", "2147483647", {}, -2147483648.0, 2147483647.0},
  };
  for (const RangeCase& c : cases) {
    CEditIRangeBox box;
    const Outcome outcome = TypeAndPressOK(box, {{49161, c.begin}, {49155, c.end}});
    EXPECT_EQ(outcome.messages, c.messages) << c.begin << " " << c.end;
    EXPECT_EQ(outcome.stayedOpen, !c.messages.empty()) << c.begin << " " << c.end;
    if (!c.messages.empty()) continue;
    EXPECT_EQ(box.m_lBegin, static_cast<long>(c.beginValue));
    EXPECT_EQ(box.m_lEnd, static_cast<long>(c.endValue));
  }
}

TEST_F(ValueDialogs, FloatRangeChecksTheBeginFirstAndNeverComparesTheEnds) {
  const RangeCase cases[] = {
      {"1e39", "x", {4200}, 0, 0},
      {"x", "1", {4202}, 0, 0},
      {"1", "-1e39", {4201}, 0, 0},
      {"1", "z", {4203}, 0, 0},
      {"", "1", {4202}, 0, 0},
      {"5", "1", {}, 5, 1},
      {"-0.5", "1e-50", {}, -0.5, 0},
  };
  for (const RangeCase& c : cases) {
    CEditFRangeBox box;
    const Outcome outcome = TypeAndPressOK(box, {{49161, c.begin}, {49155, c.end}});
    EXPECT_EQ(outcome.messages, c.messages) << c.begin << " " << c.end;
    EXPECT_EQ(outcome.stayedOpen, !c.messages.empty()) << c.begin << " " << c.end;
    if (!c.messages.empty()) continue;
    EXPECT_EQ(box.m_fBegin, static_cast<float>(c.beginValue));
    EXPECT_EQ(box.m_fEnd, static_cast<float>(c.endValue));
  }
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
