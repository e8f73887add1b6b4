// Import and export against hostile and careless paths: the database's own
// files, symbolic links, FIFOs, sockets, folders and hard links.  After
// every refused call the store must still hold what it held and nothing on
// disk may have changed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"
#include "server/core.h"
#include "tests/support/tempdir.h"
#include "tests/server/wire.h"

namespace fs = std::filesystem;
namespace pb = ctadmin::v1;
using ctserver::CoreOptions;
using ctserver::ServerCore;
using testsupport::TempDir;

namespace {

std::string Content(int32_t value) { return servertest::ProfileBytes(value); }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every name below a folder with its kind and size (what "nothing on disk
// changed" is checked against).  The store's -wal and -shm may be written
// by the store itself, so their sizes are left out.
std::set<std::string> Listing(const std::string& root) {
  std::set<std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const auto status = it->symlink_status();
    std::string entry = fs::relative(it->path(), root).string() + " " + std::to_string(int(status.type()));
    const std::string name = it->path().filename().string();
    if (status.type() == fs::file_type::regular && name.find("-wal") == std::string::npos &&
        name.find("-shm") == std::string::npos) {
      entry += " " + std::to_string(fs::file_size(it->path()));
    }
    out.insert(entry);
  }
  return out;
}

class FileSafety : public ::testing::Test {
 protected:
  // dataDir empty: the default folder beside the database.
  void Open(const std::string& dataDir) {
    core_.reset();
    CoreOptions o;
    o.dbPath = DbPath();
    o.dataDir = dataDir;
    std::string error;
    core_ = ServerCore::Open(o, &error);
    ASSERT_TRUE(core_) << error;
    session_ = servertest::OpenSessionOn(*core_);
    pb::ProfileRequest add;
    add.set_session(session_);
    add.set_name("kept");
    add.set_profile_class("C");
    add.set_content(Content(41));
    pb::ProfileReply added;
    core_->AddProfile(add, &added);
    ASSERT_TRUE(added.error() == 0 || added.error() == ct::kErrNameExists) << std::hex << added.error();
  }

  std::string DbDir() const { return dir_.File("db"); }
  std::string DbPath() const { return dir_.File("db/profiles.db"); }

  uint32_t Transfer(bool import, const std::string& file, const std::string& name = "kept") {
    pb::TransferProfileRequest req;
    req.set_session(session_);
    req.set_name(name);
    req.set_profile_class("C");
    req.set_file(file);
    pb::StatusReply reply;
    import ? core_->ImportProfile(req, &reply) : core_->ExportProfile(req, &reply);
    return reply.error();
  }

