#pragma once

// Start-up and shutdown of the program, without any window: the steps the main window runs
// from its set-up and its destruction. The UI's CBriselVRClientDlg owns one of these and adds
// its own steps (tray icon, pages); the command-line front end uses it the same way.

#include <memory>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace brisel {

class FileStatusManager;
class PagesShutdown;
class Service;
struct AppSettings;

inline constexpr const char* kClientDlgTag = "BriselVRClientDlg";

// What a close request does, from ExitWndType.
enum class CloseAction {
  Ask,         // 1: show the exit prompt
  HideToTray,  // 2: run in the background
  Quit,        // 3: quit sequence
  Nothing,     // any other value
};
CloseAction DecideCloseAction(int exitWndType);

// The exit prompt's answers (a NotifyResult of NOTIFY_EXIT).
CloseAction ActionForExitPromptResult(int notifyResult);

class BriselVRClientCore {
 public:
  // `settings` is the record the start-up loads (LoadSettings fills ProgramSettings()); it
  // must outlive the core.
  explicit BriselVRClientCore(AppSettings& settings);
  // Runs Shutdown if it has not run.
  ~BriselVRClientCore();
  BriselVRClientCore(const BriselVRClientCore&) = delete;
  BriselVRClientCore& operator=(const BriselVRClientCore&) = delete;

  // The start-up steps after the window exists: PrepareFolders; PurgeOldLogs (30 days) and
  // StartLogThread; StartLanService; LoadShareCatalogue. False when the settings file could
  // not be read or created (the UI shows "配置文件异常"); start-up has gone on regardless.
  bool Startup(bool systemIntegration = true);

  // LoadSettings, ConvertFolder (creating appData/converted only when ConvertPath is empty),
  // DownloadFolder, file_root and file_root/image. Returns LoadSettings' result.
  bool PrepareFolders(bool systemIntegration = true);
  // EnumerateAdapters; ServiceIp and LocalMac from the first entries; the LAN service on
  // ServiceIp; logs "开启服务成功" or "开启服务失败".
  void StartLanService();
  // The LAN service on `address` (ServiceIp is set to it): creates the Service and its
  // FileStatusManager when there are none, lets it run the DLNA media server as the settings
  // say and calls SetServiceAddress; logs "开启服务成功" when the threads were started,
  // "开启服务失败" otherwise (no address included). Returns SetServiceAddress's result.
  std::uint8_t StartLanServiceOn(const std::string& address);
  // Whether the LAN service may run the DLNA media server at all (briselvr serve --no-dlna
  // says no); when it may, the DlnaServer setting decides. Set it before StartLanService.
  void SetDlnaAllowed(bool allowed) { m_bDlnaAllowed = allowed; }
  // For the picture tool: the program touches nothing outside its folder. The LAN service
  // is made (it holds the share catalogue) but its threads never start, so nothing goes out
  // on the network, and the settings register no autorun entry and hold no keep-awake.
  // Set before Startup. Off by default.
  void SetSandboxed(bool sandboxed) { m_bSandboxed = sandboxed; }
  // Reloads the share catalogue from the record files in file_root.
  void LoadShareCatalogue();

  // After the service threads were stopped for an update that did not happen: starts them
  // again on ServiceIp. Returns whether they were started; logs like StartLanServiceOn.
  bool RestartLanService();

  // The program's shutdown order, in one place: first the pages' threads that call the
  // Service (`pages`, when given: the video list's probes and thumbnails, the device-count
  // monitor), then StopLogThread, then the LAN service's threads, then the service itself
  // (which rewrites the record files), then its FileStatusManager. Idempotent.
  void Shutdown(PagesShutdown* pages = nullptr);

  // Where the FileStatusManager posts: the main window. Set it before StartLanService.
  void SetMainWindowTarget(MessageTargetRef mainWindow) { m_mainWindow = std::move(mainWindow); }

  // The LAN service, for the pages (its Catalogue for the video list, SetServiceAddress on an
  // address switch, ConnectedClientCount for the connected-phone count). Null until
  // StartLanService and after Shutdown. Owned by this object.
  Service* GetService() { return m_pService.get(); }

  // The settings of the run, filled by PrepareFolders.
  const AppSettings& Settings() const { return m_settings; }
  // The choices the user makes in the window, stored in one place: each changes its field and
  // saves config.ini at once (a failed save is logged and not reported, and the value holds
  // for the run).
  // "有任务时电脑不休眠(推荐开启)": ComSleep-UnSleep, and the keep-awake request follows it
  // (not while sandboxed).
  void SetKeepAwake(bool keepAwake);
  // The picture mode of conversions, VideoConvert-Ratio: 1 for 1080P, 2 for 2K.
  void SetConvertRatio(int ratio);
  // What a close does from now on, ExitWndType: 2 hides, 3 quits (the exit prompt's
  // "不再提示").
  void SetExitWndType(int exitWndType);

  const std::vector<std::string>& LocalIpList() const { return m_LocalIpList; }
  const std::vector<std::string>& LocalMacList() const { return m_LocalMacList; }

 private:
  AppSettings& m_settings;
  std::vector<std::string> m_LocalIpList;
  std::vector<std::string> m_LocalMacList;
  MessageTargetRef m_mainWindow;
  std::unique_ptr<Service> m_pService;
  std::unique_ptr<FileStatusManager> m_pFileStatusManager;
  bool m_bDlnaAllowed = true;
  bool m_bStarted = false;
  bool m_bShutDown = false;
  bool m_bSandboxed = false;
};

}  // namespace brisel
