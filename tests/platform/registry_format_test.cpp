// Reading and writing the regedit export format: real-world shaped files,
// malformed lines, and writing that reads back unchanged.
#include "platform/regformat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> out;
  for (int b : list) {
    out.push_back(static_cast<uint8_t>(b));
  }
  return out;
}

std::vector<uint8_t> Text(const std::string& s, bool terminator = true) {
  std::vector<uint8_t> out(s.begin(), s.end());
  if (terminator) {
    out.push_back(0);
  }
  return out;
}

const RegNode* Key(const RegDocument& doc, std::vector<std::string> path) {
  return doc.Find("HKEY_LOCAL_MACHINE", path);
}

struct Parsed {
  RegDocument doc;
  std::vector<RegDiagnostic> diags;
  bool ok = false;
};

Parsed Parse(const std::string& text) {
  Parsed p;
  p.ok = RegParseText(text, p.doc, &p.diags);
  return p;
}

// What a regedit export of the installation looks like, CRLF and all.
const char kExport[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client]\r\n"
    "@=\"default text\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\CurrentVersion]\r\n"
    "\"Major Version\"=dword:00000002\r\n"
    "\"Minor Version\"=dword:0000000a\r\n"
    "\"User Name\"=\"Ann \\\"Admin\\\" Smith\"\r\n"
    "\"Company Name\"=\"Velcor\"\r\n"
    "\"Blob\"=hex:00,01,02,fe,ff\r\n"
    "\"Path\"=hex(2):25,00,52,00,4f,00,4f,00,54,00,25,00,5c,00,78,00,00,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n"
    "\"Big\"=hex(b):01,02,03,04,05,06,07,08\r\n"
    "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19\r\n"
    "\"C:\\\\Dir\\\\\"=\"C:\\\\Program Files\\\\Velcor\\\\\"\r\n"
    "\r\n";

TEST(RegistryFormatRead, ExportWithEveryValueForm) {
  Parsed p = Parse(kExport);
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(p.diags.empty()) << p.diags.front().line << ": " << p.diags.front().message;
  const RegNode* client = Key(p.doc, {"SOFTWARE", "Velcor", "Halden Client"});
  ASSERT_NE(client, nullptr);
  ASSERT_NE(client->FindValue(""), nullptr);
  EXPECT_EQ(client->FindValue("")->data, Text("default text"));
  const RegNode* cv = client->FindChild("CurrentVersion");
  ASSERT_NE(cv, nullptr);
  ASSERT_EQ(cv->values.size(), 10u);
  EXPECT_EQ(cv->values[0].type, REG_DWORD);
  EXPECT_EQ(cv->values[0].data, Bytes({2, 0, 0, 0}));
  EXPECT_EQ(cv->values[1].data, Bytes({10, 0, 0, 0}));
  EXPECT_EQ(cv->values[2].type, REG_SZ);
  EXPECT_EQ(cv->values[2].data, Text("Ann \"Admin\" Smith"));
  EXPECT_EQ(cv->FindValue("blob")->type, REG_BINARY);
  EXPECT_EQ(cv->FindValue("blob")->data, Bytes({0, 1, 2, 0xfe, 0xff}));
  // Version 5.00 writes expandable and multi-strings as UTF-16LE; the
  // single-byte calls see them as 8-bit text.
  EXPECT_EQ(cv->FindValue("Path")->type, REG_EXPAND_SZ);
  EXPECT_EQ(cv->FindValue("Path")->data, Text("%ROOT%\\x"));
  EXPECT_EQ(cv->FindValue("Multi")->type, REG_MULTI_SZ);
  EXPECT_EQ(cv->FindValue("Multi")->data, Bytes({'a', 0, 'b', 'c', 0, 0}));
  EXPECT_EQ(cv->FindValue("Big")->type, REG_QWORD);
  EXPECT_EQ(cv->FindValue("Big")->data, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(cv->FindValue("Long")->data.size(), 26u);
  EXPECT_EQ(cv->FindValue("Long")->data.back(), 0x19);
  ASSERT_NE(cv->FindValue("C:\\Dir\\"), nullptr);
  EXPECT_EQ(cv->FindValue("C:\\Dir\\")->data, Text("C:\\Program Files\\Velcor\\"));
}

TEST(RegistryFormatRead, Regedit4LfAndRawHexText) {
  Parsed p = Parse(
      "REGEDIT4\n"
      "\n"
      "; written by hand\n"
      "[HKEY_CURRENT_USER\\Software\\Test]\n"
      "\"Expand\"=hex(2):25,41,25,00\n"
      "\"Num\"=dword:FFFFFFFF\n");
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(p.diags.empty());
  const RegNode* key = p.doc.Find("HKEY_CURRENT_USER", {"Software", "Test"});
  ASSERT_NE(key, nullptr);
  // REGEDIT4 hex text is single-byte already.
  EXPECT_EQ(key->FindValue("Expand")->data, Text("%A%"));
  EXPECT_EQ(key->FindValue("Num")->data, Bytes({0xff, 0xff, 0xff, 0xff}));
}

TEST(RegistryFormatRead, ByteOrderMarks) {
  std::string utf8 = std::string("\xEF\xBB\xBF") + "Windows Registry Editor Version 5.00\r\n\r\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\xC3\xA9]\r\n\"N\"=\"\xC3\xA9t\xC3\xA9\"\r\n";
  Parsed a = Parse(utf8);
  EXPECT_TRUE(a.diags.empty());
  const RegNode* key = Key(a.doc, {"SOFTWARE", "Caf\xC3\xA9"});
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->FindValue("N")->data, Text("\xC3\xA9t\xC3\xA9"));

  // The same file as regedit saves it by default: UTF-16LE with a BOM.
  std::string plain = utf8.substr(3);
  std::vector<uint8_t> wide;
  ASSERT_TRUE(RegUtf8ToUtf16Le(plain, wide));
  std::string utf16 = "\xFF\xFE" + std::string(wide.begin(), wide.end());
  Parsed b = Parse(utf16);
  EXPECT_TRUE(b.diags.empty());
  key = Key(b.doc, {"SOFTWARE", "Caf\xC3\xA9"});
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->FindValue("N")->data, Text("\xC3\xA9t\xC3\xA9"));
}

