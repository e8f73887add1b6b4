// Keys and symbols travel by name through the translator, or as #number.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "s100/cterrors.h"
#include "tests/s100/deif_support.h"

using namespace deif_test;

namespace {

class DeifNames : public ::testing::Test {
 protected:
  void SetUp() override {
    names.Add(0x100, "Mode");
    names.Add(0x101, "Idle");
    names.Add(0x102, "Busy");
  }
  Names names;
};

TEST_F(DeifNames, KeysAndSymbolsAreWrittenByNameAndReadBackByName) {
  Element e;
  ASSERT_EQ(ReadText("kvset { #256 = symbol #257; #999 = array symbol [#258, #1000]; }", &e), QV_OK);
  std::string text = Write(e.e, MapTranslator, &names);
  EXPECT_EQ(text, "kvset {\n  Mode = symbol Idle;\n  #999 = array symbol [Busy, #1000];\n}");

  // The names go to the translator in the other direction; #numbers do not.
  names.toSymbol = 0;
  Element back;
  ASSERT_EQ(ReadText(text, &back, MapTranslator, &names), QV_OK);
  EXPECT_EQ(names.toSymbol, 3);
  std::string why;
  EXPECT_TRUE(SameElement(e.e, back.e, &why)) << why;
}

TEST_F(DeifNames, AServerWithOtherNumbersGetsItsOwnSymbolForTheSameName) {
  Element e;
  ASSERT_EQ(ReadText("symbol Idle", &e, MapTranslator, &names), QV_OK);
  EXPECT_EQ(e.e.value.u, 0x101u);
  Names other;
  other.Add(0x9000, "Idle");
  Element there;
  ASSERT_EQ(ReadText(Write(e.e, MapTranslator, &names), &there, MapTranslator, &other), QV_OK);
  EXPECT_EQ(there.e.value.u, 0x9000u);
}

TEST_F(DeifNames, NumbersAreReadWithoutTheTranslator) {
  Element e;
  ASSERT_EQ(ReadText("kvset { #256 = symbol #0x101; }", &e, MapTranslator, &names), QV_OK);
  EXPECT_EQ(names.toSymbol, 0);
  Element none;
  ASSERT_EQ(ReadText("kvset { #256 = symbol #4294967295; }", &none, nullptr, nullptr), QV_OK);
  uint32_t v, err;
  ASSERT_EQ(CTkvs_GetSymbol(none.e.value.kvs, 256, &v, &err), 1);
  EXPECT_EQ(v, 0xffffffffu);
}

TEST_F(DeifNames, WithoutTranslatorEverySymbolIsANumberAndNamesFail) {
  Element e;
  ASSERT_EQ(ReadText("kvset { #256 = symbol #257; }", &e), QV_OK);
  EXPECT_EQ(Write(e.e), "kvset {\n  #256 = symbol #257;\n}");

  Element named;
  size_t stop = 0;
  QV_Status st = ReadText("kvset { Mode = int 1; }", &named, nullptr, nullptr, &stop);
  EXPECT_EQ(st, QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTextUnknownName, 0));
  EXPECT_EQ(stop, 8u);
  EXPECT_EQ(named.e.type, CT_TYPE_NONE);
}

TEST_F(DeifNames, ANameTheTranslatorRefusesFailsTheWholeRead) {
  const size_t before = LiveHandles();
  const char* texts[] = {
      "symbol Unknown",
      "kvset { Mode = kvset { Unknown = int 1; }; }",
      "kvset { Mode = array symbol [Idle, Unknown]; }",
      "array kvset [{ Mode = symbol \"Un known\"; }]",
  };
  for (const char* t : texts) {
    SCOPED_TRACE(t);
    Element e;
    size_t stop = 0;
    EXPECT_EQ(ReadText(t, &e, MapTranslator, &names, &stop),
              QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTextUnknownName, 0));
    EXPECT_EQ(e.e.type, CT_TYPE_NONE);
    size_t name = std::string(t).find("Un");
    if (t[name - 1] == '"') --name;  // a quoted name starts at its quote
    EXPECT_EQ(stop, name) << "stops at the refused name";
    EXPECT_EQ(LiveHandles(), before);
  }
}

TEST_F(DeifNames, NamesThatAreNotPlainWordsAreQuotedAndStillTravelByName) {
  const struct {
    uint32_t symbol;
    const char* name;
    const char* spelled;
  } odd[] = {
      {1, "with space", "\"with space\""},
      {2, "int", "\"int\""},  // a type word
      {3, "to", "\"to\""},
      {4, "#5", "\"#5\""},  // would otherwise read as a number
      {5, "", "\"\""},
      {6, "9lives", "\"9lives\""},
      {7, "a\"b\\", "\"a\\\"b\\\\\""},
      {8, "\xc3\xa4", "\"\\xc3\\xa4\""},
      {9, "Dotted.Name_2", "Dotted.Name_2"},
  };
  for (const auto& o : odd) names.Add(o.symbol, o.name);
  for (const auto& o : odd) {
    SCOPED_TRACE(o.name);
    QV_RawDataElement e{};
    e.type = CT_TYPE_SYMBOL;
    e.value.u = o.symbol;
    std::string text = Write(e, MapTranslator, &names);
    EXPECT_EQ(text, std::string("symbol ") + o.spelled);
    Element back;
    ASSERT_EQ(ReadText(text, &back, MapTranslator, &names), QV_OK);
    EXPECT_EQ(back.e.value.u, o.symbol);
  }
  // Type words are still accepted bare where a name is expected.
  Element bare;
  ASSERT_EQ(ReadText("kvset { int = symbol to; }", &bare, MapTranslator, &names), QV_OK);
  uint32_t v, err;
  ASSERT_EQ(CTkvs_GetSymbol(bare.e.value.kvs, 2, &v, &err), 1);
  EXPECT_EQ(v, 3u);
}

