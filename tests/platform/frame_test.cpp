#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>

#include "platform/cwinapp.h"
#include "platform/scriptedmodalhost.h"
#include "platform/vkeys.h"
#include "tests/platform/appfixture.h"

using namespace apptest;

namespace {

class SampleApp : public CWinApp {
 public:
  SampleApp() : CWinApp("Quelt") {
    AddCommand(kNew, [this] { ++news; });
  }
  int news = 0;
};

// One application with its template, document, frame and view, shown.
class FrameTest : public ::testing::Test {
 public:
  void SetUp() override {
    RegisterSampleResources();
    app = std::make_unique<SampleApp>();
    auto* docTemplate = new CSingleDocTemplate(kResource, &CreateObject<SampleDoc>, &CreateObject<SampleFrame>,
                                               &CreateObject<SampleView>);
    app->AddDocTemplate(docTemplate);
    doc = static_cast<SampleDoc*>(docTemplate->OpenDocumentFile(nullptr));
    ASSERT_NE(doc, nullptr);
    frame = static_cast<SampleFrame*>(app->m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    view = static_cast<SampleView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    frame->Window()->resize(640, 420);
    QApplication::setActiveWindow(frame->Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame->Window()));
    view->ScrollArea()->setFocus();
    QApplication::processEvents();
  }
  void TearDown() override { app.reset(); }

  QAction* Action(UINT id) { return frame->Commands()->Find(id); }
  QMenu* TopMenu(const QString& title) {
    for (QAction* a : frame->Window()->menuBar()->actions())
      if (a->text() == title) return a->menu();
    return nullptr;
  }

  std::unique_ptr<SampleApp> app;
  SampleDoc* doc = nullptr;
  SampleFrame* frame = nullptr;
  SampleView* view = nullptr;
};

TEST_F(FrameTest, CommandsRunWhereTheyAreHandledAndOnlyWhenEnabled) {
  struct Case {
    const char* what;
    UINT id;
    std::function<void(FrameTest&, bool)> allow;  // sets the enable state
    std::function<int(FrameTest&)> runs;
    bool expectEnabled;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  const Case cases[] = {
      {"view, enabled", kProperties, [](FrameTest& t, bool on) { t.view->canEdit = on; },
       [](FrameTest& t) { return t.view->properties; }, true, Qt::Key_Return, Qt::AltModifier},
      {"view, disabled", kProperties, [](FrameTest& t, bool on) { t.view->canEdit = !on; },
       [](FrameTest& t) { return t.view->properties; }, false, Qt::Key_Return, Qt::AltModifier},
      {"view, no enable handler", kAddInteger, [](FrameTest&, bool) {}, [](FrameTest& t) { return t.view->adds; },
       true, Qt::Key_I, Qt::AltModifier},
      {"document", kStore, [](FrameTest&, bool) {}, [](FrameTest& t) { return t.doc->stores; }, true, Qt::Key_S,
       Qt::ControlModifier},
      {"frame, enabled", kCut, [](FrameTest& t, bool on) { t.frame->canCut = on; },
       [](FrameTest& t) { return t.frame->cuts; }, true, Qt::Key_Delete, Qt::ShiftModifier},
      {"frame, disabled", kCut, [](FrameTest& t, bool on) { t.frame->canCut = !on; },
       [](FrameTest& t) { return t.frame->cuts; }, false, Qt::Key_X, Qt::ControlModifier},
      {"application", kNew, [](FrameTest&, bool) {}, [](FrameTest& t) { return t.app->news; }, true, Qt::Key_N,
       Qt::ControlModifier},
      {"view, undo by Alt+Backspace", kUndo, [](FrameTest&, bool) {}, [](FrameTest& t) { return t.view->undos; },
       true, Qt::Key_Backspace, Qt::AltModifier},
      // No handler anywhere: nothing at all runs.
      {"nobody", kUnhandled, [](FrameTest&, bool) {},
       [](FrameTest& t) {
         return t.view->properties + t.view->adds + t.view->deletes + t.view->undos + t.doc->stores +
                t.frame->cuts + t.app->news;
       },
       false, Qt::Key_F12, Qt::ControlModifier},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.allow(*this, true);
    frame->OnIdleUpdateCmdUI();
    QAction* action = Action(c.id);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->isEnabled(), c.expectEnabled);

    // The accelerator, the menu's way (trigger) and ExecuteCommand.
    const int before = c.runs(*this);
    view->keys.clear();
    QTest::keyClick(view->ScrollArea(), c.key, c.modifiers);
    EXPECT_EQ(c.runs(*this) - before, c.expectEnabled ? 1 : 0) << "accelerator";
    EXPECT_TRUE(view->keys.empty()) << "a command's keys never reach the view, enabled or not";
    action->trigger();
    EXPECT_EQ(c.runs(*this) - before, c.expectEnabled ? 2 : 0) << "trigger";
    EXPECT_EQ(frame->ExecuteCommand(c.id), c.expectEnabled ? TRUE : FALSE);
    EXPECT_EQ(c.runs(*this) - before, c.expectEnabled ? 3 : 0) << "ExecuteCommand";
    c.allow(*this, false);
  }
}

TEST_F(FrameTest, OnlyKeysThatAreNoCommandsReachTheView) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    UINT expected;  // 0: the view sees nothing
  };
  const Case cases[] = {
      {Qt::Key_Return, Qt::NoModifier, VK_RETURN},  {Qt::Key_Return, Qt::AltModifier, 0},
      {Qt::Key_Delete, Qt::NoModifier, 0},          {Qt::Key_F5, Qt::NoModifier, VK_F1 + 4},
      {Qt::Key_F1, Qt::NoModifier, 0},              {Qt::Key_Z, Qt::AltModifier, 0},
      {Qt::Key_Home, Qt::ControlModifier, VK_HOME},
  };
  view->canDelete = false;
  view->canEdit = false;
  frame->OnIdleUpdateCmdUI();
  for (const Case& c : cases) {
    view->keys.clear();
    QTest::keyClick(view->ScrollArea(), c.key, c.modifiers);
    if (c.expected == 0) {
      EXPECT_TRUE(view->keys.empty()) << c.key;
    } else {
      ASSERT_EQ(view->keys.size(), 1u) << c.key;
      EXPECT_EQ(view->keys[0].key, c.expected);
    }
  }
  EXPECT_EQ(view->deletes + view->properties, 0);
}

