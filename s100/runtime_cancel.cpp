// Abandoning calls: the cancel token and the calling thread's current one.
#include <utility>

#include "s100/ctruntime.h"

namespace {
thread_local CT_CancelToken* t_token = nullptr;
}  // namespace

void CT_CancelToken::Cancel() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bCancelled) return;
  m_bCancelled = true;
  // Under the lock: a call that has unwatched may free what its abort uses.
  for (auto& entry : m_aborts) entry.second();
  m_aborts.clear();
}

bool CT_CancelToken::IsCancelled() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bCancelled;
}

uint64_t CT_CancelToken::Watch(std::function<void()> abort) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bCancelled) {
    abort();
    return 0;
  }
  const uint64_t id = m_nNextWatch++;
  m_aborts.emplace(id, std::move(abort));
  return id;
}

void CT_CancelToken::Unwatch(uint64_t id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_aborts.erase(id);
}

void CT_SetThreadCancelToken(CT_CancelToken* token) { t_token = token; }

CT_CancelToken* CT_ThreadCancelToken() { return t_token; }
