// The array node: element types, the first element edited before it joins,
// insertion positions, conversions of every kind, and arrays of codes the
// editor does not know kept whole.
#include <string>

#include "tests/common/sessions_fixture.h"
#include "tests/tree/nodes_fixture.h"
#include "tree/arrynode.h"
#include "tree/intnode.h"
#include "tree/kvs_node.h"

namespace {

using sessions_test::Ary;

constexpr int kPositionEdit = 49166;
constexpr int kInsertEditValue = 49201;

std::vector<std::string> Texts(CArrayNode& array) {
  std::vector<std::string> texts;
  for (CTreeNode* c = array.GetFirstChild(); c; c = c->GetNextSibling())
    texts.push_back(std::string(static_cast<CDENode*>(c)->SearchText()));
  return texts;
}

CIntegerNode* Int(long v) {
  auto* n = new CIntegerNode();
  n->SetValue(v);
  return n;
}

TEST_F(NodesTest, NewArrayHoldsIntegersUntilItHasElements) {
  CArrayNode array;
  EXPECT_EQ(std::string(array.Label()), "Integer");
  EXPECT_EQ(array.CanContain("CIntegerNode"), 1);
  EXPECT_EQ(array.CanContain("CUIntNode"), 0);
  EXPECT_EQ(array.CanContain("cintegernode"), 0);
  EXPECT_EQ(array.CanEdit(), 1);
  // The type dialog opens on the current type; each button gives its type.
  const int buttons[] = {49199, 49191, 49188, 49189, 49186, 49187, 49197, 49195, 49193, 49190};
  const char* labels[] = {"Array", "Boolean", "Float", "Float Range", "Integer", "Integer Range",
                          "KV Set", "String", "Symbol", "Unsigned Integer"};
  int current = 4;
  for (int i = 0; i < CArrayNode::kTypeCount; ++i) {
    host.ExpectDialog([&, i](DialogDriver& d) {
      EXPECT_TRUE(d.IsChecked(buttons[current])) << i;
      d.Click(buttons[i]);
      d.Click(1);
    });
    ASSERT_EQ(array.EditNode(Session(), server, nullptr), 1);
    EXPECT_EQ(std::string(array.GetElementType()), CArrayNode::kElementTypes[i]);
    EXPECT_EQ(std::string(array.Label()), labels[i]);
    EXPECT_EQ(array.CanContain(CArrayNode::kElementTypes[i]), 1);
    current = i;
  }
}

TEST_F(NodesTest, FirstElementIsEditedBeforeItJoins) {
  CArrayNode ints;
  ints.SetExpanded(0);
  host.ExpectDialog(Cancel());
  CIntegerNode kept;
  EXPECT_EQ(ints.AddSubNode(&kept, nullptr, Session(), server), 0);
  EXPECT_EQ(ints.CountSubNodes(), 0);
  host.ExpectDialog(TypeOK(49153, "12"));
  ASSERT_EQ(ints.AddSubNode(new CIntegerNode(), nullptr, Session(), server), 1);
  EXPECT_EQ(Texts(ints), std::vector<std::string>{"+12"});
  EXPECT_TRUE(ints.IsExpanded());
  EXPECT_EQ(ints.CanEdit(), 0);
  // Its type is fixed now, even when asked directly.
  host.Clear();
  EXPECT_EQ(ints.EditNode(Session(), server, nullptr), 0);
  EXPECT_TRUE(host.Dialogs().empty());
  EXPECT_EQ(std::string(ints.GetElementType()), "CIntegerNode");
  // A set has no dialog: it joins an empty array of sets at once.
  CArrayNode sets;
  ASSERT_EQ(sets.SetElementType("CKVSetNode"), 1);
  host.Clear();
  ASSERT_EQ(sets.AddSubNode(new CKVSetNode(), nullptr, Session(), server), 1);
  EXPECT_TRUE(host.Dialogs().empty());
  EXPECT_EQ(sets.SetElementType("CIntegerNode"), 0);  // fixed while it has elements
}

TEST_F(NodesTest, ElementsAreInsertedAtTheGivenPosition) {
  struct Case {
    QString position;
    std::vector<std::string> texts;
  } cases[] = {
      {"0", {"+9", "+1", "+2", "+3"}},
      {"2", {"+1", "+2", "+9", "+3"}},
      {"3", {"+1", "+2", "+3", "+9"}},
      {"99", {"+1", "+2", "+3", "+9"}},
      {"4294967295", {"+1", "+2", "+3", "+9"}},
  };
  for (const Case& c : cases) {
    CArrayNode array;
    for (long v : {1, 2, 3}) array.CTreeNode::AddSubNode(Int(v), -1);
    array.SetExpanded(0);
    host.ExpectDialog([&](DialogDriver& d) {
      EXPECT_EQ(d.Text(kPositionEdit), "0");
      EXPECT_NE(d.Control(kInsertEditValue), nullptr);
      d.Type(kPositionEdit, c.position);
      d.Click(1);
    });
    ASSERT_EQ(array.AddSubNode(Int(9), nullptr, Session(), server), 1) << c.position.toStdString();
    EXPECT_EQ(Texts(array), c.texts) << c.position.toStdString();
    EXPECT_TRUE(array.IsExpanded());
  }
  // Sets get the insert dialog without "Edit Value...".
  CArrayNode sets;
  sets.SetElementType("CKVSetNode");
  sets.CTreeNode::AddSubNode(new CKVSetNode(), -1);
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_EQ(d.Control(kInsertEditValue), nullptr);
    d.Click(2);
  });
  CKVSetNode spare;
  EXPECT_EQ(sets.AddSubNode(&spare, nullptr, Session(), server), 0);
  EXPECT_EQ(sets.CountSubNodes(), 1);
}

