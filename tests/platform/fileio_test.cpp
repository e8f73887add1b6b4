// The file library's guarantees: reads take only regular files within
// their limit and never block on a FIFO; paths beneath a folder never pass
// a symbolic link; a replacement is whole or absent and leaves no
// temporary file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "platform/fileio.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileIo, BothWaysOfOpeningBeneathTheFolderRefuseLinks) {
  TempDir dir;
  const std::string root = dir.File("root");
  fs::create_directories(root + "/a/b");
  fs::create_directory(dir.File("outside"));
  fs::create_directory_symlink(root + "/a", root + "/link-in");
  fs::create_directory_symlink(dir.File("outside"), root + "/a/link-out");
  std::ofstream(root + "/file") << "x";
  const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(rootFd, 0);

  struct Case {
    std::vector<std::string> parts;
    bool create;
    bool ok;
  };
  const Case cases[] = {
      {{"x"}, false, true},
      {{"a", "b", "x"}, false, true},
      {{"a", "new", "deeper", "x"}, true, true},
      {{"a", "missing", "x"}, false, false},
      {{"link-in", "x"}, false, false},
      {{"link-in", "x"}, true, false},
      {{"a", "link-out", "x"}, true, false},
      {{"a", "link-out", "made", "x"}, true, false},
      {{"file", "x"}, true, false},
  };
  using Opener = int (*)(int, const std::vector<std::string>&, bool);
  for (Opener open : {Opener(&OpenParentBeneath), Opener(&WalkParentBeneath)}) {
    for (const Case& c : cases) {
      const int fd = open(rootFd, c.parts, c.create);
      EXPECT_EQ(fd >= 0, c.ok) << c.parts[0] << "/" << c.parts[1 % c.parts.size()] << " create " << c.create;
      if (fd >= 0) ::close(fd);
    }
    fs::remove_all(root + "/a/new");
  }
  ::close(rootFd);
  EXPECT_TRUE(fs::is_empty(dir.File("outside"))) << "no folder was made through the link";
}

TEST(FileIo, OptionFilesMustBeRegularAndEchoesAreCut) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::ofstream(dir.File("syms.txt")) << "Good 1\n";
  struct Case {
    std::string path;
    bool ok;
    const char* says;
  };
  const Case cases[] = {
      {dir.File("syms.txt"), true, ""},
      {dir.File("fifo"), false, "not a regular file"},
      {dir.path(), false, "not a regular file"},
      {dir.File("missing"), false, "cannot open"},
  };
  for (const Case& c : cases) {
    auto read = std::async(std::launch::async, [&] {
      std::string text, error;
      const bool ok = ReadRegularFile(c.path, 1 << 20, &text, &error);
      return std::make_pair(ok, error);
    });
    if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << c.path << " blocked";
      ::close(::open(dir.File("fifo").c_str(), O_WRONLY | O_NONBLOCK));  // lets it go
    }
    const auto [ok, error] = read.get();
    EXPECT_EQ(ok, c.ok) << c.path;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }

  EXPECT_EQ(EchoText(std::string(100, 'x')), std::string(100, 'x'));
  EXPECT_EQ(EchoText(std::string(1000, 'x')), std::string(200, 'x') + "...");
  EXPECT_EQ(EchoText(std::string(199, 'x') + "\xC3\xA9" + "tail"), std::string(199, 'x') + "...")
      << "a character is not split";
}

