// The writing registry calls: what they change, what they keep, and that
// concurrent readers and writers see whole files and lose nothing.
#include "platform/regformat.h"
#include "platform/registry.h"
#include "platform/regstore.h"
#include "tests/support/registry.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char kBase[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; settings of the lab installation\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\CurrentVersion]\r\n"
    "\"Major Version\"=dword:00000002\r\n"
    "\"User Name\"=\"Ann\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration]\r\n"
    "\"Local\"=\"embedded:/tmp/p.db\"\r\n"
    "\"Lab\"=\"\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
    "\"Blob\"=hex:01,02\r\n";

class RegistryWrite : public ::testing::Test {
 protected:
  void SetUp() override { Write(kBase); }
  void Write(const std::string& text) { registry_.Write(text); }
  std::string Read() const { return registry_.Read(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") {
          names.push_back(n);
        }
      }
      closedir(d);
    }
    return names;
  }
  HKEY Open(HKEY root, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS) << path;
    return key;
  }
  static std::vector<uint8_t> Query(HKEY key, const char* name, DWORD* type) {
    DWORD len = 0;
    if (RegQueryValueExA(key, name, nullptr, type, nullptr, &len) != ERROR_SUCCESS) {
      return {};
    }
    std::vector<uint8_t> data(len);
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, type, data.data(), &len), ERROR_SUCCESS);
    data.resize(len);
    return data;
  }

  testsupport::TempRegistry registry_;
  const std::string& dir_ = registry_.dir();
  const std::string& path_ = registry_.path();
};

const char kServersPath[] = "SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration";

TEST_F(RegistryWrite, SetValuesReadBackWithTypeAndBytes) {
  HKEY key = Open(HKEY_LOCAL_MACHINE, kServersPath);
  struct Case {
    const char* name;
    DWORD type;
    std::vector<uint8_t> data;
  };
  std::vector<Case> cases = {
      {"Text", REG_SZ, {'h', ':', '1', 0}},
      {"Unterminated", REG_SZ, {'a', 'b'}},
      {"Number", REG_DWORD, {0xff, 0, 0, 0x80}},
      {"Bytes", REG_BINARY, {0, 1, 0xfe}},
      {"Expand", REG_EXPAND_SZ, {'%', 'X', '%', 0}},
      {"Multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}},
      {"Not UTF-8", REG_EXPAND_SZ, {0xc3, 0x28, 0}},
      {"Quad", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"Nothing", REG_NONE, {}},
      {"", REG_SZ, {'d', 0}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())),
              ERROR_SUCCESS)
        << c.name;
  }
  // Read back through a fresh read of the file, not what this process holds.
  RegReloadFile();
  for (const Case& c : cases) {
    DWORD type = 99;
    EXPECT_EQ(Query(key, c.name, &type), c.data) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
  }
  RegCloseKey(key);
}

TEST_F(RegistryWrite, AWriteKeepsEverythingElseInPlace) {
  RegDocument before;
  ASSERT_TRUE(RegParseText(Read(), before));
  HKEY key = Open(HKEY_LOCAL_MACHINE, kServersPath);
  // Replacing a value keeps its place; a new one goes last.
  ASSERT_EQ(RegSetValueExA(key, "LOCAL", 0, REG_SZ, reinterpret_cast<const uint8_t*>("unix:/run/ct.sock"), 18),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "New", 0, REG_SZ, reinterpret_cast<const uint8_t*>("x"), 2), ERROR_SUCCESS);
  RegCloseKey(key);

  RegDocument after;
  std::vector<RegDiagnostic> diags;
  ASSERT_TRUE(RegParseText(Read(), after, &diags));
  EXPECT_TRUE(diags.empty());
  const RegNode* servers = after.Find("HKEY_LOCAL_MACHINE", {"SOFTWARE", "Velcor", "Halden Client", "Servers",
                                                             "TRNW_Administration"});
  ASSERT_NE(servers, nullptr);
  ASSERT_EQ(servers->values.size(), 3u);
  EXPECT_EQ(servers->values[0].name, "Local");
  EXPECT_EQ(servers->values[1].name, "Lab");
  EXPECT_EQ(servers->values[2].name, "New");
  const RegNode* cv = after.Find("HKEY_LOCAL_MACHINE", {"SOFTWARE", "Velcor", "Halden Client", "CurrentVersion"});
  ASSERT_NE(cv, nullptr);
  ASSERT_EQ(cv->values.size(), 2u);
  EXPECT_EQ(cv->values[0].type, REG_DWORD);
  const RegNode* other = after.Find("HKEY_CURRENT_USER", {"Software", "Other"});
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->values[0].type, REG_BINARY);
  EXPECT_NE(Read().find("; settings of the lab installation"), std::string::npos);
  // Only the file and its lock are left in the folder.
  std::vector<std::string> files = Files();
  EXPECT_EQ(files.size(), 2u);
}