TEST_F(FrameTest, PrintSetupRunsThroughTheModalHost) {
  ScriptedModalHost host;
  ScopedModalHost scoped(&host);
  EXPECT_TRUE(frame->ExecuteCommand(ID_FILE_PRINT_SETUP));
  ASSERT_EQ(host.Dialogs().size(), 1u);
  EXPECT_EQ(host.Dialogs()[0].result, IDCANCEL);
  EXPECT_NE(app->GetPrinter(), nullptr);
}

TEST_F(FrameTest, AStaleEnabledStateNeverRunsADisabledCommand) {
  view->canEdit = true;
  frame->OnIdleUpdateCmdUI();
  ASSERT_TRUE(Action(kProperties)->isEnabled());
  view->canEdit = false;  // no idle pass since
  Action(kProperties)->trigger();
  EXPECT_EQ(view->properties, 0);
  EXPECT_FALSE(Action(kProperties)->isEnabled());
}

TEST_F(FrameTest, EnableHandlersAreAskedWhenAMenuOpensAndOnIdleOnly) {
  QApplication::processEvents();
  view->canEdit = false;
  frame->OnIdleUpdateCmdUI();
  ASSERT_FALSE(Action(kProperties)->isEnabled());

  // Idle: after input, once the queue is empty; not again without input.
  view->canEdit = true;
  int asked = view->propertiesAsked;
  QTest::keyClick(view->ScrollArea(), Qt::Key_Down);
  QApplication::processEvents();
  EXPECT_GT(view->propertiesAsked, asked);
  EXPECT_TRUE(Action(kProperties)->isEnabled());
  asked = view->propertiesAsked;
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_EQ(view->propertiesAsked, asked) << "no polling without input";

  // A menu about to open asks for its items, before the menu shows.
  view->canEdit = false;
  QMenu* edit = TopMenu(QStringLiteral("&Edit"));
  ASSERT_NE(edit, nullptr);
  asked = view->propertiesAsked;
  edit->popup(frame->Window()->mapToGlobal(QPoint(10, 10)));
  EXPECT_GT(view->propertiesAsked, asked);
  EXPECT_FALSE(Action(kProperties)->isEnabled());
  edit->hide();
}

