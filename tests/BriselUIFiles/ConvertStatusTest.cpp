#include "BriselUIFiles/ConvertStatus.h"

#include <gtest/gtest.h>

namespace brisel {
namespace {

// A run's end reads back as it was made, and no other message reads as one.
TEST(ConvertStatus, ATaskStatusReadsBackAndOtherMessagesDoNot) {
  for (int code : {TRANSCODE_COMPLETED, TRANSCODE_STOPPED, TRANSCODE_FAILED}) {
    SCOPED_TRACE(code);
    std::optional<TaskStatus> t = ReadTaskStatus(MakeTaskStatus(code, "{ID}", "创建通道异常"));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->code, code);
    EXPECT_EQ(t->taskId, "{ID}");
    EXPECT_EQ(t->boxText, "创建通道异常");
  }
  EXPECT_EQ(ReadTaskStatus(MakeTaskStatus(TRANSCODE_COMPLETED, "{ID}"))->boxText, "");
  EXPECT_FALSE(ReadTaskStatus(Message(WM_TASK_COMMAND, TRANSCODE_STOPPED, 0, "{ID}")));
}

}  // namespace
}  // namespace brisel
