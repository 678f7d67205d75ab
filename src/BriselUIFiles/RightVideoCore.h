#pragma once

// The share page's logic: the core of CRightVideoDlg. The page is the hub between the video
// library (VideoWndListCore) and the conversion queue (ConvertListCore): it turns the
// library's requests into tasks, hands every change of a task back to the library, runs the
// share actions (add, convert, delete), decides which of the page's controls are shown and
// enabled, moves the LAN service to another address and counts the connected phones.
//
// Thread contract:
// - The owner thread (the UI thread) calls every member function; the library (through
//   VideoWndListPage) and the queue (through ConvertListPage) call it there, and its calls
//   to its window (RightVideoHost) and the main window (SharePageHost) are made there.
// - Posted to `self` and handed to HandleMessage on the owner thread: WM_SHARE_ACTION and
//   WM_IP_CHOSEN from the page's windows, and the page's own workers' WM_PAGE_DEVICE_COUNT
//   and WM_PAGE_ADDRESS_SWITCHED.
// - The device-count monitor thread reads the service's connection count (an atomic) and
//   posts WM_PAGE_DEVICE_COUNT when it changes. The address-switch thread calls
//   SetServiceAddress, logs its outcome and posts WM_PAGE_ADDRESS_SWITCHED. Neither touches
//   anything else of the page. Shutdown (also run by the destructor) ends and joins both; the
//   service must outlive the object or its Shutdown.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BriselUIFiles/ConvertListPage.h"
#include "BriselUIFiles/RightVideoHost.h"
#include "BriselUIFiles/ShareView.h"
#include "BriselUIFiles/VideoWndListPage.h"
#include "platform/Messages.h"

namespace brisel {

class ConvertListCore;
class Service;
class SharePageHost;
class VideoWndListCore;

inline constexpr const char* kRightVideoDlgTag = "BriselUIFiles\\RightVideoDlg";

// Control ids of the share page.
enum ShareControl : int {
  IDC_SHARE_ADD = 1001,             // "添加"
  IDC_SHARE_CONVERT = 1002,         // "转码"
  IDC_SHARE_GROUP = 1003,           // "分组", never shown
  IDC_SHARE_DELETE = 1004,          // "删除"
  IDC_SHARE_MINIMISE = 1005,        //
  IDC_SHARE_CLOSE = 1006,           //
  IDC_SHARE_ADDRESS_BOX = 1007,     // the page draws the address box itself
  IDC_SHARE_ANIMATION = 1009,       // conversion animation, never shown
  IDC_SHARE_CHANGE_FOLDER = 1034,   // "修改"
  IDC_SHARE_SAME_GROUP = 1056,      // "同组", never shown
  IDC_SHARE_CLEAR_FINISHED = 1057,  // "清空已完成"
  IDC_SHARE_LIST_BUTTON = 1061,     // conversion list button, never shown
  IDC_SHARE_CHECK_ALL = 1085,       // "全选"
};

// WM_SHARE_ACTION's wParam.
enum ShareAction : int {
  SHARE_ACTION_ADD = 1,
  SHARE_ACTION_CONVERT = 2,
  SHARE_ACTION_DELETE = 3,
};

// The footer's output folder: a path of 42 characters or more shows its first 42 characters
// and "...".
inline constexpr std::size_t kFooterPathLength = 42;
std::string FooterPathText(const std::string& path);

// "【已连接%d台设备】".
std::string DeviceCountText(int count);
// "IP: %s" with the service's address; without one (the PC has no LAN address, so no phone
// can reach it) "IP: 网络未连接".
std::string AddressText(const std::string& address);

class RightVideoCore : public VideoWndListPage, public ConvertListPage {
 public:
  // `service` may be null (no address switch, a count of 0), and so may `mainWindow` (no
  // balloon, no animation of the left menu); `host` and `mainWindow` must outlive the object.
  RightVideoCore(Service* service, RightVideoHost* host, SharePageHost* mainWindow,
                 MessageTargetRef self);
  ~RightVideoCore() override;
  RightVideoCore(const RightVideoCore&) = delete;
  RightVideoCore& operator=(const RightVideoCore&) = delete;

  // The two views the page routes between; either may be null (nothing is routed there).
  // Both must outlive the object or a later Attach.
  void Attach(VideoWndListCore* videoList, ConvertListCore* convertList);

  // The page's start: view 0, the controls as the library allows, the device-count monitor.
  void Start();

  // WM_SHARE_ACTION, WM_IP_CHOSEN and the page's own messages; false for any other message.
  bool HandleMessage(const Message& message);

  // The share actions (WM_SHARE_ACTION from "添加" and "转码", a call from "删除"): add
  // through the file dialog, convert the ticked videos (then the queue is laid out and
  // saved), delete the ticked videos. Each ends with RefreshSelection.
  void OnShareAction(int action);

