// CProfileWatch: follows one profile on one server while it lives.  A
// worker thread opens a session of its own (never the editor's request
// session, which may be busy or reopened), starts the server's watch of the
// profile and hands each event to the GUI thread.  A watch that ends with an
// error (server gone, session lost) is started again after a pause that
// doubles from kFirstRetryMs up to kMaxRetryMs, and starts over from
// kFirstRetryMs once a watch has worked again.  Destroying the object ends
// the watch: no handler call follows, and it never waits on a server for
// longer than kStopWaitMs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/guipost.h"
#include "s100/ctruntime.h"

class CProfileWatch {
 public:
  // The server's state of the profile: its revision and when it was
  // written, or removed.  Runs on the GUI thread.
  using Handler = std::function<void(uint64_t revision, int64_t timeUnixMs, bool removed)>;

  static constexpr uint32_t kFirstRetryMs = 1000;
  static constexpr uint32_t kMaxRetryMs = 30000;
  static constexpr uint32_t kStopWaitMs = 500;

  // Made on the GUI thread; starts at once, without waiting on the server.
  CProfileWatch(std::string server, std::string profileClass, std::string name, Handler handler);
  ~CProfileWatch();
  CProfileWatch(const CProfileWatch&) = delete;
  CProfileWatch& operator=(const CProfileWatch&) = delete;

  const std::string& Server() const { return m_server; }
  const std::string& ProfileClass() const { return m_class; }
  const std::string& Name() const { return m_name; }

  // How many times a watch has been started on the server (1 after the
  // first start, more after retries).  For tests and diagnostics.
  uint32_t Starts() const;

 private:
  // The worker's loop: open, watch until it ends, close, pause, again.
  void Run();
  // A runtime thread's event of the current watch.
  void OnEvent(const CT_ProfileEvent& event);

  enum class Phase { Opening, Watching, Pausing, Done };

  const std::string m_server;
  const std::string m_class;
  const std::string m_name;
  Handler m_handler;
  // Abandons the worker's server calls when stopping must not wait.
  CT_CancelToken m_token;
  bool m_bRuntime = false;  // holds a runtime initialisation

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  Phase m_phase = Phase::Opening;
  bool m_bStop = false;
  bool m_bEnded = false;   // the current watch ended with an error
  bool m_bHeard = false;   // the current watch delivered an event
  uint32_t m_nStarts = 0;

  CGuiPost m_post;
  std::thread m_worker;  // last: starts once the rest is ready
};