TEST_F(RegistryWrite, CreateKeyMakesThePathAndKeepsItsClass) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New\\Deep\\Key", 0, "Settings", 0, KEY_ALL_ACCESS,
                            nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegReloadFile();
  char cls[16];
  DWORD clsLen = sizeof cls;
  ASSERT_EQ(RegQueryInfoKeyA(key, cls, &clsLen, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(cls, "Settings");
  EXPECT_EQ(clsLen, 8u);
  // A one-character class buffer: ERROR_MORE_DATA, and the counts still come.
  DWORD subKeys = 99;
  clsLen = 1;
  EXPECT_EQ(RegQueryInfoKeyA(key, cls, &clsLen, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(clsLen, 8u);
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\new\\DEEP\\key", 0, "Ignored", 0, KEY_ALL_ACCESS,
                            nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  clsLen = sizeof cls;
  RegQueryInfoKeyA(again, cls, &clsLen, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  EXPECT_STREQ(cls, "Settings");
  // The intermediate keys exist on their own.
  HKEY mid = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\New\\Deep");
  RegCloseKey(mid);
  RegCloseKey(again);
  RegCloseKey(key);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "\\Bad", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_BAD_PATHNAME);
  std::string tooLong(256, 'k');
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, tooLong.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryWrite, DeleteValueAndKey) {
  HKEY servers = Open(HKEY_LOCAL_MACHINE, kServersPath);
  EXPECT_EQ(RegDeleteValueA(servers, "lab"), ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(servers, "Lab", nullptr, &type, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  // A failed delete leaves the file as it was.
  std::string text = Read();
  EXPECT_EQ(RegDeleteValueA(servers, "Lab"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Read(), text);

  HKEY velcor = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client");
  // A key with sub-keys is not deleted.
  EXPECT_EQ(RegDeleteKeyA(velcor, "Servers"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(velcor, "Servers\\TRNW_Administration"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(velcor, "Servers\\TRNW_Administration"), ERROR_FILE_NOT_FOUND);
  // The open handle of the deleted key fails without a crash.
  EXPECT_EQ(RegQueryValueExA(servers, "Local", nullptr, &type, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueExA(servers, "x", 0, REG_SZ, reinterpret_cast<const uint8_t*>(""), 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(servers), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(velcor, ""), ERROR_INVALID_PARAMETER);
  RegCloseKey(velcor);
  // The rest of the file is still there.
  HKEY cv = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\CurrentVersion");
  RegCloseKey(cv);
}

TEST_F(RegistryWrite, WritingCreatesAMissingFile) {
  unlink(path_.c_str());
  RegReloadFile();
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fresh", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const uint8_t*>("\x05\0\0\0"), 4),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Read().rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(Read().find("\"v\"=dword:00000005"), std::string::npos);
}

TEST_F(RegistryWrite, AFileThatCannotBeReadIsNeverReplaced) {
  // Over the size limit: readers see no keys, and writers refuse.
  std::string big = std::string(kBase) + std::string(kRegMaxFileBytes, ';');
  Write(big);
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_SZ, reinterpret_cast<const uint8_t*>(""), 1),
            ERROR_SUCCESS);
  struct stat st {};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(static_cast<size_t>(st.st_size), big.size());
  EXPECT_EQ(RegFileDiagnostics().size(), 1u);
}

TEST_F(RegistryWrite, RefusalsLeaveNoTrace) {
  HKEY key = Open(HKEY_LOCAL_MACHINE, kServersPath);
  std::string text = Read();
  // Names that a line of the file cannot hold, data that is not there.
  EXPECT_EQ(RegSetValueExA(key, "two\nlines", 0, REG_SZ, reinterpret_cast<const uint8_t*>(""), 1),
            ERROR_INVALID_PARAMETER);
  HKEY made = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key, "bad\rname", 0, nullptr, 0, 0, nullptr, &made, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
  std::vector<uint8_t> huge(kRegMaxValueBytes + 1);
  EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, huge.data(), static_cast<DWORD>(huge.size())),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Read(), text);
  RegCloseKey(key);
  // A folder that does not exist.
  setenv("HALDEN_REGISTRY", (dir_ + "/no/such/dir/x.reg").c_str(), 1);
  RegReloadFile();
  EXPECT_NE(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_SZ, reinterpret_cast<const uint8_t*>(""), 1),
            ERROR_SUCCESS);
  setenv("HALDEN_REGISTRY", path_.c_str(), 1);
}

TEST_F(RegistryWrite, AWriteKeepsTheFileMode) {
  ASSERT_EQ(chmod(path_.c_str(), 0640), 0);
  ASSERT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_SZ, reinterpret_cast<const uint8_t*>("1"), 2),
            ERROR_SUCCESS);
  struct stat st {};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(RegistryWrite, AFileBehindALinkIsReplacedWhereItIs) {
  std::string link = dir_ + "/link.reg";
  ASSERT_EQ(symlink(path_.c_str(), link.c_str()), 0);
  setenv("HALDEN_REGISTRY", link.c_str(), 1);
  RegReloadFile();
  ASSERT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_SZ, reinterpret_cast<const uint8_t*>("1"), 2),
            ERROR_SUCCESS);
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(Read().find("\"x\"=\"1\""), std::string::npos);
  setenv("HALDEN_REGISTRY", path_.c_str(), 1);
}

