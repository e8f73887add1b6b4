// Temporary folders and files for tests.
#pragma once

#include <string>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole-file writes and reads; a failed write fails the running test.
void WriteFile(const std::string& path, const std::string& data);
// The file's bytes, or the empty text when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace testsupport
