// Store As to another server: keys and symbol values travel by name through
// the two servers' symbol tables, a name the target does not know stops
// the store, and the tree shows the target's symbols afterwards.
#include <string>

#include "platform/cframewnd.h"
#include "tests/app/editenv.h"

namespace {

using namespace edit_test;

constexpr uint32_t kClassesSymbol = 0x0110080E;  // "Admin_ProfileClasses"; unknown on B

Script StoreAs(const char* name, const char* server) {
  return [=](DialogDriver& d) {
    d.Type(1004, QString::fromLatin1(name));
    d.Type(1005, QStringLiteral("Setup"));
    d.Type(1006, QString::fromLatin1(server));
    d.Click(IDOK);
  };
}

class StoreAsEnv : public EditEnv {
 protected:
  void StoreAsCommand(const char* name, const char* server) {
    host_.Clear();
    host_.ExpectDialog(StoreAs(name, server));
    app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE_AS);
    EXPECT_EQ(host_.PendingScripts(), 0u);
  }
};

TEST_F(StoreAsEnv, AnotherServerGetsItsOwnNumbersForTheSameNames) {
  Select(Pair(0));
  Run({}, ID_EDIT_DELETE);  // unsaved: the stored copy must carry it
  StoreAsCommand("Moved", "B");
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(Title(), "[Moved, Setup, B]");

  Kvs stored;
  ASSERT_TRUE(app_->m_session.LoadProfile("B", "Moved", "Setup", stored));
  struct Key {
    uint32_t key;
    bool present;
  } keys[] = {{0x7001, false}, {0x7002, true}, {0x7003, true}, {0x7004, true}, {0x7005, true}};
  for (const Key& k : keys) {
    uint32_t type = 0;
    EXPECT_EQ(CTkvs_GetType(stored, k.key, &type, nullptr) == 1, k.present) << std::hex << k.key;
  }
  // The symbol value is B's number for the name; keys without a name on A
  // keep their numbers.
  uint32_t symbol = 0;
  EXPECT_EQ(CTkvs_GetSymbol(stored, 0x7005, &symbol, nullptr), 1);
  EXPECT_EQ(symbol, 0x5000u);

  // The tree now holds B's numbers.
  EXPECT_STREQ(View()->GetSymbolServer().GetString(), "B");
  EXPECT_NE(TextOf(Root()).find("#28677 = symbol #20480;"), std::string::npos) << TextOf(Root());
}

TEST_F(StoreAsEnv, ANameTheTargetDoesNotKnowOrAnUnreachableTargetStopsTheStore) {
  struct Case {
    const char* what;
    bool asKey;  // the unknown name is a key, else a symbol value
    const char* target;
    UINT message;
  } cases[] = {
      {"key", true, "B", 4411},
      {"symbol value", false, "B", 4411},
      {"unreachable target", false, "Nowhere", 16390},
  };
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Kvs odd;
    if (c.asKey)
      CTkvs_PutInt(odd, kClassesSymbol, 1, nullptr);
    else
      CTkvs_PutSymbol(odd, 0x7001, kClassesSymbol, nullptr);
    const std::string name = "Odd_" + std::to_string(++made);
    ASSERT_TRUE(app_->m_session.SaveProfile("A", "Setup", name.c_str(), odd, 0));
    ASSERT_TRUE(Doc()->OnOpenProfile("A", "Setup", name.c_str()));
    const std::string title = Title();
    const std::string tree = TextOf(Root());
    StoreAsCommand("Refused", c.target);
    EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{c.message});
    EXPECT_EQ(Title(), title);
    EXPECT_EQ(TextOf(Root()), tree);
    EXPECT_STREQ(View()->GetSymbolServer().GetString(), "A");
    Kvs nothing;
    EXPECT_FALSE(app_->m_session.LoadProfile("B", "Refused", "Setup", nothing)) << "nothing is stored";
  }
}

}  // namespace