TEST_F(DeifNames, EachSymbolIsTranslatedOncePerConversion) {
  std::string text = "array kvset [";
  for (int i = 0; i < 50; ++i) text += "{ Mode = symbol Idle; #1 = symbol Busy; },";
  text += "]";
  Element e;
  ASSERT_EQ(ReadText(text, &e, MapTranslator, &names), QV_OK);
  EXPECT_EQ(names.toSymbol, 3);
  Write(e.e, MapTranslator, &names);
  EXPECT_EQ(names.toName, 4);  // Mode, Idle, #1 (no name), Busy
}

// A translator that, while naming a key, replaces the strings of the set
// being written (freeing the old ones) and drops a nested set.
struct Meddler {
  CTkvs set = 0;
  int calls = 0;
};
QV_Status Meddle(uint32_t* symbol, char** text, int32_t direction, void* context) {
  auto* m = static_cast<Meddler*>(context);
  if (direction == 0) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
  ++m->calls;
  uint32_t err;
  CTkvs_PutString(m->set, 2, "replaced while writing, long enough to need its own block", &err);
  CTkvs_PutString(m->set, 4, "also replaced", &err);
  CTkvs_PutInt(m->set, 3, 9, &err);  // the nested set under key 3 is gone
  *text = strdup(*symbol == 1 ? "First" : *symbol == 2 ? "Second" : *symbol == 3 ? "Third" : "Fourth");
  return QV_OK;
}

TEST_F(DeifNames, ATranslatorChangingTheSetBeingWrittenIsSafe) {
  Meddler m;
  uint32_t err;
  ASSERT_EQ(CTkvs_Create(&m.set, &err), 1);
  CTkvs inner;
  CTkvs_Create(&inner, &err);
  CTkvs_PutInt(inner, 7, 1, &err);
  CTkvs_PutInt(m.set, 1, 1, &err);
  CTkvs_PutString(m.set, 2, "original text that the translator frees", &err);
  CTkvs_PutKVSet(m.set, 3, inner, &err);
  CTkvs_PutString(m.set, 4, "another original", &err);
  CTkvs_Destroy(inner, &err);
  QV_RawDataElement e{};
  e.type = CT_TYPE_KVSET;
  e.value.kvs = m.set;
  char* text = nullptr;
  QV_Status st = DEtoA(&e, &text, Meddle, &m);
  // The strings written are those in the set when they are reached; the
  // nested set that vanished makes the element unsound.
  EXPECT_EQ(st.error, ct::kErrTextBadElement);
  EXPECT_EQ(text, nullptr);
  EXPECT_GE(m.calls, 2);
  CTkvs_Destroy(m.set, &err);

  // Without the nested set the text is whole and holds the new strings.
  Meddler n;
  CTkvs_Create(&n.set, &err);
  CTkvs_PutString(n.set, 2, "original text that the translator frees", &err);
  CTkvs_PutString(n.set, 4, "another original", &err);
  e.value.kvs = n.set;
  st = DEtoA(&e, &text, Meddle, &n);
  ASSERT_EQ(st, QV_OK);
  const std::string written = text;
  std::free(text);
  EXPECT_NE(written.find("Second = string \"replaced while writing"), std::string::npos) << written;
  EXPECT_NE(written.find("Fourth = string \"also replaced\""), std::string::npos) << written;
  EXPECT_EQ(written.find("original"), std::string::npos) << written;
  CTkvs_Destroy(n.set, &err);
}

// A translator that fails but still hands back text, or succeeds without any.
QV_Status Sloppy(uint32_t*, char** text, int32_t direction, void* context) {
  if (direction == 0) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
  if (context != nullptr) {
    *text = strdup("Leaky");
    return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
  }
  *text = nullptr;
  return QV_OK;
}

TEST_F(DeifNames, ATranslatorWithoutAnAnswerGivesNumbers) {
  QV_RawDataElement e{};
  e.type = CT_TYPE_SYMBOL;
  e.value.u = 12;
  int flag = 1;
  EXPECT_EQ(Write(e, Sloppy, &flag), "symbol #12");  // the text it left is freed (the leak check sees it)
  EXPECT_EQ(Write(e, Sloppy, nullptr), "symbol #12");
  Element back;
  EXPECT_EQ(ReadText("symbol Name", &back, Sloppy, nullptr),
            QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTextUnknownName, 0));
}

TEST_F(DeifNames, TwoSpellingsOfOneKeyAreADuplicate) {
  Element e;
  size_t stop = 0;
  EXPECT_EQ(ReadText("kvset { Mode = int 1; #256 = int 2; }", &e, MapTranslator, &names, &stop),
            QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTextDuplicateKey, 0));
  EXPECT_EQ(stop, 22u);
}

}  // namespace
