#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/Sandbox.h"
#include "toolkit/MessageReceiver.h"

namespace brisel {
namespace {

struct Delivery {
  std::uint32_t id;
  std::intptr_t wParam;
  std::string text;
  bool onUiThread;
};

// A widget that writes what reaches it into a log that outlives it, so a delivery to a
// receiver that is gone shows up (and crashes under ASan).
class RecordingWidget : public QWidget, public MessageReceiver {
 public:
  explicit RecordingWidget(std::vector<Delivery>* log) : m_log(log) {}

 protected:
  void OnMessage(const Message& m) override {
    m_log->push_back({m.id, m.wParam, m.text, QThread::currentThread() == qApp->thread()});
  }

 private:
  std::vector<Delivery>* m_log;
};

bool ProcessEventsUntil(const std::function<bool()>& condition) {
  return test::WaitFor([&] {
    QCoreApplication::processEvents();
    return condition();
  });
}

TEST(MessageReceiver, PostsFromWorkersArriveInTheirOrderOnTheUiThread) {
  std::vector<Delivery> log;
  RecordingWidget widget(&log);
  const MessageTargetRef target = widget.Target();
  constexpr int kPerWorker = 2000;
  auto work = [target](std::uint32_t id) {
    for (int i = 0; i < kPerWorker; ++i)
      PostTo(target, Message(id, i, 0, "payload " + std::to_string(i)));
  };
  std::thread first(work, WM_CONVERT_STATUS), second(work, WM_DOWNLOAD_PROGRESS);
  first.join();
  second.join();
  ASSERT_TRUE(ProcessEventsUntil([&] { return log.size() >= 2 * kPerWorker; }));
  QCoreApplication::processEvents();
  ASSERT_EQ(log.size(), 2u * kPerWorker) << "every post arrives once";

  std::intptr_t next[2] = {0, 0};
  for (const Delivery& d : log) {
    ASSERT_TRUE(d.onUiThread);
    std::intptr_t& expected = next[d.id == WM_CONVERT_STATUS ? 0 : 1];
    ASSERT_EQ(d.wParam, expected) << "a worker's posts keep their order";
    ASSERT_EQ(d.text, "payload " + std::to_string(expected));
    ++expected;
  }
}

TEST(MessageReceiver, NothingReachesAReceiverThatIsGone) {
  std::vector<Delivery> log;
  auto* widget = new RecordingWidget(&log);
  const MessageTargetRef target = widget->Target();
  EXPECT_TRUE(PostTo(target, Message(WM_CONVERT_STATUS, 1)));  // queued, not yet delivered
  // A worker that has just locked the target when the receiver dies.
  std::shared_ptr<MessageTarget> held = target.lock();
  delete widget;

  held->Post(Message(WM_CONVERT_STATUS, 2));
  held.reset();
  EXPECT_FALSE(PostTo(target, Message(WM_CONVERT_STATUS, 3))) << "the target went with it";
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(log.empty());
}

TEST(MessageReceiver, AReceiverDestroyedWhileWorkersPostStopsReceiving) {
  std::vector<Delivery> log;
  auto* widget = new RecordingWidget(&log);
  const MessageTargetRef target = widget->Target();
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      // Bounded: ends when the receiver is gone, or after enough posts on a slow machine.
      for (int i = 0; i < 20000 && !stop; ++i)
        if (!PostTo(target, Message(WM_CONVERT_STATUS, i))) break;
    });
  }
  ASSERT_TRUE(ProcessEventsUntil([&] { return log.size() >= 100; }));
  delete widget;
  const std::size_t delivered = log.size();
  stop = true;
  for (std::thread& t : workers) t.join();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(log.size(), delivered);
}

}  // namespace
}  // namespace brisel
