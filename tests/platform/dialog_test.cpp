#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/cdialog.h"
#include "platform/scriptedmodalhost.h"

namespace {

constexpr int kTextEdit = 49160;
constexpr int kPercentEdit = 49171;
constexpr int kSignedEdit = 49153;
constexpr int kFirstRadio = 49164;
constexpr int kSecondRadio = 49165;
constexpr int kThirdRadio = 49167;
constexpr int kOtherGroup = 49200;
constexpr int kOtherGroupSecond = 49201;
constexpr int kCheck = 49210;
constexpr int kEditValue = 49202;

// A dialog with one of each kind of exchange, shaped like the editor's.
class SampleDialog : public CDialog {
 public:
  explicit SampleDialog(CWnd* parent = nullptr) : CDialog(20000, parent) {}

  CString m_strText;
  unsigned int m_nPercent = 100;
  long m_lValue = 0;
  int m_nChoice = -1;
  int m_nOther = 0;
  int m_nCheck = 0;
  int m_okCalls = 0;
  int m_cancelCalls = 0;

 protected:
  void BuildDialog() override {
    SetTitle("Sample");
    AddEdit(kTextEdit, "Text:");
    AddEdit(kPercentEdit, "Percent:");
    AddEdit(kSignedEdit, "Value:");
    BeginGroupBox("Choice");
    AddRadio(kFirstRadio, "&True", true);
    AddRadio(kSecondRadio, "&Maybe", false);
    AddRadio(kThirdRadio, "&False", false);
    EndGroupBox();
    AddRadio(kOtherGroup, "A", true);
    AddRadio(kOtherGroupSecond, "B", false);
    AddCheck(kCheck, "Check");
    AddOkCancel();
  }
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kTextEdit, m_strText);
    DDV_MaxChars(dx, m_strText, 20);
    DDX_Text(dx, kPercentEdit, m_nPercent);
    DDV_MinMaxUInt(dx, m_nPercent, 10, 1000);
    DDX_Text(dx, kSignedEdit, m_lValue);
    DDX_Radio(dx, kFirstRadio, m_nChoice);
    DDX_Radio(dx, kOtherGroup, m_nOther);
    DDX_Check(dx, kCheck, m_nCheck);
  }
  void OnOK() override {
    ++m_okCalls;
    CDialog::OnOK();
  }
  void OnCancel() override {
    ++m_cancelCalls;
    CDialog::OnCancel();
  }
};

// A small dialog whose "Edit Value..." button (the default) runs another
// dialog and, when that one is confirmed, closes this one as OK does.
class OuterDialog : public CDialog {
 public:
  OuterDialog() : CDialog(20497) {}
  CString m_strKey;
  CString m_strInner;
  bool m_canEdit = true;

 protected:
  void BuildDialog() override {
    SetTitle("Enter Key");
    AddEdit(49158, "Enter Key:");
    AddOkCancel();
    AddButton(kEditValue, "Edit Value...");
    GetControl(kEditValue)->setEnabled(m_canEdit);
    if (m_canEdit) SetDefaultButton(kEditValue);
    MapCommand(kEditValue, [this] {
      SampleDialog inner(this);
      inner.m_strText = m_strInner;
      if (inner.DoModal() != IDOK) return;
      m_strInner = inner.m_strText;
      OnOK();
    });
  }
  void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, 49158, m_strKey); }
};

class DialogTest : public ::testing::Test {
 protected:
  ScriptedModalHost host;
  ScopedModalHost installed{&host};
};

}  // namespace

