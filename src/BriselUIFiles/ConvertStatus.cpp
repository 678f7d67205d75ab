#include "BriselUIFiles/ConvertStatus.h"

namespace brisel {

Message MakeTaskStatus(int code, std::string taskId, std::string boxText) {
  return Message(WM_CONVERT_STATUS, code, 0, std::move(taskId), std::move(boxText));
}

std::optional<TaskStatus> ReadTaskStatus(const Message& message) {
  if (message.id != WM_CONVERT_STATUS) return std::nullopt;
  return TaskStatus{static_cast<int>(message.wParam), message.text, message.text2};
}

Message MakeVideoStatus(int code, std::string path) {
  return Message(WM_CONVERT_STATUS, code, 0, std::move(path));
}

std::optional<VideoStatus> ReadVideoStatus(const Message& message) {
  if (message.id != WM_CONVERT_STATUS || message.wParam == CONVERT_COMPLETED) return std::nullopt;
  return VideoStatus{static_cast<int>(message.wParam), message.text};
}

Message MakeConvertedStatus(std::string sourcePath, std::string outputPath) {
  return Message(WM_CONVERT_STATUS, CONVERT_COMPLETED, 0, std::move(sourcePath),
                 std::move(outputPath));
}

std::optional<ConvertedStatus> ReadConvertedStatus(const Message& message) {
  if (message.id != WM_CONVERT_STATUS || message.wParam != CONVERT_COMPLETED) return std::nullopt;
  return ConvertedStatus{message.text, message.text2};
}

}  // namespace brisel
