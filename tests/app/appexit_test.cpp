// The editor's whole run on its real application object, with the
// QApplication that Main makes and removes (this program has none of its
// own): whatever windows the user opened, Exit ends the program cleanly and
// every one of them is gone before Qt is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/helpwnd.h"
#include "app/quelt.h"
#include "platform/cframewnd.h"
#include "platform/scriptedmodalhost.h"
#include "tests/support/registry.h"
#include "tests/support/containers.h"
#include "tests/support/tempdir.h"

namespace {

// The editor, with the user's commands run once its loop has started and
// the windows still there when it has finished noted down.
class ScriptedQueltApp : public CQueltApp {
 public:
  BOOL InitInstance() override {
    if (!CQueltApp::InitInstance()) return FALSE;
    QTimer::singleShot(0, [this] {
      if (m_pMainWnd == nullptr) return;
      for (const UINT id : commands) {
        if (m_pMainWnd != nullptr) m_pMainWnd->ExecuteCommand(id);
        // The help window is open now whichever help command ran last.
        if (id == ID_HELP_CONTENTS) helpShown = HelpWindow() != nullptr && HelpWindow()->isVisible();
      }
      if (m_pMainWnd != nullptr) m_pMainWnd->ExecuteCommand(ID_APP_EXIT);
    });
    return TRUE;
  }
  int ExitInstance() override {
    const int code = CQueltApp::ExitInstance();
    // Windows deleted late are gone once their deferred deletes have run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->parentWidget() == nullptr) leftOver.push_back(w->metaObject()->className());
    return code;
  }

  std::vector<UINT> commands;
  bool helpShown = false;
  std::vector<std::string> leftOver;  // parentless windows after ExitInstance
};

TEST(EditorExit, EveryWindowIsGoneBeforeQtAndTheProgramEndsWithZero) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testsupport::TempDir dir;
  testsupport::TempRegistry registry;
  registry.Install(testsupport::EmbeddedDefaultServer(dir));

  struct Case {
    const char* what;
    std::vector<UINT> commands;
    size_t dialogs;  // modal dialogs the commands open (each closed unscripted)
  };
  const Case cases[] = {
      {"help (F1), then Exit", {ID_HELP_CONTENTS}, 0},
      {"every help page", {ID_HELP_SEARCHFORHELPON, ID_HELP_HOWTOUSEHELP, ID_HELP_CONTENTS}, 0},
      {"help among every other window",
       {ID_HELP_CONTENTS, ID_APP_ABOUT, ID_EDIT_FIND, ID_VIEW_ZOOM, ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT,
        ID_FILE_PRINT_SETUP, ID_PROFILE_HISTORY, ID_FILE_SAVE_AS, ID_FILE_OPEN},
       9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(QApplication::instance(), nullptr);
    ScriptedModalHost host;
    ScopedModalHost scope(&host);
    auto app = std::make_unique<ScriptedQueltApp>();
    {
      testsupport::Kvs lines;
      CTkvs_PutInt(lines, 0x7001, 42, nullptr);
      // Added by the first case, replaced by the others.
      if (!app->m_session.SaveProfile("Default_Server", "Setup", "Lines", lines, 0)) {
        ASSERT_TRUE(app->m_session.SaveProfile("Default_Server", "Setup", "Lines", lines, 1));
      }
    }
    app->commands = c.commands;
    std::vector<std::string> words = {"quelt", "Default_Server", "edit", "Lines", "Setup"};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    EXPECT_EQ(app->Main(static_cast<int>(words.size()), argv.data()), 0);
    EXPECT_EQ(QApplication::instance(), nullptr);
    EXPECT_EQ(app->helpShown, true);
    EXPECT_EQ(host.Dialogs().size(), c.dialogs);
    EXPECT_TRUE(app->leftOver.empty()) << app->leftOver.front();
    // The application object outlives Qt, as the program's global one does.
    app.reset();
  }
}

}  // namespace
