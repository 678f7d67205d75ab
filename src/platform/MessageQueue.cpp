#include "platform/MessageQueue.h"

namespace brisel {

void MessageQueue::Post(Message message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (capacity_ != 0 && queue_.size() >= capacity_) return;
    queue_.push_back(std::move(message));
  }
  ready_.notify_one();
}

std::optional<Message> MessageQueue::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!ready_.wait_for(lock, timeout, [&] { return !queue_.empty(); })) return std::nullopt;
  Message m = std::move(queue_.front());
  queue_.pop_front();
  return m;
}

Message MessageQueue::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  ready_.wait(lock, [&] { return !queue_.empty(); });
  Message m = std::move(queue_.front());
  queue_.pop_front();
  return m;
}

std::optional<Message> MessageQueue::TryTake() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) return std::nullopt;
  Message m = std::move(queue_.front());
  queue_.pop_front();
  return m;
}

std::size_t MessageQueue::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

}  // namespace brisel
