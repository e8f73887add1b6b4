// CWinApp: the application object.  There is one; the program defines it as
// a global and main calls its Main.  Its constructor touches nothing of
// Qt's GUI (it runs before main); Main checks that a display can be reached
// (else it says so in one line on stderr and returns 1), makes the
// QApplication, runs InitInstance, the event loop while a main window
// exists, and ExitInstance, and removes every window, document and
// template before the QApplication goes.  The loop ends when the main
// window is destroyed, whatever other windows are open.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/cdocument.h"
#include "platform/cmdtarget.h"
#include "platform/cstring.h"
#include "platform/wintypes.h"

class CDocTemplate;
class CFrameWnd;
class QApplication;
class QPrinter;

// Commands the application handles itself.
inline constexpr UINT ID_FILE_NEW = 0xE100;  // 57600
inline constexpr UINT ID_FILE_OPEN = 0xE101;
inline constexpr UINT ID_FILE_SAVE = 0xE103;
inline constexpr UINT ID_FILE_SAVE_AS = 0xE104;
inline constexpr UINT ID_FILE_PRINT_SETUP = 0xE106;  // 57606
inline constexpr UINT ID_FILE_PRINT = 0xE107;
inline constexpr UINT ID_FILE_PRINT_PREVIEW = 0xE109;
inline constexpr UINT ID_APP_ABOUT = 0xE140;  // 57664
inline constexpr UINT ID_APP_EXIT = 0xE141;   // 57665

// Help commands.
inline constexpr UINT HELP_CONTEXT = 0x0001;
inline constexpr UINT HELP_HELPONHELP = 0x0004;
inline constexpr UINT HELP_FINDER = 0x000B;
inline constexpr UINT HELP_KEY = 0x0101;

class CWinApp : public CCmdTarget {
 public:
  // appName null: the program's file name.
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  // The program's life; returns the exit code.  InitInstance returning
  // FALSE still runs ExitInstance, and the code is then 1.
  int Main(int argc, char** argv);

  // Opens the first window.  FALSE ends the program.
  virtual BOOL InitInstance();
  // Runs the event loop while there is a main window, then ExitInstance.
  virtual int Run();
  // The last step; returns the exit code (0).
  virtual int ExitInstance();

  // Takes ownership of the template.
  void AddDocTemplate(CDocTemplate* docTemplate);
  POSITION GetFirstDocTemplatePosition() const;
  CDocTemplate* GetNextDocTemplate(POSITION& pos) const;

  // New document from the first template.
  void OnFileNew();
  // Closes the main window (which asks the document first).
  void OnAppExit();
  // The page set-up dialog for the application's printer.
  void OnFilePrintSetup();
  // The resolution the application's printer asks for.
  static constexpr int kPrinterDpi = 300;
  // The application's printer, made on first use (needs the QApplication).
  QPrinter* GetPrinter();

  // Opens help.  The base does nothing; the program's application shows
  // its help window.
  virtual void WinHelp(DWORD data, UINT command = HELP_CONTEXT);
  // Replaces the help file path (a copy is kept).
  void SetHelpFilePath(const char* path);

  // Whether a display can be reached; when not, why (one line).  With
  // QT_QPA_PLATFORM set, Qt decides; otherwise WAYLAND_DISPLAY or a
  // DISPLAY whose X server answers is needed.
  static bool DisplayAvailable(std::string* why);

  CFrameWnd* m_pMainWnd = nullptr;  // the main window, not owned (it owns itself)
  const char* m_pszAppName = nullptr;
  // The help file: by default "help/index.html" beside the program.
  const char* m_pszHelpFilePath = nullptr;
  // The command line after the program name (Qt's own options removed),
  // words separated by blanks, and the same words one by one.
  CString m_lpCmdLine;
  std::vector<CString> m_arguments;

 private:
  void DestroyWindows();

  std::string m_appName;
  std::string m_helpPath;
  std::vector<std::unique_ptr<CDocTemplate>> m_templates;
  std::unique_ptr<QPrinter> m_printer;
  int m_argc = 0;
  std::vector<char*> m_argv;
};

// The application object, or null before it is made.
CWinApp* TheApp();
inline CWinApp* AfxGetApp() { return TheApp(); }
