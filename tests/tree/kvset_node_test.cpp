// Key-value set and pair nodes: a whole profile into a tree and back, the
// key dialog when a value joins a set, and key edits of a pair.
#include <string>

#include "tests/common/sessions_fixture.h"
#include "tests/tree/nodes_fixture.h"
#include "tree/arrynode.h"
#include "tree/intnode.h"
#include "tree/kvp_node.h"
#include "tree/kvs_node.h"
#include "tree/sym_node.h"

namespace {

using sessions_test::Kvs;

constexpr int kKeyEdit = 49158;
constexpr int kEditValue = 49202;
constexpr int kIntEdit = 49153;

std::vector<unsigned long> Keys(CKVSetNode& set) {
  std::vector<unsigned long> keys;
  for (CTreeNode* c = set.GetFirstChild(); c; c = c->GetNextSibling()) keys.push_back(static_cast<CKVPairNode*>(c)->GetKey());
  return keys;
}

void CollapseAll(CTreeNode* node) {
  for (CTreeNode* c = node->GetFirstChild(); c; c = c->GetNextSibling()) CollapseAll(c);
  node->SetExpanded(0);
}

TEST_F(NodesTest, SetRoundTripKeepsEveryKindAndEveryArrayCode) {
  Kvs profile;
  sessions_test::FillEveryKind(profile);
  QV_DataElement in;
  in.SetToKVSet(profile);
  CKVSetNode root;
  ASSERT_EQ(root.PutDE(in, Session(), server), 1);
  uint32_t count = 0;
  CTkvs_Count(profile, &count, nullptr);
  EXPECT_EQ(root.CountSubNodes(), static_cast<int>(count));
  // Unknown keys show as numbers; a symbol value shows its name.
  auto* first = static_cast<CKVPairNode*>(root.GetFirstChild());
  EXPECT_EQ(std::string(first->SearchText()), std::to_string(0x7001));
  EXPECT_EQ(root.KeyExists(0x7004), 1);
  EXPECT_EQ(root.KeyExists(0x6FFF), 0);

  // Collapsed sets and arrays still write every member.
  for (bool collapsed : {false, true}) {
    if (collapsed) CollapseAll(&root);
    QV_DataElement out;
    ASSERT_EQ(root.GetDE(out), 1);
    ASSERT_EQ(out.Type(), CT_TYPE_KVSET);
    std::string why;
    EXPECT_TRUE(sessions_test::SameContent(profile, out.KVSet(), &why)) << why << " collapsed " << collapsed;
  }

  // An element of another kind empties the set and is refused.
  EXPECT_EQ(root.PutDE(IntDE(3), Session(), server), 0);
  EXPECT_EQ(root.CountSubNodes(), 0);
  QV_DataElement empty;
  EXPECT_EQ(root.GetDE(empty), 1);
  CTkvs_Count(empty.KVSet(), &count, nullptr);
  EXPECT_EQ(count, 0u);
}

TEST_F(NodesTest, ValueJoiningASetIsGivenAKey) {
  CKVSetNode set;
  set.SetExpanded(0);
  struct Step {
    const char* name;
    std::vector<QString> shown;    // the key text each time the dialog opens
    std::vector<QString> entries;  // typed and confirmed in turn
    bool cancelAtEnd;
    std::vector<UINT> messages;
    int result;
    std::vector<unsigned long> keys;  // the set's keys afterwards
  } steps[] = {
      {"first value, empty prefill", {""}, {"Admin_ProfileNames"}, false, {}, 1, {kProfileNamesSymbol}},
      {"prefill is the last key's name, refused as taken",
       {"Admin_ProfileNames", "Admin_ProfileNames"},
       {"Admin_ProfileNames", "17"},
       false,
       {4107},
       1,
       {kProfileNamesSymbol, 17}},
      {"bad key texts, then cancel",
       {"", "00", "+5", ""},
       {"00", "+5", "", "4294967296"},
       true,
       {4150, 4150, 4150, 4150},
       0,
       {kProfileNamesSymbol, 17}},
      {"zero is a key", {""}, {"0"}, false, {}, 1, {kProfileNamesSymbol, 17, 0}},
      {"#number is that symbol, taken or not",
       {"", "#17"},
       {"#17", "#0x10"},
       false,
       {4107},
       1,
       {kProfileNamesSymbol, 17, 0, 16}},
      {"cancel shows nothing", {}, {}, true, {}, 0, {kProfileNamesSymbol, 17, 0, 16}},
  };
  for (const Step& s : steps) {
    host.Clear();
    for (size_t i = 0; i < s.entries.size(); ++i) {
      const QString shown = i < s.shown.size() ? s.shown[i] : QString();
      const QString entry = s.entries[i];
      host.ExpectDialog([=](DialogDriver& d) {
        if (i < s.shown.size()) {
          EXPECT_EQ(d.Text(kKeyEdit), shown) << s.name;
        }
        EXPECT_TRUE(d.Type(kKeyEdit, entry));
        d.Click(1);
      });
    }
    if (s.cancelAtEnd) host.ExpectDialog(Cancel());
    auto value = std::make_unique<CIntegerNode>();
    const int result = set.AddSubNode(value.get(), nullptr, Session(), server);
    if (result) value.release();  // the set owns it now
    EXPECT_EQ(result, s.result) << s.name;
    EXPECT_EQ(host.MessageIds(), s.messages) << s.name;
    EXPECT_EQ(host.PendingScripts(), 0u) << s.name;
    EXPECT_EQ(Keys(set), s.keys) << s.name;
    if (result) {
      EXPECT_TRUE(set.IsExpanded()) << s.name;
    }
  }
  // The prefill is the last key's name, empty when the server has none (key 0).
  host.Clear();
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_EQ(d.Text(kKeyEdit), "");
    d.Click(2);
  });
  CIntegerNode spare;
  EXPECT_EQ(set.AddSubNode(&spare, nullptr, Session(), server), 0);
}

