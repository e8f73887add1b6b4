#include "platform/cview.h"

#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "platform/accesstree.h"
#include "platform/cdocument.h"
#include "platform/cframewnd.h"
#include "platform/commandset.h"
#include "platform/cprintinfo.h"
#include "platform/cpreviewdialog.h"
#include "platform/cwinapp.h"
#include "platform/printloop.h"
#include "platform/gdiobjects.h"
#include "platform/qtdc.h"
#include "platform/syscolor.h"
#include "platform/vkeys.h"

// ---- CView -------------------------------------------------------------

CView::CView() = default;

CView::~CView() {
  if (m_pDocument != nullptr) m_pDocument->RemoveView(this);
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void CView::OnUpdate(CView* /*sender*/, long /*hint*/, void* /*hintObject*/) { Invalidate(TRUE); }

void CView::OnPrepareDC(CDC* /*dc*/) {}

BOOL CView::OnCmdMsg(UINT id, CCmdUI* ui) {
  if (CCmdTarget::OnCmdMsg(id, ui)) return TRUE;
  return m_pDocument != nullptr && m_pDocument->OnCmdMsg(id, ui);
}

// ---- Printing ----------------------------------------------------------

BOOL CView::OnPreparePrinting(CPrintInfo* info) { return DoPreparePrinting(info); }

void CView::OnBeginPrinting(CDC* /*dc*/, CPrintInfo* /*info*/) {}

void CView::OnPrint(CDC* dc, CPrintInfo* /*info*/) { OnDraw(dc); }

void CView::OnEndPrinting(CDC* /*dc*/, CPrintInfo* /*info*/) {}

BOOL CView::DoPreparePrinting(CPrintInfo* info) {
  if (info == nullptr) return FALSE;
  if (info->m_bPreview || info->m_bDirect) return TRUE;
  QPrinter* printer = info->m_pPrinter;
  if (printer == nullptr && TheApp() != nullptr) printer = TheApp()->GetPrinter();
  if (printer == nullptr) return FALSE;
  return RunPrintDialog(*printer, *info, Widget());
}

void CView::OnFilePrint() {
  QPrinter* printer = TheApp() != nullptr ? TheApp()->GetPrinter() : nullptr;
  if (printer == nullptr) return;
  CPrintInfo info;
  info.m_pPrinter = printer;
  if (!OnPreparePrinting(&info)) return;
  PrintOnPrinter(*this, *printer, info, Widget());
}

void CView::OnFilePrintPreview() {
  QPrinter* printer = TheApp() != nullptr ? TheApp()->GetPrinter() : nullptr;
  if (printer == nullptr) return;
  CPrintInfo info;
  info.m_bPreview = TRUE;
  info.m_pPrinter = printer;
  if (!OnPreparePrinting(&info)) return;
  // "Print..." in the preview closes it and prints, as the Print command.
  if (RunPrintPreview(*this, *printer, info, Widget()) == CPreviewDialog::kPrintResult) OnFilePrint();
}

BOOL CView::PrintDirect(QPrinter& printer) {
  CPrintInfo info;
  info.m_bDirect = TRUE;
  info.m_pPrinter = &printer;
  if (!OnPreparePrinting(&info)) return FALSE;
  return PrintOnPrinter(*this, printer, info, Widget());
}

// ---- The scroll area ---------------------------------------------------

class CScrollView::Area : public QAbstractScrollArea {
 public:
  explicit Area(CScrollView* view, QWidget* parent) : QAbstractScrollArea(parent), m_view(view) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::NoFrame);
  }
  void Forget() { m_view = nullptr; }
  CScrollView* View() const { return m_view; }

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (m_view != nullptr) m_view->Paint(event->region());
  }
  void resizeEvent(QResizeEvent* event) override {
    QAbstractScrollArea::resizeEvent(event);
    if (m_view == nullptr || m_view->m_inPaint) return;
    m_view->ApplyScrollSizes();
    // The client area changes also when a scroll bar comes or goes.
    const QSize client = viewport()->size();
    if (client == m_client) return;
    m_client = client;
    m_view->OnSize(0, client.width(), client.height());
  }
  void scrollContentsBy(int dx, int dy) override { viewport()->scroll(dx, dy); }

  // Hands a press, release or double click of the left or right button to
  // the view's handler for that button.
  using ButtonHandler = void (CScrollView::*)(UINT, CPoint);
  void Button(QMouseEvent* event, ButtonHandler left, ButtonHandler right) {
    if (m_view == nullptr) return;
    const CPoint p = Point(event);
    const UINT flags = MouseKeyFlags(event->buttons(), event->modifiers());
    if (event->button() == Qt::LeftButton) (m_view->*left)(flags, p);
    if (event->button() == Qt::RightButton) (m_view->*right)(flags, p);
  }
  void mousePressEvent(QMouseEvent* event) override {
    Button(event, &CScrollView::OnLButtonDown, &CScrollView::OnRButtonDown);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    Button(event, &CScrollView::OnLButtonUp, &CScrollView::OnRButtonUp);
  }
  // A second right click is one more right click.
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    Button(event, &CScrollView::OnLButtonDblClk, &CScrollView::OnRButtonDown);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (m_view != nullptr) m_view->OnMouseMove(MouseKeyFlags(event->buttons(), event->modifiers()), Point(event));
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    if (m_view == nullptr) return;
    // Right clicks reach OnRButtonDown already; this is the keyboard's way.
    if (event->reason() == QContextMenuEvent::Mouse) {
      const QPoint g = event->globalPos();
      m_view->OnContextMenu(m_view, CPoint(g.x(), g.y()));
    } else {
      m_view->OnContextMenu(m_view, CPoint(-1, -1));
    }
  }
  void keyPressEvent(QKeyEvent* event) override {
    // Taken here, whatever the view does with it: the scroll area's own key
    // handling must never scroll as well.
    event->accept();
    if (m_view == nullptr) return;
    // A command's keys belong to the command even while it is disabled, and
    // Alt combinations are the menus' (never plain key presses).
    CFrameWnd* frame = m_view->GetParentFrame();
    const int combination = event->keyCombination().toCombined();
    if (frame != nullptr && frame->IsAcceleratorKey(combination)) {
      // The desktop platforms' key maps leave the keypad out when Qt matches
      // shortcuts, so a keypad accelerator ("Num *") arrives here as a key
      // press: it runs its command as the shortcut would have (if enabled).
      if (event->modifiers().testFlag(Qt::KeypadModifier) && frame->Commands() != nullptr)
        frame->ExecuteCommand(frame->Commands()->AcceleratorCommand(combination));
      return;
    }
    if (event->modifiers().testFlag(Qt::AltModifier)) return;
    const UINT key = VirtualKeyFromQt(event->key(), event->modifiers());
    if (key != 0) m_view->OnKeyDown(key, 1, event->isAutoRepeat() ? 0x4000u : 0u);
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (m_view == nullptr) return;
    const UINT key = VirtualKeyFromQt(event->key(), event->modifiers());
    if (key != 0) m_view->OnKeyUp(key, 1, 0xC000u);
    event->accept();
  }

 private:
  static CPoint Point(const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    return CPoint(p.x(), p.y());
  }
  CScrollView* m_view;
  QSize m_client;  // the client area last told to the view
};

