// MultiAdminSession against an embedded server and a real ctserver:
// reuse and replacement of the one open session, failed connections, the
// message ids of every outcome, the symbol table's single load, and a
// profile of every kind through add, load, update and load.
#include <csignal>
#include <gtest/gtest.h>

#include "common/multises.h"
#include "tests/common/sessions_fixture.h"

using namespace sessions_test;

namespace {

class MultiSession : public SessionsTest {
 protected:
  // Stores a small profile as new; the truth value of SaveProfile.
  int32_t Add(const char* server, const char* name, const char* cls = "Fax") {
    Kvs profile;
    CTkvs_PutInt(profile, 0x7001, 5, nullptr);
    return multi.SaveProfile(server, cls, name, profile, 0);
  }
  int32_t Load(const char* server, const char* name, const char* cls = "Fax") {
    Kvs profile;
    return multi.LoadProfile(server, name, cls, profile);
  }

  MultiAdminSession multi;
};

TEST_P(MultiSession, BeforeAnyFailureTheLastErrorSaysCouldNotConnect) {
  EXPECT_EQ(multi.LastError(), IDS_ADM_COULD_NOT_CONNECT);
}

TEST_P(MultiSession, RequestsToOneServerShareOneSession) {
  ASSERT_TRUE(Add("A", "P1"));
  ASSERT_TRUE(Load("A", "P1"));
  ASSERT_TRUE(Load("A", "P1"));
  EXPECT_EQ(traffic->Count("OpenSession"), 1);
  EXPECT_EQ(traffic->Count("CloseSession"), 0);
}

TEST_P(MultiSession, AlternatingServersReconnectEveryTime) {
  ASSERT_TRUE(Add("A", "P1"));
  ASSERT_TRUE(Add("B", "P1"));
  ASSERT_TRUE(Load("A", "P1"));
  EXPECT_EQ(traffic->Count("OpenSession"), 3);
  EXPECT_EQ(traffic->Count("CloseSession"), 2);
}

TEST_P(MultiSession, ServerNamesCompareCaseSensitively) {
  ASSERT_TRUE(Add("A", "P1"));
  Load("a", "P1");  // whether the registry knows "a" or not, it is another server here
  EXPECT_EQ(traffic->Count("CloseSession"), 1) << "the session with A was closed";
  ASSERT_TRUE(Load("A", "P1"));
  EXPECT_GE(traffic->Count("OpenSession"), 2);
}

TEST_P(MultiSession, UnreachableServerFailsAndIsTriedAgain) {
  const int64_t start = testsupport::NowMs();
  EXPECT_FALSE(Load("Down", "P1"));
  EXPECT_LT(testsupport::NowMs() - start, testsupport::kHangBoundMs);
  EXPECT_EQ(multi.LastError(), IDS_ADM_COULD_NOT_CONNECT);
  EXPECT_FALSE(Load("Down", "P1"));
  EXPECT_EQ(traffic->Count("OpenSession"), 2) << "a failed connection is not remembered";

  // Another server still works, and so does one that refuses outright.
  EXPECT_TRUE(Add("A", "P1"));
  traffic->refuseConnect = true;
  EXPECT_FALSE(Load("B", "P1"));
  EXPECT_EQ(multi.LastError(), IDS_ADM_COULD_NOT_CONNECT);
  traffic->refuseConnect = false;
  EXPECT_TRUE(Add("B", "P1")) << "the next request connects afresh";
}

TEST_P(MultiSession, AddingReportsEachOutcomeById) {
  ASSERT_TRUE(Add("A", "P1"));
  EXPECT_EQ(multi.LastError(), IDS_ADM_NO_ERROR);
  EXPECT_FALSE(Add("A", "P1"));
  EXPECT_EQ(multi.LastError(), IDS_ADM_NAME_EXISTS);
  EXPECT_FALSE(Add("A", "two words"));
  EXPECT_EQ(multi.LastError(), IDS_ADM_INVALID_NAME);
  EXPECT_FALSE(Add("A", "P2", ""));  // the server refuses an empty class
  EXPECT_EQ(multi.LastError(), IDS_ADM_STORE_FAILED);
}

TEST_P(MultiSession, UpdatingReportsFailureAndLeavesSuccessAlone) {
  ASSERT_TRUE(Add("A", "P1"));
  EXPECT_FALSE(Add("A", "P1"));
  ASSERT_EQ(multi.LastError(), IDS_ADM_NAME_EXISTS);
  Kvs profile;
  CTkvs_PutInt(profile, 0x7001, 6, nullptr);
  EXPECT_TRUE(multi.SaveProfile("A", "Fax", "P1", profile, 1));
  EXPECT_EQ(multi.LastError(), IDS_ADM_NAME_EXISTS) << "a successful update sets nothing";
  EXPECT_FALSE(multi.SaveProfile("A", "Fax", "Missing", profile, 1));
  EXPECT_EQ(multi.LastError(), IDS_ADM_UPDATE_FAILED);
}

TEST_P(MultiSession, LoadAndListFailuresHaveTheirIds) {
  EXPECT_FALSE(Load("A", "Missing"));
  EXPECT_EQ(multi.LastError(), IDS_ADM_RETRIEVE_FAILED);

  QV_String* names = reinterpret_cast<QV_String*>(0x1);  // must be replaced
  QV_String* classes = reinterpret_cast<QV_String*>(0x1);
  int32_t count = -1;
  ASSERT_TRUE(multi.GetProfileList("A", "", &names, &classes, &count)) << "a server without profiles is no error";
  EXPECT_EQ(count, 0);
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(classes, nullptr);

  traffic->Fail("GetProfileInfo");
  EXPECT_FALSE(multi.GetProfileList("A", "", &names, &classes, &count));
  EXPECT_EQ(multi.LastError(), IDS_ADM_LIST_FAILED);
  EXPECT_EQ(names, nullptr);

  EXPECT_FALSE(multi.GetProfileList("Down", "", &names, &classes, &count));
  EXPECT_EQ(multi.LastError(), IDS_ADM_COULD_NOT_CONNECT);
  EXPECT_EQ(names, nullptr) << "nothing undefined is left for the caller to free";
  EXPECT_EQ(count, 0);
}

TEST_P(MultiSession, ProfileListComesAsTwoParallelArrays) {
  ASSERT_TRUE(Add("A", "P1", "Fax"));
  ASSERT_TRUE(Add("A", "P2", "Voice"));
  QV_String* names = nullptr;
  QV_String* classes = nullptr;
  int32_t count = 0;
  ASSERT_TRUE(multi.GetProfileList("A", "", &names, &classes, &count));
  ASSERT_EQ(count, 2);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_EQ(classes[i], names[i] == "P1" ? "Fax" : "Voice");
  }
  delete[] names;
  delete[] classes;
}

