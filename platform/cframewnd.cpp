#include "platform/cframewnd.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "platform/accesstree.h"
#include "platform/ccontrolbar.h"
#include "platform/cdoctemplate.h"
#include "platform/cdocument.h"
#include "platform/cview.h"
#include "platform/cwinapp.h"
#include "platform/progresscall.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"
#include "platform/vkeys.h"

// ---- The window ------------------------------------------------------------

class CFrameWnd::FrameWindow : public QMainWindow {
 public:
  explicit FrameWindow(CFrameWnd* frame) : m_frame(frame) {
    m_idle.setSingleShot(true);
    m_idle.setInterval(0);
    QObject::connect(&m_idle, &QTimer::timeout, this, [this] {
      if (m_frame != nullptr) m_frame->OnIdleUpdateCmdUI();
    });
    m_closeLater.setInterval(kCloseRetryMs);
    QObject::connect(&m_closeLater, &QTimer::timeout, this, [this] {
      if (m_frame == nullptr) return m_closeLater.stop();
      if (CloseMustWait()) return;
      m_closeLater.stop();
      close();
    });
    qApp->installEventFilter(this);
    if (QClipboard* clipboard = QGuiApplication::clipboard())
      QObject::connect(clipboard, &QClipboard::dataChanged, this, [this] { RequestIdle(); });
  }
  ~FrameWindow() override { qApp->removeEventFilter(this); }

  void Forget() {
    m_frame = nullptr;
    m_idle.stop();
    m_closeLater.stop();
  }
  bool Busy() const { return m_depth > 0; }
  void RequestIdle() {
    if (m_frame != nullptr && !m_idle.isActive()) m_idle.start();
  }

 protected:
  bool event(QEvent* e) override {
    // Deleting itself: nothing to count after.
    if (e->type() == QEvent::DeferredDelete) return QMainWindow::event(e);
    ++m_depth;
    const bool result = QMainWindow::event(e);
    --m_depth;
    return result;
  }
  void closeEvent(QCloseEvent* e) override {
    if (m_frame == nullptr) {
      e->accept();
      return;
    }
    // A close that arrives while a server request waits (it has the frame,
    // its document and view beneath it on the stack) is carried out once
    // the request and whatever it shows next have ended.
    if (ProgressCallRunner().IsWaiting()) {
      e->ignore();
      if (!m_closeLater.isActive()) m_closeLater.start();
      return;
    }
    m_frame->OnClose();
    // The frame is gone exactly when it agreed to close.
    if (m_frame == nullptr)
      e->accept();
    else
      e->ignore();
  }
  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::FocusIn:
      case QEvent::WindowActivate:
      case QEvent::Shortcut:
        RequestIdle();
        break;
      default:
        break;
    }
    return QMainWindow::eventFilter(watched, e);
  }

 private:
  static constexpr int kCloseRetryMs = 50;
  // Whether a deferred close must wait still: a request waits, a command
  // runs, or a modal window (a message about the request) is up.
  static bool CloseMustWait() {
    return ProgressCallRunner().IsWaiting() || CCommandSet::Executing() || QApplication::activeModalWidget() != nullptr;
  }

  CFrameWnd* m_frame;
  QTimer m_idle;
  QTimer m_closeLater;  // runs while a close waits for a request to end
  int m_depth = 0;
};

// ---- CFrameWnd -------------------------------------------------------------

