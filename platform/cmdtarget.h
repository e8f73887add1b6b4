// Command routing.  A command is a numeric id (a menu item, an accelerator,
// a toolbar button).  A CCmdTarget maps ids to an execute handler and an
// enable handler; the frame routes each command through its targets in
// order (the active view, the view's document, the frame, the
// application) until one handles it.  An enable handler decides the state
// of the command's menu item and button through a CCmdUI: Enable, SetCheck,
// SetText.  A command that has an execute handler but no enable handler is
// enabled; a command that no target handles is disabled.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "platform/cstring.h"
#include "platform/wintypes.h"

// The state an enable handler gives one command.
class CCmdUI {
 public:
  explicit CCmdUI(UINT id = 0) : m_nID(id) {}
  virtual ~CCmdUI() = default;

  UINT m_nID;

  virtual void Enable(BOOL on = TRUE) {
    m_bEnabled = on != FALSE;
    m_bEnableChanged = true;
  }
  // 0 clear, 1 checked, 2 indeterminate (shown as checked).
  virtual void SetCheck(int check = 1) {
    m_nCheck = check;
    m_bCheckChanged = true;
  }
  virtual void SetRadio(BOOL on = TRUE) { SetCheck(on ? 1 : 0); }
  virtual void SetText(const char* text) {
    m_strText = text != nullptr ? text : "";
    m_bTextChanged = true;
  }

  bool m_bEnabled = false;
  bool m_bEnableChanged = false;
  int m_nCheck = 0;
  bool m_bCheckChanged = false;
  CString m_strText;
  bool m_bTextChanged = false;
};

class CCmdTarget {
 public:
  CCmdTarget() = default;
  virtual ~CCmdTarget();
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;

  // Routes the command: with ui null, runs its execute handler; with ui,
  // asks its enable handler (or enables it when there is only an execute
  // handler).  TRUE when this target (or one it routes to) handled it.
  virtual BOOL OnCmdMsg(UINT id, CCmdUI* ui);

 protected:
  // The command map, filled by the constructors of derived classes.  A
  // later entry for the same id replaces an earlier one.
  void AddCommand(UINT id, std::function<void()> handler);
  void AddCommandUpdate(UINT id, std::function<void(CCmdUI*)> handler);
  // The same handler for every id from first to last; it gets the id.
  void AddCommandRange(UINT first, UINT last, std::function<void(UINT)> handler);
  void AddCommandUpdateRange(UINT first, UINT last, std::function<void(CCmdUI*)> handler);

  // Member-function forms: AddCommand(57600, &CMyApp::OnFileNew).
  template <class T>
  void AddCommand(UINT id, void (T::*handler)()) {
    T* self = static_cast<T*>(this);
    AddCommand(id, std::function<void()>([self, handler] { (self->*handler)(); }));
  }
  template <class T>
  void AddCommandUpdate(UINT id, void (T::*handler)(CCmdUI*)) {
    T* self = static_cast<T*>(this);
    AddCommandUpdate(id, std::function<void(CCmdUI*)>([self, handler](CCmdUI* ui) { (self->*handler)(ui); }));
  }

  // Handles the command in this target alone (no routing on).
  BOOL HandleHere(UINT id, CCmdUI* ui);

 private:
  struct ExecuteRange {
    UINT first, last;
    std::function<void(UINT)> handler;
  };
  struct UpdateRange {
    UINT first, last;
    std::function<void(CCmdUI*)> handler;
  };
  std::map<UINT, std::function<void()>> m_commands;
  std::map<UINT, std::function<void(CCmdUI*)>> m_updates;
  // Searched from the back: a later range wins.
  std::vector<ExecuteRange> m_executeRanges;
  std::vector<UpdateRange> m_updateRanges;
};
