#include "server/datafolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>

#include "s100/cterrors.h"

namespace fs = std::filesystem;

namespace ctserver {

namespace {
constexpr size_t kMaxPathBytes = 4096;
}

bool DataFolder::Open(const std::string& path, std::string* error) {
  std::error_code ec;
  fs::create_directories(path, ec);
  fs::path canonical = fs::canonical(path, ec);
  if (ec || !fs::is_directory(canonical)) {
    if (error) *error = "cannot use data folder " + path + ": " + (ec ? ec.message() : "not a folder");
    return false;
  }
  root_ = canonical.string();
  return true;
}

uint32_t DataFolder::Resolve(const std::string& relative, std::string* full) const {
  if (root_.empty() || relative.empty() || relative.size() > kMaxPathBytes) return ct::kErrPathRefused;
  if (relative.find('\0') != std::string::npos) return ct::kErrPathRefused;
  fs::path rel(relative);
  if (rel.is_absolute() || rel.has_root_name() || rel.has_root_directory()) return ct::kErrPathRefused;
  for (const auto& part : rel) {
    if (part == "..") return ct::kErrPathRefused;
  }
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(fs::path(root_) / rel, ec);
  if (ec) return ct::kErrPathRefused;
  // The resolved path must lie strictly inside the folder.
  fs::path root(root_);
  auto r = root.begin();
  auto p = resolved.begin();
  for (; r != root.end(); ++r, ++p) {
    if (p == resolved.end() || *p != *r) return ct::kErrPathRefused;
  }
  if (p == resolved.end()) return ct::kErrPathRefused;  // the folder itself
  *full = resolved.string();
  return 0;
}

uint32_t DataFolder::ReadFile(const std::string& full, size_t maxBytes, std::string* text) {
  int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ct::kErrNotFound : ct::kErrIo;
  text->clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return ct::kErrIo;
    }
    if (n == 0) break;
    text->append(buf, size_t(n));
    if (text->size() > maxBytes) {
      ::close(fd);
      return ct::kErrTooLarge;
    }
  }
  ::close(fd);
  return 0;
}

uint32_t DataFolder::WriteFile(const std::string& full, const std::string& text) {
  fs::path target(full);
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  if (ec) return ct::kErrIo;
  std::random_device rd;
  std::string tmp = full + ".tmp" + std::to_string(rd());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return ct::kErrIo;
  size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += size_t(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tmp.c_str(), full.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(tmp.c_str());
    return ct::kErrIo;
  }
  // Make the rename itself durable.
  int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}

}  // namespace ctserver