CFrameWnd::CFrameWnd() {
  AddCommand(ID_VIEW_TOOLBAR, [this] {
    const auto it = m_bars.find(AFX_IDW_TOOLBAR);
    if (it != m_bars.end()) ShowControlBar(it->second, !it->second->IsWindowVisible());
  });
  AddCommandUpdate(ID_VIEW_TOOLBAR, [this](CCmdUI* ui) {
    const auto it = m_bars.find(AFX_IDW_TOOLBAR);
    ui->Enable(it != m_bars.end());
    ui->SetCheck(it != m_bars.end() && it->second->IsWindowVisible());
  });
  AddCommand(ID_VIEW_STATUS_BAR, [this] {
    const auto it = m_bars.find(AFX_IDW_STATUS_BAR);
    if (it != m_bars.end()) ShowControlBar(it->second, !it->second->IsWindowVisible());
  });
  AddCommandUpdate(ID_VIEW_STATUS_BAR, [this](CCmdUI* ui) {
    const auto it = m_bars.find(AFX_IDW_STATUS_BAR);
    ui->Enable(it != m_bars.end());
    ui->SetCheck(it != m_bars.end() && it->second->IsWindowVisible());
  });
  const struct {
    UINT id;
    UINT key;
  } indicators[] = {{ID_INDICATOR_CAPS, VK_CAPITAL}, {ID_INDICATOR_NUM, VK_NUMLOCK}, {ID_INDICATOR_SCRL, VK_SCROLL}};
  for (const auto& indicator : indicators) {
    const UINT key = indicator.key;
    AddCommandUpdate(indicator.id, [key](CCmdUI* ui) { ui->Enable((GetKeyState(key) & 1) != 0); });
  }
}

CFrameWnd::~CFrameWnd() {
  CWinApp* app = TheApp();
  const bool wasMain = app != nullptr && app->m_pMainWnd == this;
  if (wasMain) app->m_pMainWnd = nullptr;

  // The views go first; a document whose last view went goes with them.
  std::vector<CDocument*> documents;
  for (const std::unique_ptr<CView>& view : m_views)
    if (CDocument* doc = view->GetDocument()) documents.push_back(doc);
  m_pActiveView = nullptr;
  m_views.clear();
  for (size_t i = 0; i < documents.size(); ++i) {
    CDocument* doc = documents[i];
    if (std::find(documents.begin(), documents.begin() + static_cast<long>(i), doc) != documents.begin() + static_cast<long>(i))
      continue;  // seen already
    if (doc->GetViews().empty() && doc->m_bAutoDelete) delete doc;
  }

  // Bars that outlive the frame must not call back into it.
  for (const auto& bar : m_bars) {
    if (auto* tool = dynamic_cast<CToolBar*>(bar.second)) tool->m_frame = nullptr;
    if (auto* status = dynamic_cast<CStatusBar*>(bar.second)) status->m_frame = nullptr;
    bar.second->Attach(nullptr);
  }
  m_bars.clear();
  m_pStatusBar = nullptr;
  if (m_window != nullptr) {
    m_window->Forget();
    FrameWindow* window = m_window;
    m_window = nullptr;
    Attach(nullptr);
    if (window->Busy() || CCommandSet::Executing()) {
      window->hide();
      window->deleteLater();
    } else {
      delete window;
    }
  }
  if (wasMain) QCoreApplication::quit();
}

QMainWindow* CFrameWnd::Window() const { return m_window; }

void CFrameWnd::DestroyWindow() { delete this; }

BOOL CFrameWnd::LoadFrame(UINT resourceId, CCreateContext* context) {
  if (m_window != nullptr) return FALSE;
  m_window = new FrameWindow(this);
  Attach(m_window);
  // A first size that suits a tree view, within the screen.
  QSize size(860, 640);
  if (const QScreen* screen = m_window->screen()) size = size.boundedTo(screen->availableSize());
  m_window->resize(size);
  // The caption's name part: the document string's first line.
  const CString docString = LoadStringById(resourceId);
  const int end = docString.Find('\n');
  m_strTitle = end >= 0 ? docString.Left(end) : docString;
  if (m_strTitle.IsEmpty() && TheApp() != nullptr) m_strTitle = TheApp()->m_pszAppName;
  const QString icon = QStringLiteral(":/bitmaps/%1.bmp").arg(resourceId);
  if (QFile::exists(icon)) m_window->setWindowIcon(QIcon(icon));

  m_commands = new CCommandSet(m_window, [this](UINT id, CCmdUI* ui) { return OnCmdMsg(id, ui); });
  if (!m_commands->LoadMenu(m_window->menuBar(), resourceId) || !m_commands->LoadAccelerators(resourceId)) return FALSE;

  m_pCreateContext = context;
  const int created = OnCreate();
  m_pCreateContext = nullptr;
  if (created == -1) return FALSE;
  OnUpdateFrameTitle(TRUE);
  OnIdleUpdateCmdUI();
  return TRUE;
}

