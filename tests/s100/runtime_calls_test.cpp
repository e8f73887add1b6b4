// The runtime's calls on an embedded server: initialisation, sessions, the
// reply record, profiles in the reply and information sets, the symbol
// table and its buffers, services, processes and the server level.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "s100/ctruntime.h"
#include "tests/support/containers.h"
#include "tests/support/registry.h"
#include "tests/support/serverprocess.h"
#include "tests/support/tempdir.h"

namespace env = testsupport;

namespace {

using testsupport::Kvs;

std::vector<std::string> Strings(CTkvs set, CTsymbol key) {
  const char* const* items = nullptr;
  uint32_t count = 0;
  std::vector<std::string> out;
  if (CTkvs_GetStringArray(set, key, &items, &count, nullptr) != 1) return {"<no array>"};
  for (uint32_t i = 0; i < count; ++i) out.push_back(items[i]);
  return out;
}

class RuntimeCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    env::RegistryContents reg;
    reg.servers = {{"Local", "embedded:" + dir_.File("profiles.db")}};
    env::InstallRegistry(dir_.File("test.reg"), reg);
    ASSERT_EQ(CT_Initialize(nullptr), 1);
  }
  void TearDown() override {
    if (session_) Destroy(session_);
    CT_Shutdown(nullptr);
  }

  // Opens a session with the named server; 0 and the error in *error on failure.
  CTses Open(const char* server, uint32_t* error = nullptr) {
    Kvs options, reply;
    CTkvs_PutString(options, CT_KEY_SERVER_NAME, server, nullptr);
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    CTses handle = 0;
    const int result = CTses_Create(&handle, "runtime test", 0, options, &record, 0);
    if (error) *error = record.error;
    return result == 1 ? handle : 0;
  }

  int Destroy(CTses handle, uint32_t* error = nullptr) {
    Kvs reply;
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    const int result = CTses_Destroy(handle, CT_kvsEmpty, &record, 0);
    if (error) *error = record.error;
    if (handle == session_) session_ = 0;
    return result;
  }

  CTses Session() {
    if (!session_) session_ = Open("Local");
    return session_;
  }

  // Adds a profile holding one integer; the error code in *error.
  int Add(const char* name, const char* cls, int32_t value, uint32_t* error = nullptr) {
    Kvs profile, reply;
    CTkvs_PutInt(profile, 0x7001, value, nullptr);
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    const int result = CTadm_AddProfile(Session(), name, cls, profile, &record, 0);
    if (error) *error = record.error;
    return result;
  }

  int LoadTable() {
    Kvs reply;
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    return CTsym_LoadTable(Session(), &record, 0);
  }

  env::TempDir dir_;
  CTses session_ = 0;
};

TEST_F(RuntimeCalls, InitialisationIsCounted) {
  // SetUp initialised once; a second initialise needs a second shutdown.
  ASSERT_EQ(CT_Initialize(nullptr), 1);
  ASSERT_EQ(CT_Shutdown(nullptr), 1);
  EXPECT_NE(Open("Local"), 0u) << "one initialise is still in force";
  ASSERT_EQ(CT_Shutdown(nullptr), 1);

  uint32_t error = 0;
  EXPECT_EQ(Open("Local", &error), 0u);
  EXPECT_EQ(error, ct::kErrNotInitialized);
  EXPECT_NE(CT_Shutdown(&error), 1) << "shutdown without initialise";
  EXPECT_EQ(error, ct::kErrNotInitialized);
  ASSERT_EQ(CT_Initialize(nullptr), 1);  // for TearDown
}

TEST_F(RuntimeCalls, LastShutdownClosesOpenSessions) {
  const CTses handle = Open("Local");
  ASSERT_NE(handle, 0u);
  ASSERT_EQ(CT_Shutdown(nullptr), 1);
  ASSERT_EQ(CT_Initialize(nullptr), 1);
  uint32_t error = 0;
  EXPECT_NE(Destroy(handle, &error), 1);
  EXPECT_EQ(error, ct::kErrNoSession);
}

TEST_F(RuntimeCalls, SessionCreationNeedsAKnownServer) {
  uint32_t error = 0;
  EXPECT_EQ(Open("Nowhere", &error), 0u);
  EXPECT_EQ(error, ct::kErrUnknownServer);

  // No server name in the options at all.
  Kvs options, reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  CTses handle = 0;
  EXPECT_NE(CTses_Create(&handle, "", 0, options, &record, 0), 1);
  EXPECT_EQ(record.error, ct::kErrUnknownServer);

  // A literal address that is not a known server works too.
  const std::string literal = "embedded:" + dir_.File("other.db");
  const CTses other = Open(literal.c_str());
  ASSERT_NE(other, 0u);
  EXPECT_EQ(Destroy(other), 1);
}

