// A private PostgreSQL cluster for the tests of one process: initdb into a
// temporary folder, the server listening only on a Unix socket in that
// folder, each test in a database of its own.  The cluster is stopped and
// its folder removed when the process ends, even by a crash: a watchdog
// process does that as soon as the test process is gone.
//
// As root (as CI runs) initdb and pg_ctl run as the postgres user.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class PgCluster {
 public:
  // The cluster of this process, started on first use.  When it could not
  // be started, ok() is false and error() says why.
  static PgCluster& Shared();

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  // Creates an empty database and gives its connection URI, or the empty
  // text (with the reason in *error).
  std::string CreateDatabase(std::string* error);

  // Stops the server (fast shutdown) or starts it again on the same folder,
  // for tests of a database that goes away.  False (with error()) on failure.
  bool StopServer();
  bool StartServer();

 private:
  PgCluster();
  ~PgCluster();
  bool Init();
  // Runs an initdb/pg_ctl binary (as postgres when root); output to log.
  bool Run(const std::string& tool, const std::vector<std::string>& args, const std::string& log);
  bool WaitReady();
  std::string AdminUri() const;

  std::string binDir_;
  std::string dir_;
  bool asPostgres_ = false;
  bool ok_ = false;
  std::string error_;
  int watchdogPipe_ = -1;
  int watchdogPid_ = -1;
  int databases_ = 0;
};

}  // namespace testsupport
