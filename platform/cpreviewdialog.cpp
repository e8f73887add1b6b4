#include "platform/cpreviewdialog.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "platform/cview.h"
#include "platform/cwnd.h"
#include "platform/printloop.h"

namespace {

constexpr double kZoomStep = 1.25;
// Grey space around the page, in screen pixels.
constexpr int kPageMargin = 12;

// A device context that answers the printer's metrics, on an image.
struct PageDC {
  PageDC(QImage& image, const CQtDC::PageMetrics& metrics, double scale, const QPoint& origin)
      : painter(&image) {
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    painter.translate(origin);
    // Nothing is drawn outside the area the printer draws on.
    painter.setClipRect(QRect(0, 0, metrics.width, metrics.height));
    dc = std::make_unique<CQtDC>(&painter);
    dc->SetPrinting(true);
    dc->SetPageMetrics(metrics);
  }
  QPainter painter;
  std::unique_ptr<CQtDC> dc;
};

}  // namespace

CPreviewDialog::CPreviewDialog(CView& view, QPrinter& printer, const CPrintInfo& info, QWidget* parent)
    : QDialog(parent), m_view(view), m_printer(printer), m_info(info) {
  setWindowTitle(QStringLiteral("Print Preview"));
  m_info.m_bPreview = TRUE;
  m_info.m_pPrinter = &printer;

  m_metrics.width = std::max(1, printer.width());
  m_metrics.height = std::max(1, printer.height());
  m_metrics.widthMM = printer.widthMM();
  m_metrics.heightMM = printer.heightMM();
  m_metrics.dpiX = std::max(1, printer.logicalDpiX());
  m_metrics.dpiY = std::max(1, printer.logicalDpiY());
  // The drawable area sits on the sheet inside the printer's margins.
  const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
  if (!printer.fullPage()) m_origin = printer.pageRect(QPrinter::DevicePixel).toRect().topLeft();
  m_origin.setX(std::max(0, m_origin.x()));
  m_origin.setY(std::max(0, m_origin.y()));
  m_paper = QRect(0, 0, std::max(paper.width(), m_origin.x() + m_metrics.width),
                  std::max(paper.height(), m_origin.y() + m_metrics.height));

  auto* bar = new QHBoxLayout;
  m_first = AddButton(QStringLiteral("|<"), IDC_FIRST_PAGE, QStringLiteral("First page (Home)"));
  m_prev = AddButton(QStringLiteral("<"), IDC_PREV_PAGE, QStringLiteral("Previous page (PgUp)"));
  m_pageNumber = new QLineEdit(this);
  SetControlId(m_pageNumber, IDC_PAGE_NUMBER);
  m_pageNumber->setMaxLength(8);
  m_pageNumber->setFixedWidth(m_pageNumber->fontMetrics().horizontalAdvance(QStringLiteral("00000000")));
  m_pageNumber->setAlignment(Qt::AlignRight);
  m_pageNumber->setToolTip(QStringLiteral("Page number"));
  m_pageNumber->setValidator(new QIntValidator(0, 99999999, m_pageNumber));
  m_pageCount = new QLabel(this);
  SetControlId(m_pageCount, IDC_PAGE_COUNT);
  m_next = AddButton(QStringLiteral(">"), IDC_NEXT_PAGE, QStringLiteral("Next page (PgDn)"));
  m_last = AddButton(QStringLiteral(">|"), IDC_LAST_PAGE, QStringLiteral("Last page (End)"));
  QPushButton* fitWidth = AddButton(QStringLiteral("Fit Width"), IDC_FIT_WIDTH, QStringLiteral("Fit the page's width"));
  QPushButton* fitPage = AddButton(QStringLiteral("Fit Page"), IDC_FIT_PAGE, QStringLiteral("Fit the whole page"));
  m_zoomOut = AddButton(QStringLiteral("-"), IDC_ZOOM_OUT, QStringLiteral("Zoom out (-)"));
  m_zoomLevel = new QLabel(this);
  SetControlId(m_zoomLevel, IDC_ZOOM_LEVEL);
  m_zoomLevel->setMinimumWidth(m_zoomLevel->fontMetrics().horizontalAdvance(QStringLiteral("0000 %")));
  m_zoomLevel->setAlignment(Qt::AlignCenter);
  m_zoomIn = AddButton(QStringLiteral("+"), IDC_ZOOM_IN, QStringLiteral("Zoom in (+)"));
  QPushButton* print = AddButton(QStringLiteral("Print..."), IDC_PRINT, QStringLiteral("Print the pages"));
  QPushButton* close = AddButton(QStringLiteral("Close"), IDC_CLOSE, QStringLiteral("Close the preview (Esc)"));

  bar->addWidget(m_first);
  bar->addWidget(m_prev);
  bar->addWidget(m_pageNumber);
  bar->addWidget(m_pageCount);
  bar->addWidget(m_next);
  bar->addWidget(m_last);
  bar->addSpacing(16);
  bar->addWidget(fitWidth);
  bar->addWidget(fitPage);
  bar->addWidget(m_zoomOut);
  bar->addWidget(m_zoomLevel);
  bar->addWidget(m_zoomIn);
  bar->addStretch(1);
  bar->addWidget(print);
  bar->addWidget(close);

  m_pageView = new QLabel;
  m_pageView->setAlignment(Qt::AlignCenter);
  m_pageView->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
  m_scroll = new QScrollArea(this);
  m_scroll->setBackgroundRole(QPalette::Dark);
  m_scroll->setAlignment(Qt::AlignCenter);
  m_scroll->setWidget(m_pageView);
  m_scroll->setFocusPolicy(Qt::StrongFocus);
  // The page keys go to the preview, not to the scroll bars.
  m_scroll->installEventFilter(this);
  m_pageNumber->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(m_scroll, 1);

  connect(m_first, &QPushButton::clicked, this, [this] { GoToPage(m_firstPage); });
  connect(m_prev, &QPushButton::clicked, this, [this] { GoToPage(m_page > m_firstPage ? m_page - 1 : m_firstPage); });
  connect(m_next, &QPushButton::clicked, this, [this] { GoToPage(m_page < m_lastPage ? m_page + 1 : m_lastPage); });
  connect(m_last, &QPushButton::clicked, this, [this] { GoToPage(m_lastPage); });
  connect(fitWidth, &QPushButton::clicked, this, [this] { SetMode(ZoomMode::FitWidth); });
  connect(fitPage, &QPushButton::clicked, this, [this] { SetMode(ZoomMode::FitPage); });
  connect(m_zoomOut, &QPushButton::clicked, this, &CPreviewDialog::ZoomOut);
  connect(m_zoomIn, &QPushButton::clicked, this, &CPreviewDialog::ZoomIn);
  connect(print, &QPushButton::clicked, this, [this] { done(kPrintResult); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  QSize size(900, 1000);
  if (const QScreen* screen = parent != nullptr ? parent->screen() : QWidget::screen())
    size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
  resize(size);
  m_scroll->setFocus();
}

CPreviewDialog::~CPreviewDialog() { EndJob(); }

QPushButton* CPreviewDialog::AddButton(const QString& text, int id, const QString& tip) {
  auto* button = new QPushButton(text, this);
  SetControlId(button, id);
  button->setToolTip(tip);
  // Enter in the page number box must not close the preview.
  button->setAutoDefault(false);
  return button;
}

bool CPreviewDialog::BeginJob() {
  if (m_begun) return JobRunning();
  m_begun = true;
  m_info.m_bContinuePrinting = TRUE;
  m_info.m_bCancelled = FALSE;
  m_info.m_nPagesPrinted = 0;
  QImage scratch(1, 1, QImage::Format_RGB32);
  {
    PageDC page(scratch, m_metrics, 1.0, QPoint());
    m_view.OnBeginPrinting(page.dc.get(), &m_info);
  }
  if (!m_info.m_bContinuePrinting || !JobPageRange(m_info, m_firstPage, m_lastPage)) {
    EndJob();
    return false;
  }
  m_page = m_firstPage;
  UpdateControls();
  return true;
}

void CPreviewDialog::EndJob() {
  if (!m_begun || m_ended) return;
  m_ended = true;
  QImage scratch(1, 1, QImage::Format_RGB32);
  PageDC page(scratch, m_metrics, 1.0, QPoint());
  m_view.OnEndPrinting(page.dc.get(), &m_info);
}

void CPreviewDialog::done(int result) {
  EndJob();
  QDialog::done(result);
}

void CPreviewDialog::GoToPage(UINT page) {
  if (!JobRunning()) return;
  m_page = std::clamp(page, m_firstPage, m_lastPage);
  UpdateControls();
  Refresh();
}

double CPreviewDialog::Zoom() const {
  const double screenDpi = std::max(1, logicalDpiX());
  return m_scale * m_metrics.dpiX / screenDpi;
}

void CPreviewDialog::SetMode(ZoomMode mode) {
  m_mode = mode;
  Refresh();
}

void CPreviewDialog::SetZoomScale(double scale) {
  const double realSize = static_cast<double>(std::max(1, logicalDpiX())) / m_metrics.dpiX;
  const double largest = static_cast<double>(kMaxImageSide) / std::max(m_paper.width(), m_paper.height());
  m_customScale = std::clamp(scale, kMinZoom * realSize, std::min(kMaxZoom * realSize, largest));
  m_mode = ZoomMode::Custom;
  Refresh();
}

void CPreviewDialog::ZoomIn() { SetZoomScale(TargetScale() * kZoomStep); }

void CPreviewDialog::ZoomOut() { SetZoomScale(TargetScale() / kZoomStep); }

double CPreviewDialog::TargetScale() const {
  if (m_mode == ZoomMode::Custom) return m_customScale;
  const QSize area = m_scroll->size();
  const int frame = 2 * m_scroll->frameWidth() + 2 * kPageMargin;
  // Fitting the width leaves room for the vertical scroll bar it brings.
  const int bar = m_mode == ZoomMode::FitWidth ? m_scroll->verticalScrollBar()->sizeHint().width() : 0;
  const double across = static_cast<double>(std::max(16, area.width() - frame - bar)) / m_paper.width();
  const double down = static_cast<double>(std::max(16, area.height() - frame)) / m_paper.height();
  const double scale = m_mode == ZoomMode::FitWidth ? across : std::min(across, down);
  const double largest = static_cast<double>(kMaxImageSide) / std::max(m_paper.width(), m_paper.height());
  return std::min(scale, largest);
}

void CPreviewDialog::Refresh() {
  if (!JobRunning() || !isVisible()) return;
  const double scale = TargetScale();
  const QSize size(std::max(1, static_cast<int>(std::lround(m_paper.width() * scale))),
                   std::max(1, static_cast<int>(std::lround(m_paper.height() * scale))));
  if (m_shownPage == m_page && m_image.size() == size) return;
  m_scale = scale;
  RenderPage();
  UpdateControls();
}

void CPreviewDialog::RenderPage() {
  QImage image(std::max(1, static_cast<int>(std::lround(m_paper.width() * m_scale))),
               std::max(1, static_cast<int>(std::lround(m_paper.height() * m_scale))), QImage::Format_RGB32);
  if (image.isNull()) return;
  image.fill(Qt::white);
  {
    PageDC page(image, m_metrics, m_scale, m_origin);
    m_info.m_nCurPage = m_page;
    m_info.m_rectDraw = CRect(0, 0, m_metrics.width, m_metrics.height);
    m_view.OnPrepareDC(page.dc.get());
    if (m_info.m_bContinuePrinting) {
      m_view.OnPrint(page.dc.get(), &m_info);
      ++m_pagesDrawn;
    }
  }
  if (!m_info.m_bContinuePrinting) {
    // The view ended the job: there is nothing more to preview.
    QTimer::singleShot(0, this, &QDialog::reject);
    return;
  }
  m_image = std::move(image);
  m_shownPage = m_page;
  m_pageView->setPixmap(QPixmap::fromImage(m_image));
  m_pageView->adjustSize();
}

void CPreviewDialog::UpdateControls() {
  m_pageNumber->setText(QString::number(m_page));
  m_pageCount->setText(QStringLiteral("of %1").arg(m_lastPage));
  m_first->setEnabled(m_page > m_firstPage);
  m_prev->setEnabled(m_page > m_firstPage);
  m_next->setEnabled(m_page < m_lastPage);
  m_last->setEnabled(m_page < m_lastPage);
  if (m_scale > 0) m_zoomLevel->setText(QStringLiteral("%1 %").arg(std::lround(Zoom() * 100)));
}

void CPreviewDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Refresh();
}

void CPreviewDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // A window being dragged larger draws the page once it settles.
  if (m_mode == ZoomMode::Custom || m_refreshQueued || !isVisible()) return;
  m_refreshQueued = true;
  QTimer::singleShot(0, this, [this] {
    m_refreshQueued = false;
    Refresh();
  });
}

