// CProgressCallRunner: runs a server request on a worker thread while the
// GUI thread waits.  The window keeps painting; user input is held back
// until, after kShowAfterMs, a modal progress window with the wait cursor,
// the request's text and a Cancel button appears (so fast requests show
// nothing).  Cancel calls the request's cancel at once, then waits, without
// taking input, for the abandoned work to end.
#pragma once

#include "platform/servercall.h"

class CProgressCallRunner : public CServerCallRunner {
 public:
  static constexpr int kShowAfterMs = 300;
  // The progress window's object name, for tests and accessibility tools.
  static constexpr const char* kObjectName = "progress_server_call";

  // Runs on the calling thread, without a window, when there is no
  // application object, when called off the GUI thread, or while another
  // request is waiting.
  bool Run(unsigned textId, const std::vector<std::string>& args, const std::function<void()>& work,
           const std::function<void()>& cancel) override;
  // Whether the GUI thread is waiting for a request now: whatever runs in
  // the meantime has that request beneath it on the stack.
  bool IsWaiting() const { return m_bWaiting; }

 private:
  bool m_bWaiting = false;
};

// The string-table text of textId with each "%s" replaced by the next
// argument (extra "%s" stay as they are).
std::string ProgressText(unsigned textId, const std::vector<std::string>& args);

// The runner the application installs.
CProgressCallRunner& ProgressCallRunner();