TEST(RegistryFormatRead, DeletionsAndRepeatedSections) {
  Parsed p = Parse(
      "REGEDIT4\n"
      "[HKEY_LOCAL_MACHINE\\A]\n"
      "\"x\"=\"1\"\n"
      "\"y\"=\"2\"\n"
      "[HKEY_LOCAL_MACHINE\\A\\Gone]\n"
      "[HKEY_LOCAL_MACHINE\\A\\Gone\\Deeper]\n"
      "[HKEY_LOCAL_MACHINE\\a]\n"
      "\"X\"=\"3\"\n"
      "\"y\"=-\n"
      "[-HKEY_LOCAL_MACHINE\\A\\GONE]\n"
      "\"orphan\"=\"lost\"\n"
      "[-HKEY_LOCAL_MACHINE\\Never\\There]\n");
  const RegNode* a = Key(p.doc, {"A"});
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->values.size(), 1u);
  EXPECT_EQ(a->values[0].name, "x");  // keeps its first spelling and place
  EXPECT_EQ(a->values[0].data, Text("3"));
  EXPECT_EQ(a->FindChild("Gone"), nullptr);
  ASSERT_EQ(p.diags.size(), 1u);  // the value after a deleted key
  EXPECT_EQ(p.diags[0].line, 11u);
}

