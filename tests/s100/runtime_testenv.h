// Test fixtures shared by the runtime, session and ctadm tests: a temporary
// folder, a registry file that names the test's servers, and a real
// ctserver process on a free loopback port.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>

namespace ct::testenv {

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

// What the registry file of a test holds.
struct RegistryContents {
  std::map<std::string, std::string> servers;  // known servers: name -> address data
  int64_t connectTimeoutMs = -1;                // -1: not written
  int64_t callTimeoutMs = -1;
  std::string tokenFile;
  std::string caFile;
};

// Writes the registry file, points $HALDEN_REGISTRY at it and makes the
// registry calls read it afresh.
void InstallRegistry(const std::string& file, const RegistryContents& contents);

void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);

// True when the tests were built with a ctserver to start.
bool HaveServerBinary();

// A ctserver process with its own database, stopped on destruction.
class ServerProcess {
 public:
  // Starts the server; ok() tells whether it is listening.
  explicit ServerProcess(const std::string& folder, const std::string& tokenFile = "");
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  const std::string& dbPath() const { return db_; }
  // Kills the process at once (a server that goes away).
  void Kill();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string db_;
};

// A loopback port with nothing listening on it (as far as can be known).
int UnusedPort();

// Milliseconds on a steady clock.
int64_t NowMs();

}  // namespace ct::testenv
