// The commands of a frame: one QAction per command id, carrying the menu
// text, the accelerators, the status-bar prompt and the tool tip.  The
// prompt and the tip come from the string of the same id ("prompt\ntip").
// The menu bar is built from a menu table, shaped like a menu resource:
// POPUP entries open a submenu that an END entry closes.  Accelerators are
// key names ("Ctrl+N", "Alt+Enter", "Shift+Del", "F3"), and a command may
// have accelerators without being in any menu.
//
// Triggering an action runs the command only when its enable handler (asked
// at that moment) allows it, so a stale state never runs a disabled
// command.  The states of all actions are refreshed by Update.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/cmdtarget.h"
#include "platform/wintypes.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

enum class MenuKind { Popup, Item, Separator, End };

// One line of a menu table.  Popup and Item carry a text ("&New...\tCtrl+N":
// the part after the tab is shown as the item's keys); Item carries the
// command id.
struct MenuEntry {
  MenuKind kind;
  UINT id;
  const char* text;
};

// One accelerator: the keys and the command id.
struct AccelEntry {
  const char* keys;
  UINT id;
};

// Registers the menu and accelerator tables of a resource id (copied), for
// frames loaded from that id.  Registering again replaces them.
void RegisterMenuResource(UINT resourceId, const MenuEntry* entries, size_t count);
void RegisterAcceleratorResource(UINT resourceId, const AccelEntry* entries, size_t count);

class CCommandSet : public QObject {
 public:
  // Routes a command: with ui null, runs it; with ui, asks its state.
  using Router = std::function<BOOL(UINT id, CCmdUI* ui)>;

  // window receives every action, so accelerators work anywhere in it.
  CCommandSet(QWidget* window, Router router);
  ~CCommandSet() override;

  // The action of the command, made on first use.
  QAction* Action(UINT id);
  // The action, or null when the command has none yet.
  QAction* Find(UINT id) const;
  std::vector<UINT> Ids() const;

  // Fills the menu bar from the registered menu table of resourceId.  FALSE
  // when the table is malformed (an END without POPUP, a POPUP left open,
  // nesting deeper than 8, more than 1000 entries); nothing is added then.
  // A resource id without a table builds no menu and succeeds.
  BOOL LoadMenu(QMenuBar* bar, UINT resourceId);
  BOOL BuildMenu(QMenuBar* bar, const MenuEntry* entries, size_t count);
  // Gives the commands the keys of the registered accelerator table.
  // FALSE (and no keys set) when a key name cannot be read.
  BOOL LoadAccelerators(UINT resourceId);
  BOOL SetAccelerators(const AccelEntry* entries, size_t count);

  // Asks every command's enable handler and applies the answers.
  void Update();
  // Asks for the actions of one menu (and its submenus when deep).
  void UpdateMenu(QMenu* menu);
  // Asks for one command; returns whether it is enabled.
  bool UpdateCommand(UINT id);
  // Runs the command if it is enabled now; TRUE when it ran.
  BOOL Execute(UINT id);
  // Runs the command without asking its state (a pop-up menu's item that
  // was enabled when shown).
  BOOL Route(UINT id);
  // True while a command runs: a window must not be deleted under it.
  static bool Executing();

  // Whether the key (a Qt key combination) is an accelerator of any
  // command here, enabled or not.
  bool IsAccelerator(int keyCombination) const;
  // The command whose accelerator the key is; 0 for none.
  UINT AcceleratorCommand(int keyCombination) const;

  // The key names that text gives ("Alt+Enter" gives Alt+Return and
  // Alt+keypad Enter); empty when they cannot be read.
  static std::vector<int> ParseKeys(const char* text);

 private:
  void Apply(QAction* action, const CCmdUI& ui);

  QPointer<QWidget> m_window;
  Router m_router;
  std::map<UINT, QAction*> m_actions;  // children of this object
};