bool CPreviewDialog::HandleKey(int key) {
  switch (key) {
    case Qt::Key_PageUp:
      GoToPage(m_page > m_firstPage ? m_page - 1 : m_firstPage);
      return true;
    case Qt::Key_PageDown:
      GoToPage(m_page < m_lastPage ? m_page + 1 : m_lastPage);
      return true;
    case Qt::Key_Home:
      GoToPage(m_firstPage);
      return true;
    case Qt::Key_End:
      GoToPage(m_lastPage);
      return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomIn();
      return true;
    case Qt::Key_Minus:
      ZoomOut();
      return true;
    default:
      return false;
  }
}

void CPreviewDialog::keyPressEvent(QKeyEvent* event) {
  if (HandleKey(event->key())) return;
  // Enter belongs to the page number box; it never closes the preview.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
  QDialog::keyPressEvent(event);
}

void CPreviewDialog::TakePageNumber() {
  bool ok = false;
  const uint page = m_pageNumber->text().toUInt(&ok);
  if (ok && page >= m_firstPage && page <= m_lastPage)
    GoToPage(page);
  else
    UpdateControls();  // a page the job does not have: back to the one on show
  // The page keys act on the preview again.
  m_scroll->setFocus();
}

bool CPreviewDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == m_pageNumber && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
      TakePageNumber();
      return true;
    }
    // In the page number box only the paging keys act on the preview;
    // Home, End and the sign keys edit the number.
    const bool inBox = watched == m_pageNumber;
    if (!inBox || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
      if (HandleKey(key)) return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