TEST_F(RuntimeCalls, EmbeddedFileThatCannotBeOpenedFailsToConnect) {
  env::WriteFile(dir_.File("plain-file"), "not a folder");
  const std::string address = "embedded:" + dir_.File("plain-file/p.db");
  uint32_t error = 0;
  EXPECT_EQ(Open(address.c_str(), &error), 0u);
  EXPECT_EQ(error, ct::kErrConnect);
}

TEST_F(RuntimeCalls, SessionHandlesAreDistinctAndDieWithDestroy) {
  const CTses a = Open("Local");
  const CTses b = Open("Local");
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(Destroy(a), 1);
  uint32_t error = 0;
  EXPECT_NE(Destroy(a, &error), 1);
  EXPECT_EQ(error, ct::kErrNoSession);

  Kvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  EXPECT_NE(CTadm_GetProfileInfo(a, nullptr, "", 0, info, &record, 0), 1);
  EXPECT_EQ(record.error, ct::kErrNoSession);
  EXPECT_EQ(Destroy(b), 1);
}

TEST_F(RuntimeCalls, ReplyRecordOfWrongSizeIsNotWritten) {
  Kvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  record.size = 48;
  record.error = 0xABCD;
  EXPECT_NE(CTadm_GetProfileInfo(Session(), nullptr, "", 0, info, &record, 0), 1);
  EXPECT_EQ(record.error, 0xABCDu);
  EXPECT_NE(CTadm_GetProfileInfo(Session(), nullptr, "", 0, info, nullptr, 0), 1);
}

TEST_F(RuntimeCalls, ProfilesAreListedInBothSets) {
  ASSERT_EQ(Add("Alpha", "Fax", 1), 1);
  ASSERT_EQ(Add("Beta", "Voice", 2), 1);
  ASSERT_EQ(Add("Gamma", "Fax", 3), 1);

  Kvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTadm_GetProfileInfo(Session(), nullptr, "", 0, info, &record, 0), 1);
  for (CTkvs set : {CTkvs(reply), CTkvs(info)}) {
    std::vector<std::string> names = Strings(set, CT_KEY_PROFILE_NAMES);
    std::vector<std::string> classes = Strings(set, CT_KEY_PROFILE_CLASSES);
    ASSERT_EQ(names.size(), 3u);
    ASSERT_EQ(classes.size(), 3u);
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(classes[i], names[i] == "Beta" ? "Voice" : "Fax") << names[i];
    }
  }
  // A list carries no contents.
  uint32_t type = 0;
  EXPECT_NE(CTkvs_GetType(info, CT_KEY_PROFILE_CONTENTS, &type, nullptr), 1);

  Kvs reply2, info2;
  record = CT_MakeReplyRecord(reply2);
  ASSERT_EQ(CTadm_GetProfileInfo(Session(), nullptr, "Fax", 0, info2, &record, 0), 1);
  EXPECT_EQ(Strings(reply2, CT_KEY_PROFILE_NAMES).size(), 2u);
}

TEST_F(RuntimeCalls, OneProfileComesWithItsContent) {
  ASSERT_EQ(Add("Alpha", "Fax", -42), 1);
  Kvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTadm_GetProfileInfo(Session(), "Alpha", "Fax", 1, info, &record, 0), 1);
  EXPECT_EQ(Strings(info, CT_KEY_PROFILE_NAMES), std::vector<std::string>{"Alpha"});
  EXPECT_EQ(Strings(info, CT_KEY_PROFILE_CLASSES), std::vector<std::string>{"Fax"});
  const CTkvs* contents = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(CTkvs_GetKVSetArray(info, CT_KEY_PROFILE_CONTENTS, &contents, &count, nullptr), 1);
  ASSERT_EQ(count, 1u);
  int32_t value = 0;
  ASSERT_EQ(CTkvs_GetInt(contents[0], 0x7001, &value, nullptr), 1);
  EXPECT_EQ(value, -42);
}

