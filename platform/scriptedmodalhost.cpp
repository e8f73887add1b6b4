#include "platform/scriptedmodalhost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "platform/cwnd.h"
#include "platform/qtconvert.h"

QString DialogDriver::Title() const { return m_dialog ? m_dialog->windowTitle() : QString(); }

QWidget* DialogDriver::Control(int id) const { return m_dialog ? FindControl(m_dialog.data(), id) : nullptr; }

bool DialogDriver::Type(int id, const QString& text) {
  auto* edit = qobject_cast<QLineEdit*>(Control(id));
  if (edit == nullptr || !edit->isEnabled() || edit->isReadOnly() || !IsOpen()) return false;
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
  if (text.isEmpty()) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    return true;
  }
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(edit, &press);
    QApplication::sendEvent(edit, &release);
  }
  return true;
}

bool DialogDriver::Click(int id) {
  auto* button = qobject_cast<QAbstractButton*>(Control(id));
  if (button == nullptr || !button->isEnabled() || !IsOpen()) return false;
  button->click();
  return true;
}

void DialogDriver::Key(int key, const QString& text) {
  if (!IsOpen()) return;
  QWidget* target = m_dialog->focusWidget();
  if (target == nullptr) target = m_dialog.data();
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  if (m_dialog) QApplication::sendEvent(m_dialog->focusWidget() != nullptr ? m_dialog->focusWidget() : m_dialog.data(), &release);
}

void DialogDriver::PressEnter() { Key(Qt::Key_Return, QStringLiteral("\r")); }

void DialogDriver::PressEscape() { Key(Qt::Key_Escape, QString(QChar(0x1B))); }

bool DialogDriver::ChooseFile(const QString& path) {
  auto* dialog = qobject_cast<QFileDialog*>(m_dialog.data());
  if (dialog == nullptr || !IsOpen()) return false;
  dialog->selectFile(path);
  static_cast<QDialog*>(dialog)->accept();
  return true;
}

QStringList DialogDriver::FileFilters() const {
  auto* dialog = qobject_cast<QFileDialog*>(m_dialog.data());
  return dialog != nullptr ? dialog->nameFilters() : QStringList();
}

QString DialogDriver::Text(int id) const {
  QWidget* control = Control(id);
  if (control == nullptr) return QString();
  CWnd handle(control);
  return ToQString(handle.GetWindowText());
}

bool DialogDriver::IsChecked(int id) const {
  auto* button = qobject_cast<QAbstractButton*>(Control(id));
  return button != nullptr && button->isChecked();
}

bool DialogDriver::IsEnabled(int id) const {
  QWidget* control = Control(id);
  return control != nullptr && control->isEnabled();
}

bool DialogDriver::IsDefault(int id) const {
  auto* button = qobject_cast<QPushButton*>(Control(id));
  return button != nullptr && button->isDefault();
}

int DialogDriver::MaxLength(int id) const {
  auto* edit = qobject_cast<QLineEdit*>(Control(id));
  return edit != nullptr ? edit->maxLength() : -1;
}

bool DialogDriver::IsOpen() const { return m_dialog && m_dialog->isVisible(); }

std::vector<UINT> ScriptedModalHost::MessageIds() const {
  std::vector<UINT> ids;
  ids.reserve(m_messages.size());
  for (const MessageRecord& m : m_messages) ids.push_back(m.stringId);
  return ids;
}

void ScriptedModalHost::Clear() {
  m_scripts.clear();
  m_answers.clear();
  m_messages.clear();
  m_dialogs.clear();
  m_menuChoices.clear();
  m_menus.clear();
}

const MenuItemRecord* MenuRecord::Item(UINT id) const {
  for (const MenuItemRecord& item : items)
    if (!item.separator && item.id == id) return &item;
  return nullptr;
}

QAction* ScriptedModalHost::RunMenu(QMenu& menu, const QPoint& screenPoint) {
  MenuRecord record;
  record.position = screenPoint;
  QAction* chosen = nullptr;
  if (!m_menuChoices.empty()) {
    record.asked = m_menuChoices.front();
    m_menuChoices.pop_front();
  }
  for (QAction* action : menu.actions()) {
    MenuItemRecord item;
    item.separator = action->isSeparator();
    item.id = action->data().toUInt();
    item.text = action->text();
    item.enabled = action->isEnabled();
    item.checked = action->isChecked();
    record.items.push_back(item);
    // A user cannot choose a greyed item.
    if (chosen == nullptr && record.asked != 0 && !item.separator && item.id == record.asked && item.enabled)
      chosen = action;
  }
  record.refused = record.asked != 0 && chosen == nullptr;
  record.chosen = chosen != nullptr ? record.asked : 0;
  m_menus.push_back(record);
  return chosen;
}

int ScriptedModalHost::RunDialog(QDialog& dialog) {
  DialogRecord record;
  record.title = dialog.windowTitle();
  const size_t index = m_dialogs.size();
  m_dialogs.push_back(record);

  bool finished = false;
  int result = IDCANCEL;
  const QMetaObject::Connection connection =
      QObject::connect(&dialog, &QDialog::finished, [&finished, &result](int code) {
        finished = true;
        result = code;
      });
  dialog.show();

  if (!m_scripts.empty()) {
    m_dialogs[index].scripted = true;
    const Script script = std::move(m_scripts.front());
    m_scripts.pop_front();
    DialogDriver driver(dialog);
    script(driver);
  }
  if (!finished) {
    m_dialogs[index].leftOpen = m_dialogs[index].scripted;
    dialog.done(IDCANCEL);
    result = IDCANCEL;
  }
  QObject::disconnect(connection);
  m_dialogs[index].result = result;
  return result;
}

int ScriptedModalHost::ShowMessage(const MessageRequest& request) {
  MessageRecord record;
  record.stringId = request.stringId;
  record.text = request.text;
  record.caption = request.caption;
  record.type = request.type;
  record.owner = request.owner;
  record.hadOwner = request.owner != nullptr;
  if (!m_answers.empty()) {
    record.answer = m_answers.front();
    m_answers.pop_front();
  } else {
    switch (request.type & MB_TYPEMASK) {
      case MB_OK:
        record.answer = IDOK;
        break;
      case MB_YESNO:
        record.answer = IDNO;
        break;
      case MB_ABORTRETRYIGNORE:
        record.answer = IDABORT;
        break;
      default:
        record.answer = IDCANCEL;
        break;
    }
  }
  m_messages.push_back(record);
  return record.answer;
}
