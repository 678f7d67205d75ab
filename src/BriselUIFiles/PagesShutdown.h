#pragma once

namespace brisel {

// What the program's shutdown needs of the pages. The video list's probe and thumbnail
// threads, the device-count monitor and an address switch all call the Service, so they end
// before it is destroyed (BriselVRClientCore::Shutdown calls this first).
class PagesShutdown {
 public:
  virtual ~PagesShutdown() = default;

  // Stops and joins every page thread that touches the Service, the video list's first, and
  // stops a running conversion. Called once, on the UI thread, while the log thread and the
  // Service still run. Afterwards nothing of the pages calls the Service again; the page
  // objects themselves may be destroyed later.
  virtual void ShutdownPages() = 0;
};

}  // namespace brisel
