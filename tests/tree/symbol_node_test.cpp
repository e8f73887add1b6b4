// The symbol node: names from the server, numbers when there is none, and
// the entry loop that refuses anything but a known name or an exact number.
#include <string>

#include "tests/tree/nodes_fixture.h"
#include "tree/nodetext.h"
#include "tree/sym_node.h"

namespace {

constexpr int kSymbolEdit = 49203;
constexpr UINT kInvalidKey = 4150;

TEST_F(NodesTest, SymbolTakesTheServersNameOrShowsTheNumber) {
  struct Case {
    QV_DataElement element;
    int result;
    unsigned long key;
    std::string text;
  } cases[] = {
      {SymbolDE(kProfileNamesSymbol), 1, kProfileNamesSymbol, "Admin_ProfileNames"},
      {SymbolDE(777), 1, 777, "777"},
      {SymbolDE(4294967295u), 1, 4294967295u, "4294967295"},
      {IntDE(777), 0, 0, "0"},  // refused: the key stays what it started as
  };
  for (const Case& c : cases) {
    CSymbolNode node;
    EXPECT_EQ(node.PutDE(c.element, Session(), server), c.result) << c.text;
    EXPECT_EQ(node.GetKey(), c.key);
    EXPECT_EQ(DrawnText(node), c.text);
    EXPECT_EQ(std::string(node.SearchText()), c.text);
    QV_DataElement out;
    ASSERT_EQ(node.GetDE(out), 1);
    EXPECT_EQ(out.Type(), CT_TYPE_SYMBOL);
    EXPECT_EQ(out.Symbol(), c.key);
  }
  // Without a session every symbol shows as its number.
  CSymbolNode alone;
  alone.PutDE(SymbolDE(kProfileNamesSymbol), nullptr, server);
  EXPECT_EQ(DrawnText(alone), std::to_string(kProfileNamesSymbol));
}

TEST_F(NodesTest, KeyNumberMustBeTheExactDecimalOfA32BitNumber) {
  struct Case {
    const char* text;
    int ok;
    unsigned long key;
  } cases[] = {
      {"0", 1, 0},
      {"17", 1, 17},
      {"4294967295", 1, 4294967295u},
      {"00", 0, 0},
      {"017", 0, 0},
      {"17a", 0, 0},
      {"1 7", 0, 0},
      {"4294967296", 0, 0},  // ten digits, above 32 bits
      {"9999999999", 0, 0},
      {"18446744073709551617", 0, 0},
      {"+5", 0, 0},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    unsigned long key = 12345;
    EXPECT_EQ(CSymbolNode::ReadKeyNumber(c.text, key), c.ok) << c.text;
    EXPECT_EQ(key, c.ok ? c.key : 12345ul) << c.text;
  }
  // Names go to the server.
  unsigned long key = 0;
  EXPECT_EQ(CSymbolNode::KeyFromText("Admin_ProfileClasses", Session(), server, key), 1);
  EXPECT_EQ(key, kProfileClassesSymbol);
  EXPECT_EQ(CSymbolNode::KeyFromText("NoSuchName", Session(), server, key), 0);
  EXPECT_EQ(CSymbolNode::KeyFromText("", Session(), server, key), 0);
}

TEST_F(NodesTest, HashNumberIsTheSymbolOfThatNumber) {
  struct Case {
    const char* text;
    int ok;
    unsigned long key;
  } cases[] = {
      {"#0", 1, 0},
      {"#777", 1, 777},
      {"#0777", 1, 777},  // as the data-element text reads it
      {"#4294967295", 1, 4294967295u},
      {"#0x1F", 1, 31},
      {"#0XffffFFFF", 1, 4294967295u},
      {"#4294967296", 0, 0},
      {"#0x100000000", 0, 0},
      {"#99999999999999999999999", 0, 0},
      {"#", 0, 0},
      {"#0x", 0, 0},
      {"#-1", 0, 0},
      {"#+1", 0, 0},
      {"# 1", 0, 0},
      {"#1 ", 0, 0},
      {"#12a", 0, 0},
      {"#0x1g", 0, 0},
      {"777", 0, 0},
  };
  for (const Case& c : cases) {
    unsigned long key = 12345;
    EXPECT_EQ(CSymbolNode::ReadSymbolReference(c.text, key), c.ok) << c.text;
    EXPECT_EQ(key, c.ok ? c.key : 12345ul) << c.text;
    // The key rule of a set takes the same texts without the server.
    key = 12345;
    EXPECT_EQ(CSymbolNode::KeyFromText(c.text, nullptr, server, key), c.ok || c.text[0] != '#' ? 1 : 0) << c.text;
  }
}

TEST_F(NodesTest, SymbolEntryLoopsUntilValidOrCancelled) {
  struct Case {
    const char* name;
    std::vector<QString> entries;  // typed in turn, each followed by OK
    bool cancelAtEnd;              // cancel the dialog after the entries
    std::vector<UINT> messages;
    int result;
    unsigned long key;
    std::string text;
  } cases[] = {
      {"number", {"12"}, false, {}, 1, 12, "12"},
      {"zero", {"0"}, false, {}, 1, 0, "0"},
      {"leading zeros, then fixed", {"0012", "12"}, false, {kInvalidKey}, 1, 12, "12"},
      {"trailing letters, then fixed", {"12a", "99"}, false, {kInvalidKey}, 1, 99, "99"},
      {"empty, above 32 bits, then a name",
       {"", "4294967296", "Admin_ProfileNames"},
       false,
       {kInvalidKey, kInvalidKey},
       1,
       kProfileNamesSymbol,
       "Admin_ProfileNames"},
      {"#number", {"#12"}, false, {}, 1, 12, "12"},
      {"#number of a named symbol", {"#0x0110080D"}, false, {}, 1, kProfileNamesSymbol, "Admin_ProfileNames"},
      {"bad #numbers, then fixed",
       {"#", "#0x1g", "#4294967296", "#4294967295"},
       false,
       {kInvalidKey, kInvalidKey, kInvalidKey},
       1,
       4294967295u,
       "4294967295"},
      {"unknown name, then cancel", {"NoSuchName"}, true, {kInvalidKey}, 0, 777, "777"},
      {"cancel at once", {}, true, {}, 0, 777, "777"},
  };
  for (const Case& c : cases) {
    CSymbolNode node;
    node.PutDE(SymbolDE(777), Session(), server);
    host.Clear();
    QString previous = "777";
    for (const QString& entry : c.entries) {
      host.ExpectDialog([entry, previous](DialogDriver& d) {
        // The dialog comes back with what was typed before.
        EXPECT_EQ(d.Text(kSymbolEdit), previous);
        EXPECT_TRUE(d.Type(kSymbolEdit, entry));
        d.Click(1);
      });
      previous = entry;
    }
    if (c.cancelAtEnd) host.ExpectDialog(Cancel());
    EXPECT_EQ(node.EditNode(Session(), server, nullptr), c.result) << c.name;
    EXPECT_EQ(host.MessageIds(), c.messages) << c.name;
    EXPECT_EQ(host.PendingScripts(), 0u) << c.name;
    EXPECT_EQ(node.GetKey(), c.key) << c.name;
    EXPECT_EQ(DrawnText(node), c.text) << c.name;
  }
}

TEST(NodeText, LongTextsAreCutToTheBuffer) {
  struct Case {
    size_t length;
    int buffer;
    size_t shown;
  } cases[] = {{1023, 1024, 1023}, {1024, 1024, 1023}, {5000, 1024, 1023}, {0, 1024, 0}, {2046, 2046, 2045}};
  for (const Case& c : cases) {
    const std::string text(c.length, 'n');
    EXPECT_EQ(FitDisplayText(text.c_str(), c.buffer).str(), text.substr(0, c.shown)) << c.length;
  }
  EXPECT_EQ(FitDisplayText(nullptr, 16).str(), "");
}

}  // namespace
