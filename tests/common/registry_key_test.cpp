// NT_RegKey over a temporary settings file: opening, the typed reads and
// writes, enumeration as the server list uses it, and buffers that are
// never overrun.
#include "common/registry.h"
#include "platform/regstore.h"
#include "tests/support/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char kInstallation[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\CurrentVersion]\r\n"
    "\"Major Version\"=dword:00000003\r\n"
    "\"Minor Version\"=\"1\"\r\n"
    "\"User Name\"=\"Ann Admin\"\r\n"
    "\"Short Number\"=hex(4):01,02\r\n"
    "\"Long Number\"=hex(4):01,02,03,04,05\r\n"
    "\"Raw\"=hex:41,42,43,44\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Environment]\r\n"
    "\"RootPath\"=\"C:\\\\Velcor\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration]\r\n"
    "\"Local\"=\"embedded:/var/lib/velcor/profiles.db\"\r\n"
    "\"Broken\"=dword:00000001\r\n"
    "\"Lab\"=\"\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Classy]\r\n"
    ";@class=\"Velcor settings\"\r\n"
    "\"v\"=\"1\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Big]\r\n";

const char kClient[] = "SOFTWARE\\Velcor\\Halden Client";
const char kServers[] = "SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration";

class RegistryKey : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string text = kInstallation;
    // A value whose data is longer than 256 bytes.
    text += "\"Long\"=\"" + std::string(300, 'L') + "\"\r\n";
    registry_.Write(text);
  }
  std::string Read() const { return registry_.Read(); }

  testsupport::TempRegistry registry_;
  const std::string& path_ = registry_.path();
};

