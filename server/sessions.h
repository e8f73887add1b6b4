// Open administration sessions: random, unguessable ids with the options
// each was opened with.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace ctserver {

class SessionRegistry {
 public:
  struct Info {
    std::string serverName;  // from the options
    std::string clientName;
    std::chrono::steady_clock::time_point lastUse;
  };

  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // clock tells the time of each use (the steady clock unless given).
  explicit SessionRegistry(size_t maxSessions = 10000,
                           std::chrono::seconds idleLimit = std::chrono::hours(24), Clock clock = nullptr)
      : maxSessions_(maxSessions), idleLimit_(idleLimit), clock_(std::move(clock)) {}

  // A new id (32 hex digits from the system's random source), or the empty
  // text when the registry is full even after dropping sessions idle for
  // longer than the idle limit.
  std::string Open(const std::string& serverName, const std::string& clientName);
  // True when the id is open (and marks it used).
  bool Touch(const std::string& id);
  bool Close(const std::string& id);
  size_t Count() const;

 private:
  void DropIdleLocked();
  std::chrono::steady_clock::time_point Now() const { return clock_ ? clock_() : std::chrono::steady_clock::now(); }

  mutable std::mutex mutex_;
  std::unordered_map<std::string, Info> sessions_;
  size_t maxSessions_;
  std::chrono::seconds idleLimit_;
  Clock clock_;
};

}  // namespace ctserver
