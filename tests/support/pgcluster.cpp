#include "tests/support/pgcluster.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {

namespace fs = std::filesystem;

namespace {

// The newest installed server's binaries: /usr/lib/postgresql/<version>/bin.
std::string FindBinDir() {
  std::error_code ec;
  int best = -1;
  std::string found;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
    const std::string version = entry.path().filename().string();
    const int number = std::atoi(version.c_str());
    if (number > best && fs::exists(entry.path() / "bin" / "initdb") && fs::exists(entry.path() / "bin" / "pg_ctl")) {
      best = number;
      found = (entry.path() / "bin").string();
    }
  }
  return found;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr const char* kPort = "5432";

// Well above the second or two a start takes: only a hang fails it.
constexpr auto kReadyBound = std::chrono::seconds(60);

}  // namespace

PgCluster& PgCluster::Shared() {
  static PgCluster cluster;
  return cluster;
}

PgCluster::PgCluster() { ok_ = Init(); }

PgCluster::~PgCluster() {
  // The watchdog stops the server and removes the folder once the pipe
  // closes; wait for it so that nothing outlives the test process.
  if (watchdogPipe_ >= 0) ::close(watchdogPipe_);
  if (watchdogPid_ > 0) ::waitpid(watchdogPid_, nullptr, 0);
}

bool PgCluster::Run(const std::string& tool, const std::vector<std::string>& args, const std::string& log) {
  std::vector<std::string> argv;
  if (asPostgres_) argv = {"/usr/sbin/runuser", "-u", "postgres", "--"};
  argv.push_back(binDir_ + "/" + tool);
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    error_ = "cannot fork for " + tool;
    return false;
  }
  if (pid == 0) {
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      ::dup2(out, STDOUT_FILENO);
      ::dup2(out, STDERR_FILENO);
    }
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error_ = tool + " failed (status " + std::to_string(status) + "): " + ReadAll(log);
  return false;
}

bool PgCluster::Init() {
  binDir_ = FindBinDir();
  if (binDir_.empty()) {
    error_ = "no PostgreSQL server found in /usr/lib/postgresql/<version>/bin (install postgresql)";
    return false;
  }
  // Under /tmp whatever TMPDIR says: the postgres user must be able to reach
  // the folder, and the socket path must stay short.
  std::string pattern = "/tmp/quelt-pg-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    error_ = "cannot make a folder for the PostgreSQL cluster";
    return false;
  }
  dir_ = pattern;
  if (::geteuid() == 0) {
    // The server refuses to run as root: the folder goes to postgres.
    const passwd* pg = ::getpwnam("postgres");
    if (!pg) {
      error_ = "running as root but there is no postgres user to run the cluster";
      ::rmdir(dir_.c_str());
      return false;
    }
    if (::chown(dir_.c_str(), pg->pw_uid, pg->pw_gid) != 0) {
      error_ = "cannot give " + dir_ + " to the postgres user";
      ::rmdir(dir_.c_str());
      return false;
    }
    asPostgres_ = true;
  }

  // The watchdog: a shell that waits for this process's end of the pipe to
  // close (at exit or crash), then stops the server and removes the folder.
  // Everything it runs is prepared before the fork.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "cannot make the watchdog pipe";
    ::rmdir(dir_.c_str());
    return false;
  }
  const std::string stop = (asPostgres_ ? "/usr/sbin/runuser -u postgres -- " : "") + binDir_ + "/pg_ctl -D " +
                           dir_ + "/data -m immediate -w stop";
  std::string script = "cat >/dev/null; " + stop + " >/dev/null 2>&1; rm -rf " + dir_;
  const pid_t watchdog = ::fork();
  if (watchdog < 0) {
    error_ = "cannot start the watchdog";
    return false;
  }
  if (watchdog == 0) {
    ::setsid();  // a Ctrl-C to the tests does not stop it before it cleans up
    ::dup2(fds[0], STDIN_FILENO);
    char sh[] = "/bin/sh", c[] = "-c";
    char* argv[] = {sh, c, script.data(), nullptr};
    ::execv(sh, argv);
    ::_exit(127);
  }
  ::close(fds[0]);
  watchdogPipe_ = fds[1];
  watchdogPid_ = watchdog;

  if (!Run("initdb", {"-D", dir_ + "/data", "-A", "trust", "-U", "postgres", "-E", "UTF8", "--locale=C", "--no-sync"},
           dir_ + "/initdb.log")) {
    return false;
  }
  return StartServer();
}

bool PgCluster::StartServer() {
  // Only the Unix socket in the folder: no port to collide with anything.
  // The port only names the socket file; it is given everywhere so that a
  // PGPORT in the environment cannot point the tests elsewhere.
  const std::string options =
      "-k " + dir_ + " -p " + kPort + " -c listen_addresses= -c fsync=off -c synchronous_commit=off";
  if (!Run("pg_ctl", {"-D", dir_ + "/data", "-l", dir_ + "/server.log", "-o", options, "-w", "-t", "60", "start"},
           dir_ + "/pg_ctl.log")) {
    error_ += "\nserver log:\n" + ReadAll(dir_ + "/server.log");
    return false;
  }
  return WaitReady();
}

bool PgCluster::StopServer() {
  return Run("pg_ctl", {"-D", dir_ + "/data", "-m", "fast", "-w", "-t", "60", "stop"}, dir_ + "/pg_ctl.log");
}

bool PgCluster::WaitReady() {
  const std::string uri = AdminUri();
  const auto until = std::chrono::steady_clock::now() + kReadyBound;
  while (std::chrono::steady_clock::now() < until) {
    if (PQping(uri.c_str()) == PQPING_OK) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  error_ = "the PostgreSQL server did not accept connections within 60 s:\n" + ReadAll(dir_ + "/server.log");
  return false;
}

std::string PgCluster::AdminUri() const { return "postgresql://postgres@/postgres?host=" + dir_ + "&port=" + kPort; }

std::string PgCluster::CreateDatabase(std::string* error) {
  if (!ok_) {
    *error = error_;
    return std::string();
  }
  const std::string name = "t" + std::to_string(++databases_);
  PGconn* c = PQconnectdb(AdminUri().c_str());
  std::string result;
  if (PQstatus(c) == CONNECTION_OK) {
    PGresult* r = PQexec(c, ("CREATE DATABASE " + name).c_str());
    if (PQresultStatus(r) == PGRES_COMMAND_OK) {
      result = "postgresql://postgres@/" + name + "?host=" + dir_ + "&port=" + kPort;
    } else {
      *error = PQerrorMessage(c);
    }
    PQclear(r);
  } else {
    *error = PQerrorMessage(c);
  }
  PQfinish(c);
  return result;
}

}  // namespace testsupport
