// CMainFrame: the application's one top-level window, with the menu and
// accelerators of resource 128, a dockable toolbar of ten entries and a
// status bar with the prompt pane and the CAP, NUM and SCRL indicators.
#pragma once

#include "platform/ccontrolbar.h"
#include "platform/cframewnd.h"

// Registers the menu and the accelerator table of resource 128 (once is
// enough; again replaces them).
void RegisterMainFrameResources();

class CMainFrame : public CFrameWnd {
 public:
  CMainFrame();
  ~CMainFrame() override;

  CStatusBar& StatusBar() { return m_wndStatusBar; }
  CToolBar& ToolBar() { return m_wndToolBar; }

  // The toolbar's buttons and the status bar's panes, in order.
  static const UINT kToolbarButtons[10];
  static const UINT kIndicators[4];

 protected:
  int OnCreate() override;

  CStatusBar m_wndStatusBar;
  CToolBar m_wndToolBar;
};
