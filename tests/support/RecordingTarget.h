#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Messages.h"

namespace brisel::test {

// A message receiver that keeps every post, for tests to inspect.
class RecordingTarget : public MessageTarget {
 public:
  static std::shared_ptr<RecordingTarget> Create() { return std::make_shared<RecordingTarget>(); }

  void Post(Message message) override;

  std::vector<Message> Messages() const;
  // Messages with this id, in order.
  std::vector<Message> Messages(std::uint32_t id) const;
  std::size_t Count() const;
  void Clear();
  // Waits until `count` messages (of any id, or of `id` when given) have arrived.
  bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10),
                    std::uint32_t id = 0) const;

 private:
  mutable std::mutex m_mutex;
  std::vector<Message> m_messages;
};

}  // namespace brisel::test
