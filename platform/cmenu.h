// CMenu: a pop-up menu built item by item and tracked at a screen point,
// as the view's context menu is.  The menu runs through the modal host, so
// a test picks its item by command id.  The chosen command goes through the
// owner's command routing (the owner's frame when it has one), as the menu
// command of the same id would.
#pragma once

#include <QString>
#include <vector>

#include "platform/cstring.h"
#include "platform/wintypes.h"

class CWnd;

// Item flags.
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_BYPOSITION = 0x0400;
// Tracking flags.
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

class CMenu {
 public:
  struct Item {
    UINT flags = 0;
    UINT id = 0;
    CString text;  // "Properties...\tAlt+Enter": the keys part shows at the right
  };

  CMenu() = default;

  // Starts an empty pop-up menu.  TRUE.
  BOOL CreatePopupMenu();
  // Adds an item (or a separator with MF_SEPARATOR).  FALSE before
  // CreatePopupMenu, for a null text, or beyond 256 items.
  BOOL AppendMenu(UINT flags, UINT id = 0, const char* text = nullptr);
  // Removes the item at a zero-based position (MF_BYPOSITION) or the first
  // item with the command id (MF_BYCOMMAND).  FALSE when there is none.
  BOOL RemoveMenu(UINT position, UINT flags);
  int GetMenuItemCount() const { return static_cast<int>(m_items.size()); }
  const std::vector<Item>& Items() const { return m_items; }
  BOOL DestroyMenu();

  // Shows the menu at the screen point and waits for a choice.  With
  // TPM_RETURNCMD returns the chosen id (0: none) and runs nothing;
  // otherwise runs the chosen command through owner's routing and returns
  // whether one was chosen.  Greyed and disabled items cannot be chosen.
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner);

 private:
  bool m_created = false;
  std::vector<Item> m_items;
};
