#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The vocabulary of the notification dialog and the toasts, shared by the core (which asks
// for them and reads the answers) and the toolkit (which shows them). No Qt here.
namespace brisel {

// What a notification dialog asks.
enum NotifyKind : int {
  NOTIFY_DELETE_CONVERTED = 1,  // "删除转码视频": 确认 / 取消, "彻底删除源文件"
  NOTIFY_CANCEL_TASK = 2,       // "取消任务": 确认 / 取消
  NOTIFY_EXIT = 3,              // "退出提示": 后台运行 / 完全退出
  NOTIFY_DUPLICATE_NAME = 4,    // "重名任务": 继续 / 跳过
  NOTIFY_DELETE_TASK = 5,       // "删除任务": 确认 / 取消
};

// The answer of a notification dialog, read by the caller after the modal run.
enum NotifyResult : int {
  NOTIFY_NO_CHOICE = 0,            // Esc, Enter, or a button without its own code
  NOTIFY_DELETE = 10,              // kind 1 "确认"
  NOTIFY_DELETE_WITH_SOURCE = 11,  // kind 1 "确认" with "彻底删除源文件" ticked
  NOTIFY_RUN_HIDDEN = 21,          // "后台运行"
  NOTIFY_QUIT = 22,                // "完全退出"
  NOTIFY_KEEP_BOTH = 30,           // kind 4 "继续"
  NOTIFY_SKIP = 31,                // kind 4 "跳过"
  NOTIFY_CANCEL_CONFIRMED = 40,    // kind 2 "确认"
  NOTIFY_CANCEL_DECLINED = 41,     // kind 2 "取消"
  NOTIFY_CLOSED = 42,              // the close button
};

// The toasts (WM_SHOW_TOAST's wParam).
enum ToastKind : int {
  TOAST_ALREADY_CONVERTED = 1,  // "该任务已转码"
  TOAST_FILE_EXISTS = 2,        // "文件已存在"
  TOAST_TASK_EXISTS = 3,        // "任务已存在"
  TOAST_NOT_VIDEO = 4,          // "无法添加非视频类文件"
  TOAST_PATH_TOO_LONG = 5,      // "文件路径过长"
  TOAST_TOO_MANY = 6,           // "至多可添加70项视频"
  TOAST_MOVED_OR_DELETED = 7,   // "视频已被移动或删除"
  TOAST_SUBMITTED = 8,          // "提交成功"
  TOAST_SUBMIT_FAILED = 9,      // "提交失败"
  TOAST_NO_SERVER = 10,         // "服务器连接失败"
  TOAST_IN_USE = 11,            // "视频正被其他程序使用"
  TOAST_UP_TO_DATE = 12,        // "已经是最新版本"
  TOAST_SHARE_LIST_FULL = 13,  // "至多可添加35项视频" (ordinary videos, as many as phones see)
};

// How many characters (UTF-16 code units) of a name a prompt shows.
inline constexpr std::size_t kMaxPromptNameLength = 10;

// A name as a prompt shows it inside 《》: a name longer than kMaxPromptNameLength
// characters becomes its first ones followed by "...", never splitting a character.
std::string ShortPromptName(std::string_view name);

}  // namespace brisel
