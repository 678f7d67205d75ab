#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "ConService/CatalogueSnapshot.h"
#include "ConService/MediaValuesCache.h"

typedef struct _GMainContext GMainContext;

namespace brisel {

// The catalogue as a UPnP AV MediaServer:1 device, so DLNA players (in headsets, on phones and
// TVs) find the shared videos too: one container per catalogue section. It announces itself by SSDP
// on the service address only, answers ContentDirectory:1 and ConnectionManager:1 on port 11719 of
// that address, and says goodbye (ssdp:byebye) when it stops. Players stream from the media server
// on 11717, by the same URLs the phones use.
//
// Built on GUPnP: every GUPnP object lives on the server's own thread "DLNA线程", which runs a
// private GLib main context. Catalogue changes are noticed within a second (and before each
// Browse) and advance SystemUpdateID and the containers' update ids, which are evented to
// subscribers. A Browse takes a snapshot of the catalogue and builds its answer from it.
//
// Thread contract: Start, Stop and RequestStop from any one controlling thread (the service's
// control mutex serialises them); WaitUntilSettled from any thread. The mediator is called on
// the server's thread.
class DlnaServer {
 public:
  // What the server needs of the catalogue.
  class Mediator {
   public:
    virtual ~Mediator() = default;
    // Every section with its videos, as they are now (a copy).
    virtual CatalogueSnapshot Snapshot() const = 0;
    // The sections' revisions alone, polled every second.
    virtual CatalogueRevisions Revisions() const = 0;
    // What players are told about the video's file. May probe it (once per file version).
    virtual MediaFacts Facts(const CatalogueVideo& video) = 0;
  };

  static constexpr std::uint16_t kPort = 11719;

  // `catalogue` must outlive the server.
  explicit DlnaServer(Mediator& catalogue);
  ~DlnaServer();  // Stop
  DlnaServer(const DlnaServer&) = delete;
  DlnaServer& operator=(const DlnaServer&) = delete;

  // Starts the server's thread on `address` and returns at once (see WaitUntilSettled). False
  // when a server is already running.
  bool Start(const std::string& address);
  // Asks the thread to announce its goodbye and end; returns at once.
  void RequestStop();
  // RequestStop, then waits until the goodbye is out and the thread has ended.
  void Stop();

  struct State {
    bool settled = false;  // the last start has either come up or given up
    bool running = false;
    std::string error;     // why it did not come up
    std::string location;  // URL of the device description while it runs
  };
  State WaitUntilSettled(std::chrono::milliseconds timeout);

  // "BriselVR助手 (HOSTNAME)"
  static std::string FriendlyName();
  // "uuid:..." from the machine id and the folder the program keeps its files in: the same on
  // every run of one installation, so players keep recognising the server; another folder is
  // another server.
  static std::string DeviceUdn(const std::string& dataFolder);

  // How often the thread looks for catalogue changes (1 s; tests shorten it).
  void SetCataloguePollInterval(std::chrono::milliseconds interval) { m_pollInterval = interval; }

 private:
  class Device;
  void Run(std::string address);
  void Settle(bool running, const std::string& error, const std::string& location);

  Mediator& m_catalogue;
  std::chrono::milliseconds m_pollInterval{1000};

  GMainContext* m_pMainContext = nullptr;  // the thread's; created and freed by the caller
  std::thread m_thread;
  std::atomic<bool> m_bStop{false};

  std::mutex m_stateMutex;
  std::condition_variable m_stateChanged;
  State m_state;
};

}  // namespace brisel
