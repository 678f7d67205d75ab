#include "app/BriselVRClientCore.h"

#include <ctime>

#include "BriselDataManager/LogRecorder.h"
#include "app/AppSettings.h"
#include "app/ProgramValues.h"
#include "platform/FileSystem.h"
#include "platform/NetworkAdapters.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"

namespace brisel {

CloseAction DecideCloseAction(int exitWndType) {
  switch (exitWndType) {
    case 1:
      return CloseAction::Ask;
    case 2:
      return CloseAction::HideToTray;
    case 3:
      return CloseAction::Quit;
    default:
      return CloseAction::Nothing;
  }
}

CloseAction ActionForExitPromptResult(int notifyResult) {
  switch (notifyResult) {
    case 21:  // "后台运行"
      return CloseAction::HideToTray;
    case 22:  // "完全退出"
      return CloseAction::Quit;
    default:  // 42, the close button, and anything else
      return CloseAction::Nothing;
  }
}

BriselVRClientCore::BriselVRClientCore() = default;

BriselVRClientCore::~BriselVRClientCore() { Shutdown(); }

bool BriselVRClientCore::Startup(bool systemIntegration) {
  m_bStarted = true;
  bool settingsOk = PrepareFolders(systemIntegration);
  PurgeOldLogs(static_cast<std::int64_t>(std::time(nullptr)) - 2592000);
  StartLogThread();
  StartLanService();
  LoadShareCatalogue();
  return settingsOk;
}

bool BriselVRClientCore::PrepareFolders(bool systemIntegration) {
  bool ok = LoadSettings(systemIntegration);
  const std::string folder = GetExeFolder();
  const std::string defaultFolder = folder + "/appData/converted/";
  const std::string& chosen = theSettings->m_strConvertPath;
  SetConvertFolder(chosen.empty() ? defaultFolder : chosen);
  // The default output folder is made when it is in use, also when a first start has written
  // it into ConvertPath; a folder the user chose elsewhere is left alone.
  if (chosen.empty() || chosen == defaultFolder) {
    if (!IsDirectory(folder + "/appData")) CreateDirectoryOne(folder + "/appData");
    if (!IsDirectory(folder + "/appData/converted"))
      CreateDirectoryOne(folder + "/appData/converted");
  }
  SetDownloadFolder(folder + "/appData/download/");
  CreateDirectoryOne(folder + "/file_root");
  CreateDirectoryOne(folder + "/file_root/image");
  return ok;
}

void BriselVRClientCore::StartLanService() {
  EnumerateAdapters(&m_LocalIpList, &m_LocalMacList);
  SetServiceIp(m_LocalIpList.empty() ? std::string() : TruncateUtf16(m_LocalIpList.front(), 19));
  SetLocalMac(m_LocalMacList.empty() ? std::string() : m_LocalMacList.front());
  // The LAN service is not part of this build yet: there is nothing to start.
  WriteLog("开启服务失败", kClientDlgTag);
}

void BriselVRClientCore::LoadShareCatalogue() {}

void BriselVRClientCore::Shutdown() {
  if (m_bShutDown || !m_bStarted) return;
  m_bShutDown = true;
  StopLogThread();
}

}  // namespace brisel
