// CWaitCursor: shows the busy cursor for its lifetime.  Guards nest: each
// one pushes one override cursor and pops exactly that one, so an inner
// guard ending early does not restore the normal cursor under an outer one.
// Without an application object the guard does nothing.
#pragma once

#include <QCursor>
#include <QGuiApplication>

class CWaitCursor {
 public:
  CWaitCursor() : m_active(QGuiApplication::instance() != nullptr) {
    if (m_active) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  ~CWaitCursor() { Release(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

  // Ends this guard's busy cursor before the guard goes (once).
  void Release() {
    if (!m_active) return;
    m_active = false;
    if (QGuiApplication::instance() != nullptr) QGuiApplication::restoreOverrideCursor();
  }
  bool IsActive() const { return m_active; }

 private:
  bool m_active;
};
