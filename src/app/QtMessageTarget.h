#pragma once

#include <QEvent>
#include <QObject>

#include <memory>
#include <mutex>

#include "platform/Messages.h"

namespace brisel {

// A core message delivered to a Qt object on its thread.
class MessageEvent : public QEvent {
 public:
  static QEvent::Type EventType();
  explicit MessageEvent(Message message) : QEvent(EventType()), m_message(std::move(message)) {}
  const Message& message() const { return m_message; }
  Message& message() { return m_message; }

 private:
  Message m_message;
};

// The one adapter between core posts and the UI: a post from any thread becomes a
// MessageEvent queued for the receiver (QCoreApplication::postEvent never blocks). The
// receiver calls Detach() in its destructor; posts after that are dropped.
class QtMessageTarget : public MessageTarget {
 public:
  static std::shared_ptr<QtMessageTarget> Create(QObject* receiver);
  explicit QtMessageTarget(QObject* receiver) : m_receiver(receiver) {}
  void Post(Message message) override;
  void Detach();

 private:
  std::mutex m_mutex;
  QObject* m_receiver;
};

}  // namespace brisel
