// The editor's text fields hold bytes: a string value and a symbol name
// come back unchanged byte for byte, changed in the encoding they were read
// in, and a character that encoding cannot hold is refused.
#include <string>

#include "dialogs/editstr.h"
#include "dialogs/editsymb.h"
#include "tests/dialogs/dialog_fixture.h"

namespace {

class TextFields : public DialogFixture {
 public:
  using DialogFixture::TypeAndPressOK;
};

template <typename Box>
void CheckField(TextFields* fixture, CString Box::*member, int id, const char* what) {
  struct Case {
    const char* what;
    std::string original;
    const char* typed;  // UTF-8; null: OK with nothing typed
    int result;
    std::vector<UINT> messages;
    std::string bytes;
  } cases[] = {
      {"Latin-1 unchanged", "Men\xFC", nullptr, IDOK, {}, "Men\xFC"},
      {"UTF-8 unchanged", "Men\xC3\xBC", nullptr, IDOK, {}, "Men\xC3\xBC"},
      {"Latin-1 changed", "Men\xFC", "Men\xC3\xBCs", IDOK, {}, "Men\xFCs"},
      {"UTF-8 changed", "Men\xC3\xBC", "Men\xC3\xBCs", IDOK, {}, "Men\xC3\xBCs"},
      {"CJK into Latin-1", "Men\xFC", "\xE4\xB8\xAD", IDCANCEL, {IDS_TEXT_NOT_ENCODABLE}, "Men\xFC"},
  };
  for (const Case& c : cases) {
    Box box;
    box.*member = CString(c.original.data(), static_cast<int>(c.original.size()));
    std::vector<std::pair<int, QString>> typed;
    if (c.typed != nullptr) typed.emplace_back(id, QString::fromUtf8(c.typed));
    const auto outcome = fixture->TypeAndPressOK(box, typed);
    EXPECT_EQ(outcome.result, c.result) << what << ": " << c.what;
    EXPECT_EQ(outcome.stayedOpen, c.result != IDOK) << what << ": " << c.what;
    EXPECT_EQ(outcome.messages, c.messages) << what << ": " << c.what;
    EXPECT_EQ((box.*member).str(), c.bytes) << what << ": " << c.what;
  }
}

TEST_F(TextFields, StringValueAndSymbolNameKeepTheirBytes) {
  CheckField<CEditStringBox>(this, &CEditStringBox::m_strValue, 49160, "string");
  CheckField<CEditSymbolBox>(this, &CEditSymbolBox::m_strSymbol, 49203, "symbol name");
}

}  // namespace
