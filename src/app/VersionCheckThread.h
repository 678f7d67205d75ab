#pragma once

#include <atomic>
#include <thread>

#include "platform/Messages.h"

namespace brisel {

// The version check (HttpHelper) off the UI thread, so the window stays responsive while the
// update service answers, which may take up to the client's time-outs.
//
// Thread contract: Start, Running and the destructor on the UI thread. Start takes the
// request's identity (settings, LocalMac) on that thread; the check then runs on its own
// thread, which touches nothing of the caller's and posts exactly one WM_VERSION_CHECKED to
// `target` per check (wParam: HttpHelper::CheckResult; text: the installer's URL; text2: the
// message box the service's failure asks for, else empty), before Running turns false. The
// destructor cancels a running check and joins it within about a second; its message is then
// dropped or still delivered.
class VersionCheckThread {
 public:
  explicit VersionCheckThread(MessageTargetRef target);
  ~VersionCheckThread();
  VersionCheckThread(const VersionCheckThread&) = delete;
  VersionCheckThread& operator=(const VersionCheckThread&) = delete;

  // Starts a check; false while one runs.
  bool Start();
  bool Running() const { return m_bRunning; }

 private:
  MessageTargetRef m_target;
  std::thread m_thread;
  std::atomic<bool> m_bRunning{false};
  std::atomic<bool> m_bCancel{false};
};

}  // namespace brisel
