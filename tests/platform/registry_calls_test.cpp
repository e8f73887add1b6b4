// The registry calls against a temporary settings file: opening, querying
// and enumerating as Windows answers them, and handles that are stale.
#include "platform/registry.h"
#include "tests/support/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class RegistryCalls : public ::testing::Test {
 protected:
  void Write(const std::string& text) { registry_.Write(text); }
  HKEY Open(const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_SUCCESS) << path;
    return key;
  }

  testsupport::TempRegistry registry_;
  const std::string& dir_ = registry_.dir();
  const std::string& path_ = registry_.path();
};

const char kServers[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration]\r\n"
    "\"Local\"=\"embedded:/var/lib/velcor/profiles.db\"\r\n"
    "\"Lab\"=\"127.0.0.1:7310\"\r\n"
    "\"Count\"=dword:00000007\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\Other]\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\A Much Longer Name]\r\n";

TEST_F(RegistryCalls, OpenFindsKeysWithoutRegardToCase) {
  Write(kServers);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\VELCOR\\halden client\\servers\\trnw_administration", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD type = 0;
  char data[64] = {};
  DWORD len = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "LAB", nullptr, &type, reinterpret_cast<uint8_t*>(data), &len), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(len, 15u);  // "127.0.0.1:7310" and its terminator
  EXPECT_STREQ(data, "127.0.0.1:7310");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryCalls, OpenStepsThroughParentHandles) {
  Write(kServers);
  HKEY velcor = Open("SOFTWARE\\Velcor");
  HKEY servers = nullptr;
  ASSERT_EQ(RegOpenKeyExA(velcor, "Halden Client\\Servers", 0, KEY_READ, &servers), ERROR_SUCCESS);
  HKEY again = nullptr;
  ASSERT_EQ(RegOpenKeyExA(servers, nullptr, 0, KEY_READ, &again), ERROR_SUCCESS);
  EXPECT_NE(again, servers);
  char name[64];
  EXPECT_EQ(RegEnumKeyA(again, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "TRNW_Administration");
  RegCloseKey(again);
  RegCloseKey(servers);
  RegCloseKey(velcor);
}

TEST_F(RegistryCalls, OpenRefusesMissingKeysAndBadPaths) {
  Write(kServers);
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nobody", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Velcor", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  // The other root has no keys in this file.
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryCalls, MissingFileIsARegistryWithoutKeys) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  DWORD subKeys = 99;
  DWORD values = 99;
  EXPECT_EQ(RegQueryInfoKeyA(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 0u);
}

TEST_F(RegistryCalls, QueryReportsTypeAndNeededLength) {
  Write(kServers);
  HKEY key = Open("SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration");
  DWORD type = 0;
  DWORD len = 0;
  // Type and length only.
  EXPECT_EQ(RegQueryValueExA(key, "Local", nullptr, &type, nullptr, &len), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(len, std::strlen("embedded:/var/lib/velcor/profiles.db") + 1);
  // Type only.
  type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  // A buffer one byte short.
  uint8_t small[36];
  len = sizeof small;
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(RegQueryValueExA(key, "Local", nullptr, &type, small, &len), ERROR_MORE_DATA);
  EXPECT_EQ(len, 37u);
  // The number's four bytes, low first.
  uint8_t num[4] = {};
  len = 4;
  EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, &type, num, &len), ERROR_SUCCESS);
  EXPECT_EQ(num[0], 7);
  EXPECT_EQ(num[3], 0);
  EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, &type, nullptr, &len), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key, "Local", nullptr, &type, small, nullptr), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryCalls, EnumerationFollowsFileOrderAndEnds) {
  Write(kServers);
  HKEY key = Open("SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration");
  const char* expected[] = {"Local", "Lab", "Count"};
  for (DWORD i = 0; i < 3; ++i) {
    char name[32];
    DWORD nameLen = sizeof name;
    DWORD type = 0;
    EXPECT_EQ(RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, expected[i]);
    EXPECT_EQ(nameLen, std::strlen(expected[i]));
  }
  char name[32];
  DWORD nameLen = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 3, name, &nameLen, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);

  HKEY servers = Open("SOFTWARE\\Velcor\\Halden Client\\Servers");
  const char* keys[] = {"TRNW_Administration", "Other", "A Much Longer Name"};
  for (DWORD i = 0; i < 3; ++i) {
    char sub[64];
    EXPECT_EQ(RegEnumKeyA(servers, i, sub, sizeof sub), ERROR_SUCCESS);
    EXPECT_STREQ(sub, keys[i]);
  }
  char sub[64];
  EXPECT_EQ(RegEnumKeyA(servers, 3, sub, sizeof sub), ERROR_NO_MORE_ITEMS);
  // "Other" needs 6 bytes with its terminator.
  EXPECT_EQ(RegEnumKeyA(servers, 1, sub, 5), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumKeyA(servers, 1, sub, 6), ERROR_SUCCESS);
  RegCloseKey(servers);
}

