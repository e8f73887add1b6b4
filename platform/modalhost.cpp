#include "platform/modalhost.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "platform/qtconvert.h"
#include "platform/stringtable.h"

namespace {

ModalHost* g_installed = nullptr;

QMessageBox::Icon IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
      return QMessageBox::Warning;
    case MB_ICONASTERISK:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

ModalHost::~ModalHost() = default;

ModalHost& ModalHost::Current() {
  static ProductionModalHost production;
  // Make sure the texts dialogs and messages load by id are reachable.
  static const bool strings = (InstallStringTable(), true);
  (void)strings;
  return g_installed != nullptr ? *g_installed : production;
}

ModalHost* ModalHost::Install(ModalHost* host) {
  ModalHost* previous = g_installed;
  g_installed = host;
  return previous;
}

QAction* ModalHost::RunMenu(QMenu& /*menu*/, const QPoint& /*screenPoint*/) { return nullptr; }

CString ModalHost::AskForFile(const FileDialogRequest& request) {
  QString selected = QFile::decodeName(request.suggestion.GetString());
  for (;;) {
    QFileDialog dialog(request.owner, ToQString(request.title));
    dialog.setNameFilter(ToQString(request.filter));
    dialog.setDefaultSuffix(ToQString(request.defaultSuffix));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The question about an existing file is this host's, so that it is
    // answered like every other message box.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!selected.isEmpty()) dialog.selectFile(selected);
    if (RunDialog(dialog) != QDialog::Accepted) return CString();
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return CString();
    const QByteArray path = QFile::encodeName(files.front());
    const CString chosen(path.constData(), static_cast<int>(path.size()));
    if (!request.save || !QFileInfo::exists(files.front())) return chosen;
    MessageRequest question;
    question.text = FromQString(QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                    .arg(QFileInfo(files.front()).fileName()));
    question.caption = request.title;
    question.type = MB_YESNO | MB_ICONWARNING;
    question.owner = request.owner;
    if (ShowMessage(question) == IDYES) return chosen;
    selected = files.front();
  }
}

int ProductionModalHost::RunDialog(QDialog& dialog) { return dialog.exec(); }

QAction* ProductionModalHost::RunMenu(QMenu& menu, const QPoint& screenPoint) { return menu.exec(screenPoint); }

int ProductionModalHost::ShowMessage(const MessageRequest& request) {
  QMessageBox box(IconOf(request.type), ToQString(request.caption), ToQString(request.text), QMessageBox::NoButton,
                  request.owner);
  // Qt has nothing above application modality; a system-modal box is that.
  box.setWindowModality(request.owner != nullptr && (request.type & (MB_SYSTEMMODAL | MB_TASKMODAL)) == 0
                            ? Qt::WindowModal
                            : Qt::ApplicationModal);
  struct Button {
    QMessageBox::StandardButton button;
    int id;
  };
  std::vector<Button> buttons;
  switch (request.type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_ABORTRETRYIGNORE:
      buttons = {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
      break;
    case MB_YESNOCANCEL:
      buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO:
      buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
      break;
    case MB_RETRYCANCEL:
      buttons = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    default:
      buttons = {{QMessageBox::Ok, IDOK}};
      break;
  }
  QMessageBox::StandardButtons all;
  for (const Button& b : buttons) all |= b.button;
  box.setStandardButtons(all);
  box.setDefaultButton(buttons.front().button);
  box.exec();
  const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
  for (const Button& b : buttons)
    if (b.button == pressed) return b.id;
  // Closed by Escape or the title bar: the box's cancelling answer.
  for (const Button& b : buttons)
    if (b.id == IDCANCEL || b.id == IDNO) return b.id;
  return buttons.front().id;
}
