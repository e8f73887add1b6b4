#include "platform/fileio.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace {

constexpr size_t kMaxPathBytes = 4096;
constexpr size_t kMaxParts = 64;

int OpenDirAt(int dirFd, const char* name) {
  return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The whole path in one call where the kernel resolves beneath a folder
// itself.  -1 with errno ENOSYS (or what a filter answers instead) when it
// cannot, so that the caller walks.
int OpenDirWithOpenat2(int rootFd, const std::string& path) {
#ifdef SYS_openat2
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  for (;;) {
    const long fd = ::syscall(SYS_openat2, rootFd, path.c_str(), &how, sizeof how);
    if (fd >= 0) return int(fd);
    if (errno != EINTR && errno != EAGAIN) return -1;
  }
#else
  (void)rootFd;
  (void)path;
  errno = ENOSYS;
  return -1;
#endif
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// A name for the temporary file beside leaf: hidden, recognisably its, and
// short enough for any file system whatever the length of leaf.
std::string TemporaryName(const std::string& leaf) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  static const char hex[] = "0123456789abcdef";
  std::string name = "." + leaf.substr(0, 64) + ".";
  uint64_t value = random();
  for (int i = 0; i < 12; ++i, value >>= 4) name.push_back(hex[value & 0xF]);
  return name + ".tmp";
}

}  // namespace

// One component at a time, each opened with O_NOFOLLOW relative to the one
// before, so that no link is followed whatever happens to the tree meanwhile.
int WalkParentBeneath(int rootFd, const std::vector<std::string>& parts, bool create) {
  int fd = OpenDirAt(rootFd, ".");
  for (size_t i = 0; fd >= 0 && i + 1 < parts.size(); ++i) {
    int next = OpenDirAt(fd, parts[i].c_str());
    if (next < 0 && errno == ENOENT && create) {
      if (::mkdirat(fd, parts[i].c_str(), 0755) != 0 && errno != EEXIST) {
        next = -1;
      } else {
        next = OpenDirAt(fd, parts[i].c_str());
      }
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    fd = next;
  }
  return fd;
}

bool SplitRelativePath(const std::string& relative, std::vector<std::string>* parts) {
  parts->clear();
  if (relative.empty() || relative.size() > kMaxPathBytes || relative[0] == '/') return false;
  if (relative.find('\0') != std::string::npos) return false;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    std::string part = relative.substr(start, slash - start);
    start = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == ".." || parts->size() >= kMaxParts) return false;
    parts->push_back(std::move(part));
  }
  return !parts->empty();
}

int OpenParentBeneath(int rootFd, const std::vector<std::string>& parts, bool create) {
  if (parts.empty()) {
    errno = EINVAL;
    return -1;
  }
  if (parts.size() == 1) return OpenDirAt(rootFd, ".");
  std::string folder;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (i) folder += '/';
    folder += parts[i];
  }
  const int fd = OpenDirWithOpenat2(rootFd, folder);
  if (fd >= 0) return fd;
  // ELOOP (a link), EXDEV (out of the folder) and ENOTDIR are final; a
  // missing folder is made by the walk; anything else means the call is
  // not available here.
  if (errno == ELOOP || errno == EXDEV || errno == ENOTDIR || (errno == ENOENT && !create)) {
    if (errno == EXDEV) errno = ELOOP;
    return -1;
  }
  return WalkParentBeneath(rootFd, parts, create);
}

FileReadProblem ReadRegularFd(int fd, size_t maxBytes, std::string* text, struct stat* stOut) {
  text->clear();
  struct stat st {};
  if (::fstat(fd, &st) != 0) return FileReadProblem::Io;
  if (stOut != nullptr) *stOut = st;
  if (!S_ISREG(st.st_mode)) return FileReadProblem::NotRegular;
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) return FileReadProblem::TooLarge;
  // Back to blocking reads: a regular file never waits on a writer.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  text->reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      text->clear();
      errno = err;
      return FileReadProblem::Io;
    }
    if (n == 0) return FileReadProblem::None;
    text->append(buf, static_cast<size_t>(n));
    if (text->size() > maxBytes) {  // it grew while it was read
      text->clear();
      return FileReadProblem::TooLarge;
    }
  }
}

FileReadProblem ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text, int* err,
                                struct stat* st) {
  text->clear();
  if (err != nullptr) *err = 0;
  // Non-blocking open, so that a FIFO without a writer is not waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int openErr = errno;
    if (openErr == ENXIO) return FileReadProblem::NotRegular;  // a socket
    if (err != nullptr) *err = openErr;
    return FileReadProblem::Open;
  }
  const FileReadProblem problem = ReadRegularFd(fd, maxBytes, text, st);
  if (problem == FileReadProblem::Io && err != nullptr) *err = errno;
  ::close(fd);
  return problem;
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text, std::string* error) {
  int err = 0;
  const FileReadProblem problem = ReadRegularFile(path, maxBytes, text, &err);
  if (problem == FileReadProblem::None) return true;
  if (error != nullptr) {
    const std::string shown = EchoText(path);
    switch (problem) {
      case FileReadProblem::Open:
        *error = "cannot open " + shown + ": " + std::strerror(err);
        break;
      case FileReadProblem::NotRegular:
        *error = shown + " is not a regular file";
        break;
      case FileReadProblem::TooLarge:
        *error = shown + " is larger than " + std::to_string(maxBytes) + " bytes";
        break;
      default:
        *error = "cannot read " + shown + ": " + std::strerror(err);
        break;
    }
  }
  return false;
}

int ReplaceFileAt(int dirFd, const std::string& leaf, const std::string& text, const struct stat* old) {
  if (leaf.empty() || leaf == "." || leaf == ".." || leaf.find('/') != std::string::npos) return EINVAL;
  // The temporary file and the rename stay in the folder held open.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    temporary = TemporaryName(leaf);
    fd = ::openat(dirFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return errno;
  if (old != nullptr) {
    if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
      // Not permitted for this user: the new file is the writer's own.
    }
  }
  bool ok = (old == nullptr || ::fchmod(fd, old->st_mode & 07777) == 0) && WriteAll(fd, text) && ::fsync(fd) == 0;
  int err = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    err = errno;
    ok = false;
  }
  if (ok && ::renameat(dirFd, temporary.c_str(), dirFd, leaf.c_str()) != 0) {
    err = errno;
    ok = false;
  }
  if (!ok) {
    ::unlinkat(dirFd, temporary.c_str(), 0);
    return err != 0 ? err : EIO;
  }
  ::fsync(dirFd);  // makes the rename itself durable
  return 0;
}

int ReplaceFileAtomically(const std::string& path, const std::string& text, const struct stat* old) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return errno;
  const int err = ReplaceFileAt(dirFd, leaf, text, old);
  ::close(dirFd);
  return err;
}

std::string FileBaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.substr(0, name.rfind('.'));
}

std::string EchoText(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t cut = limit;
  // Do not split a UTF-8 sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}
