// The one symbol translator over a pair of look-ups: what each direction
// gives, the failure codes every caller of the text conversions sees, and
// the same through a whole write and read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "s100/cterrors.h"
#include "s100/deif_translate.h"
#include "tests/s100/deif_support.h"

namespace {

SymbolLookups MapLookups(const std::map<uint32_t, std::string>& names) {
  return {[&names](uint32_t symbol, std::string* name) {
            const auto it = names.find(symbol);
            if (it == names.end()) return false;
            *name = it->second;
            return true;
          },
          [&names](const char* name, uint32_t* symbol) {
            for (const auto& [value, text] : names) {
              if (text == name) {
                *symbol = value;
                return true;
              }
            }
            return false;
          }};
}

TEST(TranslateSymbols, BothDirectionsAndEveryFailureCode) {
  const std::map<uint32_t, std::string> names = {{7, "Seven"}, {0x02000500, "Caller.Name"}};
  SymbolLookups lookups = MapLookups(names);
  SymbolLookups none;  // no look-ups at all

  struct Case {
    const char* what;
    SymbolLookups* context;
    int32_t direction;
    uint32_t symbol;
    const char* name;  // the name given (direction 0), or the name expected back
    bool nullText;     // the text pointer itself is null
    uint32_t error;    // 0: QV_OK
    uint32_t symbolOut;
  };
  const Case cases[] = {
      {"symbol to name", &lookups, 1, 7, "Seven", false, 0, 7},
      {"another symbol", &lookups, 1, 0x02000500, "Caller.Name", false, 0, 0x02000500},
      {"unknown symbol", &lookups, 1, 8, nullptr, false, ct::kErrUnknownSymbol, 8},
      {"name to symbol", &lookups, 0, 0, "Caller.Name", false, 0, 0x02000500},
      {"unknown name", &lookups, 0, 0, "Eight", false, ct::kErrTextUnknownName, 0},
      {"null name", &lookups, 0, 0, nullptr, false, ct::kErrTranslator, 0},
      {"null text pointer", &lookups, 1, 7, nullptr, true, ct::kErrTranslator, 7},
      {"null context", nullptr, 1, 7, nullptr, false, ct::kErrTranslator, 7},
      {"no look-up to names", &none, 1, 7, nullptr, false, ct::kErrUnknownSymbol, 7},
      {"no look-up to symbols", &none, 0, 0, "Seven", false, ct::kErrTextUnknownName, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t symbol = c.symbol;
    char* text = c.direction == 0 ? const_cast<char*>(c.name) : nullptr;
    const QV_Status status = TranslateSymbols(&symbol, c.nullText ? nullptr : &text, c.direction, c.context);
    if (c.error == 0) {
      EXPECT_EQ(status, QV_OK);
    } else {
      EXPECT_EQ(status.state, QV_STATE_FAILURE);
      EXPECT_EQ(status.error, c.error);
    }
    EXPECT_EQ(symbol, c.symbolOut);
    if (c.direction != 0) {
      if (c.error == 0) {
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, c.name);
        std::free(text);  // the caller's, as the conversions free it
      } else {
        EXPECT_EQ(text, nullptr) << "nothing is handed back on failure";
      }
    }
  }
}

// Through the conversions: names where the table has them, numbers where it
// has none, and a name it does not know refused by the reader.
TEST(TranslateSymbols, ConversionsNameWhatTheTableKnows) {
  const std::map<uint32_t, std::string> names = {{7, "Seven"}};
  SymbolLookups lookups = MapLookups(names);
  const struct {
    const char* in;
    bool ok;
    const char* out;
  } cases[] = {
      {"symbol Seven", true, "symbol Seven"},
      {"symbol #8", true, "symbol #8"},
      {"symbol #7", true, "symbol Seven"},
      {"symbol Eight", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    QV_RawDataElement element{};
    const QV_Status status = deif_test::ReadText(c.in, &element, &TranslateSymbols, &lookups);
    EXPECT_EQ(status.state == QV_STATE_SUCCESS, c.ok);
    if (!c.ok) {
      EXPECT_EQ(status.error, ct::kErrTextUnknownName);
      continue;
    }
    EXPECT_EQ(deif_test::Write(element, &TranslateSymbols, &lookups), c.out);
    QV_DestroyDataElement(&element);
  }
}

}  // namespace