TEST_F(FrameTest, MenuCarriesTextsKeysPromptsAndTips) {
  struct Case {
    UINT id;
    const char* text;
    const char* shortcut;  // first key, portable text; "" for none
    const char* prompt;
    const char* tip;
  };
  const Case cases[] = {
      {kNew, "&New profile...\tCtrl+N", "Ctrl+N", "Create a new profile for a server", "New Profile"},
      {kProperties, "&Properties...\tAlt+Enter", "Alt+Return", "Edit the selected object", "Properties"},
      {kCut, "Cu&t\tCtrl+X", "Ctrl+X", "Cut the selected object to the Clipboard", "Cut"},
      {kDelete, "&Delete\tDel", "Del", "Delete the currently selected object", "Delete"},
      {kHelp, "&Contents...\tF1", "F1", "List the help topics", "Help Contents"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    QAction* a = Action(c.id);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(), QString::fromLatin1(c.text));
    EXPECT_EQ(a->shortcut().toString(QKeySequence::PortableText), QString::fromLatin1(c.shortcut));
    EXPECT_EQ(a->statusTip(), QString::fromLatin1(c.prompt));
    EXPECT_EQ(a->toolTip(), QString::fromLatin1(c.tip));
  }
  // Two keys for one command; keypad Enter counts as Enter.
  EXPECT_EQ(Action(kCut)->shortcuts().size(), 2);
  EXPECT_EQ(Action(kProperties)->shortcuts().size(), 2);
  // The submenu's title drops the trailing tab.
  QMenu* edit = TopMenu(QStringLiteral("&Edit"));
  ASSERT_NE(edit, nullptr);
  ASSERT_NE(edit->actions().value(0), nullptr);
  EXPECT_EQ(edit->actions().value(0)->text(), QStringLiteral("Create &Object"));
}

TEST_F(FrameTest, CaptionIsTheDocumentTitleThenTheApplicationName) {
  struct Case {
    const char* title;
    const char* caption;
  };
  const Case cases[] = {
      {"[Untitled, No_Class, Default_Server]", "[Untitled, No_Class, Default_Server] - Quelt"},
      {"[Lines, Setup, S1] *", "[Lines, Setup, S1] * - Quelt"},
      {"[a[*]b, c, d]", "[a[*]b, c, d] - Quelt"},  // not Qt's modified mark
      {"", "Quelt"},
  };
  for (const Case& c : cases) {
    doc->SetTitle(c.title);
    // What the window system shows.
    EXPECT_EQ(frame->Window()->windowHandle()->title(), QString::fromLatin1(c.caption)) << c.title;
  }
}

TEST_F(FrameTest, StatusBarShowsThePromptWhileHoveringAndReadyOtherwise) {
  QStatusBar* bar = frame->Window()->statusBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(0), CString("Ready"));
  EXPECT_TRUE(bar->currentMessage().isEmpty());

  QMenu* profile = TopMenu(QStringLiteral("&Profile"));
  ASSERT_NE(profile, nullptr);
  frame->Window()->menuBar()->setActiveAction(profile->menuAction());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(profile));
  // Moving onto the first item, as the arrow key does.
  QTest::keyClick(profile, Qt::Key_Down);
  ASSERT_EQ(profile->activeAction(), Action(kNew));
  QApplication::processEvents();
  EXPECT_EQ(bar->currentMessage(), QStringLiteral("Create a new profile for a server"));
  profile->hide();
  QApplication::processEvents();
  EXPECT_TRUE(bar->currentMessage().isEmpty());
  EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(0), CString("Ready"));

  // A toolbar button gives its prompt too.
  QWidget* button = frame->m_wndToolBar.ToolBar()->widgetForAction(Action(kPrint));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->statusTip(), QStringLiteral("Print the profile"));
  EXPECT_EQ(button->toolTip(), QStringLiteral("Print"));
}

TEST_F(FrameTest, ToolbarHasTenEntriesWithImagesAndBarsToggle) {
  QToolBar* bar = frame->m_wndToolBar.ToolBar();
  ASSERT_NE(bar, nullptr);
  const QList<QAction*> actions = bar->actions();
  ASSERT_EQ(actions.size(), 10);
  const bool haveBitmap = QFile::exists(QStringLiteral(":/bitmaps/162.bmp"));
  int images = 0;
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(actions[i]->isSeparator(), kButtons[i] == ID_SEPARATOR);
    if (kButtons[i] == ID_SEPARATOR) continue;
    EXPECT_EQ(actions[i]->data().toUInt(), kButtons[i]);
    const QImage image = frame->m_wndToolBar.ButtonImage(i);
    if (haveBitmap && images < 8) {
      ASSERT_FALSE(image.isNull());
      EXPECT_EQ(image.size(), QSize(24, 24));
      EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "grey background is transparent";
    }
    ++images;
  }
  // View > Toolbar and View > Status Bar hide and show, with the check mark.
  for (const UINT id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
    QWidget* widget = id == ID_VIEW_TOOLBAR ? static_cast<QWidget*>(bar) : frame->Window()->statusBar();
    frame->OnIdleUpdateCmdUI();
    EXPECT_TRUE(Action(id)->isChecked());
    ASSERT_TRUE(frame->ExecuteCommand(id));
    EXPECT_FALSE(widget->isVisible());
    frame->OnIdleUpdateCmdUI();
    EXPECT_FALSE(Action(id)->isChecked());
    frame->ExecuteCommand(id);
    EXPECT_TRUE(widget->isVisible());
  }
}

