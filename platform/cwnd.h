// CWnd: a non-owning handle to a widget, or to none.  The handle notices
// when its widget is destroyed and then behaves as a handle to none; every
// call on a handle to none does nothing (and reports failure where it can).
//
// Controls inside a dialog carry a numeric control id (SetControlId), which
// GetDlgItem and the scripted test host look them up by.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/wintypes.h"

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;

// Control ids live in a dynamic property of the widget.
void SetControlId(QWidget* widget, int id);
// The control id of widget, or 0 when it has none.
int ControlId(const QWidget* widget);
// The first descendant of root with the control id, or null.
QWidget* FindControl(const QWidget* root, int id);

class CWnd {
 public:
  CWnd() = default;
  explicit CWnd(QWidget* widget) : m_widget(widget) {}
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The widget, or null when there is none (or it has been destroyed).
  QWidget* GetSafeHwnd() const { return m_widget.data(); }
  QWidget* Widget() const { return m_widget.data(); }
  void Attach(QWidget* widget) { m_widget = widget; }
  QWidget* Detach();
  BOOL IsWindow() const { return m_widget ? TRUE : FALSE; }

  // Schedules a repaint; UpdateWindow paints what is pending at once.
  void Invalidate(BOOL erase = TRUE);
  void UpdateWindow();
  // Invalidate and update at once.
  void RedrawNow();

  // The text of an edit, label or button; otherwise the window title.
  // The widget remembers the bytes it was given: reading an unchanged text
  // gives them back exactly; a changed one is encoded as they were decoded.
  void SetWindowText(const char* text);
  void SetWindowText(const CString& text);
  // FALSE when the user typed a character that encoding cannot hold.
  BOOL GetWindowTextBytes(CString* text) const;
  // As GetWindowTextBytes; a text it refuses comes back as UTF-8.
  CString GetWindowText() const;

  // The client area: (0, 0, width, height); the viewport of a scroll area.
  void GetClientRect(CRect* rect) const;

  void SetFocus();
  // Returns whether the window was disabled before.
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;

  // A handle to the child control with the id (kept by this handle, valid
  // while this handle lives), or null when there is no such control.
  virtual CWnd* GetDlgItem(int id) const;
  CString GetDlgItemText(int id) const;
  void SetDlgItemText(int id, const char* text);

  // The window that is active in the application (none when no window of
  // the application is active).  The handle is kept for the process.
  static CWnd* GetActiveWindow();

 protected:
  CWnd* HandleFor(QWidget* child) const;

 private:
  QPointer<QWidget> m_widget;
  mutable std::map<const QWidget*, std::unique_ptr<CWnd>> m_children;
};
