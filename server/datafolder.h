// The server's own data folder, the only place import and export may touch.
//
// Every path is opened beneath a descriptor of the folder taken at start,
// with no symbolic link followed anywhere in it, so that a link swapped in
// between a check and the open cannot lead outside.  Only regular files
// are read, never through a second hard link, and never the database or a
// file the store keeps beside it.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace ctserver {

class DataFolder {
 public:
  DataFolder() = default;
  ~DataFolder();
  DataFolder(DataFolder&& other) noexcept;
  DataFolder& operator=(DataFolder&& other) noexcept;
  DataFolder(const DataFolder&) = delete;
  DataFolder& operator=(const DataFolder&) = delete;

  // The folder is created when missing.  False with *error when it cannot be.
  bool Open(const std::string& path, std::string* error);

  // The database import and export must never open: the file itself and
  // every file the store keeps beside it (-wal, -shm, -journal and the
  // like), by name and by device and inode.
  void ProtectDatabase(const std::string& dbPath);

  // Reads a file of at most maxBytes given relative to the folder.
  // kErrPathRefused for a path that leaves the folder or passes a link, a
  // file that is not regular or has more than one hard link, and the
  // database's files; kErrNotFound when missing; kErrTooLarge beyond the
  // limit.
  uint32_t ReadFile(const std::string& relative, size_t maxBytes, std::string* text) const;

  // Writes a file given relative to the folder atomically: a temporary
  // file in the same folder, flushed to disk, then renamed over it; missing
  // sub-folders are made.  Refuses the same paths as ReadFile, except that
  // the file may be missing.
  uint32_t WriteFile(const std::string& relative, const std::string& text) const;

  // Writes a file at a plain path atomically (the port file of ctserver).
  static uint32_t WritePlainFile(const std::string& full, const std::string& text);

  const std::string& path() const { return root_; }

 private:
  // True when the file named leaf in the folder parentFd, or the file
  // with this device and inode, is one of the database's own.
  bool IsDatabaseFile(int parentFd, const std::string& leaf, const struct stat* st) const;

  std::string root_;  // canonical
  int rootFd_ = -1;
  std::string dbPath_;
  std::string dbName_;  // the database file's name, empty: nothing protected
  std::string dbDir_;   // its folder
};

}  // namespace ctserver
