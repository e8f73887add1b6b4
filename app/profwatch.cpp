#include "app/profwatch.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "s100/ctcontainers.h"

namespace {

// A session with the named server, or 0.
CTses OpenSession(const std::string& server) {
  CTkvs options = 0, reply = 0;
  uint32_t err = 0;
  CTses session = 0;
  if (CTkvs_Create(&options, &err) == 1 && CTkvs_Create(&reply, &err) == 1 &&
      CTkvs_PutString(options, CT_KEY_SERVER_NAME, server.c_str(), &err) == 1) {
    CT_ReplyRecord record = CT_MakeReplyRecord(reply);
    if (CTses_Create(&session, "quelt watch", 0, options, &record, 0) != 1) session = 0;
  }
  if (options != 0) CTkvs_Destroy(options, &err);
  if (reply != 0) CTkvs_Destroy(reply, &err);
  return session;
}

void CloseSession(CTses session) {
  CTkvs reply = 0;
  uint32_t err = 0;
  if (CTkvs_Create(&reply, &err) != 1) return;
  CT_ReplyRecord record = CT_MakeReplyRecord(reply);
  CTses_Destroy(session, CT_kvsEmpty, &record, 0);
  CTkvs_Destroy(reply, &err);
}

}  // namespace

CProfileWatch::CProfileWatch(std::string server, std::string profileClass, std::string name, Handler handler)
    : m_server(std::move(server)), m_class(std::move(profileClass)), m_name(std::move(name)),
      m_handler(std::move(handler)) {
  // Its own hold on the runtime, so the watch can end cleanly whenever the
  // document lets it go, even after the application's own shutdown.
  uint32_t err = 0;
  m_bRuntime = CT_Initialize(&err) == 1;
  m_worker = std::thread([this] { Run(); });
}

CProfileWatch::~CProfileWatch() {
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_bStop = true;
    m_changed.notify_all();
    // A running watch is ended politely when the server answers in time; a
    // session still being opened is abandoned at once.
    if (m_phase == Phase::Watching)
      m_changed.wait_for(lock, std::chrono::milliseconds(kStopWaitMs), [this] { return m_phase == Phase::Done; });
  }
  m_token.Cancel();
  m_worker.join();
  if (m_bRuntime) {
    uint32_t err = 0;
    CT_Shutdown(&err);
  }
}

uint32_t CProfileWatch::Starts() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nStarts;
}

void CProfileWatch::Run() {
  CT_SetThreadCancelToken(&m_token);
  uint32_t pauseMs = kFirstRetryMs;
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_bStop) {
    m_phase = Phase::Opening;
    m_bEnded = false;
    m_bHeard = false;
    lock.unlock();
    const CTses session = OpenSession(m_server);
    CT_WatchHandle handle = 0;
    uint32_t err = 0;
    const bool started =
        session != 0 && CTadm_WatchProfile(session, m_name.c_str(), m_class.c_str(),
                                           [this](const CT_ProfileEvent& e) { OnEvent(e); }, &handle, &err) == 1;
    lock.lock();
    if (started) {
      ++m_nStarts;
      m_phase = Phase::Watching;
      m_changed.wait(lock, [this] { return m_bStop || m_bEnded; });
      // A watch that worked means the server was fine: the next trouble
      // starts with a short pause again.
      if (m_bHeard) pauseMs = kFirstRetryMs;
    }
    lock.unlock();
    if (started) CTadm_Unwatch(handle, &err);
    if (session != 0) CloseSession(session);
    lock.lock();
    if (m_bStop) break;
    m_phase = Phase::Pausing;
    m_changed.wait_for(lock, std::chrono::milliseconds(pauseMs), [this] { return m_bStop; });
    pauseMs = std::min(pauseMs * 2, kMaxRetryMs);
  }
  m_phase = Phase::Done;
  m_changed.notify_all();
  lock.unlock();
  CT_SetThreadCancelToken(nullptr);
}

void CProfileWatch::OnEvent(const CT_ProfileEvent& event) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (event.error != 0) {
      m_bEnded = true;
      m_changed.notify_all();
      return;
    }
    m_bHeard = true;
  }
  const uint64_t revision = event.revision;
  const int64_t when = event.timeUnixMs;
  const bool removed = event.removed != 0;
  // Dropped when this object is gone by the time the GUI thread gets to it.
  m_post.Post([this, revision, when, removed] {
    if (m_handler) m_handler(revision, when, removed);
  });
}
