#include "platform/cmenu.h"

#include <algorithm>
#include <cstddef>

#include <QAction>
#include <QMenu>

#include "platform/cframewnd.h"
#include "platform/cview.h"
#include "platform/modalhost.h"
#include "platform/qtconvert.h"

namespace {
constexpr size_t kMaxItems = 256;
}  // namespace

BOOL CMenu::CreatePopupMenu() {
  m_items.clear();
  m_created = true;
  return TRUE;
}

BOOL CMenu::AppendMenu(UINT flags, UINT id, const char* text) {
  if (!m_created || m_items.size() >= kMaxItems) return FALSE;
  if ((flags & MF_SEPARATOR) == 0 && text == nullptr) return FALSE;
  Item item;
  item.flags = flags;
  item.id = (flags & MF_SEPARATOR) != 0 ? 0 : id;
  item.text = text != nullptr ? text : "";
  m_items.push_back(item);
  return TRUE;
}

BOOL CMenu::RemoveMenu(UINT position, UINT flags) {
  auto it = m_items.end();
  if ((flags & MF_BYPOSITION) != 0) {
    if (position < m_items.size()) it = m_items.begin() + static_cast<std::ptrdiff_t>(position);
  } else {
    it = std::find_if(m_items.begin(), m_items.end(), [position](const Item& item) {
      return (item.flags & MF_SEPARATOR) == 0 && item.id == position;
    });
  }
  if (it == m_items.end()) return FALSE;
  m_items.erase(it);
  return TRUE;
}

BOOL CMenu::DestroyMenu() {
  m_items.clear();
  m_created = false;
  return TRUE;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) {
  if (!m_created || m_items.empty()) return FALSE;
  QMenu menu(owner != nullptr ? owner->Widget() : nullptr);
  for (const Item& item : m_items) {
    if ((item.flags & MF_SEPARATOR) != 0) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(ToQString(item.text));
    action->setData(item.id);
    action->setEnabled((item.flags & (MF_GRAYED | MF_DISABLED)) == 0);
    if ((item.flags & MF_CHECKED) != 0) {
      action->setCheckable(true);
      action->setChecked(true);
    }
  }
  QAction* chosen = ModalHost::Current().RunMenu(menu, QPoint(x, y));
  const UINT id = chosen != nullptr && chosen->isEnabled() ? chosen->data().toUInt() : 0;
  if ((flags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(id);
  if (id == 0) return FALSE;
  // The item was enabled when shown; the command runs as its menu item would.
  CFrameWnd* frame = nullptr;
  if (auto* view = dynamic_cast<CView*>(owner)) frame = view->GetParentFrame();
  if (frame == nullptr) frame = dynamic_cast<CFrameWnd*>(owner);
  if (frame != nullptr) {
    frame->ExecuteCommand(id, FALSE);
  } else if (auto* target = dynamic_cast<CCmdTarget*>(owner)) {
    target->OnCmdMsg(id, nullptr);
  }
  return TRUE;
}
