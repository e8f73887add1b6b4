#include "app/mainfrm.h"

#include "app/cmdids.h"
#include "app/history.h"
#include "app/proffile.h"
#include "app/settings.h"
#include "platform/cwinapp.h"
#include "resources/resourceids.h"

namespace {
// Keys that no part of the editor handles: they are in the table so that
// they do nothing rather than reach the view.
constexpr UINT ID_NEXT_PANE = 57680, ID_PREV_PANE = 57681, ID_UNUSED_F9 = 32770;

const MenuEntry kMainMenu[] = {
    {MenuKind::Popup, 0, "&Profile"},
    {MenuKind::Item, ID_FILE_NEW, "&New profile...\tCtrl+N"},
    {MenuKind::Item, ID_FILE_OPEN, "&Retrieve from server...\tCtrl+R"},
    {MenuKind::Item, ID_FILE_SAVE, "&Store on Server\tCtrl+S"},
    {MenuKind::Item, ID_FILE_SAVE_AS, "Store on server &As..."},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_PROFILE_IMPORT, "&Import from File..."},
    {MenuKind::Item, ID_PROFILE_EXPORT, "&Export to File..."},
    {MenuKind::Item, ID_PROFILE_HISTORY, "Revision &History..."},
    {MenuKind::Popup, 0, "Co&mpare With"},
    {MenuKind::Item, ID_COMPARE_SERVER, "&Content on the Server"},
    {MenuKind::Item, ID_COMPARE_REVISION, "&Revision..."},
    {MenuKind::Item, ID_COMPARE_OTHER_SERVER, "Profile on &Another Server..."},
    {MenuKind::Item, ID_COMPARE_FILE, "&File..."},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_FILE_PRINT, "&Print...\tCtrl+P"},
    {MenuKind::Item, ID_FILE_PRINT_PREVIEW, "Print Pre&view"},
    {MenuKind::Item, ID_FILE_PRINT_SETUP, "P&rint Setup..."},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_APP_EXIT, "E&xit"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Popup, 0, "&Edit"},
    {MenuKind::Item, ID_EDIT_UNDO, "&Undo\tCtrl+Z"},
    {MenuKind::Item, ID_EDIT_REDO, "&Redo\tCtrl+Y"},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Popup, 0, "Create &Object\t"},
    {MenuKind::Item, ID_ADD_BOOLEAN, "&Boolean...\tAlt+B"},
    {MenuKind::Item, ID_ADD_FLOAT, "&Float...\tAlt+F"},
    {MenuKind::Item, ID_ADD_FRANGE, "F&loat Range...\tAlt+T"},
    {MenuKind::Item, ID_ADD_INTEGER, "&Integer...\tAlt+I"},
    {MenuKind::Item, ID_ADD_IRANGE, "Integer &Range...\tAlt+R"},
    {MenuKind::Item, ID_ADD_STRING, "&String...\tAlt+S"},
    {MenuKind::Item, ID_ADD_SYMBOL, "Symbol or &Key...\tAlt+K"},
    {MenuKind::Item, ID_ADD_UINT, "&Unsigned Integer...\tAlt+U"},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_ADD_ARRAY, "&Array...\tAlt+A"},
    {MenuKind::Item, ID_ADD_KVSET, "Key-&Value Set...\tAlt+C"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Item, ID_EDIT_PROPERTIES, "&Properties...\tAlt+Enter"},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_EDIT_CUT, "Cu&t\tCtrl+X"},
    {MenuKind::Item, ID_EDIT_COPY, "&Copy\tCtrl+C"},
    {MenuKind::Item, ID_EDIT_PASTE, "&Paste\tCtrl+V"},
    {MenuKind::Item, ID_EDIT_DELETE, "&Delete\tDel"},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_EDIT_FIND, "&Find...\tAlt+F3"},
    {MenuKind::Item, ID_FIND_NEXT, "Find Next\tF3"},
    {MenuKind::Item, ID_FIND_PREVIOUS, "Find Previous\tShift+F3"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Popup, 0, "&View"},
    {MenuKind::Item, ID_VIEW_TOOLBAR, "&Toolbar"},
    {MenuKind::Item, ID_VIEW_STATUS_BAR, "&Status Bar"},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_VIEW_ZOOM, "&Zoom..."},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_VIEW_EXPANDALL, "E&xpand All\tNum *"},
    {MenuKind::Item, ID_VIEW_COLLAPSEALL, "Co&llapse All\tNum /"},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_COMPARE_NEXT, "&Next Difference\tF8"},
    {MenuKind::Item, ID_COMPARE_PREVIOUS, "Pre&vious Difference\tShift+F8"},
    {MenuKind::Item, ID_COMPARE_TAKE_OTHER, "Take &Other Value"},
    {MenuKind::Item, ID_COMPARE_KEEP_MINE, "Keep &My Value"},
    {MenuKind::Item, ID_COMPARE_END, "&End Comparison"},
    {MenuKind::End, 0, nullptr},
    {MenuKind::Popup, 0, "&Help"},
    {MenuKind::Item, ID_HELP_CONTENTS, "&Contents...\tF1"},
    {MenuKind::Item, ID_HELP_SEARCHFORHELPON, "&Search for Help on..."},
    {MenuKind::Item, ID_HELP_HOWTOUSEHELP, "&How to Use Help..."},
    {MenuKind::Separator, 0, nullptr},
    {MenuKind::Item, ID_APP_ABOUT, "&About this application..."},
    {MenuKind::End, 0, nullptr},
};