TEST_F(RegistryCalls, EnumValueReportsShortBuffers) {
  Write(kServers);
  HKEY key = Open("SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration");
  char name[5];
  DWORD nameLen = sizeof name;  // "Local" needs 6
  DWORD type = 0;
  DWORD dataLen = 0;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, &type, nullptr, &dataLen), ERROR_MORE_DATA);
  EXPECT_EQ(nameLen, 5u);
  char big[8];
  nameLen = sizeof big;
  uint8_t data[4];
  dataLen = sizeof data;
  EXPECT_EQ(RegEnumValueA(key, 1, big, &nameLen, nullptr, &type, data, &dataLen), ERROR_MORE_DATA);
  EXPECT_EQ(dataLen, 15u);
  EXPECT_EQ(type, REG_SZ);
  RegCloseKey(key);
}

TEST_F(RegistryCalls, InfoCountsAndLongestLengths) {
  Write(kServers);
  HKEY servers = Open("SOFTWARE\\Velcor\\Halden Client\\Servers");
  DWORD subKeys = 0, maxSub = 0, values = 9;
  EXPECT_EQ(RegQueryInfoKeyA(servers, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 3u);
  EXPECT_EQ(maxSub, std::strlen("TRNW_Administration"));
  EXPECT_EQ(values, 0u);
  RegCloseKey(servers);

  HKEY key = Open("SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration");
  DWORD maxName = 0, maxData = 0;
  char cls[1] = {'x'};
  DWORD clsLen = 1;
  EXPECT_EQ(RegQueryInfoKeyA(key, cls, &clsLen, nullptr, nullptr, nullptr, nullptr, &values, &maxName, &maxData,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(cls[0], '\0');
  EXPECT_EQ(values, 3u);
  EXPECT_EQ(maxName, 5u);
  EXPECT_EQ(maxData, std::strlen("embedded:/var/lib/velcor/profiles.db") + 1);
  RegCloseKey(key);
}

TEST_F(RegistryCalls, StaleAndForeignHandlesFailCleanly) {
  Write(kServers);
  HKEY key = Open("SOFTWARE\\Velcor");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, &type, nullptr, nullptr), ERROR_INVALID_HANDLE);
  char name[8];
  EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_INVALID_HANDLE);
  HKEY junk = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0xdeadbeef));
  EXPECT_EQ(RegCloseKey(junk), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  HKEY out = nullptr;
  EXPECT_EQ(RegOpenKeyExA(junk, "SOFTWARE", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_DWORD, reinterpret_cast<const uint8_t*>("\1\0\0\0"), 4),
            ERROR_INVALID_HANDLE);
  // A new handle never takes the number of a closed one.
  HKEY next = Open("SOFTWARE\\Velcor");
  EXPECT_NE(next, key);
  RegCloseKey(next);
  // The roots stay usable after a close.
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  HKEY again = Open("SOFTWARE");
  RegCloseKey(again);
}

TEST_F(RegistryCalls, ChangedFileIsSeenWithoutReload) {
  Write(kServers);
  HKEY key = Open("SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration");
  // Another program replaces the file (new inode, new size).
  std::string other = path_ + ".new";
  std::ofstream(other, std::ios::binary) << "REGEDIT4\n\n"
                                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\"
                                            "TRNW_Administration]\n\"Only\"=\"x\"\n";
  ASSERT_EQ(rename(other.c_str(), path_.c_str()), 0);
  DWORD values = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 1u);
  RegCloseKey(key);
}

TEST_F(RegistryCalls, SameSizeRewritesInPlaceAreSeen) {
  // Same inode and size each time: the file times, or the bytes, must tell.
  const char first[] = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"aaaa\"\n";
  const char second[] = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"bbbb\"\n";
  Write(first);
  for (int round = 0; round < 20; ++round) {
    bool even = round % 2 == 0;
    {
      std::ofstream out(path_, std::ios::binary | std::ios::in | std::ios::out);
      out << (even ? second : first);
    }
    HKEY key = Open("K");
    char data[8] = {};
    DWORD len = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<uint8_t*>(data), &len), ERROR_SUCCESS);
    EXPECT_STREQ(data, even ? "bbbb" : "aaaa") << round;
    RegCloseKey(key);
  }
}

TEST_F(RegistryCalls, EnvironmentChoosesTheFile) {
  Write(kServers);
  HKEY key = Open("SOFTWARE\\Velcor");
  RegCloseKey(key);
  std::string second = dir_ + "/second.reg";
  std::ofstream(second, std::ios::binary) << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Elsewhere]\n";
  setenv("HALDEN_REGISTRY", second.c_str(), 1);
  RegReloadFile();
  HKEY out = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor", 0, KEY_READ, &out), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Elsewhere", 0, KEY_READ, &out), ERROR_SUCCESS);
  RegCloseKey(out);
  unlink(second.c_str());
}

}  // namespace