TEST_F(RuntimeCalls, ServerFailuresArriveInWordNine) {
  ASSERT_EQ(Add("Alpha", "Fax", 1), 1);
  uint32_t error = 0;
  EXPECT_NE(Add("Alpha", "Fax", 2, &error), 1);
  EXPECT_EQ(error, ct::kErrNameExists);
  EXPECT_NE(Add("Two words", "Fax", 2, &error), 1);
  EXPECT_EQ(error, ct::kErrInvalidName);

  Kvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  EXPECT_NE(CTadm_GetProfileInfo(Session(), "Missing", "Fax", 1, info, &record, 0), 1);
  EXPECT_EQ(record.error, ct::kErrNotFound);

  // An over-long name is refused before it is sent.
  const std::string huge(100000, 'n');
  EXPECT_NE(Add(huge.c_str(), "Fax", 1, &error), 1);
  EXPECT_EQ(error, ct::kErrInvalidName);
}

TEST_F(RuntimeCalls, UpdateReplacesAndRemoveDeletes) {
  ASSERT_EQ(Add("Alpha", "Fax", 1), 1);
  Kvs profile, reply;
  CTkvs_PutString(profile, 0x7002, "new", nullptr);
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTadm_UpdateProfile(Session(), "Alpha", "Fax", profile, &record, 0), 1);

  Kvs reply2, info;
  record = CT_MakeReplyRecord(reply2);
  ASSERT_EQ(CTadm_GetProfileInfo(Session(), "Alpha", "Fax", 1, info, &record, 0), 1);
  const CTkvs* contents = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(CTkvs_GetKVSetArray(info, CT_KEY_PROFILE_CONTENTS, &contents, &count, nullptr), 1);
  ASSERT_EQ(count, 1u);
  uint32_t n = 0;
  CTkvs_Count(contents[0], &n, nullptr);
  EXPECT_EQ(n, 1u) << "the old key is gone";
  const char* text = nullptr;
  ASSERT_EQ(CTkvs_GetString(contents[0], 0x7002, &text, nullptr), 1);
  EXPECT_STREQ(text, "new");

  Kvs reply3;
  record = CT_MakeReplyRecord(reply3);
  ASSERT_EQ(CTadm_RemoveProfile(Session(), "Alpha", "Fax", &record, 0), 1);
  Kvs reply4, info4;
  record = CT_MakeReplyRecord(reply4);
  EXPECT_NE(CTadm_GetProfileInfo(Session(), "Alpha", "Fax", 1, info4, &record, 0), 1);
  EXPECT_EQ(record.error, ct::kErrNotFound);
}

TEST_F(RuntimeCalls, RevisionsCanBeListedReadAndRestored) {
  ASSERT_EQ(Add("Alpha", "Fax", 1), 1);
  Kvs profile, reply;
  CTkvs_PutInt(profile, 0x7001, 2, nullptr);
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTadm_UpdateProfile(Session(), "Alpha", "Fax", profile, &record, 0), 1);

  std::vector<CT_RevisionInfo> revisions;
  ASSERT_EQ(CTadm_ListRevisions(Session(), "Alpha", "Fax", &revisions, &record, 0), 1);
  ASSERT_EQ(revisions.size(), 2u);
  EXPECT_TRUE(revisions[0].current);
  EXPECT_FALSE(revisions[1].current);

  Kvs old;
  ASSERT_EQ(CTadm_GetRevision(Session(), "Alpha", "Fax", revisions[1].revision, old, &record, 0), 1);
  int32_t value = 0;
  ASSERT_EQ(CTkvs_GetInt(old, 0x7001, &value, nullptr), 1);
  EXPECT_EQ(value, 1);

  uint64_t restored = 0;
  ASSERT_EQ(CTadm_RestoreRevision(Session(), "Alpha", "Fax", revisions[1].revision, &restored, &record, 0), 1);
  EXPECT_GT(restored, revisions[0].revision);
  Kvs info;
  ASSERT_EQ(CTadm_GetProfileInfo(Session(), "Alpha", "Fax", 1, info, &record, 0), 1);
  const CTkvs* contents = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(CTkvs_GetKVSetArray(info, CT_KEY_PROFILE_CONTENTS, &contents, &count, nullptr), 1);
  ASSERT_EQ(CTkvs_GetInt(contents[0], 0x7001, &value, nullptr), 1);
  EXPECT_EQ(value, 1);
}

TEST_F(RuntimeCalls, TwoSessionsOnOneFileShareItsProfiles) {
  ASSERT_EQ(Add("Shared", "Fax", 7), 1);
  const CTses other = Open("Local");
  ASSERT_NE(other, 0u);
  Kvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTadm_GetProfileInfo(other, "Shared", "Fax", 1, info, &record, 0), 1);
  EXPECT_EQ(Destroy(other), 1);
}

