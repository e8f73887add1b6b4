// CFrameWnd: a top-level window on QMainWindow that holds a view, with the
// menu bar and accelerators of its resource id, toolbars and a status bar.
//
// Commands from the menu, the accelerators and the toolbar go first to the
// active view (and its document), then to the frame, then to the
// application.  The commands' states are asked when a menu is about to open
// and whenever the application goes idle after input (a zero-length timer
// that fires once the event queue is empty), so menus and toolbar buttons
// are always current.
//
// The caption is the document's title, " - " and the title of the frame's
// document string (the application's name).
//
// Frames are made on the heap and end through DestroyWindow, which deletes
// the frame with its views and, when it was their last view, their
// document (unless the document's m_bAutoDelete is off).
#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <vector>

#include "platform/cmdtarget.h"
#include "platform/commandset.h"
#include "platform/cwnd.h"

class CDocument;
class CStatusBar;
class CToolBar;
class CView;
struct CCreateContext;

// Ids of the framework's bars, their menu commands and status indicators.
inline constexpr UINT AFX_IDW_TOOLBAR = 0xE800;  // 59392, also the command that shows or hides it
inline constexpr UINT AFX_IDW_STATUS_BAR = 0xE801;  // 59393
inline constexpr UINT ID_VIEW_TOOLBAR = AFX_IDW_TOOLBAR;
inline constexpr UINT ID_VIEW_STATUS_BAR = AFX_IDW_STATUS_BAR;
inline constexpr UINT ID_SEPARATOR = 0;
inline constexpr UINT ID_INDICATOR_CAPS = 0xE701;  // 59137
inline constexpr UINT ID_INDICATOR_NUM = 0xE702;
inline constexpr UINT ID_INDICATOR_SCRL = 0xE703;
// The idle prompt of the status bar ("Ready").
inline constexpr UINT AFX_IDS_IDLEMESSAGE = 0xE001;  // 57345

class CFrameWnd : public CWnd, public CCmdTarget {
 public:
  CFrameWnd();
  ~CFrameWnd() override;

  // Builds the window: caption from the document string, menu and
  // accelerators of resourceId, the icon ":/bitmaps/<resourceId>.bmp" when
  // the program has one, then OnCreate (which makes the view through
  // OnCreateClient).  FALSE on failure; the caller then destroys the frame.
  virtual BOOL LoadFrame(UINT resourceId, CCreateContext* context = nullptr);
  // Deletes the frame (see above).  Safe from inside the frame's own
  // event handlers.
  void DestroyWindow();

  QMainWindow* Window() const;

  // Runs the views' initial update, sets the caption and shows the window
  // (when makeVisible is set) with the focus on the active view.
  void InitialUpdateFrame(CDocument* doc, BOOL makeVisible);
  // Sets the caption from the active document's title.
  virtual void OnUpdateFrameTitle(BOOL addToTitle);
  CString GetTitle() const { return m_strTitle; }
  void SetTitle(const char* title);

  CView* GetActiveView() const { return m_pActiveView; }
  void SetActiveView(CView* view);
  CDocument* GetActiveDocument() const;

  // The active view (and its document), then this frame, then the
  // application.
  BOOL OnCmdMsg(UINT id, CCmdUI* ui) override;
  // Runs a command as its menu item does: only when it is enabled now
  // (onlyWhenEnabled FALSE: a pop-up menu item enabled when shown).  The
  // command may destroy the frame.
  BOOL ExecuteCommand(UINT id, BOOL onlyWhenEnabled = TRUE);
  // Asks every command's enable handler and the status indicators now.
  virtual void OnIdleUpdateCmdUI();
  // Asks again once the event queue is empty.
  void RequestIdleUpdate();
  // Whether the key (a Qt key combination) belongs to a command, enabled
  // or not: such keys are the commands', never the view's.
  bool IsAcceleratorKey(int keyCombination) const;
  // The command's action (made on first use).
  QAction* GetCommandAction(UINT id);
  // A list of commands kept in the menu that holds the command beforeId,
  // just above it and set off by a separator: the commands firstId,
  // firstId + 1, ... up to count of them; the first texts.size() shown with
  // those texts, the others hidden, and the separator only when one shows.
  // Does nothing when no menu holds beforeId.
  void SetMenuList(UINT beforeId, UINT firstId, int count, const std::vector<CString>& texts);
  CCommandSet* Commands() const { return m_commands; }

  // The status bar's message pane: a prompt, or the idle prompt.
  void SetMessageText(const char* text);
  void SetMessageText(UINT stringId);
  // The same, also told to assistive technology (a status the user must
  // not miss); null or empty puts back the idle prompt.
  void AnnounceMessageText(const char* text);

  // Docking: toolbars may go to any side.
  void EnableDocking(DWORD alignment);
  void DockControlBar(CToolBar* bar);
  // Shows or hides a toolbar or the status bar.
  void ShowControlBar(CWnd* bar, BOOL show);

 protected:
  // Called by LoadFrame once the window, menu and accelerators exist;
  // 0 to go on, -1 to fail.  The default makes the view (OnCreateClient).
  virtual int OnCreate();
  // Makes the view the create context names and shows its document.
  virtual BOOL OnCreateClient(CCreateContext* context);
  // The window's close button and the Exit command: closes unless the
  // document refuses (CanCloseFrame).
  virtual void OnClose();

  CString m_strTitle;

 private:
  class FrameWindow;
  friend class FrameWindow;
  friend class CToolBar;
  friend class CStatusBar;
  void AddBar(UINT id, CWnd* bar);
  void RemoveBar(CWnd* bar);
  void UpdateStatusPanes();

  FrameWindow* m_window = nullptr;
  CCommandSet* m_commands = nullptr;  // child of the window
  CCreateContext* m_pCreateContext = nullptr;  // during LoadFrame
  std::vector<std::unique_ptr<CView>> m_views;
  CView* m_pActiveView = nullptr;
  std::map<UINT, CWnd*> m_bars;
  CStatusBar* m_pStatusBar = nullptr;
};
