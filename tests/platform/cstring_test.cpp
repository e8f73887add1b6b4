#include <gtest/gtest.h>

#include "platform/cstring.h"

TEST(CStringTest, ConstructionAndComparison) {
  const CString nullText(static_cast<const char*>(nullptr));
  EXPECT_TRUE(nullText.IsEmpty());
  CString a("abc");
  EXPECT_EQ(a.GetLength(), 3);
  EXPECT_STREQ(static_cast<const char*>(a), "abc");
  EXPECT_TRUE(a == "abc");
  EXPECT_TRUE(a != "abd");
  EXPECT_TRUE(CString("abc") < CString("abd"));
  EXPECT_FALSE(CString("b") < CString("abc"));
  a.Empty();
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_STREQ(a.GetString(), "");
}

TEST(CStringTest, ConcatenationKeepsBothParts) {
  CString s("Lines");
  s += "  [ ";
  s += CString("Setup");
  s += ' ';
  s += ']';
  EXPECT_EQ(s, "Lines  [ Setup ]");
  EXPECT_EQ(CString("a") + "b" + CString("c") + 'd', "abcd");
  EXPECT_EQ("x" + CString("y"), "xy");
}

TEST(CStringTest, FormatReplacesAndAppendFormatExtends) {
  CString s("old");
  s.Format("[%s, %s, %s] *", "Untitled", "No_Class", "S1");
  EXPECT_EQ(s, "[Untitled, No_Class, S1] *");
  s.Format("%.7g", 1.0 / 3.0);
  EXPECT_EQ(s, "0.3333333");
  s.Format("%+i|%i|%lu", 5, -5, 4294967295UL);
  EXPECT_EQ(s, "+5|-5|4294967295");
  s.AppendFormat(" page %u of %u", 2u, 7u);
  EXPECT_EQ(s, "+5|-5|4294967295 page 2 of 7");
}

TEST(CStringTest, FormatHandlesLongOutput) {
  const std::string big(5000, 'q');
  CString s;
  s.Format("<%s>", big.c_str());
  ASSERT_EQ(s.GetLength(), 5002);
  EXPECT_EQ(s.GetAt(0), '<');
  EXPECT_EQ(s.GetAt(5001), '>');
}

TEST(CStringTest, FindSubstringAndCharacterFromIndex) {
  const CString s("abcabc");
  EXPECT_EQ(s.Find("bc"), 1);
  EXPECT_EQ(s.Find("bc", 2), 4);
  EXPECT_EQ(s.Find("bc", 5), -1);
  EXPECT_EQ(s.Find("zz"), -1);
  EXPECT_EQ(s.Find('c'), 2);
  EXPECT_EQ(s.Find('c', 3), 5);
  EXPECT_EQ(s.Find('a', 6), -1);
  EXPECT_EQ(s.Find('a', -1), -1);
  EXPECT_EQ(s.Find("a", 99), -1);
  EXPECT_EQ(s.ReverseFind('b'), 4);
  EXPECT_EQ(s.FindOneOf("xc"), 2);
}

TEST(CStringTest, UpperAndLowerCaseOnlyTouchLetters) {
  CString s("Hello, World 42 \xE9");
  s.MakeUpper();
  EXPECT_EQ(s, "HELLO, WORLD 42 \xE9");
  s.MakeLower();
  EXPECT_EQ(s, "hello, world 42 \xE9");
}

TEST(CStringTest, SubstringsClampToTheText) {
  const CString s("profile");
  EXPECT_EQ(s.Left(3), "pro");
  EXPECT_EQ(s.Left(50), "profile");
  EXPECT_EQ(s.Left(-1), "");
  EXPECT_EQ(s.Mid(3), "file");
  EXPECT_EQ(s.Mid(3, 2), "fi");
  EXPECT_EQ(s.Mid(5, 100), "le");
  EXPECT_EQ(s.Mid(7), "");
  EXPECT_EQ(s.Mid(-2, 3), "pro");
  EXPECT_EQ(s.Right(4), "file");
  EXPECT_EQ(s.Right(40), "profile");
  EXPECT_EQ(s.Right(0), "");
  EXPECT_EQ(s.GetAt(0), 'p');
  EXPECT_EQ(s.GetAt(7), '\0');
  EXPECT_EQ(s.GetAt(-1), '\0');
}

TEST(CStringTest, TrimmingEachEnd) {
  CString s(" \t name \r\n");
  CString left = s;
  left.TrimLeft();
  EXPECT_EQ(left, "name \r\n");
  CString right = s;
  right.TrimRight();
  EXPECT_EQ(right, " \t name");
  CString blanks("   ");
  blanks.TrimLeft();
  EXPECT_TRUE(blanks.IsEmpty());
  CString quoted("\"abc\"");
  quoted.TrimLeft("\"").TrimRight("\"");
  EXPECT_EQ(quoted, "abc");
}

TEST(CStringTest, ReplaceRemoveInsertDelete) {
  CString s("a-b-c");
  EXPECT_EQ(s.Replace("-", "--"), 2);
  EXPECT_EQ(s, "a--b--c");
  EXPECT_EQ(s.Replace("", "x"), 0);
  EXPECT_EQ(s.Remove('-'), 4);
  EXPECT_EQ(s, "abc");
  s.Insert(1, "XY");
  EXPECT_EQ(s, "aXYbc");
  s.Insert(99, "!");
  EXPECT_EQ(s, "aXYbc!");
  s.Delete(1, 2);
  EXPECT_EQ(s, "abc!");
  s.Delete(10, 3);
  EXPECT_EQ(s, "abc!");
}

namespace {
CString FakeTable(unsigned id) { return id == 4171 ? CString("Page %u of %u") : CString(); }
}  // namespace

TEST(CStringTest, LoadStringUsesTheInstalledResolver) {
  const CString::Resolver saved = CString::GetStringResolver();
  CString s("stale");
  CString::SetStringResolver(nullptr);
  EXPECT_FALSE(s.LoadString(4171));
  EXPECT_TRUE(s.IsEmpty());
  CString::SetStringResolver(&FakeTable);
  EXPECT_TRUE(s.LoadString(4171));
  EXPECT_EQ(s, "Page %u of %u");
  s = "stale";
  EXPECT_FALSE(s.LoadString(1));
  EXPECT_TRUE(s.IsEmpty());
  CString::SetStringResolver(saved);
}
