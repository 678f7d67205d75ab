#include "support/MessageLoop.h"

#include <thread>

namespace brisel::test {

namespace {
// How long a round waits for a post when nothing is queued.
constexpr std::chrono::milliseconds kIdleWait{10};
}  // namespace

void MessageLoop::Route(std::shared_ptr<MessageQueue> queue, Handler handler) {
  m_routes.push_back({std::move(queue), std::move(handler)});
}

bool MessageLoop::RunPending() {
  bool any = false;
  for (bool handed = true; handed;) {
    handed = false;
    for (Receiver& route : m_routes) {
      while (auto message = route.queue->TryTake()) {
        route.handler(*message);
        handed = any = true;
      }
    }
  }
  return any;
}

bool MessageLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (RunPending()) continue;
    if (m_routes.empty()) {
      std::this_thread::sleep_for(kIdleWait);
      continue;
    }
    // Nothing queued: wait for the next post to the first queue (a worker's, usually); posts
    // to the others are taken at the next round.
    if (auto message = m_routes.front().queue->Wait(kIdleWait)) m_routes.front().handler(*message);
  }
  return true;
}

}  // namespace brisel::test
