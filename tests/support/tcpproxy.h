// A loopback TCP proxy for tests that need a server to stall, answer late
// or lose an answer: it accepts connections, forwards each to a target port
// (or nowhere) and passes the bytes on as told.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

inline int ListenLoopback(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

// Accepts connections on loopback, forwards each to `target` (0: nowhere,
// the connection just stays silent), and passes the bytes on after
// delayMs; while stalled it passes nothing on.
class Proxy {
 public:
  explicit Proxy(int target) : target_(target) {
    listen_ = ListenLoopback(&port_);
    if (listen_ >= 0) accept_ = std::thread([this] { AcceptLoop(); });
  }
  ~Proxy() {
    stop_ = true;
    if (accept_.joinable()) accept_.join();  // fds_ and threads_ are ours alone from here
    for (int fd : fds_) shutdown(fd, SHUT_RDWR);
    for (std::thread& t : threads_) t.join();
    for (int fd : fds_) close(fd);
    if (listen_ >= 0) close(listen_);
  }
  bool ok() const { return listen_ >= 0; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  std::atomic<int> delayMs{0};
  std::atomic<bool> stalled{false};
  // While set, nothing from the server reaches the client.
  std::atomic<bool> holdReplies{false};
  // The next so many replies end their connection instead of arriving.
  std::atomic<int> repliesToCut{0};

 private:
  void AcceptLoop() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      fds_.push_back(client);
      if (target_ == 0) continue;
      const int upstream = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      const sockaddr_in addr{AF_INET, htons(static_cast<uint16_t>(target_)), {htonl(INADDR_LOOPBACK)}, {}};
      if (upstream < 0 || connect(upstream, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (upstream >= 0) close(upstream);
        shutdown(client, SHUT_RDWR);
        continue;
      }
      fds_.push_back(upstream);
      threads_.emplace_back([this, client, upstream] { Pump(client, upstream, false); });
      threads_.emplace_back([this, upstream, client] { Pump(upstream, client, true); });
    }
  }
  void Pump(int from, int to, bool replies) {
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(from, buffer, sizeof buffer);
      if (n <= 0 || stop_) break;
      for (int waited = 0; !stop_ && (stalled || (replies && holdReplies) || waited < delayMs); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (replies && repliesToCut.fetch_sub(1) > 0) {
        // The answer is lost with its connection, after the server acted.
        shutdown(from, SHUT_RDWR);
        shutdown(to, SHUT_RDWR);
        break;
      }
      if (replies) repliesToCut = 0;
      if (stop_ || send(to, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) != n) break;
    }
    shutdown(to, SHUT_WR);
  }

  int target_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread accept_;
  std::vector<int> fds_;              // these two grow only on the accepting
  std::vector<std::thread> threads_;  // thread, so need no lock
};

}  // namespace testsupport
