// ModalHost: every modal dialog, message box and pop-up menu of the program
// runs through the one current host.  File, print, page set-up and print
// preview dialogs are QDialogs and run through RunDialog as well.  The production host shows them to the
// user (QDialog::exec, QMessageBox); a test installs a ScriptedModalHost
// that drives the real dialogs and answers the message boxes itself.
#pragma once

#include "platform/msgbox.h"

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QWidget;

// A file to open or to save, asked for through the host.
struct FileDialogRequest {
  bool save = false;
  CString title;
  CString filter;         // the name filter shown, e.g. "Profile text (*.deif)"
  CString defaultSuffix;  // added to a saved name that has none, e.g. "deif"
  CString suggestion;     // the file first selected; may be empty
  QWidget* owner = nullptr;
};

class ModalHost {
 public:
  virtual ~ModalHost();

  // Runs the dialog modally and returns its result: the code its done()
  // was called with (IDOK, IDCANCEL, ...).
  virtual int RunDialog(QDialog& dialog) = 0;
  // Shows the message box and returns the button pressed (IDOK, IDYES, ...).
  virtual int ShowMessage(const MessageRequest& request) = 0;
  // Shows the pop-up menu at the screen point and returns the chosen
  // action, null when the menu was dismissed.  This base answers null.
  virtual QAction* RunMenu(QMenu& menu, const QPoint& screenPoint);

  // Asks for a file in a file dialog run through RunDialog (so a scripted
  // host drives it like any dialog) and returns its path in the file
  // system's encoding; empty when cancelled.  Saving over a file that
  // exists asks first, a Yes/No warning through ShowMessage; No goes back
  // to the file dialog.
  CString AskForFile(const FileDialogRequest& request);

  // The host in use: the installed one, else the production host.
  static ModalHost& Current();
  // Installs host (null: back to the production host); returns the one
  // installed before.  The caller keeps ownership.
  static ModalHost* Install(ModalHost* host);
};

// Shows dialogs to the user.
class ProductionModalHost : public ModalHost {
 public:
  int RunDialog(QDialog& dialog) override;
  int ShowMessage(const MessageRequest& request) override;
  QAction* RunMenu(QMenu& menu, const QPoint& screenPoint) override;
};

// Installs a host for one scope.
class ScopedModalHost {
 public:
  explicit ScopedModalHost(ModalHost* host) : m_previous(ModalHost::Install(host)) {}
  ~ScopedModalHost() { ModalHost::Install(m_previous); }
  ScopedModalHost(const ScopedModalHost&) = delete;
  ScopedModalHost& operator=(const ScopedModalHost&) = delete;

 private:
  ModalHost* m_previous;
};
