#include "BriselUIFiles/RightVideoCore.h"

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/ConvertListCore.h"
#include "BriselUIFiles/SharePageHost.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "ConService/Service.h"
#include "platform/NetworkAdapters.h"
#include "platform/TextCodec.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"

namespace brisel {
namespace {

constexpr auto kCountInterval = std::chrono::milliseconds(100);
// An address is dotted text; what the service is handed is cut to this many characters.
constexpr std::size_t kMaxAddressLength = 19;

}  // namespace

std::string FooterPathText(const std::string& path) {
  if (Utf16Length(path) < kFooterPathLength) return path;
  return TruncateUtf16(path, kFooterPathLength) + "...";
}

std::string DeviceCountText(int count) { return "【已连接" + std::to_string(count) + "台设备】"; }

std::string AddressText(const std::string& address) {
  return "IP: " + (address.empty() ? std::string("网络未连接") : address);
}

RightVideoCore::RightVideoCore(Service* service, RightVideoHost* host, SharePageHost* mainWindow,
                               MessageTargetRef self)
    : m_pService(service), m_pHost(host), m_pMainWindow(mainWindow), m_self(std::move(self)) {}

RightVideoCore::~RightVideoCore() { Shutdown(); }

void RightVideoCore::Attach(VideoWndListCore* videoList, ConvertListCore* convertList) {
  m_pVideoList = videoList;
  m_pConvertList = convertList;
}

void RightVideoCore::Start() {
  m_nShareView = SHARE_VIEW_VIDEOS;
  RefreshSelection();
  StartDeviceCountMonitor();
}

bool RightVideoCore::HandleMessage(const Message& message) {
  switch (message.id) {
    case WM_SHARE_ACTION:
      OnShareAction(static_cast<int>(message.wParam));
      return true;
    case WM_IP_CHOSEN:
      SwitchServiceAddress(message.text);
      return true;
    case WM_PAGE_DEVICE_COUNT:
      m_pHost->StatusChanged();
      return true;
    case WM_PAGE_ADDRESS_SWITCHED:
      OnAddressSwitched(static_cast<int>(message.wParam), message.text);
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Between the library and the queue

void RightVideoCore::OnTaskStateChanged(int status, const std::string& path) {
  if (m_pVideoList) m_pVideoList->OnConversionStatus(status, path);
  RefreshSelection();
}

void RightVideoCore::OnConverted(const std::string& sourcePath, const std::string& outputPath) {
  if (m_pVideoList) m_pVideoList->OnConverted(sourcePath, outputPath);
  RefreshSelection();
}

void RightVideoCore::OnConvertingChanged(bool converting) {
  if (m_pMainWindow) m_pMainWindow->SetConverting(converting);
}

void RightVideoCore::ShowConvertedBalloon(const std::string& title) {
  if (m_pMainWindow) m_pMainWindow->ShowConvertedBalloon(title);
}

int RightVideoCore::RequestConversion(const ConvertRequest& request) {
  if (m_pConvertList) m_pConvertList->AddTask(request);
  return 1;
}

void RightVideoCore::ReportSelection(SelectionState state) {
  switch (state) {
    case SELECTION_CONVERTIBLE:
      m_bConvertEnabled = true;
      break;
    case SELECTION_NOT_CONVERTIBLE:
      m_bConvertEnabled = false;
      break;
    case SELECTION_NONE:
      m_bConvertEnabled = false;
      m_bDeleteEnabled = false;
      break;
  }
}

int RightVideoCore::CancelTask(const std::string& name, const std::string& path) {
  return m_pConvertList ? m_pConvertList->CancelOrRemoveTask(name, path) : 0;
}

void RightVideoCore::ConvertedDeleted(const std::string&) {
  // The library has already removed the file's record and relation; nothing else keeps it.
}

void RightVideoCore::ShowToast(int kind) { m_pHost->ShowToast(kind); }

bool RightVideoCore::FindTask(const std::string& path, const std::string& name) {
  return m_pConvertList && m_pConvertList->FindTask(path, name).has_value();
}

// ---------------------------------------------------------------------------------------------
// Share actions and the controls

void RightVideoCore::OnShareAction(int action) {
  switch (action) {
    case SHARE_ACTION_ADD:
      m_pHost->AddFromDialog();
      break;
    case SHARE_ACTION_CONVERT:
      if (m_pVideoList && m_pVideoList->SubmitChecked() && m_pConvertList) {
        m_pConvertList->Relayout();
        m_pConvertList->SaveQueueFile();
      }
      break;
    case SHARE_ACTION_DELETE:
      if (m_pVideoList) m_pVideoList->RemoveChecked();
      break;
    default:
      return;
  }
  RefreshSelection();
}

void RightVideoCore::RefreshSelection() {
  if (m_pVideoList) {
    // The report sets Convert (and clears Delete when nothing is ticked).
    const bool anyTicked = m_pVideoList->SelectionCommand(kSelectionReport) == 1;
    if (anyTicked) {
      m_bDeleteEnabled = true;
    } else {
      m_bDeleteEnabled = false;
      m_bConvertEnabled = false;
    }
    m_bCheckAll = m_pVideoList->SelectionCommand(kSelectionAllChecked) == 1;
  }
  m_pHost->ControlsChanged();
}

void RightVideoCore::OnCheckAllClicked() {
  if (m_pVideoList) {
    // Any mode other than 0, 1 and 3 clears every tick.
    m_pVideoList->SelectionCommand(m_bCheckAll ? kSelectionCheckAll + 1 : kSelectionCheckAll);
  }
  RefreshSelection();
}

void RightVideoCore::SelectView(int view) {
  if (view == SHARE_VIEW_VIDEOS || view == SHARE_VIEW_CONVERT_LIST || view == SHARE_VIEW_SETTINGS)
    m_nShareView = view;
  m_pHost->ControlsChanged();
}

bool RightVideoCore::HasVideos() const { return m_pVideoList && m_pVideoList->EntryCount() > 0; }

bool RightVideoCore::Shown(int id) const {
  switch (id) {
    case IDC_SHARE_ADD:
    case IDC_SHARE_CONVERT:
      return m_nShareView == SHARE_VIEW_VIDEOS;
    case IDC_SHARE_DELETE:
    case IDC_SHARE_CHECK_ALL:
      return m_nShareView == SHARE_VIEW_VIDEOS && HasVideos();
    case IDC_SHARE_CHANGE_FOLDER:
    case IDC_SHARE_CLEAR_FINISHED:
      return m_nShareView == SHARE_VIEW_CONVERT_LIST;
    case IDC_SHARE_MINIMISE:
    case IDC_SHARE_CLOSE:
      return true;
    default:  // grouping, the conversion animation and list button, the address box control
      return false;
  }
}

bool RightVideoCore::Enabled(int id) const {
  if (id == IDC_SHARE_CONVERT) return m_bConvertEnabled;
  if (id == IDC_SHARE_DELETE) return m_bDeleteEnabled;
  return true;
}

void RightVideoCore::SetConvertPath(const std::string& folder) {
  if (!theSettings) return;
  theSettings->m_strConvertPath = folder;
  SaveSettings();
  m_pHost->ControlsChanged();
}

// ---------------------------------------------------------------------------------------------
// The LAN service's address and the connected phones

std::vector<std::string> RightVideoCore::LocalAddresses() {
  std::vector<std::string> addresses, macs;
  EnumerateAdapters(&addresses, &macs);
  return addresses;
}

bool RightVideoCore::OffersAddressMenu(const std::vector<std::string>& addresses,
                                       const std::string& serviceAddress) {
  return addresses.size() >= 2 || (addresses.size() == 1 && addresses.front() != serviceAddress);
}

void RightVideoCore::SwitchServiceAddress(const std::string& address) {
  if (m_bSwitchRunning || m_bClosing) {
    m_pHost->StatusChanged();
    return;
  }
  WriteLog("切换服务，IP:" + address, kRightVideoDlgTag);
  // The count pauses while the service moves: its connections end with the old address.
  StopDeviceCountMonitor();
  if (m_hSwitch.joinable()) m_hSwitch.join();
  m_bSwitchRunning = true;
  const std::string ansi = TruncateUtf16(address, kMaxAddressLength);
  m_hSwitch = std::thread([service = m_pService, self = m_self, ansi] {
    const std::uint8_t result = service ? service->SetServiceAddress(ansi) : 0;
    WriteLog((result == 1 ? "切换服务成功，IP:" : "切换服务失败，IP:") + ansi, kRightVideoDlgTag);
    PostTo(self, Message(WM_PAGE_ADDRESS_SWITCHED, result, 0, ansi));
  });
  SetServiceIp(ansi);
  m_pHost->StatusChanged();
}

void RightVideoCore::OnAddressSwitched(int result, const std::string& address) {
  if (m_hSwitch.joinable()) m_hSwitch.join();
  m_bSwitchRunning = false;
  if (result == 1) SetServiceIp(address);
  // The monitor comes back after a failed switch too: the service kept running on its
  // earlier address, and its phones are still worth counting.
  if (!m_bClosing) {
    StartDeviceCountMonitor();
    if (result == 1) WriteLog("重启服务，IP:" + address, kRightVideoDlgTag);
  }
  m_pHost->StatusChanged();
}

void RightVideoCore::StartDeviceCountMonitor() {
  if (m_bClosing || m_hMonitor.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(m_monitorMutex);
    m_bMonitorStop = false;
  }
  m_hMonitor = std::thread(&RightVideoCore::MonitorThread, this, m_nDeviceCount.load());
}

bool RightVideoCore::MonitorRunning() const { return m_hMonitor.joinable(); }

void RightVideoCore::StopDeviceCountMonitor() {
  {
    std::lock_guard<std::mutex> lock(m_monitorMutex);
    m_bMonitorStop = true;
  }
  m_monitorWake.notify_all();
  // The monitor wakes at once and never blocks otherwise, so this wait is short.
  if (m_hMonitor.joinable()) m_hMonitor.join();
}

void RightVideoCore::MonitorThread(int previous) {
  std::unique_lock<std::mutex> lock(m_monitorMutex);
  if (m_monitorWake.wait_for(lock, m_firstCountDelay, [&] { return m_bMonitorStop; })) return;
  for (;;) {
    const int count = m_pService ? m_pService->ConnectedClientCount() : 0;
    if (count != previous) {
      previous = count;
      m_nDeviceCount.store(count);
      PostTo(m_self, Message(WM_PAGE_DEVICE_COUNT, count));
    }
    if (m_monitorWake.wait_for(lock, kCountInterval, [&] { return m_bMonitorStop; })) return;
  }
}

// ---------------------------------------------------------------------------------------------
// Closing

bool RightVideoCore::IsAnyConverting() const {
  return m_pConvertList && m_pConvertList->IsAnyConverting();
}

void RightVideoCore::StopAll(bool exiting) {
  if (m_pConvertList) m_pConvertList->StopAll(exiting);
}

void RightVideoCore::RaiseClosingFlags() {
  m_bClosing = true;
  StopDeviceCountMonitor();
}

void RightVideoCore::RestartDeviceCountMonitor() {
  m_bClosing = false;
  StartDeviceCountMonitor();
}

void RightVideoCore::PrepareQuit() {
  if (IsAnyConverting()) StopAll(true);
  RaiseClosingFlags();
}

void RightVideoCore::Shutdown() {
  RaiseClosingFlags();
  if (m_hSwitch.joinable()) m_hSwitch.join();
  m_bSwitchRunning = false;
}

}  // namespace brisel
