// Views: the window in a frame that shows a document.
//
// CView links a view to its document and its frame and routes commands to
// the document after itself.  CScrollView is the view on a
// QAbstractScrollArea: the owner sets the scrollable size (SetScrollSizes)
// when its content or zoom changes; the view paints through a CQtDC whose
// painter is clipped to the area being repainted and whose viewport origin
// follows the scroll position, so OnDraw draws in content coordinates and
// RectVisible tells what needs drawing.  Mouse and key messages arrive in
// client (viewport) coordinates with Windows virtual-key codes.  The view
// takes every key itself: arrows, Page Up/Down and Home/End reach OnKeyDown
// and never scroll on their own.  Keys that are a command's accelerator
// (enabled or not) and Alt combinations belong to the menus and never
// reach OnKeyDown.
#pragma once

#include <QPoint>
#include <memory>

#include "platform/cmdtarget.h"
#include "platform/cwnd.h"
#include "platform/geometry.h"

class CAccessibleTree;
class CDC;
class CDocument;
struct CPrintInfo;
class QPrinter;
class CFrameWnd;
class QRegion;
class QWidget;

// The mapping mode SetScrollSizes takes: device pixels.
inline constexpr int MM_TEXT = 1;
// "Use the default" page and line sizes.
inline const CSize sizeDefault(0, 0);

class CView : public CWnd, public CCmdTarget {
 public:
  CView();
  ~CView() override;

  CDocument* GetDocument() const { return m_pDocument; }
  CFrameWnd* GetParentFrame() const { return m_pFrame; }

  // Builds the view's window inside parent.  FALSE on failure.
  virtual BOOL Create(QWidget* parent) = 0;

  // Called when the frame shows a (new) document: the default redraws.
  virtual void OnInitialUpdate();
  // Called by CDocument::UpdateAllViews: the default redraws.
  virtual void OnUpdate(CView* sender, long hint, void* hintObject);
  // Draws the view's content.
  virtual void OnDraw(CDC* dc) = 0;
  // Prepares the device context for OnDraw (the scroll view sets the
  // viewport origin).
  virtual void OnPrepareDC(CDC* dc);

  // The view first, then its document.
  BOOL OnCmdMsg(UINT id, CCmdUI* ui) override;

  // --- Printing (platform/printloop.h runs the loop).  The preparation
  // asks for the print dialog (DoPreparePrinting); begin and end do
  // nothing; a page is drawn by OnDraw.
  virtual BOOL OnPreparePrinting(CPrintInfo* info);
  virtual void OnBeginPrinting(CDC* dc, CPrintInfo* info);
  virtual void OnPrint(CDC* dc, CPrintInfo* info);
  virtual void OnEndPrinting(CDC* dc, CPrintInfo* info);
  // The standard preparation: the print dialog on the application's
  // printer, unless the job is a preview or prints directly.  FALSE when
  // the user cancelled.
  BOOL DoPreparePrinting(CPrintInfo* info);
  // The framework's Print and Print Preview commands, on the application's
  // printer.  A view routes ID_FILE_PRINT and ID_FILE_PRINT_PREVIEW here.
  void OnFilePrint();
  void OnFilePrintPreview();
  // Prints every page on the printer as it is set up, without the dialog
  // (a PDF file, say).  TRUE when all pages were printed.
  BOOL PrintDirect(QPrinter& printer);

 private:
  friend class CDocument;
  friend class CFrameWnd;
  CDocument* m_pDocument = nullptr;
  CFrameWnd* m_pFrame = nullptr;
};

class CScrollView : public CView {
 public:
  CScrollView();
  ~CScrollView() override;

  BOOL Create(QWidget* parent) override;

  // The scrollable size of the content, and how far a page and a line
  // scroll (sizeDefault: a tenth of the total, a tenth of the page).  Only
  // MM_TEXT is known.  Called from inside a paint, the change is made once
  // the paint is over.
  void SetScrollSizes(int mapMode, CSize total, const CSize& page = sizeDefault, const CSize& line = sizeDefault);
  CSize GetTotalSize() const { return m_totalSize; }
  // The top-left content point shown in the viewport's corner.
  CPoint GetScrollPosition() const;
  // Scrolls so that point is in the corner, as far as the ranges allow.
  void ScrollToPosition(CPoint point);

  // Invalidates part of the client area (null: all of it).
  void InvalidateRect(const CRect* rect, BOOL erase = TRUE);
  // Client (viewport) to screen coordinates, and back.
  void ClientToScreen(CPoint* point) const;
  void ScreenToClient(CPoint* point) const;

  // --- Messages.  The defaults do nothing.  Points are in client
  // coordinates, flags are MK_ values.
  virtual void OnLButtonDown(UINT flags, CPoint point);
  virtual void OnLButtonUp(UINT flags, CPoint point);
  virtual void OnLButtonDblClk(UINT flags, CPoint point);
  virtual void OnRButtonDown(UINT flags, CPoint point);
  virtual void OnRButtonUp(UINT flags, CPoint point);
  virtual void OnMouseMove(UINT flags, CPoint point);
  // The context-menu key or Shift+F10: point is (-1, -1); after a right
  // click: the screen point of the click.
  virtual void OnContextMenu(CWnd* window, CPoint screenPoint);
  // A key press: the virtual key, the repeat count (1) and flags (bit 14,
  // 0x4000, set for an auto-repeated press).
  virtual void OnKeyDown(UINT key, UINT repeatCount, UINT flags);
  virtual void OnKeyUp(UINT key, UINT repeatCount, UINT flags);
  // The client area's new size, also when a scroll bar came or went; the
  // scroll ranges are already set for it.
  virtual void OnSize(UINT type, int cx, int cy);
  // Fills the area about to be painted (in client coordinates, before
  // OnPrepareDC).  Returns TRUE when it erased.  The default fills it with
  // the window colour.
  virtual BOOL OnEraseBkgnd(CDC* dc);
  // Sets the viewport origin to minus the scroll position.
  void OnPrepareDC(CDC* dc) override;

  // The scroll area, for tests and the frame.
  QWidget* ScrollArea() const;
  QWidget* Viewport() const;
  // The view whose scroll area the widget is, or null.
  static CScrollView* FromWidget(const QWidget* widget);

  // --- Accessibility.  A view that draws a tree gives the description of
  // its current item (before Create); its window is then announced as a
  // tree.  NotifyAccessibleFocus tells that the current item changed; the
  // initial update tells it too.
  void SetAccessibleTree(std::unique_ptr<CAccessibleTree> tree);
  CAccessibleTree* GetAccessibleTree() const { return m_pAccessibleTree.get(); }
  void NotifyAccessibleFocus();
  void OnInitialUpdate() override;

 private:
  class Area;
  friend class Area;
  void ApplyScrollSizes();
  void Paint(const QRegion& region);

  CSize m_totalSize;
  CSize m_pageSize;
  CSize m_lineSize;
  bool m_inPaint = false;
  bool m_sizesPending = false;
  bool m_positionPending = false;
  CPoint m_pendingPosition;
  Area* m_area = nullptr;  // owned by its Qt parent, or by this view when it has none
  std::unique_ptr<CAccessibleTree> m_pAccessibleTree;
};
