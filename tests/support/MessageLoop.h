#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "platform/MessageQueue.h"

namespace brisel::test {

// The message loop of the windows a core test stands in for: what is posted to each routed
// queue is handed to its handler on the test's own thread, in the order of the posts, as the
// UI thread hands a window its messages. Handlers may post again; that is handed on too.
class MessageLoop {
 public:
  using Handler = std::function<void(const Message&)>;

  // Messages posted to `queue` go to `handler`.
  void Route(std::shared_ptr<MessageQueue> queue, Handler handler);

  // Hands over every message queued now, and what those post in turn, without waiting;
  // true when there was any.
  bool RunPending();
  // Runs until `done` holds (it is checked before each round); false when it did not within
  // `timeout`.
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  struct Receiver {
    std::shared_ptr<MessageQueue> queue;
    Handler handler;
  };
  std::vector<Receiver> m_routes;
};

}  // namespace brisel::test