TEST_P(MultiSession, SymbolTableIsLoadedOncePerSession) {
  QV_String name = "unchanged";
  ASSERT_TRUE(multi.SymbolToName("A", 0x0110080D, &name));
  EXPECT_EQ(name, "Admin_ProfileNames");
  uint32_t symbol = 0;
  ASSERT_TRUE(multi.NameToSymbol("A", "Admin_ProfileNames", &symbol));
  EXPECT_EQ(symbol, 0x0110080Du);
  EXPECT_EQ(traffic->Count("GetSymbolTable"), 1);

  EXPECT_FALSE(multi.NameToSymbol("A", "NoSuchName", &symbol));
  EXPECT_EQ(multi.LastError(), IDS_ADM_NAME_TO_SYMBOL_FAILED);
  name = "kept";
  EXPECT_FALSE(multi.SymbolToName("A", 0xFFFFFFF0u, &name));
  EXPECT_EQ(multi.LastError(), IDS_ADM_SYMBOL_TO_NAME_FAILED);
  EXPECT_EQ(name, "kept");
  EXPECT_EQ(traffic->Count("GetSymbolTable"), 1);

  // After logging off, the next request opens a fresh session and the
  // first translation loads the table again.
  multi.LogOffAllSessions();
  EXPECT_EQ(traffic->Count("CloseSession"), 1);
  ASSERT_TRUE(multi.SymbolToName("A", 0x0110080D, &name));
  EXPECT_EQ(traffic->Count("OpenSession"), 2);
  EXPECT_EQ(traffic->Count("GetSymbolTable"), 2);

  // A new session on another server loads that server's table.
  ASSERT_TRUE(multi.SymbolToName("B", 0x0110080D, &name));
  EXPECT_EQ(traffic->Count("GetSymbolTable"), 3);
}