TEST(RegistryFormatRead, BadLinesAreSkippedAndTheRestKept) {
  Parsed p = Parse(
      "Windows Registry Editor Version 5.00\r\n"        // 1
      "[HKEY_LOCAL_MACHINE\\Good]\r\n"                   // 2
      "\"a\"=\"1\"\r\n"                                  // 3
      "\"b\"=dword:123456789\r\n"                        // 4 too many digits
      "\"c\"=\"no end\r\n"                               // 5
      "\"d\"=hex:01,zz\r\n"                              // 6
      "\"e\"=hex:01,\\\r\n"                              // 7 bad entry over two lines
      "  02,0x\r\n"                                      // 8
      "garbage here\r\n"                                 // 9
      "[HKEY_NOWHERE\\X]\r\n"                            // 10
      "\"f\"=\"under bad section\"\r\n"                  // 11
      "[HKEY_LOCAL_MACHINE\\Good\r\n"                    // 12
      "[HKEY_LOCAL_MACHINE\\Good\\Sub]\r\n"              // 13
      "\"g\"=string:x\r\n"                               // 14
      "\"h\" \"=\"x\"\r\n"                               // 15
      "\"i\"=dword:00000001 ; trailing comment is fine\r\n"  // 16
      "\"j\"=\"k\" extra\r\n"                            // 17
      "@=\"default\"\r\n");                              // 18
  ASSERT_TRUE(p.ok);
  std::vector<size_t> lines;
  for (const auto& d : p.diags) {
    lines.push_back(d.line);
  }
  EXPECT_EQ(lines, (std::vector<size_t>{4, 5, 6, 7, 9, 10, 11, 12, 14, 15, 17}));
  const RegNode* good = Key(p.doc, {"Good"});
  ASSERT_NE(good, nullptr);
  ASSERT_EQ(good->values.size(), 1u);
  EXPECT_EQ(good->values[0].name, "a");
  const RegNode* sub = good->FindChild("Sub");
  ASSERT_NE(sub, nullptr);
  ASSERT_EQ(sub->values.size(), 2u);
  EXPECT_EQ(sub->values[0].name, "i");
  EXPECT_EQ(sub->values[1].name, "");
  EXPECT_EQ(p.doc.FindRoot("HKEY_NOWHERE"), nullptr);
}

TEST(RegistryFormatRead, MissingHeaderIsReportedButRead) {
  Parsed p = Parse("[HKEY_LOCAL_MACHINE\\X]\n\"v\"=\"1\"\n");
  ASSERT_EQ(p.diags.size(), 1u);
  EXPECT_EQ(p.diags[0].line, 1u);
  ASSERT_NE(Key(p.doc, {"X"}), nullptr);
  EXPECT_NE(Key(p.doc, {"X"})->FindValue("v"), nullptr);
}

TEST(RegistryFormatRead, LimitsRefuseHugeInput) {
  std::string huge(kRegMaxFileBytes + 1, '\n');
  Parsed p = Parse(huge);
  EXPECT_FALSE(p.ok);
  std::string many(kRegMaxLines + 5, '\n');
  Parsed q = Parse(many);
  EXPECT_FALSE(q.ok);
  // A key name over 255 characters is refused, the file still read.
  Parsed r = Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\n[HKEY_LOCAL_MACHINE\\Ok]\n");
  EXPECT_EQ(r.diags.size(), 1u);
  EXPECT_NE(Key(r.doc, {"Ok"}), nullptr);
}

TEST(RegistryFormatRead, ContinuationAtEndOfFile) {
  Parsed p = Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=hex:01,02,\\\n");
  ASSERT_TRUE(p.ok);
  const RegNode* x = Key(p.doc, {"X"});
  ASSERT_NE(x, nullptr);
  ASSERT_NE(x->FindValue("v"), nullptr);
  EXPECT_EQ(x->FindValue("v")->data, Bytes({1, 2}));
}

// Writing ----------------------------------------------------------------

RegDocument Reread(const RegDocument& doc, std::vector<RegDiagnostic>* diags = nullptr) {
  RegDocument back;
  EXPECT_TRUE(RegParseText(RegFormatText(doc), back, diags));
  return back;
}

void ExpectSameTree(const RegNode& a, const RegNode& b) {
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.keyClass, b.keyClass);
  ASSERT_EQ(a.values.size(), b.values.size()) << a.name;
  for (size_t i = 0; i < a.values.size(); ++i) {
    EXPECT_EQ(a.values[i].name, b.values[i].name);
    EXPECT_EQ(a.values[i].type, b.values[i].type) << a.values[i].name;
    EXPECT_EQ(a.values[i].data, b.values[i].data) << a.values[i].name;
  }
  ASSERT_EQ(a.children.size(), b.children.size()) << a.name;
  for (size_t i = 0; i < a.children.size(); ++i) {
    ExpectSameTree(*a.children[i], *b.children[i]);
  }
}

