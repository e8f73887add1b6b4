// The string table: exact texts by id, the empty text for unknown ids, the
// prompt/tip convention of command strings and the formats' arguments.
#include <gtest/gtest.h>

#include <string>

#include "platform/cstring.h"
#include "platform/stringtable.h"

namespace {

std::string S(unsigned id) { return LoadStringById(id).str(); }

TEST(StringTable, MessagesKeepTheirExactWording) {
  // Spelling slips, doubled blanks and trailing blanks are part of the text.
  EXPECT_EQ(S(4134), "The clipboard contents could not be understood. The paste operatiion will be aborted.");
  EXPECT_EQ(S(16395),
            "The profile could not be stored due to an unspecified error that occured. Retry the operation.");
  EXPECT_EQ(S(16406), "Internal Error: No error. If you get this message  please contact Technical Support.");
  EXPECT_EQ(S(4132), "The clipboard contents can not be pasted into the currently selected object. ");
  EXPECT_EQ(S(4172), "The Key-Value Pair could not be added because the key already exists in the Key-Value Set. ");
  EXPECT_EQ(S(16392), "The profile specified could not be retrieved. ");
  EXPECT_EQ(S(4205),
            "The profile selected could not be understood by this application. Ensure that you using the correct "
            "profile editor.");
  EXPECT_EQ(S(4148),
            "Serious Internal Error. The bitmap resources could not be loaded. Please Contact Technical Support.");
  EXPECT_EQ(S(4112), "Bad or missing registry information. This product may not have been installed correctly.");
  EXPECT_EQ(S(4111), "A memory allocation error has occurred. Please ensure your system is not low on memory.");
  EXPECT_EQ(S(4124),
            "Internal Error. The selection could not be converted to or from an internal format. Please contact "
            "technical support.");
  EXPECT_EQ(S(16412),
            "The profile was not saved because name specified was invalid. Valid profile names may contain any "
            "alphanumeric character apart from the space character.");
  EXPECT_EQ(S(4150), "The symbol/key entered is not a valid key name");
  EXPECT_EQ(S(16410), "Select the Server from which to retrieve the profile from:");
  EXPECT_EQ(S(4115), "Select the Server for Symbol Verification:");
  EXPECT_EQ(S(4141), "Error");
}

TEST(StringTable, ValueEntryMessagesStateTheirBounds) {
  EXPECT_EQ(S(4190), "You must enter a value between -2147483647 and 2147483647");
  EXPECT_EQ(S(4192), "You must enter a value between 0 and 4294967294");
  EXPECT_EQ(S(4196), "The start value must be a value between -2147483647 to 2147483647");
  EXPECT_EQ(S(4197), "The end value must be a value between -2147483647 to 2147483647");
  EXPECT_EQ(S(4194), "The real number entered cannot be stored because it is too large or too small.");
  EXPECT_EQ(S(4203), "The end value must be a valid real number");
}

TEST(StringTable, UnknownIdsGiveTheEmptyText) {
  for (unsigned id : {0u, 1u, 4108u, 4204u, 16397u, 65535u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(LoadStringById(id).IsEmpty()) << id;
    EXPECT_FALSE(StringIdExists(id)) << id;
  }
  EXPECT_TRUE(StringIdExists(4106));
  EXPECT_TRUE(StringIdExists(57345));
}

TEST(StringTable, CStringLoadStringReadsTheTable) {
  CString text("left over");
  EXPECT_TRUE(text.LoadString(57345));
  EXPECT_EQ(text, "Ready");
  EXPECT_FALSE(text.LoadString(4108));
  EXPECT_TRUE(text.IsEmpty());
}

TEST(StringTable, DocumentStringStartsWithTheTitle) {
  const CString doc = LoadStringById(128);
  const int end = doc.Find('\n');
  ASSERT_GT(end, 0);
  EXPECT_EQ(doc.Left(end), "Quelt");
  EXPECT_GE(doc.Find("\nQuelt.Document\n"), 0);
}

TEST(StringTable, CommandStringsArePromptThenTip) {
  EXPECT_EQ(S(32774), "Add an Integer object into the current profile\nAdd Integer");
  EXPECT_EQ(S(32772), "Edit the selected object\nProperties");
  EXPECT_EQ(S(32773), "Delete the currently selected object\nDelete");
  // Find and Find Next carry a prompt only.
  EXPECT_EQ(S(57636), "Find a Key, Symbol, or String name");
  EXPECT_EQ(S(32787), "Find the next item matching the most recent search string");

  // Every toolbar button needs a prompt and a tip.
  for (unsigned id : {57600u, 57601u, 57603u, 57635u, 57634u, 57637u, 57607u, 32810u}) {
    const std::string text = S(id);
    const size_t nl = text.find('\n');
    ASSERT_NE(nl, std::string::npos) << id;
    EXPECT_GT(nl, 0u) << id;
    EXPECT_LT(nl + 1, text.size()) << id;
    EXPECT_EQ(text.find('\n', nl + 1), std::string::npos) << id;
  }
  // Every menu command has at least a prompt.
  for (unsigned id : {57600u, 57601u, 57603u, 57604u, 57607u, 57609u, 57606u, 57665u, 32776u, 32783u, 32784u,
                      32774u, 32779u, 32778u, 32777u, 32775u, 32780u, 32781u, 32772u, 57635u, 57634u, 57637u,
                      32773u, 57636u, 32787u, 59392u, 59393u, 32782u, 32810u, 32808u, 32809u, 57664u,
                      32903u, 32904u, 32905u}) {
    const std::string text = S(id);
    EXPECT_FALSE(text.empty()) << id;
    EXPECT_NE(text[0], '\n') << id;
  }
  EXPECT_EQ(S(57345), "Ready");
}

TEST(StringTable, ContextMenuTextsCarryTheirAccelerators) {
  EXPECT_EQ(S(4156), "Properties...\tAlt+Enter");
  EXPECT_EQ(S(4157), "Delete\tDel");
  EXPECT_EQ(S(4158), "Add Integer...\tAlt+I");
  EXPECT_EQ(S(4161), "Add Key or Symbol...\tAlt+K");
  EXPECT_EQ(S(4165), "Add Key-Value Set...\tAlt+C");
  EXPECT_EQ(S(4175), "Add Float Range...\tAlt+T");
  EXPECT_EQ(S(4176), "Add Float...\tAlt+F");
}

TEST(StringTable, ArrayTypeLabelsRunInTypeOrder) {
  const char* const expected[] = {"Array",   "Boolean", "Float",  "Float Range",      "Integer",
                                  "Integer Range", "KV Set",  "String", "Symbol", "Unsigned Integer",
                                  "!!! Error - Unknown Array Type !!!"};
  for (unsigned i = 0; i < 11; ++i) EXPECT_EQ(S(4179 + i), expected[i]) << 4179 + i;
}

TEST(StringTable, FormatsTakeTheArgumentsTheirCallersPass) {
  CString text;
  text.Format(LoadStringById(4167), -3, 12);
  EXPECT_EQ(text, "-3 to 12");
  const CString single = LoadStringById(4131);
  CString both;
  both.Format(LoadStringById(4173), single.GetString(), single.GetString());
  EXPECT_EQ(both, "%.7g to %.7g");
  text.Format(both, 1.5, 1.0 / 3.0);
  EXPECT_EQ(text, "1.5 to 0.3333333");
  text.Format(LoadStringById(16384), "Untitled", "No_Class", "S");
  EXPECT_EQ(text, "[Untitled, No_Class, S]");
  text.Format(LoadStringById(16385), "Untitled", "No_Class", "S");
  EXPECT_EQ(text, "[Untitled, No_Class, S] *");
  text.Format(LoadStringById(4170), "P", "C", "S");
  EXPECT_EQ(text, "PROFILE: P     CLASS: C     SERVER: S");
  text.Format(LoadStringById(4171), 2u, 7u);
  EXPECT_EQ(text, "Page 2 of 7");
}

TEST(StringTable, FixedWordsOfTheProgram) {
  EXPECT_EQ(S(16386), "Default_Server");
  EXPECT_EQ(S(16387), "Untitled");
  EXPECT_EQ(S(16388), "new");
  EXPECT_EQ(S(16389), "edit");
  EXPECT_EQ(S(4178), "No_Class");
  EXPECT_EQ(S(4166), "Velcor DEIF");
}

}  // namespace
