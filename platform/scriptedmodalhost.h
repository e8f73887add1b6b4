// ScriptedModalHost: the modal host for tests.  When a dialog is run, the
// next script given to the host runs against the real dialog: it types into
// the dialog's real edits and presses its real buttons through a
// DialogDriver, exactly as a user would, and the dialog closes through its
// own handlers.  Message boxes are recorded (string id, text, caption,
// style, owner) and answered from a queue.  Nothing waits on a timer.
//
// Pop-up menus are recorded (position and items) and answered by the
// command id queued with ChooseMenuItem; without one, or when the id is not
// an enabled item of the menu, the menu is dismissed.
//
// A dialog for which no script is queued, or that its script leaves open,
// is recorded as such and closed with IDCANCEL so the test can go on.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "platform/modalhost.h"


class QWidget;

class DialogDriver {
 public:
  explicit DialogDriver(QDialog& dialog) : m_dialog(&dialog) {}

  QDialog* Dialog() const { return m_dialog.data(); }
  QString Title() const;
  // The control with the id, or null.
  QWidget* Control(int id) const;

  // Replaces the text of an enabled edit by typing the text key by key, so
  // that length limits and validators apply.  False when there is no such
  // edit or it does not take input.
  bool Type(int id, const QString& text);
  // Clicks an enabled, visible button (push, radio or check).  False when
  // there is no such button or it cannot be clicked.
  bool Click(int id);
  // Presses Enter or Escape in the control with the focus (the dialog when
  // none has it).
  void PressEnter();
  void PressEscape();
  // In a file dialog (ModalHost::AskForFile): selects the file and accepts
  // it as the dialog's own button does.  False when the dialog is no file
  // dialog or is closed.
  bool ChooseFile(const QString& path);
  // A file dialog's name filters; empty for any other dialog.
  QStringList FileFilters() const;

  QString Text(int id) const;  // edit, label or button text
  bool IsChecked(int id) const;
  bool IsEnabled(int id) const;
  bool IsDefault(int id) const;
  int MaxLength(int id) const;  // of an edit; -1 for none
  // True until the dialog has been closed.
  bool IsOpen() const;

 private:
  void Key(int key, const QString& text);
  QPointer<QDialog> m_dialog;
};

struct MessageRecord {
  UINT stringId = 0;
  CString text;
  CString caption;
  UINT type = 0;
  QPointer<QWidget> owner;
  bool hadOwner = false;  // an owner was given (it may have gone since)
  int answer = 0;
};

struct DialogRecord {
  QString title;
  int result = 0;
  bool scripted = false;    // a script was there for it
  bool leftOpen = false;    // the script did not close it
};

struct MenuItemRecord {
  UINT id = 0;
  QString text;
  bool enabled = false;
  bool checked = false;
  bool separator = false;
};

struct MenuRecord {
  QPoint position;
  std::vector<MenuItemRecord> items;
  UINT chosen = 0;          // 0: dismissed
  UINT asked = 0;           // the id the test queued, 0 for none
  bool refused = false;     // the queued id was missing or disabled

  // The item with the id, or null.
  const MenuItemRecord* Item(UINT id) const;
};

class ScriptedModalHost : public ModalHost {
 public:
  using Script = std::function<void(DialogDriver&)>;

  // Queues the script for the next dialog run.
  void ExpectDialog(Script script) { m_scripts.push_back(std::move(script)); }
  // Queues the answer to the next message box.  Without one a box gets its
  // cancelling answer (IDCANCEL, or IDNO for Yes/No), or IDOK for OK only.
  void AnswerMessage(int button) { m_answers.push_back(button); }
  // Queues the command id the next pop-up menu chooses (0: dismiss it).
  void ChooseMenuItem(UINT id) { m_menuChoices.push_back(id); }

  const std::vector<MessageRecord>& Messages() const { return m_messages; }
  std::vector<UINT> MessageIds() const;
  const std::vector<DialogRecord>& Dialogs() const { return m_dialogs; }
  const std::vector<MenuRecord>& Menus() const { return m_menus; }
  size_t PendingScripts() const { return m_scripts.size(); }
  void Clear();

  int RunDialog(QDialog& dialog) override;
  int ShowMessage(const MessageRequest& request) override;
  QAction* RunMenu(QMenu& menu, const QPoint& screenPoint) override;

 private:
  std::deque<Script> m_scripts;
  std::deque<int> m_answers;
  std::vector<MessageRecord> m_messages;
  std::vector<DialogRecord> m_dialogs;
  std::deque<UINT> m_menuChoices;
  std::vector<MenuRecord> m_menus;
};
