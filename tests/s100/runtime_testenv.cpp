#include "tests/s100/runtime_testenv.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/registry.h"

namespace ct::testenv {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quelt-rt-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Dword(int64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

void InstallRegistry(const std::string& file, const RegistryContents& contents) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration]\r\n";
  for (const auto& [name, data] : contents.servers) text += Quote(name) + "=" + Quote(data) + "\r\n";
  text += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Runtime]\r\n";
  if (contents.connectTimeoutMs >= 0) text += "\"ConnectTimeoutMs\"=" + Dword(contents.connectTimeoutMs) + "\r\n";
  if (contents.callTimeoutMs >= 0) text += "\"CallTimeoutMs\"=" + Dword(contents.callTimeoutMs) + "\r\n";
  if (!contents.tokenFile.empty()) text += "\"TokenFile\"=" + Quote(contents.tokenFile) + "\r\n";
  if (!contents.caFile.empty()) text += "\"CaFile\"=" + Quote(contents.caFile) + "\r\n";
  WriteFile(file, text);
  setenv("HALDEN_REGISTRY", file.c_str(), 1);
  RegReloadFile();
}

bool HaveServerBinary() {
#ifdef CTSERVER_PATH
  return true;
#else
  return false;
#endif
}

ServerProcess::ServerProcess(const std::string& folder, const std::string& tokenFile) {
#ifdef CTSERVER_PATH
  db_ = folder + "/server.db";
  const std::string portFile = folder + "/server.port";
  std::remove(portFile.c_str());
  std::vector<std::string> args = {CTSERVER_PATH, "--db", db_, "--listen", "127.0.0.1:0", "--port-file", portFile};
  if (!tokenFile.empty()) {
    args.push_back("--token-file");
    args.push_back(tokenFile);
  }
  pid_ = fork();
  if (pid_ == 0) {
    // A test that dies leaves no server behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // Keep the test's output readable: the server's log goes to a file.
    const std::string log = folder + "/server.log";
    FILE* out = std::freopen(log.c_str(), "w", stdout);
    (void)out;
    dup2(STDOUT_FILENO, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // Wait up to 20 s for the port file (the sanitised build starts slowly).
  // A text without its newline counts once it reads the same twice.
  std::string previous;
  for (int i = 0; i < 400 && pid_ > 0; ++i) {
    const std::string text = ReadFile(portFile);
    if (!text.empty() && (text.back() == '\n' || text == previous)) {
      port_ = std::atoi(text.c_str());
      if (port_ > 0) return;
    }
    previous = text;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
#else
  (void)folder;
  (void)tokenFile;
#endif
}

void ServerProcess::Kill() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Kill();
  }
}

int UnusedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t length = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  close(fd);
  return ntohs(addr.sin_port);
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace ct::testenv
