#include "platform/commandset.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <cstring>

#include "platform/qtconvert.h"
#include "platform/stringtable.h"

namespace {

constexpr size_t kMaxMenuEntries = 1000;
constexpr int kMaxMenuDepth = 8;
constexpr size_t kMaxAccelerators = 1000;
constexpr size_t kMaxKeyName = 64;

struct StoredMenuEntry {
  MenuKind kind;
  UINT id;
  std::string text;
};
struct StoredAccel {
  std::string keys;
  UINT id;
};

std::map<UINT, std::vector<StoredMenuEntry>>& MenuTables() {
  static std::map<UINT, std::vector<StoredMenuEntry>> tables;
  return tables;
}
std::map<UINT, std::vector<StoredAccel>>& AccelTables() {
  static std::map<UINT, std::vector<StoredAccel>> tables;
  return tables;
}

// A text without its mnemonics and its keys part: "&New...\tCtrl+N" gives
// "New...".
QString PlainText(const QString& text) {
  QString plain = text.section(QLatin1Char('\t'), 0, 0);
  plain.replace(QLatin1String("&&"), QLatin1String("\x01"));
  plain.remove(QLatin1Char('&'));
  plain.replace(QLatin1Char('\x01'), QLatin1Char('&'));
  return plain.trimmed();
}

// One key name token turned into the name Qt reads.
QString QtKeyName(const QString& token) {
  static const std::map<QString, QString> names = {
      {QStringLiteral("del"), QStringLiteral("Delete")},  {QStringLiteral("ins"), QStringLiteral("Insert")},
      {QStringLiteral("esc"), QStringLiteral("Escape")},  {QStringLiteral("enter"), QStringLiteral("Return")},
      {QStringLiteral("bksp"), QStringLiteral("Backspace")}, {QStringLiteral("pgup"), QStringLiteral("PgUp")},
      {QStringLiteral("pgdn"), QStringLiteral("PgDown")},
  };
  const auto it = names.find(token.toLower());
  return it != names.end() ? it->second : token;
}

}  // namespace

void RegisterMenuResource(UINT resourceId, const MenuEntry* entries, size_t count) {
  std::vector<StoredMenuEntry> table;
  for (size_t i = 0; entries != nullptr && i < count; ++i)
    table.push_back({entries[i].kind, entries[i].id, entries[i].text != nullptr ? entries[i].text : ""});
  MenuTables()[resourceId] = std::move(table);
}

void RegisterAcceleratorResource(UINT resourceId, const AccelEntry* entries, size_t count) {
  std::vector<StoredAccel> table;
  for (size_t i = 0; entries != nullptr && i < count; ++i)
    table.push_back({entries[i].keys != nullptr ? entries[i].keys : "", entries[i].id});
  AccelTables()[resourceId] = std::move(table);
}

CCommandSet::CCommandSet(QWidget* window, Router router) : QObject(window), m_window(window), m_router(std::move(router)) {}

CCommandSet::~CCommandSet() = default;

QAction* CCommandSet::Find(UINT id) const {
  const auto it = m_actions.find(id);
  return it != m_actions.end() ? it->second : nullptr;
}

std::vector<UINT> CCommandSet::Ids() const {
  std::vector<UINT> ids;
  for (const auto& entry : m_actions) ids.push_back(entry.first);
  return ids;
}

QAction* CCommandSet::Action(UINT id) {
  if (QAction* existing = Find(id)) return existing;
  // Parented to the window, so that a prompt shown for the action reaches
  // the window's status bar wherever its menu was opened from.
  auto* action = m_window ? new QAction(m_window.data()) : new QAction(this);
  action->setData(id);
  action->setEnabled(false);  // until its enable handler says otherwise
  const QString prompt = ToQString(LoadStringById(id));
  const QString statusPrompt = prompt.section(QLatin1Char('\n'), 0, 0);
  const QString tip = prompt.section(QLatin1Char('\n'), 1, 1);
  action->setStatusTip(statusPrompt);
  if (!tip.isEmpty()) {
    action->setToolTip(tip);
    action->setText(tip);
    action->setIconText(tip);
  }
  connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
  if (m_window) m_window->addAction(action);
  m_actions[id] = action;
  return action;
}

BOOL CCommandSet::LoadMenu(QMenuBar* bar, UINT resourceId) {
  const auto it = MenuTables().find(resourceId);
  if (it == MenuTables().end()) return TRUE;
  std::vector<MenuEntry> entries;
  for (const StoredMenuEntry& e : it->second) entries.push_back({e.kind, e.id, e.text.c_str()});
  return BuildMenu(bar, entries.data(), entries.size());
}