int CFrameWnd::OnCreate() { return OnCreateClient(m_pCreateContext) ? 0 : -1; }

BOOL CFrameWnd::OnCreateClient(CCreateContext* context) {
  if (context == nullptr || !context->m_pNewViewClass) return TRUE;  // a frame without a view
  CView* view = context->m_pNewViewClass();
  if (view == nullptr) return FALSE;
  m_views.emplace_back(view);
  view->m_pFrame = this;
  if (context->m_pCurrentDoc != nullptr) context->m_pCurrentDoc->AddView(view);
  if (!view->Create(m_window)) return FALSE;
  m_window->setCentralWidget(view->Widget());
  SetActiveView(view);
  return TRUE;
}

void CFrameWnd::InitialUpdateFrame(CDocument* doc, BOOL makeVisible) {
  (void)doc;
  if (m_pActiveView == nullptr && !m_views.empty()) SetActiveView(m_views.front().get());
  for (const std::unique_ptr<CView>& view : m_views) view->OnInitialUpdate();
  OnUpdateFrameTitle(TRUE);
  if (makeVisible && m_window != nullptr) {
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (m_pActiveView != nullptr && m_pActiveView->Widget() != nullptr)
      m_pActiveView->Widget()->setFocus(Qt::OtherFocusReason);
  }
  OnIdleUpdateCmdUI();
}

void CFrameWnd::OnUpdateFrameTitle(BOOL addToTitle) {
  if (m_window == nullptr) return;
  CString caption = m_strTitle;
  const CDocument* doc = GetActiveDocument();
  if (addToTitle && doc != nullptr && !doc->GetTitle().IsEmpty()) caption = doc->GetTitle() + " - " + m_strTitle;
  // "[*]" in a caption is Qt's modified-mark placeholder; doubled it shows as is.
  QString text = ToQString(caption);
  text.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
  m_window->setWindowTitle(text);
}

void CFrameWnd::SetTitle(const char* title) {
  m_strTitle = title != nullptr ? title : "";
  OnUpdateFrameTitle(TRUE);
}

void CFrameWnd::SetActiveView(CView* view) { m_pActiveView = view; }

CDocument* CFrameWnd::GetActiveDocument() const {
  return m_pActiveView != nullptr ? m_pActiveView->GetDocument() : nullptr;
}

BOOL CFrameWnd::OnCmdMsg(UINT id, CCmdUI* ui) {
  if (m_pActiveView != nullptr && m_pActiveView->OnCmdMsg(id, ui)) return TRUE;
  if (CCmdTarget::OnCmdMsg(id, ui)) return TRUE;
  CWinApp* app = TheApp();
  return app != nullptr && app->OnCmdMsg(id, ui);
}

BOOL CFrameWnd::ExecuteCommand(UINT id, BOOL onlyWhenEnabled) {
  if (m_commands == nullptr) return FALSE;
  // The command may end this frame; its window lives on until later, and
  // knows when its frame has gone.
  const QPointer<FrameWindow> window = m_window;
  const BOOL ran = onlyWhenEnabled ? m_commands->Execute(id) : m_commands->Route(id);
  if (window) window->RequestIdle();
  return ran;
}

bool CFrameWnd::IsAcceleratorKey(int keyCombination) const {
  return m_commands != nullptr && m_commands->IsAccelerator(keyCombination);
}

QAction* CFrameWnd::GetCommandAction(UINT id) { return m_commands != nullptr ? m_commands->Action(id) : nullptr; }

