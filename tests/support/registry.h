// A registry file of the test's own: $HALDEN_REGISTRY points at it while the
// object lives, and the registry calls read it afresh on every change.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tests/support/tempdir.h"

namespace testsupport {

// What the installation's registry file holds for the runtime: the known
// servers and the runtime's settings.
struct RegistryContents {
  std::map<std::string, std::string> servers;  // known servers: name -> address data
  int64_t connectTimeoutMs = -1;                // -1: not written
  int64_t callTimeoutMs = -1;
  std::string tokenFile;
  std::string caFile;
  std::string rootPath;  // the editor's installation folder; empty: not written
};

// The file's text for those contents.
std::string RegistryText(const RegistryContents& contents);

// The editor's usual test installation: Default_Server is the embedded back
// end on profiles.db in dir, which is also the installation root.
RegistryContents EmbeddedDefaultServer(const TempDir& dir);

// Writes the registry file, points $HALDEN_REGISTRY at it and makes the
// registry calls read it afresh.
void InstallRegistry(const std::string& file, const RegistryContents& contents);

// A registry file in a temporary folder of its own.  The file does not
// exist until Write; the variable is unset again on destruction.
class TempRegistry {
 public:
  TempRegistry();
  ~TempRegistry();
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::string& path() const { return path_; }
  const std::string& dir() const { return dir_.path(); }
  // Replaces the file's text and makes the registry calls read it.
  void Write(const std::string& text);
  void Install(const RegistryContents& contents);
  std::string Read() const { return ReadFile(path_); }

 private:
  TempDir dir_;
  std::string path_;
};

}  // namespace testsupport
