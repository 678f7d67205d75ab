#include "app/QtMessageTarget.h"

#include <QCoreApplication>

namespace brisel {

QEvent::Type MessageEvent::EventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

std::shared_ptr<QtMessageTarget> QtMessageTarget::Create(QObject* receiver) {
  return std::make_shared<QtMessageTarget>(receiver);
}

void QtMessageTarget::Post(Message message) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_receiver) QCoreApplication::postEvent(m_receiver, new MessageEvent(std::move(message)));
}

void QtMessageTarget::Detach() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_receiver = nullptr;
}

}  // namespace brisel