void CFrameWnd::SetMenuList(UINT beforeId, UINT firstId, int count, const std::vector<CString>& texts) {
  QAction* before = GetCommandAction(beforeId);
  if (before == nullptr) return;
  QMenu* menu = nullptr;
  for (QObject* object : before->associatedObjects())
    if ((menu = qobject_cast<QMenu*>(object)) != nullptr) break;
  if (menu == nullptr) return;
  // The separator is found again by its name on the next call.
  const QString separatorName = QStringLiteral("menu_list_separator_%1").arg(firstId);
  QAction* separator = menu->findChild<QAction*>(separatorName);
  if (separator == nullptr) {
    separator = new QAction(menu);
    separator->setObjectName(separatorName);
    separator->setSeparator(true);
    menu->insertAction(before, separator);
  }
  bool anyShown = false;
  for (int i = 0; i < count; ++i) {
    QAction* action = GetCommandAction(firstId + static_cast<UINT>(i));
    if (action == nullptr) continue;
    if (!menu->actions().contains(action)) menu->insertAction(separator, action);
    const bool used = static_cast<size_t>(i) < texts.size();
    action->setVisible(used);
    if (used) action->setText(ToQString(texts[static_cast<size_t>(i)]));
    anyShown = anyShown || used;
  }
  separator->setVisible(anyShown);
}

void CFrameWnd::OnIdleUpdateCmdUI() {
  if (m_commands != nullptr) m_commands->Update();
  UpdateStatusPanes();
}

void CFrameWnd::RequestIdleUpdate() {
  if (m_window != nullptr) m_window->RequestIdle();
}

void CFrameWnd::UpdateStatusPanes() {
  if (m_pStatusBar == nullptr) return;
  for (int i = 1; i < m_pStatusBar->GetCount(); ++i) {
    CCmdUI ui(m_pStatusBar->GetItemID(i));
    if (!OnCmdMsg(ui.m_nID, &ui)) {
      m_pStatusBar->SetIndicatorOn(i, false);
      continue;
    }
    if (ui.m_bEnableChanged) m_pStatusBar->SetIndicatorOn(i, ui.m_bEnabled);
    if (ui.m_bTextChanged) m_pStatusBar->SetPaneText(i, ui.m_strText);
  }
}

void CFrameWnd::SetMessageText(const char* text) {
  if (m_pStatusBar != nullptr) m_pStatusBar->SetPaneText(0, text);
}

void CFrameWnd::SetMessageText(UINT stringId) { SetMessageText(LoadStringById(stringId)); }

void CFrameWnd::AnnounceMessageText(const char* text) {
  if (m_pStatusBar == nullptr || m_pStatusBar->GetCount() == 0) return;
  const CString shown = text != nullptr && *text != '\0' ? CString(text) : LoadStringById(AFX_IDS_IDLEMESSAGE);
  if (m_pStatusBar->GetPaneText(0) == shown) return;
  m_pStatusBar->SetPaneText(0, shown);
  NotifyAccessibleNameChanged(m_pStatusBar->m_panes[0]);
}

void CFrameWnd::EnableDocking(DWORD alignment) {
  if (m_window == nullptr) return;
  // Toolbars dock where their own EnableDocking allows; a frame that allows
  // no side keeps them where they are.
  if ((alignment & CBRS_ALIGN_ANY) == 0)
    for (QToolBar* bar : m_window->findChildren<QToolBar*>()) bar->setMovable(false);
}

void CFrameWnd::DockControlBar(CToolBar* bar) {
  if (m_window == nullptr || bar == nullptr || bar->ToolBar() == nullptr) return;
  if (m_window->toolBarArea(bar->ToolBar()) == Qt::NoToolBarArea) m_window->addToolBar(Qt::TopToolBarArea, bar->ToolBar());
}

void CFrameWnd::ShowControlBar(CWnd* bar, BOOL show) {
  if (bar != nullptr) bar->ShowWindow(show ? SW_SHOW : SW_HIDE);
  RequestIdleUpdate();
}

void CFrameWnd::OnClose() {
  CDocument* doc = GetActiveDocument();
  if (doc != nullptr && !doc->CanCloseFrame(this)) return;
  DestroyWindow();
}

void CFrameWnd::AddBar(UINT id, CWnd* bar) {
  m_bars[id] = bar;
  if (auto* status = dynamic_cast<CStatusBar*>(bar)) m_pStatusBar = status;
}

void CFrameWnd::RemoveBar(CWnd* bar) {
  for (auto it = m_bars.begin(); it != m_bars.end();)
    it = it->second == bar ? m_bars.erase(it) : std::next(it);
  if (m_pStatusBar == bar) m_pStatusBar = nullptr;
}