  // The call, with a bound: a call that blocks fails the test instead of
  // hanging it (and is released by opening the FIFO's other end).
  uint32_t TransferWithin(bool import, const std::string& file, const std::string& fifoToRelease = "") {
    auto call = std::async(std::launch::async, [&] { return Transfer(import, file); });
    if (call.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return call.get();
    ADD_FAILURE() << file << ": the call blocked";
    if (!fifoToRelease.empty()) {
      int fd = ::open(fifoToRelease.c_str(), import ? (O_WRONLY | O_NONBLOCK) : (O_RDONLY | O_NONBLOCK));
      if (fd >= 0) ::close(fd);
    }
    return call.get();
  }

  // The store still holds the one profile with its first content.
  void ExpectStoreIntact(const std::string& context) {
    pb::ProfileInfoRequest req;
    req.set_session(session_);
    pb::ProfileInfoReply list;
    core_->GetProfileInfo(req, &list);
    ASSERT_EQ(list.error(), 0u) << context;
    EXPECT_EQ(list.names_size(), 1) << context;
    req.set_one(true);
    req.set_name("kept");
    req.set_profile_class("C");
    pb::ProfileInfoReply one;
    core_->GetProfileInfo(req, &one);
    ASSERT_EQ(one.error(), 0u) << context;
    EXPECT_EQ(one.contents(0), Content(41)) << context;
  }

  TempDir dir_;
  std::unique_ptr<ServerCore> core_;
  std::string session_;
};

TEST_F(FileSafety, TheDatabaseAndItsCompanionFilesAreNeverOpened) {
  const char* own[] = {"profiles.db", "profiles.db-wal", "profiles.db-shm", "profiles.db-journal",
                       "./profiles.db", ".//profiles.db-wal"};

  // The data folder set to the database's own folder: refused by name.
  Open(DbDir());
  const auto before = Listing(DbDir());
  const std::string db = Slurp(DbPath());
  for (const char* name : own) {
    for (bool import : {true, false}) {
      EXPECT_EQ(Transfer(import, name), ct::kErrPathRefused) << name << (import ? " import" : " export");
      ExpectStoreIntact(name);
    }
  }
  EXPECT_EQ(Listing(DbDir()), before);
  EXPECT_EQ(Slurp(DbPath()).substr(0, 100), db.substr(0, 100));
  // Other names in that folder still work.
  EXPECT_EQ(Transfer(false, "profiles.txt"), 0u);
  EXPECT_EQ(Transfer(true, "profiles.txt"), 0u);

  // A data folder above the database's folder reaches it by a sub-path.
  Open(dir_.path());
  const auto above = Listing(DbDir());
  for (const char* name : {"db/profiles.db", "db/./profiles.db-wal", "db/profiles.db-shm"}) {
    for (bool import : {true, false}) {
      EXPECT_EQ(Transfer(import, name), ct::kErrPathRefused) << name << (import ? " import" : " export");
    }
  }
  ExpectStoreIntact("above");
  EXPECT_EQ(Listing(DbDir()), above);
  Open(DbDir());

  // A second name for the database (a hard link) is caught by its identity.
  ASSERT_EQ(::link(DbPath().c_str(), dir_.File("db/alias.db").c_str()), 0);
  for (bool import : {true, false}) {
    EXPECT_EQ(Transfer(import, "alias.db"), ct::kErrPathRefused) << (import ? "import" : "export");
    ExpectStoreIntact("alias.db");
  }
  ::unlink(dir_.File("db/alias.db").c_str());

  // The default data folder is a folder of its own beside the database:
  // the same names land there and the database stays as it was.
  Open("");
  ASSERT_TRUE(fs::is_directory(dir_.File("db/transfer")));
  for (const char* name : own) {
    EXPECT_EQ(Transfer(false, name), 0u) << name;
    EXPECT_EQ(Transfer(true, name), 0u) << name;
    ExpectStoreIntact(name);
  }
  EXPECT_TRUE(fs::is_regular_file(dir_.File("db/transfer/profiles.db")));
  core_.reset();
  Open("");  // the database still opens, and still holds its profile
  ExpectStoreIntact("reopened");
  ASSERT_EQ(::link(DbPath().c_str(), dir_.File("db/transfer/hard.db").c_str()), 0);
  for (bool import : {true, false}) {
    EXPECT_EQ(Transfer(import, "hard.db"), ct::kErrPathRefused) << (import ? "import" : "export");
  }
  ExpectStoreIntact("hard.db");
}

TEST_F(FileSafety, ASymbolicLinkAnywhereInThePathIsRefused) {
  Open(dir_.File("data"));
  ASSERT_EQ(Transfer(false, "inside/real.txt"), 0u);
  std::ofstream(dir_.File("outside.txt")) << "kvset { #1 = int 1; }\n";
  fs::create_directory(dir_.File("elsewhere"));
  fs::create_symlink(dir_.File("data/inside/real.txt"), dir_.File("data/to-inside.txt"));
  fs::create_symlink("real.txt", dir_.File("data/inside/relative.txt"));
  fs::create_symlink(dir_.File("outside.txt"), dir_.File("data/to-outside.txt"));
  fs::create_directory_symlink(dir_.File("data/inside"), dir_.File("data/dir-inside"));
  fs::create_directory_symlink(dir_.File("elsewhere"), dir_.File("data/dir-outside"));
  fs::create_symlink(DbPath(), dir_.File("data/to-db"));
  const auto before = Listing(dir_.path());
  const std::string outside = Slurp(dir_.File("outside.txt"));

  const char* paths[] = {"to-inside.txt",       "inside/relative.txt", "to-outside.txt", "dir-inside/real.txt",
                         "dir-outside/new.txt", "dir-outside/deeper/new.txt", "to-db"};
  for (const char* path : paths) {
    for (bool import : {true, false}) {
      EXPECT_EQ(Transfer(import, path), ct::kErrPathRefused) << path << (import ? " import" : " export");
      ExpectStoreIntact(path);
    }
  }
  EXPECT_EQ(Listing(dir_.path()), before) << "nothing was written, through a link or beside one";
  EXPECT_EQ(Slurp(dir_.File("outside.txt")), outside);
  EXPECT_EQ(Transfer(true, "inside/real.txt"), 0u) << "the file itself, without the link, is fine";
}

TEST_F(FileSafety, OnlyARegularFileWithOneLinkIsImported) {
  Open(dir_.File("data"));
  ASSERT_EQ(Transfer(false, "good.txt"), 0u);
  const std::string data = dir_.File("data/");
  ASSERT_EQ(::mkfifo((data + "fifo").c_str(), 0600), 0);
  fs::create_directory(data + "folder");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sockPath = data + "sock";
  ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, sockPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(sock, 1), 0);
  std::ofstream(dir_.File("secret.txt")) << "kvset { #1 = int 7; }\n";
  ASSERT_EQ(::link(dir_.File("secret.txt").c_str(), (data + "hardlink.txt").c_str()), 0);

  struct Case {
    const char* file;
    bool import;
  };
  const Case cases[] = {{"fifo", true},          {"fifo", false}, {"sock", true},   {"sock", false},
                        {"folder", true},        {"folder", false}, {"hardlink.txt", true}};
  for (const Case& c : cases) {
    const std::string fifo = std::string(c.file) == "fifo" ? data + "fifo" : std::string();
    EXPECT_EQ(TransferWithin(c.import, c.file, fifo), ct::kErrPathRefused)
        << c.file << (c.import ? " import" : " export");
    ExpectStoreIntact(c.file);
  }
  ::close(sock);
  EXPECT_TRUE(fs::is_fifo(data + "fifo")) << "a refused export leaves what was there";
  EXPECT_TRUE(fs::is_directory(data + "folder"));
  // Exporting over a hard-linked file replaces the name, never the shared file.
  EXPECT_EQ(Transfer(false, "hardlink.txt"), 0u);
  EXPECT_EQ(Slurp(dir_.File("secret.txt")), "kvset { #1 = int 7; }\n");
  EXPECT_EQ(Transfer(true, "good.txt", "other"), 0u);
}

}  // namespace