TEST_F(DialogTest, MembersFillTheControlsAndComeBackAfterOK) {
  SampleDialog dialog;
  dialog.m_strText = "Alpha";
  dialog.m_nPercent = 250;
  dialog.m_lValue = -5;
  dialog.m_nChoice = 1;
  dialog.m_nCheck = 1;
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_EQ(d.Title(), "Sample");
    EXPECT_EQ(d.Text(kTextEdit), "Alpha");
    EXPECT_EQ(d.Text(kPercentEdit), "250");
    EXPECT_EQ(d.Text(kSignedEdit), "-5");
    EXPECT_FALSE(d.IsChecked(kFirstRadio));
    EXPECT_TRUE(d.IsChecked(kSecondRadio));
    EXPECT_TRUE(d.IsChecked(kOtherGroup));  // the second group is independent
    EXPECT_TRUE(d.IsChecked(kCheck));
    EXPECT_TRUE(d.IsDefault(IDOK));
    ASSERT_TRUE(d.Type(kTextEdit, "Beta"));
    ASSERT_TRUE(d.Type(kPercentEdit, " 42 "));
    ASSERT_TRUE(d.Type(kSignedEdit, "-2147483648"));
    ASSERT_TRUE(d.Click(kThirdRadio));
    ASSERT_TRUE(d.Click(kOtherGroupSecond));
    ASSERT_TRUE(d.Click(kCheck));
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_FALSE(d.IsOpen());
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_strText, "Beta");
  EXPECT_EQ(dialog.m_nPercent, 42u);
  EXPECT_EQ(dialog.m_lValue, -2147483647L - 1);
  EXPECT_EQ(dialog.m_nChoice, 2);
  EXPECT_EQ(dialog.m_nOther, 1);
  EXPECT_EQ(dialog.m_nCheck, 0);
  EXPECT_TRUE(host.Messages().empty());
  ASSERT_EQ(host.Dialogs().size(), 1u);
  EXPECT_FALSE(host.Dialogs()[0].leftOpen);
}

TEST_F(DialogTest, CancelLeavesTheMembersAsTheyWere) {
  SampleDialog dialog;
  dialog.m_strText = "Keep";
  dialog.m_nPercent = 77;
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(kTextEdit, "Changed");
    d.Type(kPercentEdit, "not a number");
    ASSERT_TRUE(d.Click(IDCANCEL));
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.m_strText, "Keep");
  EXPECT_EQ(dialog.m_nPercent, 77u);
  EXPECT_EQ(dialog.m_cancelCalls, 1);
  EXPECT_TRUE(host.Messages().empty());  // Cancel checks nothing
}

TEST_F(DialogTest, EscapeCancelsThroughOnCancel) {
  SampleDialog dialog;
  host.ExpectDialog([](DialogDriver& d) { d.PressEscape(); });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.m_cancelCalls, 1);
}

TEST_F(DialogTest, EnterPressesTheDefaultButton) {
  SampleDialog dialog;
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(kTextEdit, "typed");
    d.PressEnter();
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_okCalls, 1);
  EXPECT_EQ(dialog.m_strText, "typed");
}

TEST_F(DialogTest, BadUnsignedEntriesKeepTheDialogOpenWithThePrompt) {
  SampleDialog dialog;
  host.ExpectDialog([](DialogDriver& d) {
    const char* refused[] = {"abc", "-1", "4294967296", "12abc", "", "9", "1001"};
    for (const char* entry : refused) {
      d.Type(kPercentEdit, entry);
      d.Click(IDOK);
      EXPECT_TRUE(d.IsOpen()) << entry;
      EXPECT_EQ(d.Text(kPercentEdit), entry);  // the text stays as typed
    }
    d.Type(kPercentEdit, "1000");
    d.Click(IDOK);
  });
  dialog.m_nPercent = 100;
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_nPercent, 1000u);
  const std::vector<UINT> expected = {AFX_IDP_PARSE_UINT, AFX_IDP_PARSE_UINT, AFX_IDP_PARSE_UINT,
                                      AFX_IDP_PARSE_UINT, AFX_IDP_PARSE_UINT, AFX_IDP_PARSE_INT_RANGE,
                                      AFX_IDP_PARSE_INT_RANGE};
  EXPECT_EQ(host.MessageIds(), expected);
  ASSERT_FALSE(host.Messages().empty());
  EXPECT_EQ(host.Messages()[0].owner, dialog.GetDialog());
  // Every refusal names the range the field allows.
  for (const MessageRecord& m : host.Messages()) EXPECT_EQ(m.text, "Enter a whole number between 10 and 1000.");
}

