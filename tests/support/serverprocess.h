// A real ctserver process for tests: its database, port file and log live in
// a folder of the test's; it listens on a free loopback port unless told
// otherwise, and is stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace grpc {
class Channel;
}

namespace testsupport {

class ServerProcess {
 public:
  explicit ServerProcess(std::string folder);
  // Stops the server with SIGTERM (SIGKILL when it does not end).
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Starts ctserver with the database, a port file and these arguments (by
  // default it also listens on 127.0.0.1:0).  False when the process exited
  // or did not bind within 20 s.  The port of a unix socket is 0.
  bool Start(std::vector<std::string> extra = {}, bool defaultListen = true);

  // Serve this --db instead of the SQLite file in the folder (a
  // postgresql:// URI); set before Start.
  void UseDatabase(std::string db) { db_ = std::move(db); }

  bool ok() const { return started_; }
  int port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string DbPath() const { return dir_ + "/profiles.db"; }
  std::string LogPath() const { return dir_ + "/ctserver.log"; }
  std::string Log() const;

  // An insecure channel to the server, with 64 MiB message limits.
  std::shared_ptr<grpc::Channel> Channel() const;

  // Sends the signal and waits up to 20 s for the process to end; gives the
  // wait status, or -1 when it did not end (it is then killed).
  int Kill(int signal);
  // Waits for a process that should end by itself; gives its wait status.
  int WaitExit();

 private:
  bool Exited();

  std::string dir_;
  std::string db_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool started_ = false;
  int exitStatus_ = -1;
};

// True when the tests were built with a ctserver to start.
bool HaveServerBinary();

// A loopback port with nothing listening on it (as far as can be known).
int UnusedPort();

// Milliseconds on a steady clock.
int64_t NowMs();

// The bound for a wait that should end within about a second: ten times
// that, so that it fails only on a hang, never on a slow machine.
inline constexpr int64_t kHangBoundMs = 10000;

}  // namespace testsupport
