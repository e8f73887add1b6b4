// The application object's whole life, each run with its own QApplication
// (this program has none of its own).
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/cwinapp.h"
#include "platform/scriptedmodalhost.h"
#include "tests/platform/appfixture.h"

using namespace apptest;

namespace {

class LifeApp : public CWinApp {
 public:
  enum class Start { OpenAndClose, OpenWithSecondWindow, OpenNothing, Refuse };
  explicit LifeApp(Start start) : CWinApp("quelt"), m_start(start) {}

  BOOL InitInstance() override {
    steps.push_back("init");
    guiDuringInit = QApplication::instance() != nullptr;
    if (m_start == Start::Refuse) return FALSE;
    if (m_start == Start::OpenNothing) return TRUE;
    RegisterSampleResources();
    auto* docTemplate = new CSingleDocTemplate(kResource, &CreateObject<SampleDoc>, &CreateObject<SampleFrame>,
                                               &CreateObject<SampleView>);
    AddDocTemplate(docTemplate);
    OnFileNew();
    if (m_pMainWnd == nullptr) return FALSE;
    if (m_start == Start::OpenWithSecondWindow) {
      m_second = std::make_unique<QWidget>();
      m_second->show();
    }
    // The user chooses Exit once the loop runs.
    QTimer::singleShot(0, [this] {
      steps.push_back("exit command");
      if (m_pMainWnd != nullptr) m_pMainWnd->ExecuteCommand(ID_APP_EXIT);
    });
    return TRUE;
  }
  int ExitInstance() override {
    steps.push_back(m_pMainWnd == nullptr ? "exit, no window" : "exit, window");
    m_second.reset();
    return CWinApp::ExitInstance();
  }

  std::vector<std::string> steps;
  bool guiDuringInit = false;

 private:
  Start m_start;
  std::unique_ptr<QWidget> m_second;
};

TEST(ApplicationLife, StartRunAndExitInOrderWithTheCommandLine) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  struct Case {
    LifeApp::Start start;
    std::vector<const char*> argv;
    int code;
    std::vector<std::string> steps;
    const char* commandLine;
    size_t words;
  };
  const Case cases[] = {
      {LifeApp::Start::OpenAndClose, {"quelt"}, 0, {"init", "exit command", "exit, no window"}, "", 0},
      {LifeApp::Start::OpenAndClose,
       {"quelt", "S1", "edit", "Lines", "Setup"},
       0,
       {"init", "exit command", "exit, no window"},
       "S1 edit Lines Setup",
       4},
      // Another window open: the program still ends with its main window.
      {LifeApp::Start::OpenWithSecondWindow, {"quelt"}, 0, {"init", "exit command", "exit, no window"}, "", 0},
      // Qt's own options are not the program's.
      {LifeApp::Start::OpenNothing, {"quelt", "-reverse", "S1", "new", "Setup"}, 0, {"init", "exit, no window"},
       "S1 new Setup", 3},
      {LifeApp::Start::Refuse, {"quelt", "S1", "open"}, 1, {"init", "exit, no window"}, "S1 open", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    ASSERT_EQ(QApplication::instance(), nullptr);
    ScriptedModalHost host;
    ScopedModalHost scoped(&host);
    LifeApp app(c.start);
    EXPECT_EQ(TheApp(), &app);
    std::vector<std::string> storage(c.argv.begin(), c.argv.end());
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    EXPECT_EQ(app.Main(static_cast<int>(c.argv.size()), argv.data()), c.code);
    EXPECT_EQ(app.steps, c.steps);
    EXPECT_TRUE(app.guiDuringInit);
    EXPECT_EQ(app.m_lpCmdLine, CString(c.commandLine));
    EXPECT_EQ(app.m_arguments.size(), c.words);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(QApplication::instance(), nullptr) << "Qt is gone when Main returns";
    EXPECT_TRUE(host.Messages().empty());
  }
}

}  // namespace
