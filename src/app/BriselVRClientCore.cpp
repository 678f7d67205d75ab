#include "app/BriselVRClientCore.h"

#include <ctime>

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/PagesShutdown.h"
#include "ConService/Service.h"
#include "app/FileStatusManager.h"
#include "platform/FileSystem.h"
#include "platform/NetworkAdapters.h"
#include "platform/Notifications.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"

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
    case NOTIFY_RUN_HIDDEN:
      return CloseAction::HideToTray;
    case NOTIFY_QUIT:
      return CloseAction::Quit;
    default:  // NOTIFY_CLOSED and anything else
      return CloseAction::Nothing;
  }
}

BriselVRClientCore::BriselVRClientCore(AppSettings& settings) : m_settings(settings) {}

BriselVRClientCore::~BriselVRClientCore() { Shutdown(); }

bool BriselVRClientCore::Startup(bool systemIntegration) {
  m_bStarted = true;
  bool settingsOk = PrepareFolders(systemIntegration && !m_bSandboxed);
  PurgeOldLogs(static_cast<std::int64_t>(std::time(nullptr)) - 2592000);
  StartLogThread();
  WriteLog(DescribeProgramFolders(GetProgramFolders()), kClientDlgTag);
  StartLanService();
  LoadShareCatalogue();
  return settingsOk;
}

bool BriselVRClientCore::PrepareFolders(bool systemIntegration) {
  // An installed program's first start makes its data folder; a portable one has it already.
  PrepareDataFolder();
  bool ok = LoadSettings(systemIntegration);
  const std::string folder = GetDataFolder();
  const std::string defaultFolder = folder + "/appData/converted/";
  const std::string& chosen = m_settings.m_strConvertPath;
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
  StartLanServiceOn(ServiceIp());
}

std::uint8_t BriselVRClientCore::StartLanServiceOn(const std::string& address) {
  m_bStarted = true;
  SetServiceIp(TruncateUtf16(address, 19));
  if (!m_pService) m_pService = std::make_unique<Service>();
  if (!m_pFileStatusManager)
    m_pFileStatusManager = std::make_unique<FileStatusManager>(m_mainWindow);
  m_pService->Catalogue().SetFileStatusChangeListener(m_pFileStatusManager.get());
  m_pService->SetDlnaServerEnabled(m_bDlnaAllowed && m_settings.m_nDlnaServer != 0);
  if (m_bSandboxed) return 0;
  std::uint8_t result = m_pService->SetServiceAddress(ServiceIp());
  WriteLog(result == 1 ? "开启服务成功" : "开启服务失败", kClientDlgTag);
  return result;
}

void BriselVRClientCore::SetKeepAwake(bool keepAwake) {
  m_settings.m_nKeepAwake = keepAwake ? 1 : 0;
  if (!m_bSandboxed) ApplyKeepAwake(m_settings);
  SaveSettings(m_settings);
}

void BriselVRClientCore::SetConvertRatio(int ratio) {
  m_settings.m_nConvertRatio = ratio;
  SaveSettings(m_settings);
}

void BriselVRClientCore::SetExitWndType(int exitWndType) {
  m_settings.m_nExitWndType = exitWndType;
  SaveSettings(m_settings);
}

void BriselVRClientCore::LoadShareCatalogue() {
  if (m_pService) m_pService->Catalogue().LoadAllShareRecords();
}

bool BriselVRClientCore::RestartLanService() {
  if (m_bSandboxed) return false;
  if (!m_pService) return StartLanServiceOn(ServiceIp()) == 1;
  if (m_pService->ServiceAddress() != ServiceIp()) return StartLanServiceOn(ServiceIp()) == 1;
  bool started = m_pService->StartServiceThreads();
  WriteLog(started ? "开启服务成功" : "开启服务失败", kClientDlgTag);
  return started;
}

void BriselVRClientCore::Shutdown(PagesShutdown* pages) {
  if (m_bShutDown) return;
  // The pages first: their threads call the Service, which must still exist.
  if (pages) {
    pages->ShutdownPages();
    m_bShutDown = true;
  }
  if (!m_bStarted) return;
  m_bShutDown = true;
  StopLogThread();
  if (m_pService) {
    m_pService->StopServiceThreads();
    m_pService.reset();  // its catalogue rewrites every record file
  }
  m_pFileStatusManager.reset();
}

}  // namespace brisel