TEST_F(RuntimeCalls, SymbolsNeedALoadedTable) {
  char buffer[CT_SYMBOL_NAME_BUFFER];
  uint32_t error = 0;
  CTsymbol symbol = 0;
  EXPECT_NE(CTsym_SymbolToName(Session(), 1, buffer, sizeof buffer, &error), 1);
  EXPECT_EQ(error, ct::kErrNoSymbolTable);
  EXPECT_NE(CTsym_NameToSymbol(Session(), "x", &symbol, &error), 1);
  EXPECT_EQ(error, ct::kErrNoSymbolTable);

  ASSERT_EQ(LoadTable(), 1);
  uint32_t count = 0;
  ASSERT_EQ(CTsym_GetCount(Session(), &count, &error), 1);
  ASSERT_GT(count, 0u);

  // Every entry translates both ways, in ascending order of value.
  CTsymbol previous = 0;
  for (uint32_t i = 0; i < count; ++i) {
    ASSERT_EQ(CTsym_GetEntry(Session(), i, &symbol, buffer, sizeof buffer, &error), 1);
    if (i > 0) {
      EXPECT_GT(symbol, previous);
    }
    previous = symbol;
    const std::string name = buffer;
    CTsymbol back = 0;
    ASSERT_EQ(CTsym_NameToSymbol(Session(), name.c_str(), &back, &error), 1) << name;
    EXPECT_EQ(back, symbol);
    ASSERT_EQ(CTsym_SymbolToName(Session(), symbol, buffer, sizeof buffer, &error), 1);
    EXPECT_EQ(name, buffer);
  }
  EXPECT_NE(CTsym_GetEntry(Session(), count, &symbol, buffer, sizeof buffer, &error), 1);

  EXPECT_NE(CTsym_NameToSymbol(Session(), "NoSuchSymbolName", &symbol, &error), 1);
  EXPECT_EQ(error, ct::kErrUnknownSymbol);

  ASSERT_EQ(CTsym_UnloadTable(Session(), &error), 1);
  EXPECT_NE(CTsym_SymbolToName(Session(), previous, buffer, sizeof buffer, &error), 1);
  EXPECT_EQ(error, ct::kErrNoSymbolTable);
}

TEST_F(RuntimeCalls, SymbolNameNeverOverrunsTheBuffer) {
  ASSERT_EQ(LoadTable(), 1);
  CTsymbol symbol = 0;
  char name[CT_SYMBOL_NAME_BUFFER];
  uint32_t error = 0;
  ASSERT_EQ(CTsym_GetEntry(Session(), 0, &symbol, name, sizeof name, &error), 1);
  const size_t length = std::strlen(name);

  // Exactly the name and its terminator fit.
  std::vector<char> exact(length + 1 + 4, '#');
  ASSERT_EQ(CTsym_SymbolToName(Session(), symbol, exact.data(), static_cast<uint32_t>(length + 1), &error), 1);
  EXPECT_STREQ(exact.data(), name);
  EXPECT_EQ(exact[length + 1], '#');

  // One byte less fails and leaves the buffer alone.
  std::vector<char> small(length + 4, '#');
  EXPECT_NE(CTsym_SymbolToName(Session(), symbol, small.data(), static_cast<uint32_t>(length), &error), 1);
  EXPECT_EQ(error, ct::kErrBufferTooSmall);
  EXPECT_EQ(std::string(small.begin(), small.end()), std::string(length + 4, '#'));

  EXPECT_NE(CTsym_SymbolToName(Session(), symbol, nullptr, 100, &error), 1);
}

