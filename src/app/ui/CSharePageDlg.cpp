#include "app/ui/CSharePageDlg.h"

namespace brisel {

CSharePageDlg::CSharePageDlg(SharePageHost* host, QWidget* parent) : CRightVideoDlg(host, parent) {
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

}  // namespace brisel
