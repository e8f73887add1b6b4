// The server's own data folder, the only place import and export may touch.
#pragma once

#include <cstdint>
#include <string>

namespace ctserver {

class DataFolder {
 public:
  // The folder is created when missing.  False with *error when it cannot be.
  bool Open(const std::string& path, std::string* error);

  // Resolves a path relative to the folder.  Refuses (kErrPathRefused) an
  // empty or absolute path, a ".." component, and any path that leads out
  // of the folder, also through a symbolic link.
  uint32_t Resolve(const std::string& relative, std::string* full) const;

  // Reads a whole file of at most maxBytes (kErrTooLarge beyond).
  static uint32_t ReadFile(const std::string& full, size_t maxBytes, std::string* text);
  // Writes a file atomically: a temporary file beside it, flushed to disk,
  // then renamed over it.
  static uint32_t WriteFile(const std::string& full, const std::string& text);

  const std::string& path() const { return root_; }

 private:
  std::string root_;  // canonical
};

}  // namespace ctserver
