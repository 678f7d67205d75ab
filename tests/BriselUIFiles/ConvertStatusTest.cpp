#include "BriselUIFiles/ConvertStatus.h"

#include <gtest/gtest.h>

namespace brisel {
namespace {

// Each layout reads back what was made, and a reader refuses the layouts that are not its
// own: the share page tells a converted file from a video status by the reader alone.
TEST(ConvertStatus, EachLayoutReadsBackAndRefusesTheOthers) {
  Message converted = MakeConvertedStatus("/videos/clip.avi", "/out/clip.mp4");
  std::optional<ConvertedStatus> c = ReadConvertedStatus(converted);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->sourcePath, "/videos/clip.avi");
  EXPECT_EQ(c->outputPath, "/out/clip.mp4");
  EXPECT_FALSE(ReadVideoStatus(converted));

  for (int code : {CONVERT_FINISHED, CONVERT_QUEUED, CONVERT_STARTED, CONVERT_REMOVED,
                   CONVERT_INTERRUPTED, CONVERT_FAILED}) {
    SCOPED_TRACE(code);
    Message status = MakeVideoStatus(code, "/videos/clip.avi");
    std::optional<VideoStatus> v = ReadVideoStatus(status);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->code, code);
    EXPECT_EQ(v->path, "/videos/clip.avi");
    EXPECT_FALSE(ReadConvertedStatus(status));
  }

  std::optional<TaskStatus> t =
      ReadTaskStatus(MakeTaskStatus(CONVERT_FAILED, "{ID}", "创建通道异常"));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->code, CONVERT_FAILED);
  EXPECT_EQ(t->taskId, "{ID}");
  EXPECT_EQ(t->boxText, "创建通道异常");

  Message other(WM_TASK_COMMAND, 0, 0, "{ID}", "上移至顶部");
  EXPECT_FALSE(ReadTaskStatus(other));
  EXPECT_FALSE(ReadVideoStatus(other));
  EXPECT_FALSE(ReadConvertedStatus(other));
}

}  // namespace
}  // namespace brisel
