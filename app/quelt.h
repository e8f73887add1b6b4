// CQueltApp: the application object.  It starts the client runtime, finds
// the help pages through the registry, loads the node icons, registers the
// single-profile template, opens the first profile from the command line
// (or by New), owns the one multi-server session, and handles New,
// Retrieve, About and the help commands.
#pragma once

#include <memory>

#include "app/cmdids.h"
#include "common/multises.h"
#include "platform/cstring.h"
#include "platform/cwinapp.h"
#include "platform/cwnd.h"

class CDocument;
class CHelpWindow;

// The longest command-line word taken (the buffers
// hold 256 characters with the terminator).
inline constexpr int kMaxWordLength = 255;
// The longest help path (260 characters with the terminator).
inline constexpr int kMaxHelpPathLength = 259;

class CQueltApp : public CWinApp {
 public:
  CQueltApp();
  ~CQueltApp() override;

  BOOL InitInstance() override;
  int ExitInstance() override;
  // How long closing the session at exit waits for the server.
  static constexpr uint32_t kLogOffWaitMs = 500;

  // Opens a profile through the one template: a new one (bNew) or a stored
  // one.  The document, or null.
  CDocument* OpenProfile(const CString& server, const CString& profileClass, const CString& name, BOOL bNew);

  void OnFileNew();
  void OnFileOpen();
  void OnAppAbout();
  void OnHelpContents();
  void OnHelpSearchforhelpon();
  void OnHelpHowtousehelp();
  // One of the remembered profiles at the end of the Profile menu.
  void OnRecentProfile(UINT id);

  // Opens the help window: HELP_FINDER the contents, HELP_HELPONHELP the
  // page on using help, HELP_KEY the keyword search.
  void WinHelp(DWORD data, UINT command = HELP_CONTEXT) override;
  // The help window, null until help was first opened.
  CHelpWindow* HelpWindow() const { return m_pHelpWindow.get(); }

  MultiAdminSession m_session;

 private:
  // Balances the runtime: every successful CT_Initialize of this object
  // gets one CT_Shutdown.
  void ShutdownRuntime();

  int m_nRuntimeInits = 0;
  std::unique_ptr<CHelpWindow> m_pHelpWindow;
};

// The application object as the editor's own class (null before it exists).
CQueltApp* TheQueltApp();

// The display entry for a profile: name, two blanks, "[ ", class, " ]".
CString MakeProfileEntry(const char* name, const char* profileClass);

// Asks for a known server (the dialog captioned by promptId), lists its
// profiles and asks for one, as Retrieve does; messages go to owner.  TRUE
// with the server and the listed name and class; FALSE when the user
// cancelled or a message has been shown.
BOOL ChooseServerProfile(UINT promptId, MultiAdminSession* session, CWnd* owner, CString* server, CString* name,
                         CString* profileClass);
