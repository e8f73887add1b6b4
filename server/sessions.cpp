#include "server/sessions.h"

#include <random>

namespace ctserver {

namespace {

std::string NewId() {
  static std::mutex m;
  static std::random_device device;  // the system's random source
  static const char hex[] = "0123456789abcdef";
  std::string id;
  std::lock_guard<std::mutex> lock(m);
  for (int i = 0; i < 4; ++i) {
    uint32_t word = device();
    for (int j = 0; j < 8; ++j) {
      id.push_back(hex[word & 0xF]);
      word >>= 4;
    }
  }
  return id;
}

}  // namespace

std::string SessionRegistry::Open(const std::string& serverName, const std::string& clientName) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sessions_.size() >= maxSessions_) DropIdleLocked();
  if (sessions_.size() >= maxSessions_) return std::string();
  std::string id;
  do {
    id = NewId();
  } while (sessions_.count(id));
  sessions_.emplace(id, Info{serverName, clientName, Now()});
  return id;
}

bool SessionRegistry::Touch(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return false;
  it->second.lastUse = Now();
  return true;
}

bool SessionRegistry::Close(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.erase(id) != 0;
}

size_t SessionRegistry::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.size();
}

void SessionRegistry::DropIdleLocked() {
  const auto now = Now();
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (now - it->second.lastUse > idleLimit_) {
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace ctserver
