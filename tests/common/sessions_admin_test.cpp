// ECTF_AdminSession against an embedded server and a real ctserver: what
// a failed construction leaves, single profiles and lists, the error codes
// it keeps, services, processes, the server level, import and export.
#include <gtest/gtest.h>

#include "common/admsess.h"
#include "tests/common/sessions_fixture.h"

using namespace sessions_test;

namespace {

class AdminSession : public SessionsTest {
 protected:
  int32_t AddSmall(ECTF_AdminSession& s, const char* name, const char* cls, int32_t value) {
    Kvs profile;
    CTkvs_PutInt(profile, 0x7001, value, nullptr);
    return s.AddProfile(name, cls, profile);
  }
};

// The lists GetServiceStates gives, freed as the caller must.
struct ServiceStates {
  QV_String* names = nullptr;
  uint32_t* states = nullptr;
  uint32_t* modes = nullptr;
  int32_t* running = nullptr;
  int32_t count = 0;

  bool Get(ECTF_AdminSession& s) { return s.GetServiceStates(&names, &states, &modes, &running, &count) != 0; }
  ~ServiceStates() {
    delete[] names;
    delete[] states;
    delete[] modes;
    delete[] running;
  }
};

TEST_P(AdminSession, FailedConstructionMakesNoCloseCall) {
  {
    ECTF_AdminSession unknown("Nowhere");
    EXPECT_FALSE(unknown.IsOK());
    EXPECT_EQ(unknown.LastError(), ct::kErrUnknownServer);
    ECTF_AdminSession down("Down");
    EXPECT_FALSE(down.IsOK());
    EXPECT_EQ(down.LastError(), ct::kErrConnect);
  }
  EXPECT_EQ(traffic->Count("OpenSession"), 1);
  EXPECT_EQ(traffic->Count("CloseSession"), 0);

  { ECTF_AdminSession ok("A"); }
  EXPECT_EQ(traffic->Count("CloseSession"), 1) << "an open session is closed on destruction";
}

TEST_P(AdminSession, MissingProfileFailsWithNothingFound) {
  ECTF_AdminSession s("A");
  ASSERT_TRUE(s.IsOK());
  Kvs set;
  EXPECT_FALSE(s.GetProfile("Missing", "Fax", set));
  EXPECT_EQ(s.LastError(), ct::kErrNotFound);

  // The same when the runtime reports success with empty arrays.
  traffic->Hollow("GetProfileInfo");
  EXPECT_FALSE(s.GetProfile("Missing", "Fax", set));
  EXPECT_EQ(s.LastError(), ct::kErrNotFound);

  // A transport failure keeps its own code.
  traffic->Heal();
  traffic->Fail("GetProfileInfo");
  EXPECT_FALSE(s.GetProfile("Missing", "Fax", set));
  EXPECT_EQ(s.LastError(), ct::kErrTransport);
}

TEST_P(AdminSession, ProfileContentArrivesInTheCallersSet) {
  ECTF_AdminSession s("A");
  ASSERT_TRUE(AddSmall(s, "P1", "Fax", 77));
  Kvs set;
  CTkvs_PutInt(set, 0x7999, 1, nullptr);  // replaced, not merged
  ASSERT_TRUE(s.GetProfile("P1", "Fax", set));
  uint32_t count = 0;
  CTkvs_Count(set, &count, nullptr);
  EXPECT_EQ(count, 1u);
  int32_t value = 0;
  ASSERT_EQ(CTkvs_GetInt(set, 0x7001, &value, nullptr), 1);
  EXPECT_EQ(value, 77);
}

TEST_P(AdminSession, EmptyServerListsNothingSuccessfully) {
  ECTF_AdminSession s("A");
  QV_String* names = nullptr;
  QV_String* classes = nullptr;
  int32_t count = 5;
  ASSERT_TRUE(s.GetProfileList("", &names, &classes, &count));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(classes, nullptr);
  EXPECT_EQ(s.LastError(), ct::kErrNone);

  traffic->Fail("GetProfileInfo");
  EXPECT_FALSE(s.GetProfileList("", &names, &classes, &count));
  EXPECT_EQ(s.LastError(), ct::kErrTransport);
  EXPECT_EQ(names, nullptr);
}

TEST_P(AdminSession, ListIsFilteredByClass) {
  ECTF_AdminSession s("A");
  ASSERT_TRUE(AddSmall(s, "P1", "Fax", 1));
  ASSERT_TRUE(AddSmall(s, "P2", "Voice", 2));
  ASSERT_TRUE(AddSmall(s, "P3", "Fax", 3));
  QV_String* names = nullptr;
  QV_String* classes = nullptr;
  int32_t count = 0;
  ASSERT_TRUE(s.GetProfileList("Fax", &names, &classes, &count));
  ASSERT_EQ(count, 2);
  for (int32_t i = 0; i < count; ++i) EXPECT_EQ(classes[i], "Fax");
  delete[] names;
  delete[] classes;
}

TEST_P(AdminSession, ProfileInfoCopiesTheReplySet) {
  ECTF_AdminSession s("A");
  ASSERT_TRUE(AddSmall(s, "P1", "Fax", 1));
  Kvs set;
  ASSERT_TRUE(s.GetProfileInfo("", "", 0, set));
  const char* const* names = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(CTkvs_GetStringArray(set, CT_KEY_PROFILE_NAMES, &names, &count, nullptr), 1);
  ASSERT_EQ(count, 1u);
  EXPECT_STREQ(names[0], "P1");
}

TEST_P(AdminSession, TranslationFailureLeavesTheNameAlone) {
  ECTF_AdminSession s("A");
  ASSERT_TRUE(s.LoadSymbolTable());
  QV_String name = "before";
  EXPECT_FALSE(s.SymbolToName(0xFFFFFFF0u, &name));
  EXPECT_EQ(name, "before");
  EXPECT_EQ(s.LastError(), ct::kErrUnknownSymbol);
  ASSERT_TRUE(s.SymbolToName(0x0110080E, &name));
  EXPECT_EQ(name, "Admin_ProfileClasses");
  uint32_t symbol = 0;
  ASSERT_TRUE(s.NameToSymbol("Admin_ProfileClasses", &symbol));
  EXPECT_EQ(symbol, 0x0110080Eu);
}

TEST_P(AdminSession, RemovedProfileIsGone) {
  ECTF_AdminSession s("A");
  ASSERT_TRUE(AddSmall(s, "P1", "Fax", 1));
  ASSERT_TRUE(s.RemoveProfile("P1", "Fax"));
  Kvs set;
  EXPECT_FALSE(s.GetProfile("P1", "Fax", set));
  EXPECT_FALSE(s.RemoveProfile("P1", "Fax"));
  EXPECT_EQ(s.LastError(), ct::kErrNotFound);
}

// Two administrators read one profile; the second store over the revision
// both read is refused and leaves the first one's work in place.
TEST_P(AdminSession, TheSecondStoreOverAStaleRevisionIsRefused) {
  ECTF_AdminSession first("A"), second("A");
  Kvs profile;
  CTkvs_PutInt(profile, 0x7001, 1, nullptr);
  uint64_t added = 0;
  ASSERT_TRUE(first.AddProfile("P1", "Fax", profile, &added));
  EXPECT_EQ(added, 1u);

  Kvs mine, theirs;
  CT_ProfileVersion myVersion{}, theirVersion{};
  ASSERT_TRUE(first.GetProfile("P1", "Fax", mine, &myVersion));
  ASSERT_TRUE(second.GetProfile("P1", "Fax", theirs, &theirVersion));
  EXPECT_EQ(myVersion.revision, 1u);
  std::vector<CT_RevisionInfo> revisions;
  ASSERT_TRUE(first.ListRevisions("P1", "Fax", &revisions));
  ASSERT_EQ(revisions.size(), 1u);
  EXPECT_EQ(myVersion.timeUnixMs, revisions.front().timeUnixMs);  // the stored time, not another
  EXPECT_EQ(theirVersion.revision, myVersion.revision);

  CTkvs_PutInt(mine, 0x7001, 2, nullptr);
  CTkvs_PutInt(theirs, 0x7001, 3, nullptr);
  uint64_t written = 0;
  ASSERT_TRUE(first.UpdateProfile("P1", "Fax", mine, myVersion.revision, &written));
  EXPECT_EQ(written, 2u);
  EXPECT_FALSE(second.UpdateProfile("P1", "Fax", theirs, theirVersion.revision, &written));
  EXPECT_EQ(second.LastError(), ct::kErrRevisionConflict);
  EXPECT_EQ(written, 2u) << "untouched by the refused store";
  EXPECT_FALSE(second.RemoveProfile("P1", "Fax", theirVersion.revision));
  EXPECT_EQ(second.LastError(), ct::kErrRevisionConflict);

  Kvs stored;
  ASSERT_TRUE(second.GetProfile("P1", "Fax", stored, &theirVersion));
  int32_t value = 0;
  ASSERT_EQ(CTkvs_GetInt(stored, 0x7001, &value, nullptr), 1);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(theirVersion.revision, 2u);
  ASSERT_TRUE(second.UpdateProfile("P1", "Fax", theirs, 0, nullptr));  // 0: no check
  ASSERT_TRUE(second.RemoveProfile("P1", "Fax", 3));
  EXPECT_FALSE(second.GetProfile("P1", "Fax", stored, nullptr));
}

TEST_P(AdminSession, ServicesAreListedWithTheirStates) {
  ECTF_AdminSession s("A");
  Kvs config;
  ASSERT_TRUE(s.AddService("Dialer", config));
  ASSERT_TRUE(s.AddService("Recorder", config));
  ASSERT_TRUE(s.StartService("Dialer"));

  ServiceStates list;
  ASSERT_TRUE(list.Get(s));
  ASSERT_EQ(list.count, 2);
  for (int32_t i = 0; i < list.count; ++i) {
    EXPECT_EQ(list.running[i], list.names[i] == "Dialer" ? 1 : 0) << list.names[i];
    EXPECT_NE(list.states[i], 0u);
    EXPECT_NE(list.modes[i], 0u);
  }

  ASSERT_TRUE(s.StopService("Dialer", 0));
  EXPECT_FALSE(s.RemoveService("NoSuchService"));
  EXPECT_EQ(s.LastError(), ct::kErrNotFound) << "the server's code is kept";
  EXPECT_FALSE(s.StartService("NoSuchService"));
  EXPECT_EQ(s.LastError(), ct::kErrNone) << "starting copies no error code";
}

TEST_P(AdminSession, ServerWithoutServicesListsNothingSuccessfully) {
  ECTF_AdminSession s("A");
  ServiceStates list;
  list.count = 3;
  ASSERT_TRUE(list.Get(s));
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.names, nullptr);
  EXPECT_EQ(list.states, nullptr);
  EXPECT_EQ(list.modes, nullptr);
  EXPECT_EQ(list.running, nullptr);
}