TEST(RegistryFormatWrite, EveryTypeReadsBackByteForByte) {
  RegDocument doc;
  RegNode& key = doc.Root("HKEY_LOCAL_MACHINE").Child("SOFTWARE").Child("Round \"Trip\"");
  key.keyClass = "Some \\ class";
  key.SetValue("", REG_SZ, Text("default"));
  key.SetValue("quote\"and\\slash", REG_SZ, Text("a \"b\" \\c\\ ;d [e]"));
  key.SetValue("empty text", REG_SZ, Text(""));
  key.SetValue("no terminator", REG_SZ, Text("abc", false));
  key.SetValue("inner zero", REG_SZ, Bytes({'a', 0, 'b', 0}));
  key.SetValue("newline", REG_SZ, Text("line1\r\nline2"));
  key.SetValue("not utf8 text", REG_SZ, Bytes({0xff, 0xfe, 'x', 0}));
  key.SetValue("dword", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12}));
  key.SetValue("short dword", REG_DWORD, Bytes({1, 2}));
  key.SetValue("binary", REG_BINARY, Bytes({0, 0xff, 0x10}));
  key.SetValue("empty binary", REG_BINARY, {});
  key.SetValue("none", REG_NONE, Bytes({9}));
  key.SetValue("expand", REG_EXPAND_SZ, Text("%ROOT%\\caf\xC3\xA9 \xF0\x9F\x98\x80"));
  key.SetValue("multi", REG_MULTI_SZ, Bytes({'a', 0, 'b', 0, 0}));
  key.SetValue("qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  key.SetValue("odd type", 0x1234, Bytes({7, 7}));
  std::vector<uint8_t> large(3000);
  for (size_t i = 0; i < large.size(); ++i) {
    large[i] = static_cast<uint8_t>(i * 7);
  }
  key.SetValue("large", REG_BINARY, large);
  key.Child("Empty Child");
  doc.Root("HKEY_CURRENT_USER").Child("Software").SetValue("x", REG_DWORD, Bytes({1, 0, 0, 0}));

  std::vector<RegDiagnostic> diags;
  RegDocument back = Reread(doc, &diags);
  EXPECT_TRUE(diags.empty());
  ASSERT_EQ(back.roots.size(), 2u);
  ExpectSameTree(*doc.roots[0], *back.roots[0]);
  ExpectSameTree(*doc.roots[1], *back.roots[1]);
  // Writing again gives the same text.
  EXPECT_EQ(RegFormatText(back), RegFormatText(doc));
}

TEST(RegistryFormatWrite, WritesTheRegeditForms) {
  RegDocument doc;
  RegNode& key = doc.Root("HKEY_LOCAL_MACHINE").Child("SOFTWARE").Child("Velcor");
  key.SetValue("Name", REG_SZ, Text("C:\\x"));
  key.SetValue("", REG_SZ, Text("d"));
  key.SetValue("Num", REG_DWORD, Bytes({2, 0, 0, 0}));
  key.SetValue("Bin", REG_BINARY, Bytes({0xab, 1}));
  key.SetValue("Q", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}));
  key.SetValue("E", REG_EXPAND_SZ, Text("a"));
  EXPECT_EQ(RegFormatText(doc),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor]\r\n"
            "\"Name\"=\"C:\\\\x\"\r\n"
            "@=\"d\"\r\n"
            "\"Num\"=dword:00000002\r\n"
            "\"Bin\"=hex:ab,01\r\n"
            "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
            "\"E\"=hex(2):61,00,00,00\r\n"
            "\r\n");
}

TEST(RegistryFormatWrite, LongHexLinesAreWrappedBelowEightyColumns) {
  RegDocument doc;
  doc.Root("HKEY_LOCAL_MACHINE").Child("K").SetValue("v", REG_BINARY, std::vector<uint8_t>(200, 0x5a));
  std::string text = RegFormatText(doc);
  size_t start = 0;
  int continued = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 80u);
    if (end > start && text[end - 1] == '\\') {
      ++continued;
    }
    start = end + 2;
  }
  EXPECT_GT(continued, 2);
}

