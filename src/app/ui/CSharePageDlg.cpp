#include "app/ui/CSharePageDlg.h"

#include "app/SharePageHost.h"

namespace brisel {

CSharePageDlg::CSharePageDlg(SharePageHost* host, QWidget* parent)
    : CRightVideoDlg(host->GetService(), host->SettingsHost(), parent), m_pHost(host) {
  SetCloseHandler([host] { host->HandleCloseRequest(); });
  SetMinimiseHandler([host] { host->MinimiseMainWindow(); });
  SetBalloonHandler([host](const std::string& title) { host->ShowConvertedBalloon(title); });
  LoadFromCatalogue();
}

int CSharePageDlg::View() const { return Core().View(); }

bool CSharePageDlg::IsAnyConverting() const { return Core().IsAnyConverting(); }

void CSharePageDlg::StopAll(bool exiting) { Core().StopAll(exiting); }

// The core's flags end the device-count monitor, which wakes at once, so raising them also
// waits for it; WaitForMonitor then only reports.
void CSharePageDlg::RaiseClosingFlags() { Core().RaiseClosingFlags(); }

bool CSharePageDlg::WaitForMonitor(std::chrono::milliseconds) { return !Core().MonitorRunning(); }

void CSharePageDlg::RestartMonitor() { Core().RestartDeviceCountMonitor(); }

void CSharePageDlg::ShutdownPages() {
  // A conversion still running at this point ends as interrupted and stays in the queue.
  if (Core().IsAnyConverting()) Core().StopAll(true);
  Shutdown();
}

void CSharePageDlg::OnMessage(const Message& message) {
  if (message.id == WM_CONVERT_ALLDONE) {
    // wParam 0: a task converts now; 1: none does any more.
    m_pHost->SetConverting(message.wParam == 0);
    return;
  }
  CRightVideoDlg::OnMessage(message);
}

}  // namespace brisel