TEST_F(NodesTest, ArraysRoundTripEveryKindAndKeepUnknownCodes) {
  const int32_t ints[] = {1, -2, 2147483647};
  const uint32_t words[] = {0xDEADBEEF, 1};
  const char* const strings[] = {"a", "", "b c"};
  const CTfrange franges[] = {{0.5f, 1.5f}, {-1, 2}};
  struct Case {
    const char* name;
    std::function<void(CTary)> fill;
    int result;
    std::string label;
    int children;
  } cases[] = {
      {"ints", [&](CTary a) { CTary_PutInt(a, ints, 3, nullptr); }, 1, "Integer", 3},
      {"strings", [&](CTary a) { CTary_PutString(a, strings, 3, nullptr); }, 1, "String", 3},
      {"float ranges", [&](CTary a) { CTary_PutFRange(a, franges, 2, nullptr); }, 1, "Float Range", 2},
      {"empty floats", [](CTary a) { CTary_PutFloat(a, nullptr, 0, nullptr); }, 1, "Float", 0},
      {"empty arrays", [](CTary a) { CTary_PutArray(a, nullptr, 0, nullptr); }, 1, "Array", 0},
      {"arrays of different kinds",
       [&](CTary a) {
         Ary inner1, inner2, inner3;
         CTary_PutInt(inner1, ints, 2, nullptr);
         CTary_PutString(inner2, strings, 3, nullptr);
         CTary_PutWords(inner3, 70, words, 2, nullptr);
         const CTary items[] = {inner1, inner2, inner3};
         CTary_PutArray(a, items, 3, nullptr);
       },
       1, "Array", 3},
      {"code 67", [&](CTary a) { CTary_PutWords(a, 67, words, 2, nullptr); }, 1,
       "!!! Error - Unknown Array Type !!!", 0},
      {"code 200", [&](CTary a) { CTary_PutWords(a, 200, words, 1, nullptr); }, 1,
       "!!! Error - Unknown Array Type !!!", 0},
      {"fresh array, code 60", [](CTary) {}, 1, "!!! Error - Unknown Array Type !!!", 0},
  };
  for (const Case& c : cases) {
    Ary source;
    c.fill(source);
    QV_DataElement in;
    in.SetToArray(source);
    CArrayNode array;
    ASSERT_EQ(array.PutDE(in, Session(), server), c.result) << c.name;
    EXPECT_EQ(std::string(array.Label()), c.label) << c.name;
    EXPECT_EQ(array.CountSubNodes(), c.children) << c.name;
    QV_DataElement out;
    ASSERT_EQ(array.GetDE(out), 1) << c.name;
    EXPECT_EQ(out.Type(), in.Type()) << c.name;
    // Compare through a set: its serialised form covers nested arrays bit for bit.
    sessions_test::Kvs a, b;
    CTkvs_PutArray(a, 1, in.Array(), nullptr);
    CTkvs_PutArray(b, 1, out.Array(), nullptr);
    EXPECT_TRUE(sessions_test::SameContent(a, b)) << c.name;
  }
}

TEST_F(NodesTest, UnknownArrayIsNeitherEditedNorAddedTo) {
  Ary source;
  const uint32_t words[] = {7};
  CTary_PutWords(source, 73, words, 1, nullptr);
  QV_DataElement in;
  in.SetToArray(source);
  CArrayNode array;
  ASSERT_EQ(array.PutDE(in, Session(), server), 1);
  EXPECT_EQ(array.CanEdit(), 0);
  EXPECT_EQ(array.CanContain(array.GetElementType()), 0);
  EXPECT_EQ(array.EditNode(Session(), server, nullptr), 0);
  CIntegerNode element;
  EXPECT_EQ(array.AddSubNode(&element, nullptr, Session(), server), 0);
  EXPECT_TRUE(host.Dialogs().empty());
  EXPECT_EQ(host.MessageIds(), std::vector<UINT>{4118});
  EXPECT_EQ(DrawnText(array), "!!! Error - Unknown Array Type !!!");
  // A later known array replaces it entirely.
  Ary ints;
  const int32_t one[] = {1};
  CTary_PutInt(ints, one, 1, nullptr);
  in.SetToArray(ints);
  ASSERT_EQ(array.PutDE(in, Session(), server), 1);
  EXPECT_EQ(array.HoldsUnknownArray(), 0);
  EXPECT_EQ(std::string(array.Label()), "Integer");
  // An element that is no array empties the node and is refused.
  EXPECT_EQ(array.PutDE(UIntDE(4), Session(), server), 0);
  EXPECT_EQ(array.CountSubNodes(), 0);
}

TEST_F(NodesTest, UnknownElementTypeShowsTheErrorLabel) {
  CArrayNode array;
  ASSERT_EQ(array.SetElementType("CKVPairNode"), 1);
  EXPECT_EQ(array.EditNode(Session(), server, nullptr), 0);
  EXPECT_TRUE(host.Dialogs().empty());
  EXPECT_EQ(DrawnText(array), "!!! Error - Unknown Array Type !!!");
  QV_DataElement out;
  EXPECT_EQ(array.GetDE(out), 0);
  EXPECT_GE(out.Type(), 60u);
}

}  // namespace