// ---- CScrollView -------------------------------------------------------

CScrollView::CScrollView() = default;

CScrollView::~CScrollView() {
  if (m_area != nullptr) {
    m_area->Forget();
    // The frame deletes its central widget with itself; a view without a
    // frame deletes its own.
    if (m_area->parent() == nullptr) delete m_area;
    else m_area->deleteLater();
    m_area = nullptr;
  }
  Attach(nullptr);
}

BOOL CScrollView::Create(QWidget* parent) {
  if (m_area != nullptr) return FALSE;
  m_area = new Area(this, parent);
  Attach(m_area);
  ApplyScrollSizes();
  return TRUE;
}

QWidget* CScrollView::ScrollArea() const { return m_area; }

CScrollView* CScrollView::FromWidget(const QWidget* widget) {
  const Area* area = dynamic_cast<const Area*>(widget);
  return area != nullptr ? area->View() : nullptr;
}

void CScrollView::SetAccessibleTree(std::unique_ptr<CAccessibleTree> tree) {
  m_pAccessibleTree = std::move(tree);
  InstallAccessibleTreeFactory();
}

void CScrollView::NotifyAccessibleFocus() {
  if (m_area != nullptr && m_pAccessibleTree) NotifyAccessibleTreeFocus(m_area);
}

void CScrollView::OnInitialUpdate() {
  CView::OnInitialUpdate();
  NotifyAccessibleFocus();
}

QWidget* CScrollView::Viewport() const { return m_area != nullptr ? m_area->viewport() : nullptr; }

