// CGuiPost: hands closures from any thread to the GUI thread.  Each posted
// closure runs later on the GUI thread, in the order posted, unless the
// CGuiPost is destroyed first: then it is dropped, so a closure may safely
// use whatever owns the CGuiPost.  Make and destroy it on the GUI thread.
#pragma once

#include <functional>
#include <memory>

class CGuiPost {
 public:
  CGuiPost();
  ~CGuiPost();
  CGuiPost(const CGuiPost&) = delete;
  CGuiPost& operator=(const CGuiPost&) = delete;

  // Thread-safe.  Without an application object nothing ever runs.
  void Post(std::function<void()> closure);

 private:
  struct Target;
  std::shared_ptr<Target> m_target;
};
