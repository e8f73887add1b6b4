// The node factory on every type code.
#include <string>

#include "tests/common/sessions_fixture.h"
#include "tests/tree/nodes_fixture.h"

namespace {

using sessions_test::Ary;
using sessions_test::Kvs;

TEST_F(NodesTest, FactoryMakesTheClassOfEachCode) {
  Kvs set;
  CTkvs_PutInt(set, 9, 1, nullptr);
  const uint32_t words[] = {1, 2};
  struct Case {
    const char* name;
    std::function<void(QV_DataElement&)> make;
    const char* type;  // null: no node
  } cases[] = {
      {"no value", [](QV_DataElement&) {}, nullptr},
      {"int", [](QV_DataElement& e) { e.SetToInt(-1); }, "CIntegerNode"},
      {"uint", [](QV_DataElement& e) { e.SetToUInt(1); }, "CUIntNode"},
      {"bool", [](QV_DataElement& e) { e.SetToBool(1); }, "CBoolNode"},
      {"symbol", [](QV_DataElement& e) { e.SetToSymbol(kProfileNamesSymbol); }, "CSymbolNode"},
      {"float", [](QV_DataElement& e) { e.SetToFloat(1.5f); }, "CFloatNode"},
      {"irange", [](QV_DataElement& e) { e.SetToIRange({1, 2}); }, "CIRangeNode"},
      {"frange", [](QV_DataElement& e) { e.SetToFRange({1, 2}); }, "CFRangeNode"},
      {"kvset", [&](QV_DataElement& e) { e.SetToKVSet(set); }, "CKVSetNode"},
      {"string", [](QV_DataElement& e) { e.SetToString("s"); }, "CStringNode"},
      {"fresh array", [](QV_DataElement& e) { Ary a; e.SetToArray(a); }, "CArrayNode"},
      {"int array", [](QV_DataElement& e) { Ary a; CTary_PutInt(a, nullptr, 0, nullptr); e.SetToArray(a); }, "CArrayNode"},
      {"code 67", [&](QV_DataElement& e) { Ary a; CTary_PutWords(a, 67, words, 2, nullptr); e.SetToArray(a); },
       "CArrayNode"},
      {"code 79", [&](QV_DataElement& e) { Ary a; CTary_PutWords(a, 79, words, 1, nullptr); e.SetToArray(a); },
       "CArrayNode"},
  };
  for (const Case& c : cases) {
    QV_DataElement element;
    c.make(element);
    std::unique_ptr<CDENode> node(CDENode::CreateDENode(element, Session(), server));
    if (!c.type) {
      EXPECT_EQ(node, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(node, nullptr) << c.name;
    EXPECT_EQ(std::string(node->Type()), c.type) << c.name;
    EXPECT_EQ(node->GetParent(), nullptr);
    EXPECT_TRUE(node->IsExpanded());
    EXPECT_FALSE(node->IsSelected());
    QV_DataElement out;
    ASSERT_EQ(node->GetDE(out), 1) << c.name;
    EXPECT_EQ(out.Type(), element.Type()) << c.name;
  }
}

}  // namespace