  // A tile was clicked, and after every other change of the library: Convert follows the
  // library's selection report, Delete is enabled while a video is ticked (Convert and Delete
  // are disabled when none is), "全选" is ticked while every video is.
  void RefreshSelection() override;
  // "全选": ticks every video when the box is clear, clears every tick when it is ticked.
  void OnCheckAllClicked();

  // Shows view 0, 1 or 2 with its controls; any other value only repaints.
  void SelectView(int view);
  int View() const { return m_nShareView; }
  // Whether a control (ShareControl) is shown in the current view, enabled, and the tick of
  // "全选".
  bool Shown(int id) const;
  bool Enabled(int id) const;
  bool CheckAllTicked() const { return m_bCheckAll; }

  // The output folder of conversions chosen with "修改": stored in the settings and saved.
  void SetConvertPath(const std::string& folder);

  // The PC's IPv4 addresses, enumerated afresh.
  static std::vector<std::string> LocalAddresses();
  // The address menu opens only when there is a choice: two or more addresses, or one that
  // the service is not on (a network that came up after the start, which the user can then
  // start the service on).
  static bool OffersAddressMenu(const std::vector<std::string>& addresses,
                                const std::string& serviceAddress);
  // WM_IP_CHOSEN: moves the LAN service to `address` on the switch thread. ServiceIp shows
  // the address at once. Ignored (only a repaint) while a switch runs or the page closes.
  void SwitchServiceAddress(const std::string& address);
  bool SwitchRunning() const { return m_bSwitchRunning; }

  // The connected-phone count as the monitor last saw it (0 before its first count).
  int DeviceCount() const { return m_nDeviceCount.load(); }
  bool Connected() const { return DeviceCount() != 0; }
  // Starts the monitor unless it runs or the page closes: its first count comes after
  // `firstCount`, then one every 100 ms.
  void StartDeviceCountMonitor();
  bool MonitorRunning() const;

  // The quit sequence's and the update flow's needs.
  bool IsAnyConverting() const;
  void StopAll(bool exiting);
  // The closing flags: the monitor ends (it is waited for) and no address switch starts.
  void RaiseClosingFlags();
  // Clears the closing flags and starts the device-count monitor again (after a cancelled
  // update brought the LAN service back).
  void RestartDeviceCountMonitor();
  bool Closing() const { return m_bClosing; }
  // The quit sequence's share: a running conversion is stopped for the exit (its task stays
  // in the list, interrupted), then the closing flags.
  void PrepareQuit();
  // Before the service goes: the closing flags, and a running address switch is waited for.
  // Afterwards no thread of the page touches the service. Idempotent.
  void Shutdown();

  // Timing of the monitor (tests may shorten the first wait).
  void SetFirstCountDelay(std::chrono::milliseconds delay) { m_firstCountDelay = delay; }

  // VideoWndListPage
  int RequestConversion(const ConvertRequest& request) override;
  void ReportSelection(SelectionState state) override;
  int CancelTask(const std::string& name, const std::string& path) override;
  void ConvertedDeleted(const std::string& path) override;
  void ShowToast(int kind) override;
  bool FindTask(const std::string& path, const std::string& name) override;
  void ShowConvertedBalloon(const std::string& title) override;

  // ConvertListPage: every change reaches the library, then the controls are refreshed; the
  // left menu animates while a task converts.
  void OnTaskStateChanged(int status, const std::string& path) override;
  void OnConverted(const std::string& sourcePath, const std::string& outputPath) override;
  void OnConvertingChanged(bool converting) override;

 private:
  void OnAddressSwitched(int result, const std::string& address);
  void StopDeviceCountMonitor();
  void MonitorThread(int previous);
  bool HasVideos() const;

  Service* const m_pService;
  RightVideoHost* const m_pHost;
  SharePageHost* const m_pMainWindow;
  const MessageTargetRef m_self;
  VideoWndListCore* m_pVideoList = nullptr;
  ConvertListCore* m_pConvertList = nullptr;

  int m_nShareView = SHARE_VIEW_VIDEOS;
  bool m_bConvertEnabled = true;
  bool m_bDeleteEnabled = true;
  bool m_bCheckAll = false;
  bool m_bClosing = false;

  // The device-count monitor.
  std::chrono::milliseconds m_firstCountDelay{1000};
  std::atomic<int> m_nDeviceCount{0};
  mutable std::mutex m_monitorMutex;
  std::condition_variable m_monitorWake;
  bool m_bMonitorStop = false;  // under m_monitorMutex
  std::thread m_hMonitor;

  // The address switch (owner thread only).
  bool m_bSwitchRunning = false;
  std::thread m_hSwitch;
};

}  // namespace brisel
