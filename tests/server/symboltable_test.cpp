// Loading the symbol table: the default table and the refusal of bad files.
#include <gtest/gtest.h>

#include <fstream>

#include "server/symboltable.h"
#include "server/wellknown.h"
#include "tests/support/tempdir.h"

using ctserver::SymbolTable;
using testsupport::TempDir;

namespace {

std::vector<std::string> Problems(const std::string& text) {
  SymbolTable t;
  std::vector<std::string> problems;
  EXPECT_FALSE(t.Parse(text, &problems));
  return problems;
}

}  // namespace

TEST(SymbolTableDefault, NamesEverySymbolTheSystemUses) {
  SymbolTable t;
  std::vector<std::string> problems;
  ASSERT_TRUE(t.Parse(SymbolTable::DefaultText(), &problems)) << (problems.empty() ? "" : problems[0]);
  const std::pair<const char*, uint32_t> used[] = {
      {"KVS_StartKey", 0x00800400},          {"KVS_EndKey", 0x00800401},
      {"Session_ServerName", ctserver::kSymSessionServerName},
      {"Admin_ProfileNames", 0x0110080D},    {"Admin_ProfileClasses", 0x0110080E},
      {"Admin_ProfileContents", 0x0110080F}, {"Admin_ServiceNames", 0x01100810},
      {"Admin_ServiceStates", 0x0110082E},   {"Admin_ServiceModes", 0x0110091E},
      {"Admin_ServiceRunning", 0x01100922},  {"Admin_ProcessNames", 0x0110081A},
      {"Admin_ProcessRunning", 0x01100819},  {"Service_Stopped", ctserver::kSymServiceStopped},
      {"Service_Started", ctserver::kSymServiceStarted}, {"Service_Auto", ctserver::kSymModeAuto},
      {"Service_Manual", ctserver::kSymModeManual},      {"Service_Disabled", ctserver::kSymModeDisabled},
      {"Service_StartMode", ctserver::kSymServiceStartMode},
  };
  for (const auto& [name, value] : used) {
    uint32_t v = 0;
    ASSERT_TRUE(t.NameToSymbol(name, &v)) << name;
    EXPECT_EQ(v, value) << name;
    std::string back;
    ASSERT_TRUE(t.SymbolToName(value, &back));
    EXPECT_EQ(back, name);
  }
  // Telephony profile keys are there too.
  for (const char* name : {"Line_Number", "Trunk_Group", "Codec_G711A", "VoiceMail_Box", "DialPlan_Rules",
                           "Timer_InterDigit"}) {
    EXPECT_NE(t.Require(name), 0u) << name;
  }
  EXPECT_GT(t.Entries().size(), 80u);
}

TEST(SymbolTableParse, ReadsHexDecimalAndComments) {
  SymbolTable t;
  std::vector<std::string> problems;
  ASSERT_TRUE(t.Parse("# heading\n\n  Alpha 0x10   # trailing\nBeta\t4294967295\r\nGamma 0XfF\n", &problems));
  EXPECT_EQ(t.Require("Alpha"), 16u);
  EXPECT_EQ(t.Require("Beta"), 4294967295u);
  EXPECT_EQ(t.Require("Gamma"), 255u);
  ASSERT_EQ(t.Entries().size(), 3u);
  EXPECT_EQ(t.Entries()[1].name, "Beta");  // file order
  std::string name;
  EXPECT_FALSE(t.SymbolToName(17, &name));
  uint32_t v = 0;
  EXPECT_FALSE(t.NameToSymbol("alpha", &v));  // names are case-sensitive
}

TEST(SymbolTableParse, ReportsEveryBadLineWithItsNumberAndRefusesTheTable) {
  const std::string text =
      "Good 1\n"
      "NoValue\n"                 // 2
      "Two 2 extra\n"             // 3
      "9Bad 3\n"                  // 4
      "Big 0x100000000\n"         // 5
      "Neg -1\n"                  // 6
      "Hex 0xZZ\n"                // 7
      "Good 8\n"                  // 8: duplicate name
      "Other 1\n"                 // 9: duplicate value
      "Empty 0x\n";               // 10
  auto problems = Problems(text);
  ASSERT_EQ(problems.size(), 9u);
  const char* starts[] = {"line 2:", "line 3:", "line 4:", "line 5:", "line 6:",
                          "line 7:", "line 8:", "line 9:", "line 10:"};
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(problems[i].rfind(starts[i], 0), 0u) << problems[i];
  EXPECT_NE(problems[6].find("duplicate name"), std::string::npos);
  EXPECT_NE(problems[6].find("line 1"), std::string::npos);  // where the first one is
  EXPECT_NE(problems[7].find("duplicate value"), std::string::npos);

  // A refused table leaves the loaded one in place.
  SymbolTable t;
  ASSERT_TRUE(t.Parse("Kept 5\n", nullptr));
  EXPECT_FALSE(t.Parse("Kept 5\nKept 6\n", nullptr));
  EXPECT_EQ(t.Require("Kept"), 5u);
  EXPECT_EQ(t.Entries().size(), 1u);
}

TEST(SymbolTableLoad, ReadsAFileAndReportsAMissingOne) {
  TempDir dir;
  {
    std::ofstream(dir.File("syms.txt")) << "Only 0x01100A00\n";
  }
  SymbolTable t;
  std::vector<std::string> problems;
  ASSERT_TRUE(t.Load(dir.File("syms.txt"), &problems));
  EXPECT_EQ(t.Require("Only"), 0x01100A00u);
  EXPECT_FALSE(t.Load(dir.File("missing.txt"), &problems));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("missing.txt"), std::string::npos);
}