TEST_F(RuntimeCalls, ServicesAndProcessesFillTheReplySet) {
  Kvs config, reply;
  CTkvs_PutInt(config, 0x7001, 1, nullptr);
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTadm_AddService(Session(), "Dialer", config, &record, 0), 1) << std::hex << record.error;
  ASSERT_EQ(CTadm_StartService(Session(), "Dialer", &record, 0), 1) << std::hex << record.error;

  Kvs reply2, info;
  record = CT_MakeReplyRecord(reply2);
  ASSERT_EQ(CTadm_GetServiceState(Session(), "", info, &record, 0), 1) << std::hex << record.error;
  const std::vector<std::string> names = Strings(reply2, CT_KEY_SERVICE_NAMES);
  const CTsymbol* states = nullptr;
  const CTsymbol* modes = nullptr;
  const int32_t* running = nullptr;
  uint32_t n1 = 0, n2 = 0, n3 = 0;
  ASSERT_EQ(CTkvs_GetSymbolArray(reply2, CT_KEY_SERVICE_STATES, &states, &n1, nullptr), 1);
  ASSERT_EQ(CTkvs_GetSymbolArray(reply2, CT_KEY_SERVICE_MODES, &modes, &n2, nullptr), 1);
  ASSERT_EQ(CTkvs_GetBoolArray(reply2, CT_KEY_SERVICE_RUNNING, &running, &n3, nullptr), 1);
  ASSERT_EQ(n1, names.size());
  ASSERT_EQ(n2, names.size());
  ASSERT_EQ(n3, names.size());
  bool found = false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == "Dialer") {
      found = true;
      EXPECT_EQ(running[i], 1);
    }
  }
  EXPECT_TRUE(found);

  Kvs reply3, info3;
  record = CT_MakeReplyRecord(reply3);
  ASSERT_EQ(CTadm_GetSPInfo(Session(), "", info3, &record, 0), 1) << std::hex << record.error;
  const std::vector<std::string> processes = Strings(reply3, CT_KEY_PROCESS_NAMES);
  EXPECT_EQ(processes, (std::vector<std::string>{"ProfileStore", "SymbolTable", "SessionManager", "AdminService"}));
  const int32_t* flags = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(CTkvs_GetBoolArray(reply3, CT_KEY_PROCESS_RUNNING, &flags, &count, nullptr), 1);
  ASSERT_EQ(count, processes.size());
  // An embedded core runs everything but the gRPC service.
  EXPECT_EQ(std::vector<int32_t>(flags, flags + count), (std::vector<int32_t>{1, 1, 1, 0}));
}

TEST_F(RuntimeCalls, ServerLevelIsReadAndSet) {
  Kvs reply;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  int32_t level = -99;
  ASSERT_EQ(CTadm_GetServerLevel(Session(), &level, &record, 0), 1);
  EXPECT_NE(level, -99);
  ASSERT_EQ(CTadm_SetTargetServerLevel(Session(), 2, 0, &record, 0), 1) << std::hex << record.error;
  ASSERT_EQ(CTadm_GetServerLevel(Session(), &level, &record, 0), 1);
  EXPECT_EQ(level, 2);
  EXPECT_NE(CTadm_GetServerLevel(Session(), nullptr, &record, 0), 1);
}

TEST_F(RuntimeCalls, SessionsCanBeUsedFromSeveralThreads) {
  ASSERT_EQ(LoadTable(), 1);
  const CTses shared = Session();
  constexpr int kThreads = 4;
  constexpr int kEach = 25;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const CTses own = Open("Local");
      if (!own) {
        ++failures[t];
        return;
      }
      for (int i = 0; i < kEach; ++i) {
        Kvs profile, reply;
        CTkvs_PutInt(profile, 0x7001, i, nullptr);
        CT_ReplyRecord record = CT_MakeReplyRecord(reply);
        const std::string name = "T" + std::to_string(t) + "_" + std::to_string(i);
        // Half on the thread's own session, half on the shared one.
        if (CTadm_AddProfile(i % 2 ? own : shared, name.c_str(), "Fax", profile, &record, 0) != 1) ++failures[t];
        char buffer[CT_SYMBOL_NAME_BUFFER];
        if (CTsym_SymbolToName(shared, 0x0110080D, buffer, sizeof buffer, nullptr) != 1) ++failures[t];
      }
      Destroy(own);
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;

  Kvs reply, info;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  ASSERT_EQ(CTadm_GetProfileInfo(shared, nullptr, "Fax", 0, info, &record, 0), 1);
  EXPECT_EQ(Strings(reply, CT_KEY_PROFILE_NAMES).size(), static_cast<size_t>(kThreads * kEach));
}

TEST(RuntimeErrorText, EveryTransportCodeHasItsOwnText) {
  const std::string unknown = CT_ErrorText(0x12345678);
  for (uint32_t code = ct::kErrConnect; code <= ct::kErrBadAddress; ++code) {
    EXPECT_NE(CT_ErrorText(code), unknown) << std::hex << code;
  }
  EXPECT_NE(CT_ErrorText(ct::kErrNameExists), unknown);
}

}  // namespace
