#pragma once

// The program's custom messages. Worker threads reach the windows (and the log thread) by
// posting these; each keeps its number (WM_USER = 0x400) and name, and every number has its
// one name here. They stand in for window messages, so any module may use them. Between
// objects on the UI thread the same exchanges are typed calls (marked "typed" below); their
// numbers stay for the table.
//
// A message is a value: an id, two integers and an owned payload. A text handed to the
// receiver is `text` (a second text, or the second path of a pair, is `text2`); a record
// (ConvertRequest, LogQuery, ...) travels in `record`. Nothing that is owned by the sender
// crosses a thread as a raw pointer.

#include <any>
#include <cstdint>
#include <memory>
#include <string>

namespace brisel {

inline constexpr std::uint32_t WM_USER = 0x400;

// Name                                  Value           Sender -> receiver
inline constexpr std::uint32_t WM_GIF_STOP = WM_USER + 87;    // GIF control -> its animation
inline constexpr std::uint32_t WM_LOG_DAILY = WM_USER + 201;  // any thread -> log thread (text)
inline constexpr std::uint32_t WM_LOG_NAMED = WM_USER + 202;  // -> log thread (text, lParam kind)
inline constexpr std::uint32_t WM_LOG_QUERY =
    WM_USER + 203;  // -> log thread (record), and its reply
inline constexpr std::uint32_t WM_SWITCH_PAGE =
    WM_USER + 251;  // left menu -> main window (wParam page)
inline constexpr std::uint32_t WM_SHARE_ACTION = WM_USER + 301;  // share page buttons -> share page
inline constexpr std::uint32_t WM_IP_CHOSEN = WM_USER + 302;  // address menu -> share page (text)
inline constexpr std::uint32_t WM_TASK_MODE =
    WM_USER + 303;  // picture-mode menu -> task item (text)
inline constexpr std::uint32_t WM_TASK_COMMAND =
    WM_USER + 304;  // task row -> conversion list: typed (ConvertListCore::OnTaskCommand)
inline constexpr std::uint32_t WM_CONVERT_REQUEST =
    WM_USER + 305;  // video list -> share page: typed (VideoWndListPage)
inline constexpr std::uint32_t WM_SELECTION_STATE =
    WM_USER + 307;  // video list -> share page: typed (VideoWndListPage)
inline constexpr std::uint32_t WM_CANCEL_TASK =
    WM_USER + 308;  // video list -> share page: typed (VideoWndListPage)
inline constexpr std::uint32_t WM_CONVERTED_DELETED =
    WM_USER + 309;  // video list -> share page: typed (VideoWndListPage)
inline constexpr std::uint32_t WM_SHARE_FILE_STATUS_1 =
    WM_USER + 351;  // FileStatusManager -> main window
inline constexpr std::uint32_t WM_SHARE_FILE_STATUS_2 =
    WM_USER + 352;  // FileStatusManager -> main window
inline constexpr std::uint32_t WM_CONVERT_STATUS =
    WM_USER + 401;  // transcoder thread -> its conversion list (ConvertStatus.h)
inline constexpr std::uint32_t WM_CONVERT_ALLDONE =
    WM_USER + 402;  // conversion list -> share page: typed (ConvertListPage)
inline constexpr std::uint32_t WM_TRAY_NOTIFY = WM_USER + 501;  // tray icon -> main window
inline constexpr std::uint32_t WM_SHOW_TOAST =
    WM_USER + 550;  // video list -> share page: typed (VideoWndListPage)
inline constexpr std::uint32_t WM_CHECK_UPDATE =
    WM_USER + 601;  // -> main window: the version check; settings page: typed (SettingsPageHost)

// Messages this program adds for its own workers (numbers above the system's table), in
// blocks of ten per subsystem: WM_BRISEL_PRIVATE + 10 * subsystem + n.
inline constexpr std::uint32_t WM_BRISEL_PRIVATE = WM_USER + 700;
// Log recorder (block 0): its own stop request, queued behind the lines to write.
inline constexpr std::uint32_t WM_LOG_STOP = WM_BRISEL_PRIVATE + 1;
// Video tiles (block 3), posted to the tile's repaint target by its probe and thumbnail
// threads. WM_TILE_REPAINT: repaint (wParam, lParam 0). WM_TILE_MESSAGE_BOX: the thumbnail
// converter could not be started; text = the message box's text.
inline constexpr std::uint32_t WM_TILE_REPAINT = WM_BRISEL_PRIVATE + 30;
inline constexpr std::uint32_t WM_TILE_MESSAGE_BOX = WM_BRISEL_PRIVATE + 31;
// The share page's workers (block 3), posted to the page. WM_PAGE_DEVICE_COUNT: the
// connected-phone count changed (wParam: the count). WM_PAGE_ADDRESS_SWITCHED: an address
// switch ended (wParam: SetServiceAddress's result; text: the address).
inline constexpr std::uint32_t WM_PAGE_DEVICE_COUNT = WM_BRISEL_PRIVATE + 32;
inline constexpr std::uint32_t WM_PAGE_ADDRESS_SWITCHED = WM_BRISEL_PRIVATE + 33;
// Update download worker -> download dialog (or the command line). wParam: the percentage
// 0..100, or -1 when the reply has no length; lParam: the bytes received so far.
inline constexpr std::uint32_t WM_DOWNLOAD_PROGRESS = WM_BRISEL_PRIVATE + 50;
// Update download worker -> download dialog, once per download. wParam: DownloadResult;
// lParam: the HTTP status when one was received (else 0); text: the installer path; text2: a
// diagnostic for the log or the terminal (empty on success).
inline constexpr std::uint32_t WM_DOWNLOAD_RESULT = WM_BRISEL_PRIVATE + 51;

// Version check thread -> main window, once per check. wParam: the check's result
// (HttpHelper::CheckResult); text: the installer's URL when an update is available; text2: a
// message box to show (the service's own failure), else empty.
inline constexpr std::uint32_t WM_VERSION_CHECKED = WM_BRISEL_PRIVATE + 52;

// A drop-down's list -> the drop-down, by a direct call inside the toolkit: an item was
// picked. A private number below WM_USER, as the drop-down's windows use among themselves.
inline constexpr std::uint32_t WM_COMBO_PICKED = 103;

// The system command message and the close command (their system values), posted to the
// main window when the downloaded installer has been started.
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr int SC_CLOSE = 0xF060;

// A menu command (wParam: the command value) and the tray icon's mouse messages (lParam of
// WM_TRAY_NOTIFY), at their system values.
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr int WM_LBUTTONDBLCLK = 0x0203;
inline constexpr int WM_RBUTTONDOWN = 0x0204;
inline constexpr int WM_RBUTTONUP = 0x0205;

// Command values of the main window.
inline constexpr int ID_HIDE_TO_TRAY = 1526;
inline constexpr int ID_TRAY_CLOSE = 1527;
inline constexpr int ID_TRAY_SHOW = 1528;

struct Message {
  std::uint32_t id = 0;
  std::intptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::string text;   // the (first) heap text
  std::string text2;  // the second heap text, or the second path of a pair
  std::any record;    // an owned record

  Message() = default;
  Message(std::uint32_t id_, std::intptr_t w = 0, std::intptr_t l = 0, std::string t = {},
          std::string t2 = {})
      : id(id_), wParam(w), lParam(l), text(std::move(t)), text2(std::move(t2)) {}
};

// A receiver of posted messages. Post is thread-safe and never blocks the caller: the
// message is queued and handled later on the receiver's own thread.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void Post(Message message) = 0;
};

// Senders hold receivers weakly: a post to a receiver that is gone is dropped, never
// dereferenced.
using MessageTargetRef = std::weak_ptr<MessageTarget>;

// Posts when the receiver still exists; false when it is gone.
inline bool PostTo(const MessageTargetRef& target, Message message) {
  if (auto receiver = target.lock()) {
    receiver->Post(std::move(message));
    return true;
  }
  return false;
}

}  // namespace brisel
