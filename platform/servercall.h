// CServerCallRunner: how the editor waits for a server.  The sessions hand
// every request that may wait on a server to the installed runner; the
// editor's runner (CProgressCallRunner) runs it on a worker thread while the
// window keeps painting and the user may cancel.  Without a runner a request
// runs on the calling thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CServerCallRunner {
 public:
  virtual ~CServerCallRunner() = default;

  // Runs work while the user waits, with a text that names the work: the
  // string-table text of textId with each "%s" replaced by the next of args.
  // True when work ran to its end.  False when the user cancelled: cancel
  // was called (on the calling thread) and work has ended as well by the
  // time Run returns, so work's captures may go.
  virtual bool Run(unsigned textId, const std::vector<std::string>& args, const std::function<void()>& work,
                   const std::function<void()>& cancel) = 0;
};
