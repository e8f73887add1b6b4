#include "server/safefile.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ctserver {

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
    long fd = ::syscall(SYS_openat2, rootFd, path.c_str(), &how, sizeof how);
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
  int fd = OpenDirWithOpenat2(rootFd, folder);
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

ReadProblem ReadRegularFd(int fd, size_t maxBytes, std::string* text) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return ReadProblem::Io;
  if (!S_ISREG(st.st_mode)) return ReadProblem::NotRegular;
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) return ReadProblem::TooLarge;
  // Back to blocking reads: a regular file never waits on a writer.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  text->clear();
  text->reserve(size_t(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ReadProblem::Io;
    if (n == 0) return ReadProblem::None;
    text->append(buf, size_t(n));
    if (text->size() > maxBytes) return ReadProblem::TooLarge;  // grew while read
  }
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text, std::string* error) {
  const std::string shown = EchoText(path);
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (error) {
      // Opening a socket file fails with ENXIO: it is not a file either.
      *error = err == ENXIO ? shown + " is not a regular file" : "cannot open " + shown + ": " + std::strerror(err);
    }
    return false;
  }
  const ReadProblem problem = ReadRegularFd(fd, maxBytes, text);
  const int err = errno;
  ::close(fd);
  if (problem == ReadProblem::None) return true;
  if (error) {
    switch (problem) {
      case ReadProblem::NotRegular:
        *error = shown + " is not a regular file";
        break;
      case ReadProblem::TooLarge:
        *error = shown + " is larger than " + std::to_string(maxBytes) + " bytes";
        break;
      default:
        *error = "cannot read " + shown + ": " + std::strerror(err);
        break;
    }
  }
  return false;
}

std::string EchoText(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t cut = limit;
  // Do not split a UTF-8 sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

}  // namespace ctserver