TEST(RegistryFormatWrite, CommentsAndBadLinesSurviveARewrite) {
  std::string text =
      "REGEDIT4\n"
      "; about the servers\n"
      "[HKEY_LOCAL_MACHINE\\S]\n"
      "; the lab box\n"
      "\"Lab\"=\"h:1\"\n"
      "this line is broken\n"
      "; the end\n";
  RegDocument doc;
  ASSERT_TRUE(RegParseText(text, doc));
  std::string written = RegFormatText(doc);
  EXPECT_NE(written.find("; about the servers\r\n[HKEY_LOCAL_MACHINE\\S]"), std::string::npos);
  EXPECT_NE(written.find("; the lab box\r\n\"Lab\""), std::string::npos);
  EXPECT_NE(written.find(";this line is broken"), std::string::npos);
  EXPECT_NE(written.find("; the end"), std::string::npos);
  // The kept bad line is a comment now: the rewrite reads cleanly.
  std::vector<RegDiagnostic> diags;
  RegDocument back;
  ASSERT_TRUE(RegParseText(written, back, &diags));
  EXPECT_TRUE(diags.empty());
}

TEST(RegistryFormatWrite, TextThatIsNotUtf8IsKeptInTheSingleByteForm) {
  RegDocument doc;
  RegNode& key = doc.Root("HKEY_LOCAL_MACHINE").Child("K");
  key.SetValue("plain", REG_SZ, Bytes({0xff, 'a', 0}));  // the quoted form holds any byte
  std::string text = RegFormatText(doc);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00", 0), 0u);
  // Expandable text that is not UTF-8 has no UTF-16 form.
  key.SetValue("expand", REG_EXPAND_SZ, Bytes({0xc3, 0x28, 0}));
  key.SetValue("multi", REG_MULTI_SZ, Bytes({'a', 0, 0}));
  text = RegFormatText(doc);
  EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
  EXPECT_NE(text.find("\"expand\"=hex(2):c3,28,00"), std::string::npos);
  EXPECT_NE(text.find("\"multi\"=hex(7):61,00,00"), std::string::npos);
  RegDocument back = Reread(doc);
  ExpectSameTree(*doc.roots[0], *back.roots[0]);
}

TEST(RegistryFormatWrite, ABadLineKeptAsACommentNeverBecomesAClassText) {
  RegDocument doc;
  std::vector<RegDiagnostic> diags;
  ASSERT_TRUE(RegParseText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n@class=\"sneaky\"\n\"v\"=\"1\"\n", doc, &diags));
  EXPECT_EQ(diags.size(), 1u);
  RegDocument back = Reread(doc);
  const RegNode* key = back.Find("HKEY_LOCAL_MACHINE", {"K"});
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->keyClass, "");
}

// Damaged variants of a real export: whatever survives the reading must be
// written so that it reads back to the same tree and the same text.
TEST(RegistryFormatWrite, DamagedFilesStillRoundTrip) {
  // A Version 5.00 export, and a REGEDIT4 one whose hex text is single-byte.
  const std::string bases[] = {kExport,
                               "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"e\"=hex(2):c3,28,00\n\"u\"=hex(1):41,42\n"
                               "[HKEY_CURRENT_USER\\B\\C]\n@=\"x\"\n\"m\"=hex(7):61,00,00\n"};
  const std::string pieces[] = {"\\", "\"", "[", "]", "=", ",", "\r\n", "\n", ";", "@", "-", "hex(", "):",
                                "dword:", "\xff", std::string(1, '\0'), "\xC3\xA9", " ", "\\\r\n"};
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7fff;
  };
  for (int round = 0; round < 400; ++round) {
    std::string text = bases[round % 2];
    int edits = 1 + static_cast<int>(next() % 6);
    for (int e = 0; e < edits; ++e) {
      size_t at = next() % (text.size() + 1);
      switch (next() % 3) {
        case 0:
          text.insert(at, pieces[next() % (sizeof pieces / sizeof pieces[0])]);
          break;
        case 1:
          text.erase(at, next() % 8);
          break;
        default:
          if (at < text.size()) {
            text[at] = static_cast<char>(next() & 0xff);
          }
      }
    }
    RegDocument first;
    ASSERT_TRUE(RegParseText(text, first));
    std::string written = RegFormatText(first);
    RegDocument second;
    std::vector<RegDiagnostic> diags;
    ASSERT_TRUE(RegParseText(written, second, &diags));
    EXPECT_TRUE(diags.empty()) << "round " << round << ": " << diags.front().message;
    ASSERT_EQ(first.roots.size(), second.roots.size()) << round;
    for (size_t r = 0; r < first.roots.size(); ++r) {
      ExpectSameTree(*first.roots[r], *second.roots[r]);
    }
    ASSERT_EQ(RegFormatText(second), written) << "round " << round;
  }
}

