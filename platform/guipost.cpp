#include "platform/guipost.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <mutex>

// The receiver lives on the GUI thread; deleting it discards the events
// still queued for it.  The mutex keeps a post from racing the deletion.
struct CGuiPost::Target {
  std::mutex mutex;
  QObject* receiver = nullptr;
};

CGuiPost::CGuiPost() : m_target(std::make_shared<Target>()) {
  m_target->receiver = new QObject;
  if (QCoreApplication* app = QCoreApplication::instance()) m_target->receiver->moveToThread(app->thread());
}

CGuiPost::~CGuiPost() {
  std::lock_guard<std::mutex> lock(m_target->mutex);
  delete m_target->receiver;
  m_target->receiver = nullptr;
}

void CGuiPost::Post(std::function<void()> closure) {
  std::lock_guard<std::mutex> lock(m_target->mutex);
  if (m_target->receiver == nullptr || QCoreApplication::instance() == nullptr) return;
  QMetaObject::invokeMethod(m_target->receiver, std::move(closure), Qt::QueuedConnection);
}