TEST_F(FrameTest, IndicatorsShowTheirTextOnlyWhileOn) {
  // The panes follow the lock keys (offscreen they read as off; on X the
  // server's indicators).
  frame->OnIdleUpdateCmdUI();
  const struct {
    UINT key;
    const char* text;
  } locks[] = {{VK_CAPITAL, "CAP"}, {VK_NUMLOCK, "NUM"}, {VK_SCROLL, "SCRL"}};
  for (int i = 1; i <= 3; ++i) {
    const bool on = (GetKeyState(locks[i - 1].key) & 1) != 0;
    EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(i), CString(on ? locks[i - 1].text : "")) << i;
  }
  frame->ForceIndicator(ID_INDICATOR_CAPS, true);
  frame->ForceIndicator(ID_INDICATOR_SCRL, true);
  frame->OnIdleUpdateCmdUI();
  EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(1), CString("CAP"));
  EXPECT_TRUE(frame->m_wndStatusBar.GetPaneText(2).IsEmpty());
  EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(3), CString("SCRL"));
}

TEST_F(FrameTest, ClosingAsksTheDocumentAndEndsFrameViewAndDocument) {
  const int destroyed = SampleDoc::Destroyed();
  doc->allowDiscard = false;
  frame->Window()->close();
  EXPECT_EQ(app->m_pMainWnd, frame) << "refused: the frame stays";
  EXPECT_TRUE(frame->Window()->isVisible());
  EXPECT_EQ(doc->saveModifiedCalls, 1);
  doc->allowDiscard = true;
  frame->ExecuteCommand(ID_APP_EXIT);
  EXPECT_EQ(app->m_pMainWnd, nullptr);
  EXPECT_EQ(SampleDoc::Destroyed(), destroyed + 1);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(FrameTest, Screenshot) {
  frame->Window()->resize(720, 360);
  view->SetScrollSizes(MM_TEXT, CSize(1400, 1200));
  view->onDraw = [](CDC* dc) {
    dc->FillSolidRect(CRect(0, 0, 1400, 1200), RGB(192, 192, 192));
    dc->TextOut(16, 16, "Sample view");
  };
  doc->SetTitle("[Untitled, No_Class, Default_Server]");
  frame->OnIdleUpdateCmdUI();
  QApplication::processEvents();
  const QPixmap shot = frame->Window()->grab();
  ASSERT_FALSE(shot.isNull());
  const QImage image = shot.toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(image.size(), QSize(720, 360) * shot.devicePixelRatio());
  // What the picture shows: the view's grey page with its text at the top
  // left of the view, and a menu bar and toolbar that are not blank.
  const qreal ratio = shot.devicePixelRatio();
  const QPoint viewAt = view->Viewport()->mapTo(frame->Window(), QPoint(0, 0)) * ratio;
  auto Inked = [&](const QRect& area, QRgb background) {
    int inked = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if ((image.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF)) ++inked;
    return inked;
  };
  ASSERT_GT(viewAt.y(), 0) << "the menu bar and toolbar are above the view";
  EXPECT_EQ(image.pixel(viewAt + QPoint(300, 150)) & 0xFFFFFF, 0xC0C0C0u) << "the view's background";
  EXPECT_GT(Inked(QRect(viewAt + QPoint(16, 0), QSize(int(100 * ratio), int(40 * ratio))), qRgb(192, 192, 192)), 20)
      << "the text drawn by the view";
  EXPECT_EQ(Inked(QRect(viewAt + QPoint(200, 100), QSize(int(200 * ratio), int(100 * ratio))), qRgb(192, 192, 192)), 0)
      << "nothing but background away from the text";
  const QRect bars(0, 0, image.width(), viewAt.y());
  EXPECT_GT(Inked(bars, image.pixel(image.width() - 1, 1)), 50) << "menu and toolbar texts and icons";
  QDir().mkpath(QStringLiteral(QUELT_TEST_BINARY_DIR));
  EXPECT_TRUE(shot.save(QStringLiteral(QUELT_TEST_BINARY_DIR "/frame.png")));
}

}  // namespace