TEST_F(DialogTest, RangeLimitsAcceptTheirOwnBounds) {
  for (const char* entry : {"10", "1000"}) {
    SampleDialog dialog;
    host.ExpectDialog([entry](DialogDriver& d) {
      d.Type(kPercentEdit, entry);
      d.Click(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK) << entry;
  }
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(DialogTest, SignedEntriesMustFitInThirtyTwoBits) {
  SampleDialog dialog;
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(kSignedEdit, "2147483648");
    d.Click(IDOK);
    EXPECT_TRUE(d.IsOpen());
    d.Type(kSignedEdit, "+2147483647");
    d.Click(IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_lValue, 2147483647L);
  EXPECT_EQ(host.MessageIds(), std::vector<UINT>{AFX_IDP_PARSE_INT});
}

TEST_F(DialogTest, EditLengthLimitStopsTypingAndRefusesLongerTexts) {
  SampleDialog dialog;
  host.ExpectDialog([&dialog, this](DialogDriver& d) {
    EXPECT_EQ(d.MaxLength(kTextEdit), 20);
    d.Type(kTextEdit, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(d.Text(kTextEdit), "abcdefghijklmnopqrst");
    // A text longer than the limit that got in some other way is refused.
    auto* edit = qobject_cast<QLineEdit*>(d.Control(kTextEdit));
    edit->setMaxLength(100);
    edit->setText("123456789012345678901");
    EXPECT_FALSE(dialog.UpdateData(TRUE));
    EXPECT_EQ(host.MessageIds(), std::vector<UINT>{AFX_IDP_PARSE_STRING_SIZE});
    edit->setText("\xC3\xA9\xC3\xA9\xC3\xA9");  // three characters, six bytes
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    d.Click(IDCANCEL);
  });
  dialog.DoModal();
}

TEST_F(DialogTest, RadioGroupWithNoChoiceShowsNoneChecked) {
  SampleDialog dialog;
  dialog.m_nChoice = 2;
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_TRUE(d.IsChecked(kThirdRadio));
    d.Click(IDOK);
  });
  dialog.DoModal();
  dialog.m_nChoice = -1;
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_FALSE(d.IsChecked(kFirstRadio));
    EXPECT_FALSE(d.IsChecked(kSecondRadio));
    EXPECT_FALSE(d.IsChecked(kThirdRadio));
    d.Click(IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);  // the same object runs again
  EXPECT_EQ(dialog.m_nChoice, -1);
}

TEST_F(DialogTest, DefaultButtonRunsANestedDialogAndClosesOnItsOK) {
  OuterDialog outer;
  outer.m_strKey = "Alpha";
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_TRUE(d.IsDefault(kEditValue));
    EXPECT_FALSE(d.IsDefault(IDOK));
    d.Type(49158, "Beta");
    d.PressEnter();  // presses "Edit Value...", which runs the next script
    EXPECT_FALSE(d.IsOpen());
  });
  host.ExpectDialog([](DialogDriver& d) {
    d.Type(kTextEdit, "inner value");
    d.Click(IDOK);
  });
  EXPECT_EQ(outer.DoModal(), IDOK);
  EXPECT_EQ(outer.m_strKey, "Beta");
  EXPECT_EQ(outer.m_strInner, "inner value");
  ASSERT_EQ(host.Dialogs().size(), 2u);
  EXPECT_EQ(host.Dialogs()[0].title, "Enter Key");
  EXPECT_EQ(host.Dialogs()[1].result, IDOK);
}

TEST_F(DialogTest, CancelledNestedDialogKeepsTheOuterOneOpen) {
  OuterDialog outer;
  host.ExpectDialog([](DialogDriver& d) {
    d.Click(kEditValue);
    EXPECT_TRUE(d.IsOpen());
    d.Click(IDCANCEL);
  });
  host.ExpectDialog([](DialogDriver& d) { d.Click(IDCANCEL); });
  EXPECT_EQ(outer.DoModal(), IDCANCEL);
  EXPECT_EQ(host.PendingScripts(), 0u);
}

TEST_F(DialogTest, DisabledButtonsCannotBeClicked) {
  OuterDialog outer;
  outer.m_canEdit = false;
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_FALSE(d.IsEnabled(kEditValue));
    EXPECT_FALSE(d.Click(kEditValue));
    EXPECT_TRUE(d.IsDefault(IDOK));
    d.Click(IDOK);
  });
  EXPECT_EQ(outer.DoModal(), IDOK);
  EXPECT_EQ(host.Dialogs().size(), 1u);  // no nested dialog ran
}

