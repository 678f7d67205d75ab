#include <gtest/gtest.h>

#include <thread>

#include "platform/MessageQueue.h"

namespace brisel {
namespace {

TEST(MessageQueue, DeliversInOrderAcrossThreadsAndOwnsPayloads) {
  auto queue = std::make_shared<MessageQueue>();
  MessageTargetRef ref = queue;
  std::thread sender([ref] {
    for (int i = 0; i < 1000; ++i)
      PostTo(ref, Message(WM_CONVERT_STATUS, i, 0, "task " + std::to_string(i)));
  });
  for (int i = 0; i < 1000; ++i) {
    Message m = queue->Wait();
    ASSERT_EQ(m.wParam, i);
    ASSERT_EQ(m.text, "task " + std::to_string(i));
  }
  sender.join();
  EXPECT_FALSE(queue->Wait(std::chrono::milliseconds(10)).has_value());
}

TEST(MessageQueue, PostToAGoneTargetIsDropped) {
  MessageTargetRef ref;
  {
    auto queue = std::make_shared<MessageQueue>();
    ref = queue;
    EXPECT_TRUE(PostTo(ref, Message(WM_SHOW_TOAST, 5)));
  }
  EXPECT_FALSE(PostTo(ref, Message(WM_SHOW_TOAST, 5)));
}

TEST(MessageQueue, BoundedQueueDropsBeyondItsCapacity) {
  MessageQueue queue(2);
  for (int i = 0; i < 5; ++i) queue.Post(Message(WM_LOG_DAILY, i));
  EXPECT_EQ(queue.Size(), 2u);
}

}  // namespace
}  // namespace brisel
