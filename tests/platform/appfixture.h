// A small application built on the platform classes: a document, a scroll
// view that records what reaches it, and a frame with a menu, accelerators,
// a toolbar and a status bar, shaped like the editor's.
#pragma once

#include <QApplication>
#include <QMainWindow>
#include <functional>
#include <map>
#include <vector>

#include "platform/ccontrolbar.h"
#include "platform/cdc.h"
#include "platform/cdoctemplate.h"
#include "platform/cdocument.h"
#include "platform/cframewnd.h"
#include "platform/cview.h"

namespace apptest {

// Command ids of the sample, taken from the editor's so the string table
// has their prompts and tips.
constexpr UINT kNew = 57600;
constexpr UINT kStore = 57603;
constexpr UINT kCut = 57635;
constexpr UINT kCopy = 57634;
constexpr UINT kPaste = 57637;
constexpr UINT kPrint = 57607;
constexpr UINT kHelp = 32810;
constexpr UINT kDelete = 32773;
constexpr UINT kProperties = 32772;
constexpr UINT kAddInteger = 32774;
constexpr UINT kZoom = 32782;
constexpr UINT kUndo = 57643;       // Undo: Ctrl+Z and Alt+Backspace, as in the editor
constexpr UINT kUnhandled = 57642;  // an accelerator no one handles

inline const MenuEntry kMenu[] = {
    {MenuKind::Popup, 0, "&Profile"},
    {MenuKind::Item, kNew, "&New profile...\tCtrl+N"},
    {MenuKind::Item, kStore, "&Store on Server\tCtrl+S"},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, kPrint, "&Print...\tCtrl+P"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Popup, 0, "&Edit"},
    {MenuKind::Popup, 0, "Create &Object\t"},
    {MenuKind::Item, kAddInteger, "&Integer...\tAlt+I"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Item, kProperties, "&Properties...\tAlt+Enter"},
    {MenuKind::Item, kCut, "Cu&t\tCtrl+X"},
    {MenuKind::Item, kCopy, "&Copy\tCtrl+C"},
    {MenuKind::Item, kPaste, "&Paste\tCtrl+V"},
    {MenuKind::Item, kDelete, "&Delete\tDel"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Popup, 0, "&View"},
    {MenuKind::Item, ID_VIEW_TOOLBAR, "&Toolbar"},
    {MenuKind::Item, ID_VIEW_STATUS_BAR, "&Status Bar"},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, kZoom, "&Zoom..."},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Popup, 0, "&Help"},
    {MenuKind::Item, kHelp, "&Contents...\tF1"},
    {MenuKind::End, 0, nullptr},
};

inline const AccelEntry kAccelerators[] = {
    {"Ctrl+N", kNew},       {"Ctrl+S", kStore},        {"Ctrl+P", kPrint},      {"Alt+I", kAddInteger},
    {"Alt+Enter", kProperties}, {"Ctrl+X", kCut},      {"Shift+Del", kCut},     {"Ctrl+C", kCopy},
    {"Ctrl+Ins", kCopy},    {"Ctrl+V", kPaste},        {"Shift+Ins", kPaste},   {"Del", kDelete},
    {"F1", kHelp},          {"Ctrl+Z", kUndo},         {"Alt+Backspace", kUndo}, {"Ctrl+F12", kUnhandled},
};

constexpr UINT kResource = 128;

// Registers the sample's menu and accelerators under the resource id.
inline void RegisterSampleResources() {
  RegisterMenuResource(kResource, kMenu, sizeof(kMenu) / sizeof(kMenu[0]));
  RegisterAcceleratorResource(kResource, kAccelerators, sizeof(kAccelerators) / sizeof(kAccelerators[0]));
}

class SampleDoc : public CDocument {
 public:
  SampleDoc() {
    AddCommand(kStore, [this] { ++stores; });
  }
  ~SampleDoc() override { ++Destroyed(); }
  BOOL SaveModified() override {
    ++saveModifiedCalls;
    return allowDiscard ? TRUE : FALSE;
  }
  static int& Destroyed() {
    static int count = 0;
    return count;
  }
  int stores = 0;
  int saveModifiedCalls = 0;
  bool allowDiscard = true;
};

struct KeyCall {
  UINT key;
  UINT flags;
};
struct MouseCall {
  char kind;  // 'L' down, 'D' double click, 'R' right down
  UINT flags;
  CPoint point;
};

class SampleView : public CScrollView {
 public:
  SampleView() {
    AddCommand(kProperties, [this] { ++properties; });
    AddCommandUpdate(kProperties, [this](CCmdUI* ui) {
      ++propertiesAsked;
      ui->Enable(canEdit);
    });
    AddCommand(kDelete, [this] { ++deletes; });
    AddCommandUpdate(kDelete, [this](CCmdUI* ui) { ui->Enable(canDelete); });
    AddCommand(kAddInteger, [this] { ++adds; });
    AddCommand(kUndo, [this] { ++undos; });
  }
  void OnDraw(CDC* dc) override {
    ++paints;
    if (onDraw) onDraw(dc);
  }
  // The modifier keys' own presses are left out.
  void OnKeyDown(UINT key, UINT, UINT flags) override {
    if (key != 0x10 && key != 0x11 && key != 0x12) keys.push_back({key, flags});
  }
  void OnLButtonDown(UINT flags, CPoint p) override { mouse.push_back({'L', flags, p}); }
  void OnLButtonDblClk(UINT flags, CPoint p) override { mouse.push_back({'D', flags, p}); }
  void OnRButtonDown(UINT flags, CPoint p) override {
    mouse.push_back({'R', flags, p});
    if (onRightButton) onRightButton(p);
  }

  std::function<void(CDC*)> onDraw;
  std::function<void(CPoint)> onRightButton;
  std::vector<KeyCall> keys;
  std::vector<MouseCall> mouse;
  int paints = 0;
  int properties = 0;
  int propertiesAsked = 0;
  int deletes = 0;
  int adds = 0;
  int undos = 0;
  bool canEdit = true;
  bool canDelete = false;
};

inline const UINT kButtons[] = {kNew, 57601, kStore, ID_SEPARATOR, kCut, kCopy, kPaste, ID_SEPARATOR, kPrint, kHelp};
inline const UINT kIndicators[] = {ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};

class SampleFrame : public CFrameWnd {
 public:
  SampleFrame() {
    AddCommand(kCut, [this] { ++cuts; });
    AddCommandUpdate(kCut, [this](CCmdUI* ui) { ui->Enable(canCut); });
  }
  int OnCreate() override {
    if (CFrameWnd::OnCreate() == -1) return -1;
    if (!m_wndToolBar.Create(this) || !m_wndToolBar.LoadBitmap(":/bitmaps/162.bmp") ||
        !m_wndToolBar.SetButtons(kButtons, 10))
      return -1;
    m_wndToolBar.SetSizes(CSize(32, 32), CSize(24, 24));
    m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY);
    m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&m_wndToolBar);
    if (!m_wndStatusBar.Create(this) || !m_wndStatusBar.SetIndicators(kIndicators, 4)) return -1;
    return 0;
  }
  // Lets a test decide an indicator's state.
  void ForceIndicator(UINT id, bool on) {
    AddCommandUpdate(id, [on](CCmdUI* ui) { ui->Enable(on); });
  }
  CStatusBar m_wndStatusBar;
  CToolBar m_wndToolBar;
  int cuts = 0;
  bool canCut = true;
};

}  // namespace apptest
