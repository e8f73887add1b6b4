#include "platform/cwinapp.h"

#include <QApplication>
#include <QMainWindow>
#include <QPageSetupDialog>
#include <QPrinter>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#if __has_include(<X11/Xlib.h>) && QT_CONFIG(xcb)
#include <X11/Xlib.h>
#define QUELT_HAVE_XLIB 1
#endif

#include "platform/cdoctemplate.h"
#include "platform/cframewnd.h"
#include "platform/modalhost.h"

namespace {

CWinApp* g_app = nullptr;

std::string ProgramPath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.string();
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

CWinApp* TheApp() { return g_app; }

CWinApp::CWinApp(const char* appName) {
  g_app = this;
  const std::string program = ProgramPath();
  if (appName != nullptr)
    m_appName = appName;
  else
    m_appName = program.empty() ? std::string("application") : std::filesystem::path(program).stem().string();
  m_pszAppName = m_appName.c_str();
  m_helpPath = program.empty() ? std::string("help/index.html")
                               : (std::filesystem::path(program).parent_path() / "help" / "index.html").string();
  m_pszHelpFilePath = m_helpPath.c_str();
  AddCommand(ID_APP_EXIT, [this] { OnAppExit(); });
  AddCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
}

CWinApp::~CWinApp() {
  // Main has normally removed everything; this is for an object that never ran.
  if (QCoreApplication::instance() != nullptr) DestroyWindows();
  if (g_app == this) g_app = nullptr;
}

void CWinApp::SetHelpFilePath(const char* path) {
  m_helpPath = path != nullptr ? path : "";
  m_pszHelpFilePath = m_helpPath.c_str();
}

bool CWinApp::DisplayAvailable(std::string* why) {
  if (Set("QT_QPA_PLATFORM") || Set("WAYLAND_DISPLAY")) return true;
  if (!Set("DISPLAY")) {
    if (why != nullptr) *why = "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
    return false;
  }
#ifdef QUELT_HAVE_XLIB
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    if (why != nullptr) *why = std::string("cannot open display ") + std::getenv("DISPLAY");
    return false;
  }
  XCloseDisplay(display);
#endif
  return true;
}

int CWinApp::Main(int argc, char** argv) {
  std::string why;
  if (!DisplayAvailable(&why)) {
    std::fprintf(stderr, "%s: %s\n", m_pszAppName, why.c_str());
    return 1;
  }
  m_argc = argc;
  m_argv.assign(argv, argv + argc);
  m_argv.push_back(nullptr);
  int code = 0;
  {
    QApplication application(m_argc, m_argv.data());
    QApplication::setApplicationName(QString::fromLocal8Bit(m_pszAppName));
    // The program ends with its main window, even while another window (a
    // help window, say) is open; and not when a dialog shown before the
    // main window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt took its own options out of the arguments.
    m_arguments.clear();
    m_lpCmdLine.Empty();
    for (int i = 1; i < m_argc && m_argv[static_cast<size_t>(i)] != nullptr; ++i) {
      m_arguments.emplace_back(m_argv[static_cast<size_t>(i)]);
      if (i > 1) m_lpCmdLine += " ";
      m_lpCmdLine += m_argv[static_cast<size_t>(i)];
    }
    if (!InitInstance()) {
      ExitInstance();
      code = 1;
    } else {
      code = Run();
    }
    DestroyWindows();
  }
  return code;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
  // Without a main window nothing can end the loop: the program ends.
  if (m_pMainWnd != nullptr && m_pMainWnd->Window() != nullptr) QApplication::exec();
  return ExitInstance();
}

int CWinApp::ExitInstance() { return 0; }

void CWinApp::DestroyWindows() {
  if (m_pMainWnd != nullptr) m_pMainWnd->DestroyWindow();
  m_pMainWnd = nullptr;
  m_templates.clear();
  m_printer.reset();
  // Windows deleted late still hold events; let them go while Qt lives.
  if (QCoreApplication::instance() != nullptr) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void CWinApp::AddDocTemplate(CDocTemplate* docTemplate) {
  if (docTemplate != nullptr) m_templates.emplace_back(docTemplate);
}

POSITION CWinApp::GetFirstDocTemplatePosition() const {
  return m_templates.empty() ? nullptr : reinterpret_cast<POSITION>(static_cast<uintptr_t>(1));
}

CDocTemplate* CWinApp::GetNextDocTemplate(POSITION& pos) const {
  const uintptr_t index = reinterpret_cast<uintptr_t>(pos);
  if (index == 0 || index > m_templates.size()) {
    pos = nullptr;
    return nullptr;
  }
  pos = index < m_templates.size() ? reinterpret_cast<POSITION>(index + 1) : nullptr;
  return m_templates[index - 1].get();
}

void CWinApp::OnFileNew() {
  if (!m_templates.empty()) m_templates.front()->OpenDocumentFile(nullptr);
}

void CWinApp::OnAppExit() {
  if (m_pMainWnd != nullptr && m_pMainWnd->Window() != nullptr) m_pMainWnd->Window()->close();
}

QPrinter* CWinApp::GetPrinter() {
  if (!m_printer && QCoreApplication::instance() != nullptr) {
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // Pages are laid out in printer pixels; at the usual 300 dpi the text
    // prints at a readable size (the printer may choose the nearest it has).
    m_printer->setResolution(kPrinterDpi);
  }
  return m_printer.get();
}

void CWinApp::OnFilePrintSetup() {
  QPrinter* printer = GetPrinter();
  if (printer == nullptr) return;
  QPageSetupDialog dialog(printer, m_pMainWnd != nullptr ? m_pMainWnd->Window() : nullptr);
  ModalHost::Current().RunDialog(dialog);
}

void CWinApp::WinHelp(DWORD /*data*/, UINT /*command*/) {}