TEST(FileIo, ReadsTakeOnlyRegularFilesWithinTheLimit) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  testsupport::WriteFile(dir.File("ten"), "0123456789");
  testsupport::WriteFile(dir.File("empty"), "");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sockPath = dir.File("sock");
  ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, sockPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  struct Case {
    std::string path;
    size_t limit;
    FileReadProblem problem;
    std::string text;
    int err;
  };
  const Case cases[] = {
      {dir.File("ten"), 10, FileReadProblem::None, "0123456789", 0},
      {dir.File("ten"), 9, FileReadProblem::TooLarge, "", 0},
      {dir.File("empty"), 0, FileReadProblem::None, "", 0},
      {dir.File("fifo"), 100, FileReadProblem::NotRegular, "", 0},
      {dir.File("sock"), 100, FileReadProblem::NotRegular, "", 0},
      {dir.path(), 100, FileReadProblem::NotRegular, "", 0},
      {"/dev/null", 100, FileReadProblem::NotRegular, "", 0},
      {dir.File("missing"), 100, FileReadProblem::Open, "", ENOENT},
  };
  for (const Case& c : cases) {
    auto read = std::async(std::launch::async, [&] {
      std::string text = "left over";
      int err = -1;
      const FileReadProblem problem = ReadRegularFile(c.path, c.limit, &text, &err);
      return std::make_tuple(problem, text, err);
    });
    if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << c.path << " blocked";
      ::close(::open(dir.File("fifo").c_str(), O_WRONLY | O_NONBLOCK));  // lets it go
    }
    const auto [problem, text, err] = read.get();
    EXPECT_EQ(problem, c.problem) << c.path;
    EXPECT_EQ(text, c.text) << c.path << ": nothing is kept from a refused read";
    EXPECT_EQ(err, c.err) << c.path;
  }
  ::close(sock);

  // The message form names the file and why.
  std::string text, error;
  EXPECT_FALSE(ReadRegularFile(dir.File("ten"), 5, &text, &error));
  EXPECT_EQ(error, dir.File("ten") + " is larger than 5 bytes");
  EXPECT_FALSE(ReadRegularFile(dir.File("missing"), 5, &text, &error));
  EXPECT_EQ(error, "cannot open " + dir.File("missing") + ": No such file or directory");
}

TEST(FileIo, FileBaseNameDropsTheFolderAndTheLastExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"/a/b/name.qpf", "name"}, {"name.tar.gz", "name.tar"}, {"/a.b/name", "name"}, {"/a/.hidden", ""},
      {"/a/b/", ""},             {"name.", "name"},           {"", ""},             {"/a/\xC3\xA9t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9"},
  };
  for (const auto& [path, base] : cases) EXPECT_EQ(FileBaseName(path), base) << path;
}

TEST(FileIo, AReplacementIsWholeAndLeavesNothingBehind) {
  TempDir dir;
  const int dirFd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(dirFd, 0);
  testsupport::WriteFile(dir.File("old"), "old text");
  ASSERT_EQ(::chmod(dir.File("old").c_str(), 0640), 0);
  struct stat oldSt {};
  ASSERT_EQ(::stat(dir.File("old").c_str(), &oldSt), 0);

  struct Case {
    std::string leaf;
    const struct stat* old;
    int err;
    unsigned mode;  // 0: not checked
  };
  const Case cases[] = {
      {"new", nullptr, 0, 0},
      {"old", &oldSt, 0, 0640},
      {std::string(255, 'n'), nullptr, 0, 0},  // the temporary name stays short enough
      {"", nullptr, EINVAL, 0},
      {"..", nullptr, EINVAL, 0},
      {"a/b", nullptr, EINVAL, 0},
  };
  for (const Case& c : cases) {
    const std::string text = "text of " + c.leaf.substr(0, 8) + "\n" + std::string(100000, 'x');
    EXPECT_EQ(ReplaceFileAt(dirFd, c.leaf, text, c.old), c.err) << c.leaf;
    if (c.err != 0) continue;
    EXPECT_EQ(testsupport::ReadFile(dir.File(c.leaf)), text) << c.leaf;
    struct stat st {};
    ASSERT_EQ(::stat(dir.File(c.leaf).c_str(), &st), 0);
    if (c.mode != 0) {
      EXPECT_EQ(st.st_mode & 07777, c.mode) << c.leaf;
    }
  }
  ::close(dirFd);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"new", std::string(255, 'n'), "old"}))
      << "no temporary file is left";

  // By path: a link in the file's place is replaced, its target untouched;
  // a missing folder is an error and makes nothing.
  testsupport::WriteFile(dir.File("target"), "kept");
  fs::create_symlink(dir.File("target"), dir.File("link"));
  EXPECT_EQ(ReplaceFileAtomically(dir.File("link"), "new"), 0);
  EXPECT_FALSE(fs::is_symlink(dir.File("link")));
  EXPECT_EQ(testsupport::ReadFile(dir.File("link")), "new");
  EXPECT_EQ(testsupport::ReadFile(dir.File("target")), "kept");
  EXPECT_EQ(ReplaceFileAtomically(dir.File("no/such/file"), "x"), ENOENT);
  EXPECT_FALSE(fs::exists(dir.File("no")));
}

}  // namespace
