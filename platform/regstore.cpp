#include "platform/regstore.h"

#include "platform/fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kDefaultPath = "/etc/velcor/halden-client.reg";

// Reads the whole file; st receives its identity.  ENOENT: missing.  A
// FIFO or device in the file's place is refused (EINVAL) without waiting
// for a writer; a file over the limit gives EFBIG.
bool ReadAll(const std::string& path, std::string& bytes, struct stat& st, int& err) {
  switch (ReadRegularFile(path, kRegMaxFileBytes, &bytes, &err, &st)) {
    case FileReadProblem::None:
      return true;
    case FileReadProblem::NotRegular:
      err = EINVAL;
      return false;
    case FileReadProblem::TooLarge:
      err = EFBIG;
      return false;
    default:
      if (err == 0) err = EIO;
      return false;
  }
}

// Whether the file holds exactly these bytes.
bool HoldsBytes(const std::string& path, const std::string& bytes) {
  std::string now;
  return ReadRegularFile(path, bytes.size(), &now) == FileReadProblem::None && now == bytes;
}

bool ReadDocument(const std::string& path, RegDocument& doc, std::vector<RegDiagnostic>* diags, int& err,
                  struct stat* stOut) {
  std::string bytes;
  struct stat st {};
  if (!ReadAll(path, bytes, st, err)) {
    if (err == ENOENT) {
      err = 0;
      if (stOut != nullptr) {
        stOut->st_ino = 0;
      }
      return true;
    }
    if (diags != nullptr) {
      diags->push_back({0, "cannot read " + path + ": " + std::strerror(err)});
    }
    return false;
  }
  if (stOut != nullptr) {
    *stOut = st;
  }
  if (!RegParseText(bytes, doc, diags)) {
    err = EFBIG;
    return false;
  }
  return true;
}

LONG ErrorFor(int err) {
  return (err == EACCES || err == EPERM || err == EROFS) ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
}

// Writes text to a temporary file beside path and renames it over path,
// with the data and the folder synced.
LONG ReplaceFile(const std::string& path, const std::string& text, const struct stat* old) {
  const int err = ReplaceFileAtomically(path, text, old);
  return err == 0 ? ERROR_SUCCESS : ErrorFor(err);
}

// Holds an exclusive flock on a file for its lifetime.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno == EACCES) {
      fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);  // flock needs no write access
    }
    if (fd_ < 0) {
      err_ = errno;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        err_ = errno;
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) {
      ::flock(fd_, LOCK_UN);
      ::close(fd_);
    }
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }
  int Error() const { return err_; }

 private:
  int fd_ = -1;
  int err_ = 0;
};

}  // namespace

std::string RegFilePath() {
  const char* env = std::getenv("HALDEN_REGISTRY");
  return (env != nullptr && *env != '\0') ? std::string(env) : std::string(kDefaultPath);
}

bool RegReadFile(const std::string& path, RegDocument& doc, std::vector<RegDiagnostic>* diags, int* errnoOut) {
  int err = 0;
  bool ok = ReadDocument(path, doc, diags, err, nullptr);
  if (errnoOut != nullptr) {
    *errnoOut = err;
  }
  return ok;
}

bool RegFileStore::FileId::operator==(const FileId& o) const {
  return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
         mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
}

RegFileStore::FileId RegFileStore::IdOf(const std::string& path) {
  FileId id;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    id.exists = true;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtime = st.st_mtim;
    id.ctime = st.st_ctim;
  }
  return id;
}

bool RegFileStore::IsRecent(const FileId& id) {
  if (!id.exists) {
    return false;
  }
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  time_t changed = std::max(id.mtime.tv_sec, id.ctime.tv_sec);
  return changed + 1 >= now.tv_sec;
}

const RegDocument& RegFileStore::Current() {
  std::string path = RegFilePath();
  // What is stat'ed before the read is remembered: if the file changes
  // while it is read, the next call sees a difference and reads again.
  FileId now = IdOf(path);
  if (loaded_ && !recent_ && path == path_ && now == id_) {
    return doc_;
  }
  if (loaded_ && haveBytes_ && path == path_ && HoldsBytes(path, bytes_)) {
    // The times could not be trusted, but the content is what was parsed.
    id_ = now;
    recent_ = IsRecent(now);
    return doc_;
  }
  std::string bytes;
  struct stat st {};
  int err = 0;
  bool read = ReadAll(path, bytes, st, err);
  RegDocument fresh;
  std::vector<RegDiagnostic> diags;
  if (read) {
    if (!RegParseText(bytes, fresh, &diags)) {
      fresh = RegDocument();  // refused whole: a registry without keys
    }
  } else if (err != ENOENT) {
    diags.push_back({0, "cannot read " + path + ": " + std::strerror(err)});
  }
  doc_ = std::move(fresh);
  diags_ = std::move(diags);
  haveBytes_ = read;
  bytes_ = read ? std::move(bytes) : std::string();
  path_ = path;
  id_ = now;
  recent_ = IsRecent(now);
  loaded_ = true;
  return doc_;
}

LONG RegFileStore::Modify(const std::function<LONG(RegDocument&)>& change) {
  std::string named = RegFilePath();
  // A file reached through a symbolic link is replaced where it really is,
  // and locked there, so that the link stays.
  std::string path = named;
  if (char* real = ::realpath(named.c_str(), nullptr)) {
    path = real;
    std::free(real);
  }
  FileLock lock(path + ".lock");
  if (!lock.Held()) {
    return ErrorFor(lock.Error());
  }
  RegDocument doc;
  int err = 0;
  struct stat st {};
  std::vector<RegDiagnostic> diags;
  if (!ReadDocument(path, doc, &diags, err, &st)) {
    // Never replace a file that could not be read: its content would be lost.
    return err == EFBIG ? ERROR_OUTOFMEMORY : ErrorFor(err);
  }
  LONG rc = change(doc);
  if (rc != ERROR_SUCCESS) {
    return rc;
  }
  std::string text = RegFormatText(doc);
  if (text.size() > kRegMaxFileBytes) {
    return ERROR_OUTOFMEMORY;
  }
  rc = ReplaceFile(path, text, st.st_ino != 0 ? &st : nullptr);
  if (rc != ERROR_SUCCESS) {
    return rc;
  }
  doc_ = std::move(doc);
  diags_.clear();
  bytes_ = std::move(text);
  haveBytes_ = true;
  path_ = named;
  id_ = IdOf(named);
  recent_ = IsRecent(id_);
  loaded_ = true;
  return ERROR_SUCCESS;
}
