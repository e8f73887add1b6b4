// The frame's bars: CToolBar on QToolBar, CStatusBar on QStatusBar.
//
// A toolbar's buttons are the frame's command actions, so a button shows
// the command's state, tip and status prompt.  Its images come from one
// bitmap strip of equal images side by side, used in button order
// (separators take none); light grey (192, 192, 192) in the strip is
// transparent.
//
// A status bar's first pane (ID_SEPARATOR) is the message pane: it shows
// the idle prompt, and a command's prompt while the pointer is on its menu
// item or button.  Further panes are indicators whose text is the string of
// their id, shown while their enable handler enables them (the frame
// handles CAP, NUM and SCRL from the real lock-key states).
#pragma once

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <vector>

#include "platform/cwnd.h"
#include "platform/geometry.h"

class CFrameWnd;
class QStatusBar;
class QToolBar;

// Bar styles.
inline constexpr DWORD CBRS_ALIGN_LEFT = 0x1000;
inline constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
inline constexpr DWORD CBRS_ALIGN_RIGHT = 0x4000;
inline constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
inline constexpr DWORD CBRS_ALIGN_ANY = 0xF000;
inline constexpr DWORD CBRS_BORDER_TOP = 0x0200;
inline constexpr DWORD CBRS_BORDER_BOTTOM = 0x0800;
inline constexpr DWORD CBRS_TOOLTIPS = 0x0010;
inline constexpr DWORD CBRS_FLYBY = 0x0020;
inline constexpr DWORD CBRS_SIZE_DYNAMIC = 0x0400;
inline constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM;
inline constexpr DWORD CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;

class CToolBar : public CWnd {
 public:
  CToolBar() = default;
  ~CToolBar() override;

  // Makes the bar at the top of the frame (hidden without WS_VISIBLE).
  BOOL Create(CFrameWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP, UINT id = 0xE800);
  // Loads the image strip from a file or Qt resource path.
  BOOL LoadBitmap(const char* path);
  void SetSizes(CSize button, CSize image);
  // The buttons: command ids, ID_SEPARATOR (0) for a gap.  At most 100.
  BOOL SetButtons(const UINT* ids, int count);
  DWORD GetBarStyle() const { return m_style; }
  void SetBarStyle(DWORD style) { m_style = style; }
  void EnableDocking(DWORD alignment);

  QToolBar* ToolBar() const;
  // The image of button index (separators count), null when it has none.
  QImage ButtonImage(int index) const;

 private:
  friend class CFrameWnd;
  CFrameWnd* m_frame = nullptr;
  QImage m_strip;
  CSize m_buttonSize{32, 32};
  CSize m_imageSize{24, 24};
  DWORD m_style = 0;
  std::vector<QImage> m_images;  // per button, null for separators
};

class CStatusBar : public CWnd {
 public:
  CStatusBar() = default;
  ~CStatusBar() override;

  BOOL Create(CFrameWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, UINT id = 0xE801);
  // The panes; the first should be ID_SEPARATOR (the message pane).  At
  // most 16.
  BOOL SetIndicators(const UINT* ids, int count);
  int GetCount() const { return static_cast<int>(m_ids.size()); }
  UINT GetItemID(int index) const;
  int CommandToIndex(UINT id) const;
  BOOL SetPaneText(int index, const char* text);
  CString GetPaneText(int index) const;
  // Shows an indicator's text (on) or an empty pane of the same width (off).
  void SetIndicatorOn(int index, bool on);

  QStatusBar* StatusBar() const;

 private:
  friend class CFrameWnd;
  CFrameWnd* m_frame = nullptr;
  std::vector<UINT> m_ids;
  std::vector<QPointer<QLabel>> m_panes;
  std::vector<CString> m_texts;
};