// Concurrency ---------------------------------------------------------------

TEST_F(RegistryWrite, ReadersNeverSeeAPartialFile) {
  // Padding makes each file large enough that a torn write would show.
  std::string pad(200000, 'p');
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServersPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
      _exit(2);
    }
    for (int i = 0; i < 60; ++i) {
      std::string data = std::to_string(i) + pad;
      if (RegSetValueExA(key, "Pad", 0, REG_SZ, reinterpret_cast<const uint8_t*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1)) != ERROR_SUCCESS) {
        _exit(3);
      }
    }
    _exit(0);
  }
  int reads = 0;
  int status = 0;
  bool done = false;
  while (!done) {
    done = waitpid(child, &status, WNOHANG) == child;
    RegDocument doc;
    std::vector<RegDiagnostic> diags;
    ASSERT_TRUE(RegParseText(Read(), doc, &diags));
    ASSERT_TRUE(diags.empty()) << diags.front().line << ": " << diags.front().message;
    const RegNode* servers = doc.Find("HKEY_LOCAL_MACHINE", {"SOFTWARE", "Velcor", "Halden Client", "Servers",
                                                             "TRNW_Administration"});
    ASSERT_NE(servers, nullptr);
    ASSERT_NE(servers->FindValue("Local"), nullptr);
    ASSERT_NE(doc.Find("HKEY_CURRENT_USER", {"Software", "Other"}), nullptr);
    if (const RegValue* p = servers->FindValue("Pad")) {
      // A counter, the whole padding, the terminator.
      ASSERT_GE(p->data.size(), pad.size() + 2);
      ASSERT_EQ(p->data.back(), 0);
      std::string tail(p->data.end() - 1 - static_cast<long>(pad.size()), p->data.end() - 1);
      ASSERT_EQ(tail, pad);
    }
    // The calls in this process see whole files too.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServersPath, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Local", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
    ++reads;
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_GT(reads, 1);
}

TEST_F(RegistryWrite, ConcurrentProcessesLoseNoChange) {
  constexpr int kWriters = 4;
  constexpr int kEach = 25;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Race", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        _exit(2);
      }
      for (int i = 0; i < kEach; ++i) {
        std::string name = "w" + std::to_string(w) + "_" + std::to_string(i);
        DWORD v = static_cast<DWORD>(w * 1000 + i);
        if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&v), 4) !=
            ERROR_SUCCESS) {
          _exit(3);
        }
      }
      _exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  HKEY key = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Race");
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, static_cast<DWORD>(kWriters * kEach));
  DWORD type = 0;
  std::vector<uint8_t> v = Query(key, "w3_24", &type);
  EXPECT_EQ(v, (std::vector<uint8_t>{0xd0, 0x0b, 0, 0}));  // 3024
  RegCloseKey(key);
  // The file written under contention is whole and still keeps the rest.
  HKEY cv = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velcor\\Halden Client\\CurrentVersion");
  RegCloseKey(cv);
}

TEST_F(RegistryWrite, ConcurrentThreadsLoseNoChange) {
  constexpr int kThreads = 4;
  constexpr int kEach = 20;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kEach; ++i) {
        HKEY key = nullptr;
        std::string sub = "SOFTWARE\\Threads\\T" + std::to_string(t);
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
          ++failures[t];
          continue;
        }
        std::string name = "v" + std::to_string(i);
        if (RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const uint8_t*>("x"), 2) !=
            ERROR_SUCCESS) {
          ++failures[t];
        }
        if (RegCloseKey(key) != ERROR_SUCCESS) {
          ++failures[t];
        }
      }
    });
  }
  for (auto& th : threads) {
    th.join();
  }
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], 0);
    std::string sub = "SOFTWARE\\Threads\\T" + std::to_string(t);
    HKEY key = Open(HKEY_LOCAL_MACHINE, sub.c_str());
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    EXPECT_EQ(values, static_cast<DWORD>(kEach));
    RegCloseKey(key);
  }
}

}  // namespace
