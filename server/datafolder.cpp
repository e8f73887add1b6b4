#include "server/datafolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/fileio.h"
#include "s100/cterrors.h"

namespace fs = std::filesystem;

namespace ctserver {

namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// What an open or a walk that failed means for the caller.
uint32_t OpenError(int err) {
  switch (err) {
    case ENOENT:
      return ct::kErrNotFound;
    case ELOOP:    // a symbolic link
    case ENOTDIR:  // a file where a folder should be
    case EXDEV:    // out of the folder
    case ENXIO:    // a socket
    case EISDIR:
    case ENAMETOOLONG:
      return ct::kErrPathRefused;
    default:
      return ct::kErrIo;
  }
}

}  // namespace

DataFolder::~DataFolder() {
  if (rootFd_ >= 0) ::close(rootFd_);
}

DataFolder::DataFolder(DataFolder&& other) noexcept { *this = std::move(other); }

DataFolder& DataFolder::operator=(DataFolder&& other) noexcept {
  if (this != &other) {
    if (rootFd_ >= 0) ::close(rootFd_);
    root_ = std::move(other.root_);
    rootFd_ = other.rootFd_;
    other.rootFd_ = -1;
    dbPath_ = std::move(other.dbPath_);
    dbName_ = std::move(other.dbName_);
    dbDir_ = std::move(other.dbDir_);
  }
  return *this;
}

bool DataFolder::Open(const std::string& path, std::string* error) {
  std::error_code ec;
  fs::create_directories(path, ec);
  fs::path canonical = fs::canonical(path, ec);
  if (ec || !fs::is_directory(canonical)) {
    if (error) *error = "cannot use data folder " + EchoText(path) + ": " + (ec ? ec.message() : "not a folder");
    return false;
  }
  int fd = ::open(canonical.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = "cannot open data folder " + EchoText(path);
    return false;
  }
  if (rootFd_ >= 0) ::close(rootFd_);
  rootFd_ = fd;
  root_ = canonical.string();
  return true;
}

void DataFolder::ProtectDatabase(const std::string& dbPath) {
  std::error_code ec;
  fs::path db = fs::absolute(dbPath, ec);
  if (ec) db = dbPath;
  dbPath_ = db.string();
  dbName_ = db.filename().string();
  dbDir_ = db.parent_path().string();
}

bool DataFolder::IsDatabaseFile(int parentFd, const std::string& leaf, const struct stat* st) const {
  if (dbName_.empty()) return false;
  // By name: the database's name, or its name and a dash (-wal, -shm,
  // -journal, -mj...), in the database's folder however it was reached.
  if (leaf == dbName_ || leaf.compare(0, dbName_.size() + 1, dbName_ + "-") == 0) {
    struct stat dir {}, dbDir {};
    if (::fstat(parentFd, &dir) != 0 || ::stat(dbDir_.c_str(), &dbDir) != 0 || SameFile(dir, dbDir)) return true;
  }
  // By identity: a second name for one of those files.
  if (st) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      struct stat own {};
      if (::stat((dbPath_ + suffix).c_str(), &own) == 0 && SameFile(own, *st)) return true;
    }
  }
  return false;
}

uint32_t DataFolder::ReadFile(const std::string& relative, size_t maxBytes, std::string* text) const {
  std::vector<std::string> parts;
  if (rootFd_ < 0 || !SplitRelativePath(relative, &parts)) return ct::kErrPathRefused;
  Fd parent(OpenParentBeneath(rootFd_, parts, false));
  if (parent.get() < 0) return OpenError(errno);
  const std::string& leaf = parts.back();
  if (IsDatabaseFile(parent.get(), leaf, nullptr)) return ct::kErrPathRefused;  // even when missing

  // Look before opening: a device or FIFO is refused without being opened.
  struct stat before {};
  if (::fstatat(parent.get(), leaf.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0) return OpenError(errno);
  if (!S_ISREG(before.st_mode) || before.st_nlink != 1 || IsDatabaseFile(parent.get(), leaf, &before)) {
    return ct::kErrPathRefused;
  }
  Fd fd(::openat(parent.get(), leaf.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return OpenError(errno);
  // And again on what was opened, in case the name was swapped meanwhile.
  struct stat opened {};
  if (::fstat(fd.get(), &opened) != 0) return ct::kErrIo;
  if (!SameFile(before, opened) || opened.st_nlink != 1) return ct::kErrPathRefused;

  switch (ReadRegularFd(fd.get(), maxBytes, text)) {
    case FileReadProblem::None:
      return 0;
    case FileReadProblem::NotRegular:
      return ct::kErrPathRefused;
    case FileReadProblem::TooLarge:
      return ct::kErrTooLarge;
    default:
      return ct::kErrIo;
  }
}

uint32_t DataFolder::WriteFile(const std::string& relative, const std::string& text) const {
  std::vector<std::string> parts;
  if (rootFd_ < 0 || !SplitRelativePath(relative, &parts)) return ct::kErrPathRefused;
  Fd parent(OpenParentBeneath(rootFd_, parts, true));
  if (parent.get() < 0) return OpenError(errno) == ct::kErrPathRefused ? ct::kErrPathRefused : ct::kErrIo;
  const std::string& leaf = parts.back();
  if (IsDatabaseFile(parent.get(), leaf, nullptr)) return ct::kErrPathRefused;
  struct stat existing {};
  if (::fstatat(parent.get(), leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
    // Only a regular file is replaced: not a link, a folder, a FIFO.
    if (!S_ISREG(existing.st_mode) || IsDatabaseFile(parent.get(), leaf, &existing)) return ct::kErrPathRefused;
  } else if (errno != ENOENT) {
    return OpenError(errno) == ct::kErrPathRefused ? ct::kErrPathRefused : ct::kErrIo;
  }
  return ReplaceFileAt(parent.get(), leaf, text) == 0 ? 0 : ct::kErrIo;
}

uint32_t DataFolder::WritePlainFile(const std::string& full, const std::string& text) {
  fs::path target(full);
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  if (ec) return ct::kErrIo;
  return ReplaceFileAtomically(full, text) == 0 ? 0 : ct::kErrIo;
}

}  // namespace ctserver