TEST_F(RegistryKey, ConstructorsOpenOrAreNotValid) {
  NT_RegKey client(HKEY_LOCAL_MACHINE, kClient, KEY_READ);
  EXPECT_TRUE(client.IsValid());
  NT_RegKey env(client, "Environment", KEY_READ);
  EXPECT_TRUE(env.IsValid());
  NT_RegKey missing(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nobody", KEY_READ);
  EXPECT_FALSE(missing.IsValid());
  // Under a parent that is not valid nothing is opened, even a path that
  // would exist under the root.
  NT_RegKey child(missing, "SOFTWARE", KEY_READ);
  EXPECT_FALSE(child.IsValid());
  NT_RegKey null(static_cast<HKEY>(nullptr));
  EXPECT_FALSE(null.IsValid());
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClient, 0, KEY_READ, &raw), ERROR_SUCCESS);
  {
    NT_RegKey adopted(raw);
    EXPECT_TRUE(adopted.IsValid());
  }
  // The adopted handle was closed with its owner.
  EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryKey, AKeyThatIsNotValidFailsEverythingAndTouchesNothing) {
  NT_RegKey key(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nobody", KEY_ALL_ACCESS);
  ASSERT_FALSE(key.IsValid());
  char buffer[16] = "***";
  EXPECT_FALSE(key.GetValue("User Name", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "***");
  DWORD number = 77;
  EXPECT_FALSE(key.GetValue("Major Version", &number));
  EXPECT_EQ(number, 77u);
  std::string before = Read();
  EXPECT_FALSE(key.SetValue("x", "text"));
  EXPECT_FALSE(key.SetValue("x", DWORD{1}));
  EXPECT_FALSE(key.DelValue("x"));
  EXPECT_FALSE(key.DeleteSubKey("x"));
  EXPECT_EQ(key.CreateSubKey("x", KEY_ALL_ACCESS), nullptr);
  EXPECT_EQ(Read(), before);
  DWORD count = 5, name = 5, data = 5;
  EXPECT_FALSE(key.GetNumberOfSubKeys(&count));
  EXPECT_FALSE(key.GetValueDetails(&count, &name, &data));
  EXPECT_EQ(count, 5u);
  char sub[8] = "same";
  EXPECT_FALSE(key.GetSubKeyName(0, sub, sizeof sub));
  EXPECT_FALSE(key.GetStringValue(0, sub, sizeof sub, buffer, sizeof buffer));
  EXPECT_STREQ(sub, "same");
  EXPECT_FALSE(key.ValueExists("", "x"));
}

TEST_F(RegistryKey, NumbersMustBeFourByteDwords) {
  NT_RegKey cv(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\CurrentVersion", KEY_QUERY_VALUE);
  DWORD number = 0;
  EXPECT_TRUE(cv.GetValue("major version", &number));
  EXPECT_EQ(number, 3u);
  number = 42;
  EXPECT_FALSE(cv.GetValue("Minor Version", &number));  // a REG_SZ
  EXPECT_FALSE(cv.GetValue("Raw", &number));            // REG_BINARY of 4 bytes
  EXPECT_FALSE(cv.GetValue("Short Number", &number));   // REG_DWORD of 2 bytes
  EXPECT_FALSE(cv.GetValue("Long Number", &number));    // REG_DWORD of 5 bytes
  EXPECT_FALSE(cv.GetValue("Absent", &number));
  EXPECT_EQ(number, 42u);
}

TEST_F(RegistryKey, TextReadsAreAlwaysTerminatedWithinTheBuffer) {
  NT_RegKey cv(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\CurrentVersion", KEY_QUERY_VALUE);
  // Each buffer holds "***" and then 'x' to its end; it is exactly its size,
  // so a write past the end is caught by the sanitizer.
  const struct {
    const char* what;
    const char* value;
    size_t size;
    bool ok;
    const char* text;  // the buffer's text afterwards
  } cases[] = {
      {"room to spare", "User Name", 1024, true, "Ann Admin"},
      {"exactly the text and its terminator", "User Name", 10, true, "Ann Admin"},
      {"one byte short: refused, buffer untouched", "User Name", 9, false, "***"},
      // Any type is read; data without a terminator gets one after it...
      {"binary data, terminator added", "Raw", 5, true, "ABCD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<char> buffer(c.size, 'x');
    std::memcpy(buffer.data(), "***", 4);
    EXPECT_EQ(cv.GetValue(c.value, buffer.data(), static_cast<DWORD>(buffer.size())) != 0, c.ok);
    EXPECT_STREQ(buffer.data(), c.text);
  }
  // ...and when it fills the buffer exactly there is no room for one: that
  // fails, and the buffer holds the empty text rather than four loose bytes.
  // Guard bytes on each side catch a write outside the buffer.
  struct {
    char before[4];
    char buf[4];
    char after[4];
  } guarded;
  std::memset(&guarded, '#', sizeof guarded);
  EXPECT_FALSE(cv.GetValue("Raw", guarded.buf, sizeof guarded.buf));
  EXPECT_EQ(guarded.buf[0], '\0');
  EXPECT_EQ(std::string(guarded.before, 4), "####");
  EXPECT_EQ(std::string(guarded.after, 4), "####");
  EXPECT_FALSE(cv.GetValue("User Name", guarded.buf, 0));
}

TEST_F(RegistryKey, SetAndDeleteValues) {
  NT_RegKey env(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\Environment", KEY_ALL_ACCESS);
  ASSERT_TRUE(env.SetValue("RootPath", "/opt/velcor"));
  ASSERT_TRUE(env.SetValue("Count", DWORD{0x01020304}));
  RegReloadFile();
  char text[64];
  ASSERT_TRUE(env.GetValue("RootPath", text, sizeof text));
  EXPECT_STREQ(text, "/opt/velcor");
  DWORD type = 0;
  DWORD len = 0;
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\Environment", 0, KEY_READ, &raw),
            ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExA(raw, "RootPath", nullptr, &type, nullptr, &len), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(len, 12u);  // with the terminator
  ASSERT_EQ(RegQueryValueExA(raw, "Count", nullptr, &type, nullptr, &len), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(len, 4u);
  RegCloseKey(raw);
  DWORD number = 0;
  ASSERT_TRUE(env.GetValue("Count", &number));
  EXPECT_EQ(number, 0x01020304u);
  EXPECT_TRUE(env.DelValue("count"));
  EXPECT_FALSE(env.DelValue("Count"));
  EXPECT_FALSE(env.GetValue("Count", &number));
}

TEST_F(RegistryKey, SubKeysAreCreatedCountedNamedAndDeleted) {
  NT_RegKey client(HKEY_LOCAL_MACHINE, kClient, KEY_ALL_ACCESS);
  DWORD count = 0;
  ASSERT_TRUE(client.GetNumberOfSubKeys(&count));
  EXPECT_EQ(count, 5u);
  HKEY made = client.CreateSubKey("Runtime", KEY_ALL_ACCESS);
  ASSERT_NE(made, nullptr);
  {
    NT_RegKey runtime(made);
    EXPECT_TRUE(runtime.SetValue("ConnectTimeoutMs", DWORD{5000}));
  }
  ASSERT_TRUE(client.GetNumberOfSubKeys(&count));
  EXPECT_EQ(count, 6u);
  char name[32];
  ASSERT_TRUE(client.GetSubKeyName(5, name, sizeof name));
  EXPECT_STREQ(name, "Runtime");
  EXPECT_FALSE(client.GetSubKeyName(6, name, sizeof name));
  EXPECT_FALSE(client.GetSubKeyName(5, name, 7));  // "Runtime" needs 8
  // Creating an existing key opens it.
  HKEY again = client.CreateSubKey("RUNTIME", KEY_READ);
  ASSERT_NE(again, nullptr);
  RegCloseKey(again);
  EXPECT_EQ(client.CreateSubKey("\\bad", KEY_ALL_ACCESS), nullptr);
  EXPECT_TRUE(client.DeleteSubKey("Runtime"));
  EXPECT_FALSE(client.DeleteSubKey("Runtime"));
  EXPECT_FALSE(client.DeleteSubKey("Servers"));  // has a sub-key
  ASSERT_TRUE(client.GetNumberOfSubKeys(&count));
  EXPECT_EQ(count, 5u);
}

TEST_F(RegistryKey, DetailsSucceedOnAKeyWithAClassText) {
  NT_RegKey classy(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\Classy", KEY_READ);
  ASSERT_TRUE(classy.IsValid());
  DWORD values = 0, name = 0, data = 0;
  EXPECT_TRUE(classy.GetValueDetails(&values, &name, &data));
  EXPECT_EQ(values, 1u);
  EXPECT_EQ(name, 1u);
  EXPECT_EQ(data, 2u);
  DWORD subKeys = 9;
  EXPECT_TRUE(classy.GetNumberOfSubKeys(&subKeys));
  EXPECT_EQ(subKeys, 0u);
  // The raw call does report the short class buffer.
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\Classy", 0, KEY_READ, &raw),
            ERROR_SUCCESS);
  char cls[1];
  DWORD clsLen = 1;
  EXPECT_EQ(RegQueryInfoKeyA(raw, cls, &clsLen, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_MORE_DATA);
  RegCloseKey(raw);
}

// The server list as the editor builds it.
std::vector<std::string> ServerList() {
  std::vector<std::string> names;
  NT_RegKey servers(HKEY_LOCAL_MACHINE, kServers, GENERIC_READ);
  DWORD count = 0, longestName = 0, longestData = 0;
  if (!servers.IsValid() || !servers.GetValueDetails(&count, &longestName, &longestData)) {
    return names;
  }
  std::vector<char> name(longestName + 10);
  std::vector<char> data(longestData + 10);
  for (DWORD i = 0; i < count; ++i) {
    if (servers.GetStringValue(i, name.data(), static_cast<DWORD>(name.size()), data.data(),
                               static_cast<DWORD>(data.size()))) {
      names.emplace_back(name.data());
    } else {
      names.emplace_back("***RegistryError***");
    }
  }
  return names;
}

TEST_F(RegistryKey, ServerListUsesStringValuesOnly) {
  EXPECT_EQ(ServerList(), (std::vector<std::string>{"Local", "***RegistryError***", "Lab"}));
}

TEST_F(RegistryKey, StringValueLengthsAreTakenByValue) {
  NT_RegKey servers(HKEY_LOCAL_MACHINE, kServers, KEY_READ);
  char name[16];
  char data[64];
  ASSERT_TRUE(servers.GetStringValue(0, name, sizeof name, data, sizeof data));
  EXPECT_STREQ(name, "Local");
  EXPECT_STREQ(data, "embedded:/var/lib/velcor/profiles.db");
  ASSERT_TRUE(servers.GetStringValue(2, name, sizeof name, data, sizeof data));
  EXPECT_STREQ(name, "Lab");
  EXPECT_STREQ(data, "");
  EXPECT_FALSE(servers.GetStringValue(3, name, sizeof name, data, sizeof data));
  // Buffers too small for the name or the data fail.
  EXPECT_FALSE(servers.GetStringValue(0, name, 5, data, sizeof data));
  EXPECT_FALSE(servers.GetStringValue(0, name, sizeof name, data, 10));
}

TEST_F(RegistryKey, ValueExistsLooksInASubKeyWithAScratchBuffer) {
  NT_RegKey client(HKEY_LOCAL_MACHINE, kClient, KEY_READ);
  EXPECT_TRUE(client.ValueExists("Environment", "RootPath"));
  EXPECT_TRUE(client.ValueExists("Environment", "rootpath"));
  EXPECT_FALSE(client.ValueExists("Environment", "Nothing"));
  EXPECT_FALSE(client.ValueExists("Nowhere", "RootPath"));
  // Data longer than 256 bytes counts as absent.
  EXPECT_FALSE(client.ValueExists("Big", "Long"));
}

// The example file shipped with the sources reads cleanly and carries what
// the editor and the runtime look for.
TEST(RegistryExample, ShippedFileHasTheInstallationSettings) {
  const char* source = std::getenv("QUELT_SOURCE_DIR");
  std::string path = std::string(source != nullptr ? source : QUELT_TEST_SOURCE_DIR) + "/resources/halden-client.reg";
  ASSERT_EQ(access(path.c_str(), R_OK), 0) << path;
  setenv("HALDEN_REGISTRY", path.c_str(), 1);
  RegReloadFile();
  EXPECT_TRUE(RegFileDiagnostics().empty());
  const auto open = [](const char* key) {
    return NT_RegKey(HKEY_LOCAL_MACHINE, (std::string("SOFTWARE\\Velcor\\Halden Client\\") + key).c_str(), KEY_READ);
  };
  const struct {
    const char* key;
    const char* value;
    DWORD expected;
  } numbers[] = {
      {"CurrentVersion", "Major Version", 1},
      {"CurrentVersion", "Minor Version", 0},
      {"Runtime", "ConnectTimeoutMs", 5000},
      {"Runtime", "CallTimeoutMs", 30000},
  };
  for (const auto& n : numbers) {
    DWORD value = 9;
    EXPECT_TRUE(open(n.key).GetValue(n.value, &value)) << n.value;
    EXPECT_EQ(value, n.expected) << n.value;
  }
  const std::pair<const char*, const char*> texts[] = {
      {"CurrentVersion", "User Name"}, {"CurrentVersion", "Company Name"}, {"Environment", "RootPath"}};
  for (const auto& [key, value] : texts) {
    char text[1024];
    EXPECT_TRUE(open(key).GetValue(value, text, sizeof text)) << value;
  }
  EXPECT_EQ(ServerList(), (std::vector<std::string>{"Local"}));
  unsetenv("HALDEN_REGISTRY");
  RegReloadFile();
}

}  // namespace
