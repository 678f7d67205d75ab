#include "support/RecordingTarget.h"

#include "support/Sandbox.h"

namespace brisel::test {

void RecordingTarget::Post(Message message) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_messages.push_back(std::move(message));
}

std::vector<Message> RecordingTarget::Messages() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages;
}

std::vector<Message> RecordingTarget::Messages(std::uint32_t id) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<Message> out;
  for (const Message& m : m_messages)
    if (m.id == id) out.push_back(m);
  return out;
}

std::size_t RecordingTarget::Count() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages.size();
}

void RecordingTarget::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_messages.clear();
}

bool RecordingTarget::WaitForCount(std::size_t count, std::chrono::milliseconds timeout,
                                   std::uint32_t id) const {
  return WaitFor([&] { return (id == 0 ? Count() : Messages(id).size()) >= count; }, timeout);
}

}  // namespace brisel::test