TEST_P(AdminSession, ServerProcessesAndLevel) {
  ECTF_AdminSession s("A");
  QV_String* names = nullptr;
  int32_t* running = nullptr;
  int32_t count = 0;
  // The test servers list their four components, all running but the
  // gRPC service of an embedded core.
  ASSERT_TRUE(s.GetSPList(&names, &running, &count)) << std::hex << s.LastError();
  ASSERT_EQ(count, 4);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_GT(names[i].Length(), 0);
    EXPECT_EQ(running[i] != 0, GetParam() == Where::Process || i != 3) << i;
  }
  delete[] names;
  delete[] running;

  int32_t level = -1;
  ASSERT_TRUE(s.GetServerLevel(&level));
  EXPECT_GE(level, 0);
  ASSERT_TRUE(s.ChangeServerLevel(3, 0));
  ASSERT_TRUE(s.GetServerLevel(&level));
  EXPECT_EQ(level, 3);
  EXPECT_FALSE(s.ChangeServerLevel(1000, 0));

  traffic->Fail("GetServerLevel");
  level = 42;
  EXPECT_FALSE(s.GetServerLevel(&level));
  EXPECT_EQ(level, 42) << "a failed call leaves the level as it was";
}

TEST_P(AdminSession, ExportedProfileImportsUnderAnotherName) {
  ECTF_AdminSession s("A");
  Kvs original;
  FillEveryKind(original);
  ASSERT_TRUE(s.AddProfile("Source", "Fax", original));
  ASSERT_TRUE(s.ExportProfile("Source", "Fax", "source.deif")) << std::hex << s.LastError();
  ASSERT_TRUE(s.ImportProfile("Copy", "Fax", "source.deif")) << std::hex << s.LastError();
  Kvs copy;
  ASSERT_TRUE(s.GetProfile("Copy", "Fax", copy));
  std::string why;
  EXPECT_TRUE(SameContent(original, copy, &why)) << why;

  EXPECT_FALSE(s.ExportProfile("Source", "Fax", "../outside.deif"));
  EXPECT_EQ(s.LastError(), ct::kErrPathRefused);
}

INSTANTIATE_TEST_SUITE_P(Servers, AdminSession, ::testing::Values(Where::Embedded, Where::Process), WhereName);

}  // namespace