TEST_F(DialogTest, UnscriptedOrAbandonedDialogsAreRecordedAndCancelled) {
  SampleDialog unscripted;
  EXPECT_EQ(unscripted.DoModal(), IDCANCEL);
  SampleDialog abandoned;
  host.ExpectDialog([](DialogDriver& d) { d.Type(kTextEdit, "x"); });
  EXPECT_EQ(abandoned.DoModal(), IDCANCEL);
  ASSERT_EQ(host.Dialogs().size(), 2u);
  EXPECT_FALSE(host.Dialogs()[0].scripted);
  EXPECT_TRUE(host.Dialogs()[1].scripted);
  EXPECT_TRUE(host.Dialogs()[1].leftOpen);
}

TEST_F(DialogTest, ControlsAreReachableByIdAsWindowHandles) {
  SampleDialog dialog;
  dialog.GetDialog();
  CWnd* edit = dialog.GetDlgItem(kTextEdit);
  ASSERT_NE(edit, nullptr);
  edit->SetWindowText("via handle");
  EXPECT_EQ(dialog.GetDlgItemText(kTextEdit), "via handle");
  EXPECT_EQ(dialog.GetDlgItem(12345), nullptr);
  EXPECT_FALSE(edit->EnableWindow(FALSE));  // was enabled
  EXPECT_TRUE(edit->EnableWindow(TRUE));    // was disabled
}

TEST_F(DialogTest, ExchangeWithAMissingControlFails) {
  class Broken : public CDialog {
   public:
    Broken() : CDialog(1) {}
    CString m_strValue = "kept";
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, 999, m_strValue); }
  } broken;
  EXPECT_FALSE(broken.UpdateData(TRUE));
  EXPECT_EQ(broken.m_strValue, "kept");
}

TEST_F(DialogTest, ARunningDialogCannotBeRunAgainInsideItself) {
  SampleDialog dialog;
  int nested = 0;
  host.ExpectDialog([&dialog, &nested](DialogDriver& d) {
    nested = dialog.DoModal();
    d.Click(IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(nested, -1);
  EXPECT_EQ(host.Dialogs().size(), 1u);
}

TEST_F(DialogTest, AMemberLongerThanTheLimitIsShownWholeAndMustBeShortened) {
  SampleDialog dialog;
  dialog.m_strText = "0123456789012345678901234";  // 25 characters, limit 20
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_EQ(d.Text(kTextEdit), "0123456789012345678901234");
    d.Click(IDOK);
    EXPECT_TRUE(d.IsOpen());
    d.Type(kTextEdit, "short");
    d.Click(IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_strText, "short");
  EXPECT_EQ(host.MessageIds(), std::vector<UINT>{AFX_IDP_PARSE_STRING_SIZE});
}

TEST_F(DialogTest, LongTextsSurviveTheEditUncut) {
  class Plain : public CDialog {
   public:
    Plain() : CDialog(20495) {}
    CString m_strValue;

   protected:
    void BuildDialog() override {
      AddEdit(kTextEdit);
      AddOkCancel();
    }
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, kTextEdit, m_strValue); }
  } dialog;
  const std::string big(40000, 'x');
  dialog.m_strValue = big.c_str();
  host.ExpectDialog([](DialogDriver& d) { d.Click(IDOK); });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_strValue.GetLength(), 40000);
}

