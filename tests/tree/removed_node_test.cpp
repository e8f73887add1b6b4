// The rows a comparison draws for removed nodes: no part of any value, never
// edited or deleted, drawn struck through with the removed mark.
#include <cstdlib>
#include <string>

#include "s100/deif.h"

#include "tests/tree/nodes_fixture.h"
#include "tree/arrynode.h"
#include "tree/intnode.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"
#include "tree/removednode.h"
#include "tree/sym_node.h"

namespace {

CIntegerNode* Int(long v) {
  auto* n = new CIntegerNode();
  n->SetValue(v);
  return n;
}

CKVPairNode* Pair(uint32_t key, CDENode* value, MultiAdminSession* session, const QV_String& server) {
  auto* keyNode = new CSymbolNode();
  QV_DataElement symbol;
  symbol.SetToSymbol(key);
  keyNode->PutDE(symbol, session, server);
  return new CKVPairNode(keyNode, value);
}

// The element as data-element text, keys by number.
std::string TextOf(CDENode& node) {
  QV_DataElement value;
  if (node.GetDE(value) != 1) return "<no value>";
  const QV_RawDataElement raw = ToRawDataElement(value);
  char* text = nullptr;
  DEtoA(&raw, &text, nullptr, nullptr);
  std::string result = text != nullptr ? text : "<no text>";
  std::free(text);
  return result;
}

TEST_F(NodesTest, RemovedRowsAreNoPartOfTheirContainersValue) {
  // Each container with removed rows among its children has the value of
  // the same container without them.
  CArrayNode array, plainArray;
  ASSERT_TRUE(array.CTreeNode::AddSubNode(new CRemovedNode("[0] = int 5", CT_TYPE_INT, false, 0), -1));
  EXPECT_FALSE(array.HasItems()) << "removed rows alone are no items";
  EXPECT_EQ(array.CanEdit(), 1);
  EXPECT_EQ(TextOf(array), TextOf(plainArray));
  ASSERT_TRUE(array.CTreeNode::AddSubNode(Int(1), 0));
  ASSERT_TRUE(array.CTreeNode::AddSubNode(new CRemovedNode("[2] = int 7", CT_TYPE_INT, false, 1), -1));
  ASSERT_TRUE(array.CTreeNode::AddSubNode(Int(3), -1));
  EXPECT_TRUE(array.HasItems());
  EXPECT_EQ(array.CanEdit(), 0);
  ASSERT_TRUE(plainArray.CTreeNode::AddSubNode(Int(1), -1));
  ASSERT_TRUE(plainArray.CTreeNode::AddSubNode(Int(3), -1));

  CKVSetNode set, plainSet;
  ASSERT_TRUE(set.CTreeNode::AddSubNode(new CRemovedNode("First = int 0", CT_TYPE_INT, true, 2), -1));
  ASSERT_TRUE(set.CTreeNode::AddSubNode(Pair(kProfileNamesSymbol, Int(1), Session(), server), -1));
  ASSERT_TRUE(set.CTreeNode::AddSubNode(new CRemovedNode("Gone = int 2", CT_TYPE_INT, true, 3), -1));
  ASSERT_TRUE(plainSet.CTreeNode::AddSubNode(Pair(kProfileNamesSymbol, Int(1), Session(), server), -1));

  const struct {
    const char* what;
    CDENode* node;
    CDENode* plain;
    const char* holds;
  } cases[] = {
      {"array", &array, &plainArray, "[1, 3]"},
      {"set", &set, &plainSet, "= int 1;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = TextOf(*c.node);
    EXPECT_EQ(text, TextOf(*c.plain));
    EXPECT_NE(text.find(c.holds), std::string::npos) << text;
  }

  // The row itself: no value, no edit, no delete, not found; drawn with its
  // text in the removed colour, struck through, and the mark beside it.
  CRemovedNode* row = static_cast<CRemovedNode*>(set.GetLastChild());
  QV_DataElement none;
  EXPECT_EQ(row->GetDE(none), 0);
  EXPECT_EQ(row->CanEdit(), 0);
  EXPECT_EQ(row->CanDelete(nullptr), 0);
  EXPECT_EQ(row->CanContain("CIntegerNode"), 0);
  EXPECT_TRUE(row->SearchText().IsEmpty());
  EXPECT_TRUE(row->IsRemovedRow());
  EXPECT_FALSE(static_cast<CDENode*>(set.GetFirstChild()->GetNextSibling())->IsRemovedRow());
  CRecordingDC dc;
  ASSERT_EQ(row->DrawNode(0, 0, &dc, 1.0f), 1);
  const auto texts = dc.RecordsOf(DCRecord::Op::TextOut);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "Gone = int 2");
  EXPECT_EQ(texts[0].textColor, CRemovedNode::kRemovedColour);
  EXPECT_EQ(texts[1].text, "[- removed]");
  EXPECT_FALSE(dc.RecordsOf(DCRecord::Op::LineTo).empty()) << "struck through";
  EXPECT_GT(row->GetWidth(), row->GetIconWidth());
}

}  // namespace
