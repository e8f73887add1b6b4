// CPreviewDialog: the print preview.  It runs the view's begin step once,
// then draws only the page on screen, when it is asked for, on an image
// laid out in the printer's own pixels and scaled to the zoom, through the
// same device context as the print, so that what is seen is what prints.
// Pages are drawn again when the zoom changes.  Closing the preview (or
// destroying it) runs the view's end step.
//
// The user pages with the buttons, the page number box, PgUp/PgDn and
// Home/End, zooms with fit width, fit page, + and -, and hands over to the
// print dialog with "Print..." (the dialog then finishes with kPrintResult).
#pragma once

#include <QDialog>
#include <QImage>

#include "platform/cprintinfo.h"
#include "platform/qtdc.h"
#include "platform/wintypes.h"

class CView;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QScrollArea;

class CPreviewDialog : public QDialog {
  Q_OBJECT

 public:
  // The code the dialog finishes with when the user chose "Print...".
  static constexpr int kPrintResult = 100;

  // Control ids, for keyboard-free scripting in tests.
  enum Control {
    IDC_FIRST_PAGE = 1001,
    IDC_PREV_PAGE,
    IDC_PAGE_NUMBER,
    IDC_NEXT_PAGE,
    IDC_LAST_PAGE,
    IDC_FIT_WIDTH,
    IDC_FIT_PAGE,
    IDC_ZOOM_OUT,
    IDC_ZOOM_IN,
    IDC_PRINT,
    IDC_CLOSE,
    IDC_PAGE_COUNT,
    IDC_ZOOM_LEVEL,
  };

  enum class ZoomMode { FitWidth, FitPage, Custom };

  // Zoom limits, relative to the page's real size on the screen.
  static constexpr double kMinZoom = 0.1;
  static constexpr double kMaxZoom = 4.0;
  // The largest side of a page image, in pixels.
  static constexpr int kMaxImageSide = 8192;

  // info is the prepared job; the dialog works on its own copy.
  CPreviewDialog(CView& view, QPrinter& printer, const CPrintInfo& info, QWidget* parent);
  ~CPreviewDialog() override;

  // Runs the view's begin step.  False when the view ended the job or it
  // has no page: then there is nothing to preview and the job is over.
  bool BeginJob();
  // Runs the view's end step once; later calls do nothing.
  void EndJob();
  bool JobRunning() const { return m_begun && !m_ended; }

  UINT FirstPage() const { return m_firstPage; }
  UINT LastPage() const { return m_lastPage; }
  UINT CurrentPage() const { return m_page; }
  // Shows the page (cut to the job's range).
  void GoToPage(UINT page);

  ZoomMode Mode() const { return m_mode; }
  // Screen pixels per printer pixel of the page on show.
  double Scale() const { return m_scale; }
  // The zoom relative to the page's real size on the screen (1: 100 %).
  double Zoom() const;
  void SetMode(ZoomMode mode);
  void ZoomIn();
  void ZoomOut();

  // The page image on show (null before the first page is drawn).
  const QImage& PageImage() const { return m_image; }
  // How many times a page has been drawn.
  int PagesDrawn() const { return m_pagesDrawn; }

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Handles the preview's own keys; true when the key was one of them.
  bool HandleKey(int key);
  // Goes to the page typed in the page number box.
  void TakePageNumber();
  // The scale the zoom mode asks for on the current window size.
  double TargetScale() const;
  // Draws the current page at the target scale unless it is on show.
  void Refresh();
  void RenderPage();
  void UpdateControls();
  void SetZoomScale(double scale);
  QPushButton* AddButton(const QString& text, int id, const QString& tip);

  CView& m_view;
  QPrinter& m_printer;
  CPrintInfo m_info;
  CQtDC::PageMetrics m_metrics;
  QRect m_paper;     // the sheet, in printer pixels
  QPoint m_origin;   // the drawable area's corner on the sheet
  bool m_begun = false;
  bool m_ended = false;
  UINT m_firstPage = 1;
  UINT m_lastPage = 0;
  UINT m_page = 1;
  ZoomMode m_mode = ZoomMode::FitPage;
  double m_scale = 0;
  double m_customScale = 0;
  UINT m_shownPage = 0;  // 0: nothing drawn yet
  QImage m_image;
  int m_pagesDrawn = 0;
  bool m_refreshQueued = false;

  QScrollArea* m_scroll = nullptr;
  QLabel* m_pageView = nullptr;
  QLineEdit* m_pageNumber = nullptr;
  QLabel* m_pageCount = nullptr;
  QLabel* m_zoomLevel = nullptr;
  QPushButton* m_first = nullptr;
  QPushButton* m_prev = nullptr;
  QPushButton* m_next = nullptr;
  QPushButton* m_last = nullptr;
  QPushButton* m_zoomOut = nullptr;
  QPushButton* m_zoomIn = nullptr;
};
