// quelt-demo run as a program into a temporary folder; the result is read
// back through the registry calls and the runtime, as the editor reads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "common/multises.h"
#include "common/registry.h"
#include "platform/registry.h"
#include "s100/ctruntime.h"
#include "tests/support/tempdir.h"
#include "tools/demo_profiles.h"

namespace fs = std::filesystem;

namespace {

const char* const kServersKey = "SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration";

// Runs quelt-demo with the arguments; its exit code and what it printed.
int RunDemo(const std::string& arguments, std::string* output) {
  const std::string command = std::string(QUELT_DEMO_PATH) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[512];
  output->clear();
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) *output += buffer;
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Values in a set, counting nested values and array items, and the type
// codes met on the way.
long CountSet(CTkvs set, std::set<uint32_t>* kinds);

long CountArray(CTary array, std::set<uint32_t>* kinds) {
  uint32_t type = 0, count = 0;
  CTary_GetType(array, &type, nullptr);
  CTary_GetCount(array, &count, nullptr);
  kinds->insert(type);
  long nodes = 1 + static_cast<long>(count);
  if (type == 66) {
    const CTkvs* items = nullptr;
    if (CTary_GetKVSet(array, &items, &count, nullptr) == 1)
      for (uint32_t i = 0; i < count; ++i) nodes += CountSet(items[i], kinds) - 1;
  } else if (type == 78) {
    const CTary* items = nullptr;
    if (CTary_GetArray(array, &items, &count, nullptr) == 1)
      for (uint32_t i = 0; i < count; ++i) nodes += CountArray(items[i], kinds) - 1;
  }
  return nodes;
}

long CountSet(CTkvs set, std::set<uint32_t>* kinds) {
  long nodes = 1;
  CTsymbol key = CT_KVS_START_KEY;
  uint32_t type = 0;
  while (CTkvs_GetNextKey(set, &key, &type, nullptr) == 1) {
    kinds->insert(type);
    if (type == 42) {
      CTkvs inner = 0;
      if (CTkvs_GetKVSet(set, key, &inner, nullptr) == 1) nodes += CountSet(inner, kinds);
    } else if (type >= 60) {
      CTary inner = 0;
      if (CTkvs_GetArray(set, key, &inner, nullptr) == 1) nodes += CountArray(inner, kinds);
    } else {
      ++nodes;
    }
  }
  return nodes;
}

std::string ReadString(const NT_RegKey& key, const char* name) {
  char buffer[1024] = "";
  return key.GetValue(name, buffer, sizeof buffer) ? std::string(buffer) : std::string("<missing>");
}

class DemoInstallation : public ::testing::Test {
 protected:
  void TearDown() override {
    ::unsetenv("HALDEN_REGISTRY");
    RegReloadFile();
  }
  testsupport::TempDir dir_;
};

TEST_F(DemoInstallation, CreatesRegistryHelpAndProfilesOnceAndTheRuntimeReadsThem) {
  const std::string folder = dir_.path() + "/data/quelt/demo";
  std::string output;
  ASSERT_EQ(RunDemo("--dir " + Quoted(folder), &output), 0) << output;
  EXPECT_NE(output.find("Created"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(folder + ".partial"));

  // The registry file, read through the registry calls.
  const std::string registry = folder + "/halden-client.reg";
  ASSERT_TRUE(fs::exists(registry));
  ::setenv("HALDEN_REGISTRY", registry.c_str(), 1);
  RegReloadFile();
  {
    NT_RegKey version(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\CurrentVersion", KEY_QUERY_VALUE);
    ASSERT_TRUE(version.IsValid());
    DWORD major = 99, minor = 99;
    EXPECT_TRUE(version.GetValue("Major Version", &major));
    EXPECT_TRUE(version.GetValue("Minor Version", &minor));
    EXPECT_NE(ReadString(version, "User Name"), "<missing>");
    EXPECT_EQ(ReadString(version, "Company Name"), "Quelt Demo");

    NT_RegKey environment(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\Environment", KEY_QUERY_VALUE);
    EXPECT_EQ(ReadString(environment, "RootPath"), folder);

    NT_RegKey servers(HKEY_LOCAL_MACHINE, kServersKey, KEY_READ);
    DWORD values = 0, nameLength = 0, dataLength = 0;
    ASSERT_TRUE(servers.GetValueDetails(&values, &nameLength, &dataLength));
    ASSERT_EQ(values, 1u);
    char name[256] = "", data[1024] = "";
    ASSERT_TRUE(servers.GetStringValue(0, name, sizeof name, data, sizeof data));
    EXPECT_STREQ(name, "Default_Server");
    EXPECT_EQ(std::string(data), "embedded:" + folder + "/profiles.db");
  }

  // The help pages under the root path.
  for (const char* page : {"index.html", "retrieve.html", "store.html", "messages.html", "usinghelp.html"})
    EXPECT_GT(fs::file_size(folder + "/Client/Admin/help/" + page), 500u) << page;

  // The profiles, through the editor's session on the known server.
  std::map<std::string, demo::DemoProfile> expected;
  for (const demo::DemoProfile& p : demo::DemoProfiles()) expected[p.name + "/" + p.profileClass] = p;
  std::set<uint32_t> kinds;
  long largest = 0;
  ASSERT_EQ(CT_Initialize(nullptr), 1);
  {
    MultiAdminSession session;
    QV_String* names = nullptr;
    QV_String* classes = nullptr;
    int32_t count = 0;
    ASSERT_TRUE(session.GetProfileList("Default_Server", "", &names, &classes, &count)) << session.LastError();
    std::set<std::string> listed;
    for (int32_t i = 0; i < count; ++i) listed.insert(std::string(names[i]) + "/" + std::string(classes[i]));
    delete[] names;
    delete[] classes;
    std::set<std::string> wanted;
    for (const auto& entry : expected) wanted.insert(entry.first);
    EXPECT_EQ(listed, wanted);

    for (const auto& entry : expected) {
      SCOPED_TRACE(entry.first);
      CTkvs set = 0;
      ASSERT_EQ(CTkvs_Create(&set, nullptr), 1);
      ASSERT_TRUE(session.LoadProfile("Default_Server", entry.second.name.c_str(),
                                      entry.second.profileClass.c_str(), set));
      const long nodes = CountSet(set, &kinds) - 1;  // the profile's own set is not a value in it
      EXPECT_EQ(nodes, entry.second.nodes);
      largest = std::max(largest, nodes);
      CTkvs_Destroy(set, nullptr);
    }
    session.LogOffAllSessions();
  }
  CT_Shutdown(nullptr);
  EXPECT_GE(largest, 95000);
  EXPECT_LE(largest, 105000);
  // Every scalar kind, nested sets and every kind of array, and an array
  // of a code without an element kind.
  for (uint32_t kind : {11u, 12u, 13u, 18u, 19u, 40u, 41u, 42u, 44u, 61u, 62u, 63u, 64u, 65u, 66u, 71u, 72u, 77u,
                        78u, 67u})
    EXPECT_TRUE(kinds.count(kind)) << "no value of kind " << kind;

  // A second run finds the demo and changes nothing.
  const auto written = fs::last_write_time(folder + "/profiles.db");
  ASSERT_EQ(RunDemo("--dir " + Quoted(folder), &output), 0) << output;
  EXPECT_NE(output.find("already"), std::string::npos) << output;
  EXPECT_EQ(fs::last_write_time(folder + "/profiles.db"), written);
}

TEST_F(DemoInstallation, RefusesFoldersItCannotUseAndLeavesThemAlone) {
  const std::string occupied = dir_.path() + "/occupied";
  fs::create_directories(occupied);
  testsupport::WriteFile(occupied + "/notes.txt", "mine");
  const struct {
    const char* what;
    std::string folder;
    const char* says;
  } cases[] = {
      {"a folder that holds something else", occupied, "holds no demo"},
      {"a relative folder", "relative/demo", "absolute"},
      {"a folder too long for the help path", dir_.path() + "/" + std::string(220, 'x'), "longer than"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string output;
    EXPECT_NE(RunDemo("--dir " + Quoted(c.folder), &output), 0);
    EXPECT_NE(output.find(c.says), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(c.folder + "/halden-client.reg"));
  }
  EXPECT_EQ(testsupport::ReadFile(occupied + "/notes.txt"), "mine");
  EXPECT_FALSE(fs::exists(occupied + ".partial"));
}

}  // namespace