TEST_F(NodesTest, SetTakesWholePairsAndRefusesTakenKeysAndNothing) {
  CKVSetNode set;
  auto pair = [&](unsigned long key) {
    auto* k = new CSymbolNode();
    k->PutDE(SymbolDE(key), Session(), server);
    return new CKVPairNode(k, new CIntegerNode());
  };
  CKVPairNode* p1 = pair(5);
  EXPECT_EQ(set.AddSubNode(p1, nullptr, Session(), server), 1);
  std::unique_ptr<CKVPairNode> again(pair(5));
  EXPECT_EQ(set.AddSubNode(again.get(), nullptr, Session(), server), 0);
  EXPECT_EQ(set.AddSubNode(nullptr, nullptr, Session(), server), 0);
  EXPECT_EQ(host.MessageIds(), (std::vector<UINT>{4172, 4118}));
  EXPECT_EQ(Keys(set), std::vector<unsigned long>{5});
  EXPECT_EQ(set.CanContain("CKVPairNode"), 1);
  EXPECT_EQ(set.CanEdit(), 0);
}

TEST_F(NodesTest, EditValueInTheKeyDialogEditsTheValueFirst) {
  CKVSetNode set;
  host.ExpectDialog([](DialogDriver& d) {
    EXPECT_TRUE(d.IsEnabled(kEditValue));
    d.Type(kKeyEdit, "33");
    d.Click(kEditValue);
  });
  host.ExpectDialog(TypeOK(kIntEdit, "-8"));
  auto* value = new CIntegerNode();
  ASSERT_EQ(set.AddSubNode(value, nullptr, Session(), server), 1);
  EXPECT_EQ(Keys(set), std::vector<unsigned long>{33});
  EXPECT_EQ(DrawnText(*value), "-8");
}

TEST_F(NodesTest, PairKeyEditRefusesASiblingsKey) {
  Kvs source;
  CTkvs_PutInt(source, 1, 10, nullptr);
  CTkvs_PutInt(source, 2, 20, nullptr);
  QV_DataElement in;
  in.SetToKVSet(source);
  CKVSetNode set;
  ASSERT_EQ(set.PutDE(in, Session(), server), 1);
  auto* first = static_cast<CKVPairNode*>(set.GetFirstChild());
  struct Case {
    const char* name;
    std::vector<QString> entries;
    bool cancelAtEnd;
    std::vector<UINT> messages;
    int result;
    unsigned long key;
  } cases[] = {
      {"sibling's key, then a free one", {"2", "3"}, false, {4107}, 1, 3},
      {"its own key needs no check", {"3"}, false, {}, 1, 3},
      {"cancel keeps the key", {"2"}, true, {4107}, 0, 3},
  };
  for (const Case& c : cases) {
    host.Clear();
    for (const QString& e : c.entries) host.ExpectDialog(TypeOK(49203, e));
    if (c.cancelAtEnd) host.ExpectDialog(Cancel());
    EXPECT_EQ(first->EditNode(Session(), server, nullptr), c.result) << c.name;
    EXPECT_EQ(host.MessageIds(), c.messages) << c.name;
    EXPECT_EQ(first->GetKey(), c.key) << c.name;
  }
  QV_DataElement out;
  ASSERT_EQ(set.GetDE(out), 1);
  int32_t v = 0;
  EXPECT_EQ(CTkvs_GetInt(out.KVSet(), 3, &v, nullptr), 1);
  EXPECT_EQ(v, 10);
}

TEST_F(NodesTest, PairWithoutKeyNode) {
  CKVPairNode pair(nullptr, new CIntegerNode());
  CRecordingDC dc;
  EXPECT_EQ(pair.DrawNode(0, 0, &dc, 1.0f), 0);
  EXPECT_TRUE(dc.RecordsOf(DCRecord::Op::TextOut).empty());
  EXPECT_EQ(std::string(pair.SearchText()), "!!!");
  EXPECT_EQ(pair.GetKey(), 1024ul);
  QV_DataElement out;
  EXPECT_EQ(pair.GetDE(out), 0);
  EXPECT_EQ(pair.EditNode(Session(), server, nullptr), 0);
  EXPECT_EQ(pair.PutDE(IntDE(1), Session(), server), 0);
  // With a key, the pair's row is the key's row.
  auto* key = new CSymbolNode();
  key->PutDE(SymbolDE(kProfileNamesSymbol), Session(), server);
  CKVPairNode named(key, new CIntegerNode());
  named.SetSelected(1);
  EXPECT_EQ(DrawnText(named), "Admin_ProfileNames");
  EXPECT_EQ(named.GetTotalWidth(), key->GetTotalWidth());
  EXPECT_EQ(key->GetSelected(), 1);
}

}  // namespace