const AccelEntry kMainAccelerators[] = {
    {"Ctrl+N", ID_FILE_NEW},        {"Ctrl+R", ID_FILE_OPEN},      {"Ctrl+S", ID_FILE_SAVE},
    {"Ctrl+P", ID_FILE_PRINT},      {"Alt+B", ID_ADD_BOOLEAN},     {"Alt+F", ID_ADD_FLOAT},
    {"Alt+T", ID_ADD_FRANGE},       {"Alt+I", ID_ADD_INTEGER},     {"Alt+R", ID_ADD_IRANGE},
    {"Alt+S", ID_ADD_STRING},       {"Alt+K", ID_ADD_SYMBOL},      {"Alt+U", ID_ADD_UINT},
    {"Alt+A", ID_ADD_ARRAY},        {"Alt+C", ID_ADD_KVSET},       {"Alt+Enter", ID_EDIT_PROPERTIES},
    {"Ctrl+X", ID_EDIT_CUT},        {"Shift+Del", ID_EDIT_CUT},    {"Ctrl+C", ID_EDIT_COPY},
    {"Ctrl+Ins", ID_EDIT_COPY},     {"Ctrl+V", ID_EDIT_PASTE},     {"Shift+Ins", ID_EDIT_PASTE},
    {"Del", ID_EDIT_DELETE},        {"Alt+F3", ID_EDIT_FIND},      {"F3", ID_FIND_NEXT},
    {"F1", ID_HELP_CONTENTS},       {"Alt+Backspace", ID_EDIT_UNDO}, {"Ctrl+Z", ID_EDIT_UNDO},
    {"Ctrl+Y", ID_EDIT_REDO},       {"Ctrl+Shift+Z", ID_EDIT_REDO}, {"F6", ID_NEXT_PANE},
    {"Shift+F6", ID_PREV_PANE},     {"F9", ID_UNUSED_F9},
    {"F8", ID_COMPARE_NEXT},        {"Shift+F8", ID_COMPARE_PREVIOUS},
    {"Shift+F3", ID_FIND_PREVIOUS}, {"Num+*", ID_VIEW_EXPANDALL},  {"Num+/", ID_VIEW_COLLAPSEALL},
};
}  // namespace

const UINT CMainFrame::kToolbarButtons[10] = {ID_FILE_NEW,   ID_FILE_OPEN, ID_FILE_SAVE,  ID_SEPARATOR,
                                              ID_EDIT_CUT,   ID_EDIT_COPY, ID_EDIT_PASTE, ID_SEPARATOR,
                                              ID_FILE_PRINT, ID_HELP_CONTENTS};
const UINT CMainFrame::kIndicators[4] = {ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};

void RegisterMainFrameResources() {
  RegisterMenuResource(IDR_MAINFRAME, kMainMenu, sizeof kMainMenu / sizeof kMainMenu[0]);
  RegisterAcceleratorResource(IDR_MAINFRAME, kMainAccelerators, sizeof kMainAccelerators / sizeof kMainAccelerators[0]);
}

CMainFrame::CMainFrame() = default;
// The window, its bars and the view are all still there.
CMainFrame::~CMainFrame() { SaveFrameSettings(this); }

int CMainFrame::OnCreate() {
  if (CFrameWnd::OnCreate() == -1) return -1;
  if (!m_wndToolBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_TOP, AFX_IDW_TOOLBAR)) return -1;
  m_wndToolBar.SetSizes(CSize(32, 32), CSize(24, 24));
  if (!m_wndToolBar.LoadBitmap(BitmapResourcePath(IDR_TOOLBAR).c_str()) ||
      !m_wndToolBar.SetButtons(kToolbarButtons, 10))
    return -1;
  m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
  EnableDocking(CBRS_ALIGN_ANY);
  DockControlBar(&m_wndToolBar);
  m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY);
  if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR) ||
      !m_wndStatusBar.SetIndicators(kIndicators, 4))
    return -1;
  RestoreFrameSettings(this);
  return 0;
}