TEST_P(MultiSession, TableThatCannotBeLoadedIsAskedForOnlyOnce) {
  traffic->Fail("GetSymbolTable");
  QV_String name;
  EXPECT_FALSE(multi.SymbolToName("A", 0x0110080D, &name));
  EXPECT_EQ(multi.LastError(), IDS_ADM_SYMBOL_TO_NAME_FAILED);
  uint32_t symbol = 0;
  EXPECT_FALSE(multi.NameToSymbol("A", "Admin_ProfileNames", &symbol));
  EXPECT_EQ(multi.LastError(), IDS_ADM_NAME_TO_SYMBOL_FAILED);
  EXPECT_EQ(traffic->Count("GetSymbolTable"), 1);
}

TEST_P(MultiSession, ProfileOfEveryKindSurvivesAddLoadUpdateLoad) {
  Kvs original;
  FillEveryKind(original);
  ASSERT_TRUE(multi.SaveProfile("A", "Fax", "Everything", original, 0));

  Kvs loaded;
  ASSERT_TRUE(multi.LoadProfile("A", "Everything", "Fax", loaded));
  std::string why;
  EXPECT_TRUE(SameContent(original, loaded, &why)) << why;

  // Spot checks that do not lean on the serialiser.
  float nan = 0;
  ASSERT_EQ(CTkvs_GetFloat(loaded, 0x7005, &nan, nullptr), 1);
  uint32_t bits = 0;
  std::memcpy(&bits, &nan, 4);
  EXPECT_EQ(bits, 0x7FC01234u);
  CTary words = 0;
  ASSERT_EQ(CTkvs_GetArray(loaded, 0x720A, &words, nullptr), 1);
  uint32_t type = 0;
  ASSERT_EQ(CTary_GetType(words, &type, nullptr), 1);
  EXPECT_EQ(type, 67u);
  CTary emptyStrings = 0;
  ASSERT_EQ(CTkvs_GetArray(loaded, 0x720B, &emptyStrings, nullptr), 1);
  ASSERT_EQ(CTary_GetType(emptyStrings, &type, nullptr), 1);
  EXPECT_EQ(type, static_cast<uint32_t>(CT_TYPE_STRING_ARRAY));

  Kvs changed;
  FillEveryKind(changed, 1);
  ASSERT_TRUE(multi.SaveProfile("A", "Fax", "Everything", changed, 1));
  Kvs reloaded;
  ASSERT_TRUE(multi.LoadProfile("A", "Everything", "Fax", reloaded));
  EXPECT_TRUE(SameContent(changed, reloaded, &why)) << why;
  EXPECT_FALSE(SameContent(original, reloaded));
}

TEST_P(MultiSession, ServerThatGoesAwayMidSessionFailsWithoutHanging) {
  if (GetParam() != Where::Process) GTEST_SKIP() << "needs a process to stop";
  ASSERT_TRUE(Add("A", "P1"));
  server->Kill(SIGKILL);
  const int64_t start = testsupport::NowMs();
  EXPECT_FALSE(Load("A", "P1"));
  EXPECT_EQ(multi.LastError(), IDS_ADM_RETRIEVE_FAILED);
  EXPECT_LT(testsupport::NowMs() - start, testsupport::kHangBoundMs);
  multi.LogOffAllSessions();
  EXPECT_FALSE(Load("A", "P1"));
  EXPECT_EQ(multi.LastError(), IDS_ADM_COULD_NOT_CONNECT);
}

INSTANTIATE_TEST_SUITE_P(Servers, MultiSession, ::testing::Values(Where::Embedded, Where::Process), WhereName);

}  // namespace
