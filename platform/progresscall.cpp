#include "platform/progresscall.h"

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/qtconvert.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"

std::string ProgressText(unsigned textId, const std::vector<std::string>& args) {
  const CString format = LoadStringById(textId);
  std::string text(format.GetString(), static_cast<size_t>(format.GetLength()));
  size_t at = 0;
  for (const std::string& arg : args) {
    at = text.find("%s", at);
    if (at == std::string::npos) break;
    text.replace(at, 2, arg);
    at += arg.size();
  }
  return text;
}

bool CProgressCallRunner::Run(unsigned textId, const std::vector<std::string>& args,
                              const std::function<void()>& work, const std::function<void()>& cancel) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!qobject_cast<QApplication*>(app) || QThread::currentThread() != app->thread() || m_bWaiting) {
    work();
    return true;
  }
  m_bWaiting = true;
  CWaitCursor busy;

  // Every wake-up of the GUI thread (work done, time to show the window,
  // Cancel) ends the current round of waiting; the loop below decides what
  // comes next.  Posted to `waker`, so nothing arrives after Run returns.
  QObject waker;
  QEventLoop loop;
  std::atomic<bool> done(false);
  bool showNow = false;
  bool cancelled = false;
  const auto wake = [&loop] { loop.quit(); };

  std::thread worker([&] {
    work();
    done = true;
    QMetaObject::invokeMethod(&waker, wake, Qt::QueuedConnection);
  });
  QTimer::singleShot(kShowAfterMs, &waker, [&] {
    showNow = true;
    wake();
  });

  QPointer<QProgressDialog> dialog;
  while (!done) {
    if (showNow && !dialog && !cancelled) {
      dialog = new QProgressDialog(ToQString(CString(ProgressText(textId, args).c_str())),
                                   QApplication::translate("QProgressDialog", "Cancel"), 0, 0,
                                   QApplication::activeWindow());
      dialog->setObjectName(QString::fromLatin1(kObjectName));
      dialog->setWindowTitle(QApplication::applicationDisplayName());
      dialog->setWindowModality(Qt::ApplicationModal);
      dialog->setAutoClose(false);
      dialog->setAutoReset(false);
      dialog->setMinimumDuration(0);
      QObject::connect(dialog, &QProgressDialog::canceled, &waker, [&] {
        if (cancelled) return;
        cancelled = true;
        cancel();
        wake();
      });
      dialog->show();
    }
    // While the window is up it takes the input (and blocks the others);
    // before it shows, and after Cancel, input waits.
    const bool takeInput = dialog && dialog->isVisible() && !cancelled;
    loop.exec(takeInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
  }
  worker.join();
  delete dialog.data();
  m_bWaiting = false;
  return !cancelled;
}

CProgressCallRunner& ProgressCallRunner() {
  static CProgressCallRunner runner;
  return runner;
}