// Look-ups stay right through many additions and removals, whatever the case.
TEST(RegistryDocument, LookupsFollowAdditionsAndRemovals) {
  RegNode node;
  for (int i = 0; i < 600; ++i) {
    node.SetValue("Value" + std::to_string(i), REG_DWORD, Bytes({i & 0xff, 0, 0, 0}));
    node.Child("Key" + std::to_string(i));
  }
  for (int i = 0; i < 600; i += 3) {
    ASSERT_TRUE(node.RemoveValue("VALUE" + std::to_string(i)));
    ASSERT_TRUE(node.RemoveChild("key" + std::to_string(i)));
  }
  EXPECT_FALSE(node.RemoveValue("value0"));
  node.SetValue("value1", REG_SZ, Text("replaced"));  // replaces in place
  node.SetValue("Fresh", REG_SZ, Text("new"));
  ASSERT_EQ(node.values.size(), 401u);
  EXPECT_EQ(node.values[0].name, "Value1");
  EXPECT_EQ(node.values[0].type, REG_SZ);
  EXPECT_EQ(node.values.back().name, "Fresh");
  for (int i = 0; i < 600; ++i) {
    bool kept = i % 3 != 0;
    const RegValue* value = node.FindValue("vAlUe" + std::to_string(i));
    ASSERT_EQ(value != nullptr, kept) << i;
    if (kept) {
      EXPECT_EQ(value->name, "Value" + std::to_string(i));
    }
    const RegNode* child = node.FindChild("KEY" + std::to_string(i));
    ASSERT_EQ(child != nullptr, kept) << i;
    if (kept) {
      EXPECT_EQ(child->name, "Key" + std::to_string(i));
    }
  }
  // Entries added behind the node's back are found too.
  node.values.push_back({"Direct", REG_NONE, {}, {}});
  EXPECT_NE(node.FindValue("direct"), nullptr);
  node.values.erase(node.values.begin());
  EXPECT_EQ(node.FindValue("Value1"), nullptr);
  EXPECT_NE(node.FindValue("Value2"), nullptr);
}

TEST(RegistryFormatCodec, Utf8AndUtf16Conversions) {
  std::vector<uint8_t> wide;
  ASSERT_TRUE(RegUtf8ToUtf16Le("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", wide));
  EXPECT_EQ(wide, Bytes({0x41, 0, 0xe9, 0, 0xac, 0x20, 0x3d, 0xd8, 0x00, 0xde}));
  std::string back;
  ASSERT_TRUE(RegUtf16LeToUtf8(wide.data(), wide.size(), back));
  EXPECT_EQ(back, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_FALSE(RegUtf8ToUtf16Le("\xC0\x80", wide));          // overlong
  EXPECT_FALSE(RegUtf8ToUtf16Le("\xED\xA0\x80", wide));      // surrogate
  EXPECT_FALSE(RegUtf8ToUtf16Le("\xE2\x82", wide));          // cut short
  const uint8_t lone[] = {0x00, 0xd8, 0x41, 0x00};
  EXPECT_FALSE(RegUtf16LeToUtf8(lone, sizeof lone, back));
  const uint8_t odd[] = {0x41, 0x00, 0x42};
  EXPECT_FALSE(RegUtf16LeToUtf8(odd, sizeof odd, back));
}

}  // namespace
