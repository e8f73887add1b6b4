// Strings that are bytes, in the running editor against a real ctserver:
// a Latin-1 and a UTF-8 string go through Properties and Store byte for
// byte, a changed one is stored in its own encoding, a character the
// Latin-1 one cannot hold is refused, Find finds either by what it shows,
// and Store As keeps a Latin-1 name.
#include "app/storeas3.h"
#include "tests/app/editenv.h"

namespace {

using namespace edit_test;

constexpr int kStringEdit = 49160;
const char* const kLatin1 = "caf\xE9";
const char* const kUtf8 = "caf\xC3\xA9";
const char* const kName = "Bytes";
const char* const kLatin1Name = "Men\xFC";

// The editor on the profile Bytes of class Edit on server A:
//   #28673 = string "café" (Latin-1); #28674 = string "café" (UTF-8);
//   #28675 = string "other"
class BytesEnv : public EditEnv {
 protected:
  void SetUp() override {
    EditEnv::SetUp();
    Kvs profile;
    CTkvs_PutString(profile, 0x7001, kLatin1, nullptr);
    CTkvs_PutString(profile, 0x7002, kUtf8, nullptr);
    CTkvs_PutString(profile, 0x7003, "other", nullptr);
    if (!app_->m_session.SaveProfile("A", "Edit", kName, profile, 0)) {
      ASSERT_TRUE(app_->m_session.SaveProfile("A", "Edit", kName, profile, 1));
    }
    ASSERT_NE(app_->OpenProfile("A", "Edit", kName, FALSE), nullptr);
    ASSERT_TRUE(host_.Messages().empty());
  }

  // The string stored on the server under key.
  std::string Stored(uint32_t key) {
    Kvs set;
    if (!app_->m_session.LoadProfile("A", kName, "Edit", set)) return "<not loaded>";
    const char* value = nullptr;
    if (!CTkvs_GetString(set, key, &value, nullptr) || value == nullptr) return "<no string>";
    return value;
  }
  // Properties on a node, with the string dialog's script.
  void Properties(CTreeNode* node, Script script) {
    Select(node);
    Run({std::move(script)}, ID_EDIT_PROPERTIES);
    EXPECT_EQ(host_.PendingScripts(), 0u);
  }
};

TEST_F(BytesEnv, PropertiesAndStoreKeepEachStringsBytesAndEncodeChangesAsRead) {
  // OK with nothing typed, on both strings.
  for (int n : {0, 1}) {
    Properties(Value(n), [](DialogDriver& d) {
      EXPECT_EQ(d.Text(kStringEdit), QString::fromUtf8("caf\xC3\xA9"));
      d.Click(IDOK);
    });
  }
  // A character Latin-1 has no place for is refused; the dialog stays open.
  host_.Clear();
  bool stayedOpen = false;
  Properties(Value(0), [&stayedOpen](DialogDriver& d) {
    d.Type(kStringEdit, QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"));
    d.Click(IDOK);
    stayedOpen = d.IsOpen();
    d.Click(IDCANCEL);
  });
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(host_.MessageIds(), std::vector<UINT>{IDS_TEXT_NOT_ENCODABLE});
  host_.Clear();
  // The third string changed: Store has something to store.
  Properties(Value(2), TypeOK(kStringEdit, QString::fromUtf8("th\xC3\xA9")));
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(Title().find(" *"), std::string::npos) << "stored";
  EXPECT_EQ(Stored(0x7001), kLatin1);
  EXPECT_EQ(Stored(0x7002), kUtf8);
  EXPECT_EQ(Stored(0x7003), "th\xC3\xA9");

  // Changed texts keep the encoding they were read in.
  Properties(Value(0), TypeOK(kStringEdit, QString::fromUtf8("th\xC3\xA9")));
  Properties(Value(1), TypeOK(kStringEdit, QString::fromUtf8("th\xC3\xA9 \xE4\xB8\xAD")));
  app_->m_pMainWnd->ExecuteCommand(ID_FILE_SAVE);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(Stored(0x7001), "th\xE9");
  EXPECT_EQ(Stored(0x7002), "th\xC3\xA9 \xE4\xB8\xAD");
}

TEST_F(BytesEnv, FindFindsLatin1AndUtf8TextsAlike) {
  struct Case {
    const char* what;
    CTreeNode* from;
    const char* typed;  // UTF-8; null: the preset as it stands
    std::vector<CTreeNode*> found;  // by Find, then each Find Next
  } cases[] = {
      {"typed", Root(), "af\xC3\xA9", {Value(0), Value(1), Value(0)}},
      {"typed upper case ASCII", Root(), "CAF\xC3\xA9", {Value(0), Value(1)}},
      {"the Latin-1 string's own text", Value(0), nullptr, {Value(1), Value(0)}},
      {"the UTF-8 string's own text", Value(1), nullptr, {Value(0), Value(1)}},
      {"a character no string holds", Root(), "\xE4\xB8\xAD", {Root()}},
  };
  for (const Case& c : cases) {
    Select(c.from);
    host_.Clear();
    host_.ExpectDialog([&c](DialogDriver& d) {
      if (c.typed != nullptr) d.Type(kFindEdit, QString::fromUtf8(c.typed));
      d.Click(IDOK);
    });
    if (c.found.front() == Root()) host_.ExpectDialog([](DialogDriver& d) { d.Click(IDOK); });  // not found
    View()->OnEditFind();
    EXPECT_TRUE(host_.MessageIds().empty()) << c.what;
    EXPECT_EQ(host_.PendingScripts(), 0u) << c.what;
    EXPECT_EQ(View()->GetSelected(), c.found.front() == Root() ? c.from : c.found.front()) << c.what;
    for (size_t i = 1; i < c.found.size(); ++i) {
      View()->OnEditFindnext();
      EXPECT_EQ(View()->GetSelected(), c.found[i]) << c.what << " " << i;
    }
  }
}

TEST_F(BytesEnv, StoreAsFieldsKeepALatin1Name) {
  struct Case {
    const char* what;
    const char* typed;  // UTF-8 into the name; null: unchanged
    int result;
    std::vector<UINT> messages;
    std::string name;
  } cases[] = {
      {"unchanged", nullptr, IDOK, {}, kLatin1Name},
      {"changed", "Men\xC3\xBC 2", IDOK, {}, "Men\xFC 2"},
      {"unencodable", "Men\xC3\xBC \xE2\x82\xAC", IDCANCEL, {IDS_TEXT_NOT_ENCODABLE}, kLatin1Name},
  };
  for (const Case& c : cases) {
    CStoreAsBoxIII box(View());
    box.m_strNameEdit = kLatin1Name;
    box.m_strClassEdit = "Edit";
    box.m_strServerEdit = "A";
    host_.Clear();
    host_.ExpectDialog([&c](DialogDriver& d) {
      if (c.typed != nullptr) d.Type(CStoreAsBoxIII::IDC_NAME, QString::fromUtf8(c.typed));
      d.Click(IDOK);
      if (d.IsOpen()) d.Click(IDCANCEL);
    });
    EXPECT_EQ(box.DoModal(), c.result) << c.what;
    EXPECT_EQ(host_.MessageIds(), c.messages) << c.what;
    EXPECT_EQ(box.m_strNameEdit.str(), c.name) << c.what;
  }
}

}  // namespace
