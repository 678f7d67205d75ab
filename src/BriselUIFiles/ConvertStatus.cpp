#include "BriselUIFiles/ConvertStatus.h"

namespace brisel {

Message MakeTaskStatus(int code, std::string taskId, std::string boxText) {
  return Message(WM_CONVERT_STATUS, code, 0, std::move(taskId), std::move(boxText));
}

std::optional<TaskStatus> ReadTaskStatus(const Message& message) {
  if (message.id != WM_CONVERT_STATUS) return std::nullopt;
  return TaskStatus{static_cast<int>(message.wParam), message.text, message.text2};
}

}  // namespace brisel