BOOL CCommandSet::BuildMenu(QMenuBar* bar, const MenuEntry* entries, size_t count) {
  if (bar == nullptr || count > kMaxMenuEntries || (entries == nullptr && count != 0)) return FALSE;
  // Check the nesting first, so that a bad table adds nothing.
  int depth = 0;
  for (size_t i = 0; i < count; ++i) {
    if (entries[i].kind == MenuKind::Popup && ++depth > kMaxMenuDepth) return FALSE;
    if (entries[i].kind == MenuKind::End && --depth < 0) return FALSE;
    if ((entries[i].kind == MenuKind::Item || entries[i].kind == MenuKind::Separator) && depth == 0) return FALSE;
  }
  if (depth != 0) return FALSE;

  std::vector<QMenu*> open;
  for (size_t i = 0; i < count; ++i) {
    const MenuEntry& e = entries[i];
    const QString text = ToQString(e.text != nullptr ? e.text : "");
    switch (e.kind) {
      case MenuKind::Popup: {
        const QString title = text.section(QLatin1Char('\t'), 0, 0);
        QMenu* menu = open.empty() ? bar->addMenu(title) : open.back()->addMenu(title);
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
        open.push_back(menu);
        break;
      }
      case MenuKind::End:
        open.pop_back();
        break;
      case MenuKind::Separator:
        open.back()->addSeparator();
        break;
      case MenuKind::Item: {
        QAction* action = Action(e.id);
        // The text keeps its keys part: menus show it as the item's keys.
        action->setText(text);
        if (ToQString(LoadStringById(e.id)).section(QLatin1Char('\n'), 1, 1).isEmpty()) {
          action->setToolTip(PlainText(text));
          action->setIconText(PlainText(text));
        }
        open.back()->addAction(action);
        break;
      }
    }
  }
  return TRUE;
}

std::vector<int> CCommandSet::ParseKeys(const char* text) {
  if (text == nullptr || std::strlen(text) > kMaxKeyName) return {};
  const QStringList tokens = QString::fromLatin1(text).split(QLatin1Char('+'), Qt::KeepEmptyParts);
  QStringList names;
  bool enter = false;
  for (const QString& raw : tokens) {
    const QString token = raw.trimmed();
    if (token.isEmpty()) return {};
    if (token.compare(QLatin1String("enter"), Qt::CaseInsensitive) == 0) enter = true;
    names << QtKeyName(token);
  }
  const QKeySequence sequence = QKeySequence::fromString(names.join(QLatin1Char('+')), QKeySequence::PortableText);
  if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown) return {};
  std::vector<int> keys{sequence[0].toCombined()};
  // Enter is both the main Return key and the keypad's Enter.
  if (enter) keys.push_back(QKeyCombination(sequence[0].keyboardModifiers() | Qt::KeypadModifier, Qt::Key_Enter).toCombined());
  return keys;
}

BOOL CCommandSet::LoadAccelerators(UINT resourceId) {
  const auto it = AccelTables().find(resourceId);
  if (it == AccelTables().end()) return TRUE;
  std::vector<AccelEntry> entries;
  for (const StoredAccel& a : it->second) entries.push_back({a.keys.c_str(), a.id});
  return SetAccelerators(entries.data(), entries.size());
}

BOOL CCommandSet::SetAccelerators(const AccelEntry* entries, size_t count) {
  if (count > kMaxAccelerators || (entries == nullptr && count != 0)) return FALSE;
  std::map<UINT, QList<QKeySequence>> keys;
  for (size_t i = 0; i < count; ++i) {
    const std::vector<int> parsed = ParseKeys(entries[i].keys);
    if (parsed.empty()) return FALSE;
    for (const int combined : parsed) keys[entries[i].id].append(QKeySequence(combined));
  }
  for (const auto& entry : keys) {
    QAction* action = Action(entry.first);
    action->setShortcuts(entry.second);
    action->setShortcutContext(Qt::WindowShortcut);
  }
  return TRUE;
}

bool CCommandSet::IsAccelerator(int keyCombination) const { return AcceleratorCommand(keyCombination) != 0; }

UINT CCommandSet::AcceleratorCommand(int keyCombination) const {
  const QKeySequence key(QKeyCombination::fromCombined(keyCombination));
  for (const auto& entry : m_actions)
    for (const QKeySequence& shortcut : entry.second->shortcuts())
      if (shortcut == key) return entry.first;
  return 0;
}

void CCommandSet::Apply(QAction* action, const CCmdUI& ui) {
  if (ui.m_bEnableChanged) action->setEnabled(ui.m_bEnabled);
  if (ui.m_bCheckChanged) {
    action->setCheckable(true);
    action->setChecked(ui.m_nCheck != 0);
  }
  if (ui.m_bTextChanged) action->setText(ToQString(ui.m_strText));
}

bool CCommandSet::UpdateCommand(UINT id) {
  QAction* action = Action(id);
  CCmdUI ui(id);
  if (!m_router || !m_router(id, &ui)) {
    action->setEnabled(false);  // nobody handles it
    return false;
  }
  Apply(action, ui);
  return action->isEnabled();
}

void CCommandSet::Update() {
  for (const UINT id : Ids()) UpdateCommand(id);
}

void CCommandSet::UpdateMenu(QMenu* menu) {
  if (menu == nullptr) return;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator() || action->menu() != nullptr) continue;
    bool ok = false;
    const UINT id = action->data().toUInt(&ok);
    if (ok && Find(id) == action) UpdateCommand(id);
  }
}

namespace {
int g_executing = 0;
}  // namespace

bool CCommandSet::Executing() { return g_executing > 0; }

BOOL CCommandSet::Execute(UINT id) {
  if (!UpdateCommand(id)) return FALSE;
  return Route(id);
}

BOOL CCommandSet::Route(UINT id) {
  if (!m_router) return FALSE;
  // The command may end the window that owns this set: run a copy.
  const Router router = m_router;
  ++g_executing;
  const BOOL ran = router(id, nullptr);
  --g_executing;
  return ran;
}
