#include "tests/support/serverprocess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <grpcpp/grpcpp.h>

#include <chrono>
#include <thread>

#include "tests/support/tempdir.h"

namespace testsupport {

ServerProcess::ServerProcess(std::string folder) : dir_(std::move(folder)) {}

ServerProcess::~ServerProcess() {
  if (pid_ > 0 && Kill(SIGTERM) == -1) Kill(SIGKILL);
}

bool ServerProcess::Start(std::vector<std::string> extra, bool defaultListen) {
#ifdef CTSERVER_PATH
  const std::string portFile = dir_ + "/ctserver.port";
  ::unlink(portFile.c_str());
  std::vector<std::string> args = {CTSERVER_PATH, "--db", db_.empty() ? DbPath() : db_, "--port-file", portFile};
  if (defaultListen) {
    args.push_back("--listen");
    args.push_back("127.0.0.1:0");
  }
  args.insert(args.end(), extra.begin(), extra.end());
  started_ = false;
  port_ = 0;
  exitStatus_ = -1;
  pid_ = ::fork();
  if (pid_ == 0) {
    // A test that dies leaves no server behind.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // Keep the test's output readable: the server's log goes to a file.
    const int log = ::open(LogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log >= 0) {
      ::dup2(log, STDOUT_FILENO);
      ::dup2(log, STDERR_FILENO);
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  // The sanitised build starts slowly.  A port text without its newline
  // counts once it reads the same twice.
  std::string previous;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until) {
    const std::string text = ReadFile(portFile);
    if (!text.empty() && (text.back() == '\n' || text == previous)) {
      port_ = std::atoi(text.c_str());
      started_ = true;
      return true;
    }
    previous = text;
    if (Exited()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
#else
  (void)extra;
  (void)defaultListen;
  return false;
#endif
}

std::string ServerProcess::Log() const { return ReadFile(LogPath()); }

std::shared_ptr<grpc::Channel> ServerProcess::Channel() const {
  grpc::ChannelArguments args;
  args.SetMaxReceiveMessageSize(64 << 20);
  args.SetMaxSendMessageSize(64 << 20);
  return grpc::CreateCustomChannel(address(), grpc::InsecureChannelCredentials(), args);
}

int ServerProcess::Kill(int signal) {
  if (pid_ <= 0) return exitStatus_;
  ::kill(pid_, signal);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until) {
    if (Exited()) return exitStatus_;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
  started_ = false;
  return -1;
}

int ServerProcess::WaitExit() {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until) {
    if (Exited()) return exitStatus_;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Kill(SIGKILL);
}

bool ServerProcess::Exited() {
  if (pid_ <= 0) return true;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    exitStatus_ = status;
    pid_ = -1;
    started_ = false;
    return true;
  }
  return false;
}

bool HaveServerBinary() {
#ifdef CTSERVER_PATH
  return true;
#else
  return false;
#endif
}

int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t length = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  ::close(fd);
  return ntohs(addr.sin_port);
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace testsupport
