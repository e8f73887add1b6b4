#include "platform/fileio.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FileReadProblem ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text) {
  text->clear();
  // Non-blocking open, so that a FIFO without a writer is not waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ENXIO ? FileReadProblem::NotRegular : FileReadProblem::Open;
  FileReadProblem problem = FileReadProblem::None;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    problem = FileReadProblem::Io;
  } else if (!S_ISREG(st.st_mode)) {
    problem = FileReadProblem::NotRegular;
  } else if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    problem = FileReadProblem::TooLarge;
  } else {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    text->reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        problem = FileReadProblem::Io;
        break;
      }
      if (n == 0) break;
      text->append(buf, static_cast<size_t>(n));
      if (text->size() > maxBytes) {  // it grew while it was read
        problem = FileReadProblem::TooLarge;
        break;
      }
    }
  }
  ::close(fd);
  if (problem != FileReadProblem::None) text->clear();
  return problem;
}

int ReplaceFileAtomically(const std::string& path, const std::string& text, const struct stat* old) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string temp = (dir == "/" ? "" : dir) + "/." + base + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  if (old != nullptr && ::fchown(fd, old->st_uid, old->st_gid) != 0) {
    // Not permitted for this user: the new file is the writer's own.
  }
  const mode_t mode = old != nullptr ? (old->st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
  int err = errno;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(name.data(), path.c_str()) != 0) {
    err = errno;
    ok = false;
  }
  if (!ok) {
    ::unlink(name.data());
    return err != 0 ? err : EIO;
  }
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return 0;
}