TEST_F(DialogTest, RefusedNumbersNameTheRangeOfTheirOwnField) {
  // A field with no range check of its own names the 32-bit range; a range
  // check on a later field is not named for an earlier refusal.
  class TwoFields : public CDialog {
   public:
    TwoFields() : CDialog(20000) {}
    long m_lFirst = 0;
    unsigned int m_nSecond = 5;

   protected:
    void BuildDialog() override {
      AddEdit(kSignedEdit, "First:");
      AddEdit(kPercentEdit, "Second:");
      AddOkCancel();
    }
    void DoDataExchange(CDataExchange* dx) override {
      DDX_Text(dx, kSignedEdit, m_lFirst);
      DDX_Text(dx, kPercentEdit, m_nSecond);
      DDV_MinMaxUInt(dx, m_nSecond, 1, 9);
    }
  } dialog;
  struct Case {
    const char* first;
    const char* second;
    UINT id;
    const char* text;
  };
  const Case cases[] = {
      {"x", "5", AFX_IDP_PARSE_INT, "Enter a whole number between -2147483648 and 2147483647."},
      {"x", "x", AFX_IDP_PARSE_INT, "Enter a whole number between -2147483648 and 2147483647."},
      {"1", "x", AFX_IDP_PARSE_UINT, "Enter a whole number between 1 and 9."},
      {"1", "10", AFX_IDP_PARSE_INT_RANGE, "Enter a whole number between 1 and 9."},
  };
  for (const Case& c : cases) {
    host.Clear();
    host.ExpectDialog([&c](DialogDriver& d) {
      d.Type(kSignedEdit, c.first);
      d.Type(kPercentEdit, c.second);
      d.Click(IDOK);
      EXPECT_TRUE(d.IsOpen());
      d.Click(IDCANCEL);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_EQ(host.Messages().size(), 1u) << c.first << " " << c.second;
    EXPECT_EQ(host.Messages()[0].stringId, c.id) << c.first << " " << c.second;
    EXPECT_EQ(host.Messages()[0].text, c.text) << c.first << " " << c.second;
  }
}

TEST_F(DialogTest, ControlsNamedWithTheirIdsAreRegisteredInOrder) {
  // Shaped as a Designer form: widgets named <kind>_<id>, a button group,
  // loose radio buttons split by their parent, and a default button.
  class Form : public CDialog {
   public:
    Form() : CDialog(20001) {}
    int m_nGroup = 1;
    int m_nLoose = 0;
    int m_nOther = 0;
    int m_registered = 0;

   protected:
    void BuildDialog() override {
      QDialog* dialog = GetDialog();
      auto* layout = new QVBoxLayout(dialog);
      auto add = [&](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        layout->addWidget(w);
        return w;
      };
      add(new QLineEdit, "edit_49153");
      add(new QLabel("not a control"), "label_value");
      add(new QLineEdit, "edit_0");
      add(new QLineEdit, "edit_12x");
      auto* group = new QButtonGroup(dialog);
      for (const char* name : {"radio_49164", "radio_49167"}) group->addButton(static_cast<QRadioButton*>(add(new QRadioButton, name)));
      add(new QRadioButton, "radio_49170");
      add(new QRadioButton, "radio_49171");
      auto* box = new QGroupBox;
      layout->addWidget(box);
      auto* inner = new QVBoxLayout(box);
      auto* other = new QRadioButton;
      other->setObjectName("radio_49172");
      inner->addWidget(other);
      add(new QPushButton("OK"), "button_1");
      auto* cancel = static_cast<QPushButton*>(add(new QPushButton("Cancel"), "button_2"));
      cancel->setDefault(true);
      m_registered = RegisterControlsByName();
    }
    void DoDataExchange(CDataExchange* dx) override {
      DDX_Radio(dx, 49164, m_nGroup);
      DDX_Radio(dx, 49170, m_nLoose);
      DDX_Radio(dx, 49172, m_nOther);
    }
  } form;
  form.GetDialog();
  EXPECT_EQ(form.m_registered, 8);
  EXPECT_NE(form.GetControl(49153), nullptr);
  EXPECT_EQ(form.GetControl(0), nullptr);
  EXPECT_EQ(form.GetDefaultButton(), IDCANCEL);
  EXPECT_EQ(form.RadioGroup(49164).size(), 2u);
  EXPECT_EQ(form.RadioGroup(49170).size(), 2u);
  EXPECT_EQ(form.RadioGroup(49172).size(), 1u);  // another parent starts a group
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_TRUE(d.IsChecked(49167));
    EXPECT_TRUE(d.IsChecked(49170));
    d.Click(49164);
    d.Click(49171);
    d.Click(IDOK);  // registered by name, so it runs OnOK
  });
  EXPECT_EQ(form.DoModal(), IDOK);
  EXPECT_EQ(form.m_nGroup, 0);
  EXPECT_EQ(form.m_nLoose, 1);
}