void CScrollView::SetScrollSizes(int mapMode, CSize total, const CSize& page, const CSize& line) {
  (void)mapMode;  // only device pixels are used
  m_totalSize = CSize(std::max(0, total.cx), std::max(0, total.cy));
  m_pageSize = page;
  m_lineSize = line;
  if (m_pageSize.cx <= 0) m_pageSize.cx = m_totalSize.cx / 10;
  if (m_pageSize.cy <= 0) m_pageSize.cy = m_totalSize.cy / 10;
  if (m_lineSize.cx <= 0) m_lineSize.cx = m_pageSize.cx / 10;
  if (m_lineSize.cy <= 0) m_lineSize.cy = m_pageSize.cy / 10;
  if (m_inPaint) {
    // Changing the ranges now would scroll and repaint inside this paint.
    if (!m_sizesPending && m_area != nullptr) {
      m_sizesPending = true;
      QTimer::singleShot(0, m_area, [this] {
        m_sizesPending = false;
        ApplyScrollSizes();
      });
    }
    return;
  }
  ApplyScrollSizes();
}

void CScrollView::ApplyScrollSizes() {
  if (m_area == nullptr) return;
  QScrollBar* h = m_area->horizontalScrollBar();
  QScrollBar* v = m_area->verticalScrollBar();
  const QSize client = m_area->viewport()->size();
  h->setRange(0, std::max(0, m_totalSize.cx - client.width()));
  v->setRange(0, std::max(0, m_totalSize.cy - client.height()));
  h->setPageStep(std::max(1, std::min(m_pageSize.cx, client.width())));
  v->setPageStep(std::max(1, std::min(m_pageSize.cy, client.height())));
  h->setSingleStep(std::max(1, m_lineSize.cx));
  v->setSingleStep(std::max(1, m_lineSize.cy));
}

CPoint CScrollView::GetScrollPosition() const {
  if (m_area == nullptr) return CPoint(0, 0);
  if (m_positionPending) return m_pendingPosition;
  return CPoint(m_area->horizontalScrollBar()->value(), m_area->verticalScrollBar()->value());
}

void CScrollView::ScrollToPosition(CPoint point) {
  if (m_area == nullptr) return;
  if (m_inPaint) {
    m_pendingPosition = point;
    if (!m_positionPending) {
      m_positionPending = true;
      QTimer::singleShot(0, m_area, [this] {
        m_positionPending = false;
        ScrollToPosition(m_pendingPosition);
      });
    }
    return;
  }
  // The scroll bars keep the position within their ranges.
  m_area->horizontalScrollBar()->setValue(point.x);
  m_area->verticalScrollBar()->setValue(point.y);
}

void CScrollView::InvalidateRect(const CRect* rect, BOOL /*erase*/) {
  if (m_area == nullptr) return;
  if (rect == nullptr)
    m_area->viewport()->update();
  else
    m_area->viewport()->update(QRect(rect->left, rect->top, rect->Width(), rect->Height()));
}

void CScrollView::ClientToScreen(CPoint* point) const {
  if (point == nullptr || m_area == nullptr) return;
  const QPoint g = m_area->viewport()->mapToGlobal(QPoint(point->x, point->y));
  *point = CPoint(g.x(), g.y());
}

void CScrollView::ScreenToClient(CPoint* point) const {
  if (point == nullptr || m_area == nullptr) return;
  const QPoint c = m_area->viewport()->mapFromGlobal(QPoint(point->x, point->y));
  *point = CPoint(c.x(), c.y());
}

void CScrollView::Paint(const QRegion& region) {
  if (m_area == nullptr) return;
  QPainter painter(m_area->viewport());
  painter.setClipRegion(region);
  m_inPaint = true;
  {
    CQtDC dc(&painter);
    const int saved = dc.SaveDC();
    OnEraseBkgnd(&dc);
    dc.RestoreDC(saved);
    OnPrepareDC(&dc);
    OnDraw(&dc);
  }
  m_inPaint = false;
}

BOOL CScrollView::OnEraseBkgnd(CDC* dc) {
  CRect box;
  dc->GetClipBox(&box);
  dc->FillSolidRect(box, GetSysColor(COLOR_WINDOW));
  return TRUE;
}

void CScrollView::OnPrepareDC(CDC* dc) {
  // A printed page has its own origin; the scroll position is the screen's.
  if (dc->IsPrinting()) return;
  const CPoint pos = GetScrollPosition();
  dc->SetViewportOrg(-pos.x, -pos.y);
}

void CScrollView::OnLButtonDown(UINT, CPoint) {}
void CScrollView::OnLButtonUp(UINT, CPoint) {}
void CScrollView::OnLButtonDblClk(UINT, CPoint) {}
void CScrollView::OnRButtonDown(UINT, CPoint) {}
void CScrollView::OnRButtonUp(UINT, CPoint) {}
void CScrollView::OnMouseMove(UINT, CPoint) {}
void CScrollView::OnContextMenu(CWnd*, CPoint) {}
void CScrollView::OnKeyDown(UINT, UINT, UINT) {}

void CScrollView::OnSize(UINT, int, int) {}
void CScrollView::OnKeyUp(UINT, UINT, UINT) {}
