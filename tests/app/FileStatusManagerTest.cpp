#include "app/FileStatusManager.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/RecordingTarget.h"

namespace brisel {
namespace {

TEST(FileStatusManagerTest, PostsOneMessagePerListAndNothingForOtherTypes) {
  auto window = test::RecordingTarget::Create();
  FileStatusManager manager(window);
  manager.OnFileStatusChanged(1, 0, 1, "a.mp4", std::string(32, 'a'), "/v/a.mp4");
  manager.OnFileStatusChanged(2, 1, 0, "b.mp4", std::string(32, 'b'), "/v/视频.mp4");
  manager.OnFileStatusChanged(0, 1, 1, "c.mp4", std::string(32, 'c'), "/v/c.mp4");
  manager.OnFileStatusChanged(3, 1, 1, "d.mp4", std::string(32, 'd'), "/v/d.mp4");
  auto messages = window->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].id, WM_SHARE_FILE_STATUS_1);
  EXPECT_EQ(messages[0].id, WM_USER + 351);
  EXPECT_EQ(messages[0].wParam, 0);
  EXPECT_EQ(messages[0].text, "/v/a.mp4");
  EXPECT_EQ(messages[1].id, WM_USER + 352);
  EXPECT_EQ(messages[1].wParam, 1);
  EXPECT_EQ(messages[1].text, "/v/视频.mp4");
}

// The manager does not keep the window alive: once the window is gone, its posts go nowhere
// (the service may report changes during the shutdown, after the window has been destroyed).
TEST(FileStatusManagerTest, WindowThatIsGoneIsNotReached) {
  // Counts the posts that reach a window, also after the window object has been destroyed.
  struct Window : MessageTarget {
    explicit Window(std::size_t* delivered) : m_delivered(delivered) {}
    void Post(Message) override { ++*m_delivered; }
    std::size_t* m_delivered;
  };
  std::size_t delivered = 0;
  auto window = std::make_shared<Window>(&delivered);
  std::weak_ptr<Window> watch = window;
  FileStatusManager manager(window);
  manager.OnFileStatusChanged(1, 1, 1, "a.mp4", std::string(32, 'a'), "/v/a.mp4");
  ASSERT_EQ(delivered, 1u);
  window.reset();
  EXPECT_TRUE(watch.expired()) << "the manager holds no owning reference to the window";
  manager.OnFileStatusChanged(1, 1, 1, "a.mp4", std::string(32, 'a'), "/v/a.mp4");
  manager.OnFileStatusChanged(2, 0, 0, "b.mp4", std::string(32, 'b'), "/v/b.mp4");
  EXPECT_EQ(delivered, 1u);
}

}  // namespace
}  // namespace brisel
