// The shape of the text: what DEtoA writes, and the free forms AtoAnyDE
// accepts besides (blanks, comments, optional separators, other spellings).
#include <gtest/gtest.h>

#include "s100/cterrors.h"
#include "tests/s100/deif_support.h"

using namespace deif_test;

namespace {

class DeifFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* words[] = {"Alpha", "Beta", "Flag", "Mode",  "Idle",  "Gain", "Span", "Band",  "Title",
                           "List",  "Empty", "Grid", "Sub",  "Inner", "None", "Sets", "Deep"};
    uint32_t n = 0x1000;
    for (const char* w : words) names.Add(n++, w);
  }

  // Reads with the names; fails the test on error.
  void Read(const std::string& text, QV_RawDataElement* e) {
    QV_Status st = ReadText(text, e, MapTranslator, &names);
    ASSERT_EQ(st, QV_OK) << std::hex << "error 0x" << st.error << "\n" << text;
  }

  Names names;
};

const char kProfile[] =
    "kvset {\n"
    "  Alpha = int -5;\n"
    "  Beta = uint 7;\n"
    "  Flag = bool 1;\n"
    "  Mode = symbol Idle;\n"
    "  Gain = float 1.5;\n"
    "  Span = irange 1 to 5;\n"
    "  Band = frange 0.5 to 2.5;\n"
    "  Title = string \"a \\\"quoted\\\" text\\n\";\n"
    "  List = array int [1, 2, 3];\n"
    "  Empty = array string [];\n"
    "  Grid = array array [array int [1], array string [\"a\"]];\n"
    "  Sub = kvset {\n"
    "    Inner = int 1;\n"
    "  };\n"
    "  None = kvset {};\n"
    "  Sets = array kvset [\n"
    "    {\n"
    "      Inner = kvset {\n"
    "        Alpha = int 2;\n"
    "      };\n"
    "    },\n"
    "    {}\n"
    "  ];\n"
    "  Deep = array array [\n"
    "    array kvset [\n"
    "      {}\n"
    "    ],\n"
    "    array int []\n"
    "  ];\n"
    "  #777 = int 1;\n"
    "}";

TEST_F(DeifFormat, WriterPutsOneKeyPerLineWithTwoSpaceIndentation) {
  Element e;
  Read(kProfile, &e);
  EXPECT_EQ(Write(e.e, MapTranslator, &names), kProfile);
}

TEST_F(DeifFormat, KeysKeepTheirOrder) {
  Element e;
  Read("kvset { Gain = int 1; Alpha = int 2; #5 = int 3; Beta = int 4; }", &e);
  EXPECT_EQ(Write(e.e, MapTranslator, &names),
            "kvset {\n  Gain = int 1;\n  Alpha = int 2;\n  #5 = int 3;\n  Beta = int 4;\n}");
}

TEST_F(DeifFormat, BlanksCommentsAndSeparatorsAreFree) {
  Element reference;
  Read(kProfile, &reference);
  const std::string variants[] = {
      // No blanks at all where none are needed.
      "kvset{Alpha=int -5;Beta=uint 7;Flag=bool 1;Mode=symbol Idle;Gain=float 1.5;Span=irange 1 to 5;"
      "Band=frange 0.5 to 2.5;Title=string\"a \\\"quoted\\\" text\\n\";List=array int[1,2,3];"
      "Empty=array string[];Grid=array array[array int[1],array string[\"a\"]];Sub=kvset{Inner=int 1};"
      "None=kvset{};Sets=array kvset[{Inner=kvset{Alpha=int 2}},{}];Deep=array array[array kvset[{}],"
      "array int[]];#777=int 1}",
      // Comments, tabs, CR LF line ends, trailing commas, other spellings.
      "// a profile\r\nkvset {\t// opening\r\n"
      "  Alpha = int -0x5;  Beta = uint 0x7; Flag = bool true;\n"
      "  Mode = symbol Idle; Gain = float 15e-1; Span = irange 1 to 0x5; Band = frange .5 to 2.50;\n"
      "  Title = string \"a \\\"quoted\\\" text\\x0A\";\n"
      "  List = array int [1, 2, 3,];  // trailing comma\n"
      "  Empty = array #77 [];\n"
      "  Grid = array array [array #61 [1], array string [\"a\"],];\n"
      "  Sub = kvset { Inner = int 1; }; None = kvset { // nothing\n};\n"
      "  Sets = array kvset [kvset { Inner = kvset { Alpha = int 2; } }, kvset {}];\n"
      "  Deep = array array [array kvset [{}], array int []];\n"
      "  #0x309 = int 1\n"
      "}\n// end\n",
  };
  for (const std::string& v : variants) {
    SCOPED_TRACE(v);
    Element e;
    Read(v, &e);
    std::string why;
    EXPECT_TRUE(SameElement(reference.e, e.e, &why)) << why;
  }
}

TEST_F(DeifFormat, BracketsInStringsAndCommentsDoNotCountAsItems) {
  Element e;
  Read("array kvset [{ #1 = string \"],[{\\\"\"; }, // ], { a comment [\n"
       "  kvset { #2 = array array [array string [\"]\", \",\"], array kvset [{}, {},]]; },\n"
       "  {},]",
       &e);
  EXPECT_EQ(Write(e.e),
            "array kvset [\n"
            "  {\n    #1 = string \"],[{\\\"\";\n  },\n"
            "  {\n    #2 = array array [\n      array string [\"]\", \",\"],\n"
            "      array kvset [\n        {},\n        {}\n      ]\n    ];\n  },\n"
            "  {}\n]");
}

TEST_F(DeifFormat, BoolWordsAndFloatWordsRead) {
  Element t, f, inf, nan, ninf;
  Read("bool false", &f);
  Read("bool true", &t);
  Read("float inf", &inf);
  Read("float -inf", &ninf);
  Read("float nan", &nan);
  EXPECT_EQ(t.e.value.i, 1);
  EXPECT_EQ(f.e.value.i, 0);
  EXPECT_EQ(inf.e.value.u, 0x7f800000u);
  EXPECT_EQ(ninf.e.value.u, 0xff800000u);
  EXPECT_EQ(nan.e.value.u, 0x7fc00000u);
}

TEST_F(DeifFormat, TopLevelScalarsAndEmptyContainers) {
  QV_RawDataElement e{};
  e.type = CT_TYPE_KVSET;
  uint32_t err;
  ASSERT_EQ(CTkvs_Create(&e.value.kvs, &err), 1);
  EXPECT_EQ(Write(e), "kvset {}");
  CTkvs_Destroy(e.value.kvs, &err);
  Element arrays;
  Read("array kvset []", &arrays);
  EXPECT_EQ(Write(arrays.e), "array kvset []");
}

}  // namespace
