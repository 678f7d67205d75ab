#include "toolkit/MessageReceiver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <mutex>

namespace brisel {

namespace {

// A core message carried by a Qt event.
class MessageEvent : public QEvent {
 public:
  static QEvent::Type EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  explicit MessageEvent(Message message) : QEvent(EventType()), m_message(std::move(message)) {}
  const Message& message() const { return m_message; }

 private:
  Message m_message;
};

}  // namespace

// What senders hold (weakly): turns a post from any thread into a MessageEvent queued for the
// mailbox. A sender may have locked it just before the receiver died, so the mailbox is
// reached only under the mutex, and Detach takes it away for good.
class QtMessageTarget : public MessageTarget {
 public:
  explicit QtMessageTarget(QObject* mailbox) : m_mailbox(mailbox) {}

  void Post(Message message) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_mailbox) QCoreApplication::postEvent(m_mailbox, new MessageEvent(std::move(message)));
  }

  void Detach() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mailbox = nullptr;
  }

 private:
  std::mutex m_mutex;
  QObject* m_mailbox;
};

// The Qt object the events are queued for, living on the receiver's thread. Destroying it
// discards the events still queued for it (QObject's destructor removes its posted events).
class MessageMailbox : public QObject {
 public:
  explicit MessageMailbox(MessageReceiver* owner)
      : m_owner(owner), m_target(std::make_shared<QtMessageTarget>(this)) {}
  ~MessageMailbox() override { m_target->Detach(); }

  MessageTargetRef Target() const { return m_target; }

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() != MessageEvent::EventType()) return QObject::customEvent(event);
    m_owner->OnMessage(static_cast<MessageEvent*>(event)->message());
  }

 private:
  MessageReceiver* m_owner;
  std::shared_ptr<QtMessageTarget> m_target;
};

MessageReceiver::MessageReceiver() : m_mailbox(std::make_unique<MessageMailbox>(this)) {}

MessageReceiver::~MessageReceiver() = default;

MessageTargetRef MessageReceiver::Target() const { return m_mailbox->Target(); }

}  // namespace brisel
