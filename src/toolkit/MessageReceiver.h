#pragma once

#include <memory>

#include "platform/Messages.h"

namespace brisel {

class MessageMailbox;

// A Qt object that receives posted messages: the one adapter between core posts and the UI.
// Derive from it beside the Qt base class, hand Target() to whatever posts (core objects,
// worker threads), and handle OnMessage:
//
//   class CRightVideoDlg : public QWidget, public MessageReceiver {
//     void OnMessage(const Message& message) override;  // on the UI thread, in order
//   };
//   m_core.SetPageTarget(Target());  // in the constructor; senders keep it weakly
//
// A post from any thread never blocks; OnMessage runs later on the thread that constructed
// the receiver, one message at a time, in the order of the posts. The receiver detaches
// itself when it is destroyed: messages still queued are dropped with it and later posts are
// dropped too, so no message ever reaches a receiver that is gone. Do not run an event loop
// in a destructor of the derived class (its messages would arrive half-way through), and
// end a receiver from OnMessage with deleteLater().
class MessageReceiver {
 public:
  MessageReceiver();
  virtual ~MessageReceiver();
  MessageReceiver(const MessageReceiver&) = delete;
  MessageReceiver& operator=(const MessageReceiver&) = delete;

  // Where to post. Never keeps the receiver alive.
  MessageTargetRef Target() const;

 protected:
  virtual void OnMessage(const Message& message) = 0;

 private:
  friend class MessageMailbox;
  std::unique_ptr<MessageMailbox> m_mailbox;
};

}  // namespace brisel
