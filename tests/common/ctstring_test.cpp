#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "common/ctstring.h"

namespace {

// A stream buffer that cannot seek, like a pipe.
class PipeBuffer : public std::streambuf {
 public:
  explicit PipeBuffer(std::string text) : text_(std::move(text)) {
    setg(text_.data(), text_.data(), text_.data() + text_.size());
  }

 private:
  std::string text_;
};

std::string Rest(std::istream& in) {
  std::string rest;
  in.clear();
  std::getline(in, rest, '\0');
  return rest;
}

// ---- Construction and assignment ----

TEST(QVString, NullAndDefaultGiveAnEmptyTextNotANullPointer) {
  QV_String byDefault;
  QV_String fromNull(nullptr);
  for (const QV_String* s : {&byDefault, &fromNull}) {
    EXPECT_EQ(0, s->Length());
    ASSERT_NE(nullptr, static_cast<const char*>(*s));
    EXPECT_STREQ("", *s);
  }
  QV_String assigned("x");
  assigned = static_cast<const char*>(nullptr);
  ASSERT_NE(nullptr, static_cast<const char*>(assigned));
  EXPECT_EQ(0, assigned.Length());
}

TEST(QVString, EveryConstructionAndAssignmentCopies) {
  char text[] = "server-1";
  QV_String fromText(text);
  text[0] = 'X';
  EXPECT_STREQ("server-1", fromText);

  QV_String copy(fromText);
  EXPECT_NE(static_cast<const char*>(fromText), static_cast<const char*>(copy));
  EXPECT_STREQ("server-1", copy);

  QV_String assigned;
  assigned = fromText;
  EXPECT_NE(static_cast<const char*>(fromText), static_cast<const char*>(assigned));
  fromText = "changed";
  EXPECT_STREQ("server-1", assigned);
  EXPECT_EQ(8, assigned.Length());
}

TEST(QVString, AssignmentFromItselfOrItsOwnTextIsSafe) {
  QV_String s("profile");
  const char* before = s;
  QV_String& same = s;
  s = same;
  EXPECT_EQ(before, static_cast<const char*>(s));
  EXPECT_STREQ("profile", s);

  // A pointer into its own buffer is copied before the buffer is freed.
  s = static_cast<const char*>(s) + 3;
  EXPECT_STREQ("file", s);
}

TEST(QVString, TextStopsAtTheFirstZeroAndKeepsHighBytes) {
  const char text[] = "ab\0cd";
  QV_String s(text);
  EXPECT_EQ(2, s.Length());
  QV_String high("\xC3\xA9\xFF");
  EXPECT_EQ(3, high.Length());
  EXPECT_EQ(0, std::memcmp("\xC3\xA9\xFF", static_cast<const char*>(high), 4));
}

// ---- Concatenation ----

TEST(QVString, Concatenate) {
  QV_String s("abc");
  s.Concatenate(QV_String());
  EXPECT_STREQ("abc", s);
  EXPECT_EQ(3, s.Length());

  QV_String empty;
  empty.Concatenate(s);
  EXPECT_STREQ("abc", empty);
  EXPECT_NE(static_cast<const char*>(s), static_cast<const char*>(empty));

  s.Concatenate(QV_String("de"));
  EXPECT_STREQ("abcde", s);
  EXPECT_EQ(5, s.Length());

  s.Concatenate(s);  // onto itself
  EXPECT_STREQ("abcdeabcde", s);
  EXPECT_EQ(10, s.Length());
}

// ---- Comparison ----

TEST(QVString, CompareIsByteWiseAndCaseSensitive) {
  const QV_String abc("abc"), abd("abd"), abcd("abcd"), upper("ABC");
  EXPECT_LT(abc.CompareWith(abd), 0);
  EXPECT_GT(abd.CompareWith(abc), 0);
  EXPECT_LT(abc.CompareWith(abcd), 0);
  EXPECT_GT(abcd.CompareWith(abc), 0);
  EXPECT_EQ(0, abc.CompareWith(QV_String("abc")));
  EXPECT_NE(0, upper.CompareWith(abc));
  EXPECT_LT(QV_String().CompareWith(abc), 0);
  // Bytes count as unsigned: a high byte sorts after every ASCII letter.
  EXPECT_GT(QV_String("\x80").CompareWith(QV_String("z")), 0);

  EXPECT_TRUE(abc < abd);
  EXPECT_FALSE(abd < abc);
  EXPECT_TRUE(abd > abc);
  EXPECT_FALSE(abc > abc);
  EXPECT_TRUE(abc == QV_String("abc"));
  EXPECT_FALSE(upper == abc);
  EXPECT_TRUE(upper != abc);
  EXPECT_FALSE(abc != QV_String("abc"));
}

TEST(QVString, ComparisonWithAPlainTextComparesTheTexts) {
  const QV_String name("main");
  std::string other = "main";
  EXPECT_TRUE(name == other.c_str());  // a different pointer, the same text
  EXPECT_TRUE(other.c_str() == name);
  EXPECT_FALSE(name != "main");
  EXPECT_TRUE(name != "Main");
}

TEST(QVString, InsensitiveCompareFoldsOnlyAsciiLetters) {
  EXPECT_EQ(0, QV_String("ABC").InsensitiveCompareWith(QV_String("abc")));
  EXPECT_EQ(0, QV_String("Mixed-Case_1").InsensitiveCompareWith(QV_String("mIXED-cASE_1")));
  EXPECT_LT(QV_String("abc").InsensitiveCompareWith(QV_String("ABD")), 0);
  EXPECT_GT(QV_String("ABCD").InsensitiveCompareWith(QV_String("abc")), 0);
  // '[' lies between 'Z' and 'a': folding makes "Z" < "[" become "z" > "[".
  EXPECT_GT(QV_String("Z").InsensitiveCompareWith(QV_String("[")), 0);
  // Letters beyond ASCII are not folded.
  EXPECT_NE(0, QV_String("\xC9").InsensitiveCompareWith(QV_String("\xE9")));
}

// ---- Streams ----

TEST(QVString, ExtractionReadsOneWordAndLeavesTheWhitespace) {
  std::istringstream in("   alpha beta");
  QV_String word("old");
  in >> word;
  EXPECT_STREQ("alpha", word);
  EXPECT_EQ(5, word.Length());
  EXPECT_EQ(" beta", Rest(in));
}

TEST(QVString, ExtractionSkipsEveryKindOfWhitespace) {
  std::istringstream in(" \t\n\v\f\rword\tnext");
  QV_String word;
  in >> word;
  EXPECT_STREQ("word", word);
  EXPECT_EQ('\t', in.peek());
}

TEST(QVString, ExtractionAtTheEndGivesTheEmptyString) {
  std::istringstream in(" \t\n ");
  QV_String word("old");
  in >> word;
  EXPECT_STREQ("", word);
  EXPECT_EQ(0, word.Length());
}

TEST(QVString, ExtractionLoopStopsAfterTheLastWord) {
  std::istringstream in("one two\nthree");
  std::vector<std::string> words;
  QV_String word;
  while (in >> word) {
    if (word.Length() == 0) break;
    words.emplace_back(static_cast<const char*>(word));
    ASSERT_LT(words.size(), 10u);
  }
  EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), words);
}

TEST(QVString, ExtractionFromAStreamThatCannotSeek) {
  PipeBuffer pipe("  first second");
  std::istream in(&pipe);
  QV_String word;
  in >> word;
  EXPECT_STREQ("first", word);
  in >> word;
  EXPECT_STREQ("second", word);
}

TEST(QVString, InsertionWritesTheTextOnly) {
  std::ostringstream out;
  out << QV_String("a b") << QV_String() << QV_String("c");
  EXPECT_EQ("a bc", out.str());
  EXPECT_EQ(4u, out.str().size());
}

TEST(QVString, ArraysOfStringsAreAllocatedAsArrays) {
  auto* names = new QV_String[3];
  names[1] = "b";
  names[2] = names[1];
  names[2].Concatenate(names[1]);
  EXPECT_STREQ("", names[0]);
  EXPECT_STREQ("bb", names[2]);
  delete[] names;
}

}  // namespace
