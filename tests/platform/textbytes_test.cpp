// Byte texts where they meet Qt: which encoding a text is read in, decoding
// and encoding back, and a dialog's text field and the clipboard's plain
// text giving back the bytes they were given.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <string>
#include <string_view>

#include "platform/cdialog.h"
#include "platform/clipboard.h"
#include "platform/qtconvert.h"
#include "platform/scriptedmodalhost.h"
#include "platform/textbytes.h"

namespace {

CString Bytes(const std::string& s) { return CString(s.data(), static_cast<int>(s.size())); }

TEST(TextBytes, EveryByteTextDecodesAndEncodesBackExactly) {
  struct Case {
    const char* what;
    std::string bytes;
    TextEncoding encoding;
    const char16_t* shown;
  } cases[] = {
      {"empty", "", TextEncoding::Utf8, u""},
      {"ASCII", "plain text", TextEncoding::Utf8, u"plain text"},
      {"UTF-8", "caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80", TextEncoding::Utf8, u"caf\u00E9 \u4E2D \U0001F600"},
      {"Latin-1", "caf\xE9", TextEncoding::Latin1, u"caf\u00E9"},
      {"Latin-1 bytes 0x80-0xBF", "\xA9\x80\xBF", TextEncoding::Latin1, u"\u00A9\u0080\u00BF"},
      {"mixed: UTF-8 then a Latin-1 byte", "\xC3\xA9\xE9", TextEncoding::Latin1, u"\u00C3\u00A9\u00E9"},
      {"sequence cut at the end", "ab\xE4\xB8", TextEncoding::Latin1, u"ab\u00E4\u00B8"},
      {"overlong form", "\xC0\xAF", TextEncoding::Latin1, u"\u00C0\u00AF"},
      {"encoded surrogate", "\xED\xA0\x80", TextEncoding::Latin1, u"\u00ED\u00A0\u0080"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", TextEncoding::Latin1, u"\u00F4\u0090\u0080\u0080"},
      {"byte-order mark kept", "\xEF\xBB\xBFx", TextEncoding::Utf8, u"\uFEFFx"},
      {"two byte-order marks", "\xEF\xBB\xBF\xEF\xBB\xBF", TextEncoding::Utf8, u"\uFEFF\uFEFF"},
      {"noncharacter", "\xEF\xBF\xBE", TextEncoding::Utf8, u"\uFFFE"},
      {"embedded zero byte", std::string("a\0\xE9", 3), TextEncoding::Latin1, nullptr},
      {"embedded zero byte, UTF-8", std::string("a\0b", 3), TextEncoding::Utf8, nullptr},
  };
  for (const Case& c : cases) {
    const CString bytes = Bytes(c.bytes);
    EXPECT_EQ(EncodingOf(bytes), c.encoding) << c.what;
    const QString shown = ToQString(bytes);
    if (c.shown != nullptr) {
      // Not fromUtf16, which would take U+FEFF and U+FFFE as byte-order marks.
      const std::u16string_view expected(c.shown);
      EXPECT_EQ(shown, QString(reinterpret_cast<const QChar*>(expected.data()), static_cast<qsizetype>(expected.size())))
          << c.what;
    }
    CString back;
    ASSERT_TRUE(EncodeText(shown, c.encoding, &back)) << c.what;
    EXPECT_EQ(back.str(), c.bytes) << c.what;
    // Unchanged: the very bytes; and as UTF-8 each part shows the same text.
    ASSERT_TRUE(BytesForText(shown, bytes, &back)) << c.what;
    EXPECT_EQ(back.str(), c.bytes) << c.what;
    EXPECT_EQ(ToQString(ShownAsUtf8(bytes)), shown) << c.what;
  }
}

TEST(TextBytes, ChangedTextIsEncodedAsItWasReadAndNeverReplaced) {
  struct Case {
    const char* what;
    std::string original;
    QString typed;
    bool encodable;
    std::string bytes;
  } cases[] = {
      {"Latin-1 stays Latin-1", "caf\xE9", QString::fromUtf8("caf\xC3\xA9s"), true, "caf\xE9s"},
      {"UTF-8 stays UTF-8", "caf\xC3\xA9", QString::fromUtf8("caf\xC3\xA9s"), true, "caf\xC3\xA9s"},
      {"empty field takes UTF-8", "", QString::fromUtf8("\xE2\x82\xAC"), true, "\xE2\x82\xAC"},
      {"euro in Latin-1", "caf\xE9", QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"), false, ""},
      {"CJK in Latin-1", "\xE9", QString::fromUtf8("\xE4\xB8\xAD"), false, ""},
      {"lone surrogate in UTF-8", "x", QString(QChar(0xD800)), false, ""},
  };
  for (const Case& c : cases) {
    CString out("untouched");
    EXPECT_EQ(BytesForText(c.typed, Bytes(c.original), &out), c.encodable) << c.what;
    EXPECT_EQ(out.str(), c.encodable ? c.bytes : std::string("untouched")) << c.what;
  }
}

TEST(TextBytes, ConversionsBetweenEncodingsAndCutsKeepCharactersWhole) {
  EXPECT_EQ(Latin1ToUtf8(Bytes("caf\xE9\xFF")).str(), "caf\xC3\xA9\xC3\xBF");
  CString latin1;
  ASSERT_TRUE(Utf8ToLatin1(Bytes("caf\xC3\xA9\xC3\xBF"), &latin1));
  EXPECT_EQ(latin1.str(), "caf\xE9\xFF");
  EXPECT_FALSE(Utf8ToLatin1(Bytes("\xE2\x82\xAC"), &latin1));
  EXPECT_FALSE(Utf8ToLatin1(Bytes("caf\xE9"), &latin1));

  struct Cut {
    std::string text;
    int max;
    int fit;
  } cuts[] = {
      {"abcdef", 4, 4},
      {"ab", 4, 2},
      {"ab\xC3\xA9", 3, 2},           // never half of é
      {"a\xE4\xB8\xAD\xE4\xB8\xAD", 5, 4},
      {"a\xF0\x9F\x98\x80", 4, 1},
      {"ab\xE9\xE9", 3, 3},           // Latin-1: every byte a character
      {"abc", 0, 0},
  };
  for (const Cut& c : cuts)
    EXPECT_EQ(FitTextLength(c.text.data(), static_cast<int>(c.text.size()), c.max), c.fit) << c.text;
}

// A one-field dialog, as the editor's text dialogs are.
class TextDialog : public CDialog {
 public:
  TextDialog() : CDialog(20001) {}
  CString m_strText;

 protected:
  void BuildDialog() override {
    AddEdit(49160, "Text:");
    AddOkCancel();
  }
  void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, 49160, m_strText); }
};

TEST(TextBytes, ADialogFieldGivesBackItsBytesOrRefusesWhatItsEncodingCannotHold) {
  struct Case {
    const char* what;
    std::string original;
    const char* typed;  // UTF-8; null: OK without typing
    int result;
    std::vector<UINT> messages;
    std::string stored;
  } cases[] = {
      {"Latin-1 unchanged", "caf\xE9", nullptr, IDOK, {}, "caf\xE9"},
      {"UTF-8 unchanged", "caf\xC3\xA9", nullptr, IDOK, {}, "caf\xC3\xA9"},
      {"Latin-1 retyped alike", "caf\xE9", "caf\xC3\xA9", IDOK, {}, "caf\xE9"},
      {"Latin-1 changed", "caf\xE9", "th\xC3\xA9", IDOK, {}, "th\xE9"},
      {"UTF-8 changed", "caf\xC3\xA9", "th\xC3\xA9", IDOK, {}, "th\xC3\xA9"},
      {"euro into Latin-1", "caf\xE9", "caf\xC3\xA9\xE2\x82\xAC", IDCANCEL, {IDS_TEXT_NOT_ENCODABLE}, "caf\xE9"},
      {"CJK into Latin-1", "caf\xE9", "\xE4\xB8\xAD", IDCANCEL, {IDS_TEXT_NOT_ENCODABLE}, "caf\xE9"},
      {"CJK into UTF-8", "caf\xC3\xA9", "\xE4\xB8\xAD", IDOK, {}, "\xE4\xB8\xAD"},
  };
  for (const Case& c : cases) {
    ScriptedModalHost host;
    ScopedModalHost installed(&host);
    TextDialog dialog;
    dialog.m_strText = Bytes(c.original);
    bool stayedOpen = false;
    host.ExpectDialog([&](DialogDriver& d) {
      if (c.typed != nullptr) {
        EXPECT_TRUE(d.Type(49160, QString::fromUtf8(c.typed)));
      }
      d.Click(IDOK);
      stayedOpen = d.IsOpen();
      if (stayedOpen) {
        EXPECT_EQ(d.Text(49160), QString::fromUtf8(c.typed)) << c.what << ": the text stays as typed";
        d.Click(IDCANCEL);
      }
    });
    EXPECT_EQ(dialog.DoModal(), c.result) << c.what;
    EXPECT_EQ(stayedOpen, c.result != IDOK) << c.what;
    EXPECT_EQ(host.MessageIds(), c.messages) << c.what;
    EXPECT_EQ(dialog.m_strText.str(), c.stored) << c.what;
  }
}

TEST(TextBytes, DialogFieldLimitsCountCharactersOfEitherEncoding) {
  class Limited : public TextDialog {
    void DoDataExchange(CDataExchange* dx) override {
      TextDialog::DoDataExchange(dx);
      DDV_MaxChars(dx, m_strText, 3);
    }
  };
  for (const std::string& text : {std::string("\xA9\xA9\xA9"), std::string("\xC2\xA9\xC2\xA9\xC2\xA9")}) {
    ScriptedModalHost host;
    ScopedModalHost installed(&host);
    Limited dialog;
    dialog.m_strText = Bytes(text);
    host.ExpectDialog([](DialogDriver& d) { d.Click(IDOK); });
    EXPECT_EQ(dialog.DoModal(), IDOK) << "three characters fit";
    EXPECT_TRUE(host.MessageIds().empty());
    EXPECT_EQ(dialog.m_strText.str(), text);
  }
}

TEST(TextBytes, ClipboardPlainTextKeepsItsBytesUntilAnotherProgramReplacesIt) {
  for (const std::string& text : {std::string("caf\xE9"), std::string("caf\xC3\xA9"), std::string("plain")}) {
    ASSERT_TRUE(ClipboardSetText(CF_TEXT, Bytes(text)));
    EXPECT_EQ(QApplication::clipboard()->text(), ToQString(Bytes(text))) << text;
    CString back;
    ASSERT_TRUE(ClipboardGetText(CF_TEXT, &back, 1024)) << text;
    EXPECT_EQ(back.str(), text);
  }
  // Text from elsewhere is UTF-8, whatever we put there before.
  ASSERT_TRUE(ClipboardSetText(CF_TEXT, Bytes("caf\xE9")));
  QApplication::clipboard()->setText(QString::fromUtf8("th\xC3\xA9"));
  CString back;
  ASSERT_TRUE(ClipboardGetText(CF_TEXT, &back, 1024));
  EXPECT_EQ(back.str(), "th\xC3\xA9");
}

}  // namespace
