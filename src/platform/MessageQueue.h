#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/Messages.h"

namespace brisel {

// A thread-safe FIFO of messages: the message loop of a thread that is not a Qt thread
// (the log thread, the command-line front end). Post never blocks.
class MessageQueue : public MessageTarget {
 public:
  // `capacity` bounds what waits in the queue; posts beyond it are dropped (0: no bound).
  explicit MessageQueue(std::size_t capacity = 0) : capacity_(capacity) {}

  void Post(Message message) override;

  // The next message, waiting up to `timeout`; nothing when none arrived in time.
  std::optional<Message> Wait(std::chrono::milliseconds timeout);
  // The next message, waiting as long as it takes.
  Message Wait();
  // The next message if one is queued, without waiting.
  std::optional<Message> TryTake();

  std::size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Message> queue_;
  std::size_t capacity_;
};

}  // namespace brisel
