#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ConService/LanServer.h"
#include "ConService/ListProtocolHandler.h"
#include "ConService/MediaValuesProber.h"
#include "ConService/ShareCatalogue.h"

namespace brisel {

class DlnaServer;

// Bits of the service flags word.
inline constexpr std::uint32_t SERVICE_UDP_RUNNING = 1u << 0;
inline constexpr std::uint32_t SERVICE_HTTP_RUNNING = 1u << 1;
inline constexpr std::uint32_t SERVICE_UDP_STOP = 1u << 2;
inline constexpr std::uint32_t SERVICE_HTTP_STOP = 1u << 3;

// The LAN service: the share catalogue and the threads that offer it on one IPv4 address.
// "UDP线程" runs the LanServer (the discovery datagram and, through the ListProtocolHandler,
// the list protocol on TCP 11718); "HTTP线程" runs the MediaServer on 11717 with the
// HeadsetLibrary; "DLNA线程", when enabled, the DlnaServer on 11719; "探测线程" keeps the
// videos' media values probed. This object starts and stops those threads and hands each
// server the catalogue as the small interface the server declares; the servers never see the
// Service.
//
// Thread contract: SetServiceAddress, StartServiceThreads and StopServiceThreads may be called
// from any thread (the control mutex serialises them) but not from the service's own threads.
// The catalogue may be used from any thread (its own contract). The testing hooks are set
// before the threads start.
class Service {
 public:
  // The catalogue root is the program folder at construction; file_root/image is created.
  Service();
  // Stops the threads; then the catalogue rewrites the record file of every record.
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // The videos the service offers. Lives as long as the service.
  ShareCatalogue& Catalogue() { return m_catalogue; }
  const ShareCatalogue& Catalogue() const { return m_catalogue; }

  // Moves the service to `address` (four numbers 0..255 joined by dots): 1 when the threads
  // were (re)started on it; 0 when the text is not such an address, when it names the address
  // in use (compared number by number, so "192.168.001.023" equals "192.168.1.23"), or when
  // the threads could not be started. Running threads are stopped first.
  std::uint8_t SetServiceAddress(const std::string& address);
  // Starts the threads on the current address: false when it is empty, when a flag bit is
  // set or when threads of an earlier start are still starting up. That the threads started
  // does not mean that their sockets opened: see WaitForServiceThreads.
  bool StartServiceThreads();
  // Whether the threads also run the DLNA media server (DlnaServer) on the address; off by
  // default. Takes effect at the next start (SetServiceAddress, StartServiceThreads).
  void SetDlnaServerEnabled(bool enabled);
  // Asks every loop (and the DLNA media server) to end and waits for them (each notices within
  // a second), then clears the stop bits. Returns at once when nothing runs.
  void StopServiceThreads();

  // What the threads of the last start made of their sockets.
  struct ThreadsState {
    bool settled = false;      // both threads have either opened their sockets or given up
    bool udpRunning = false;   // discovery and the list protocol are up
    bool httpRunning = false;  // the media server is up
    std::string udpError;      // why the UDP loop did not start
    std::string httpError;     // why the HTTP loop did not start
    bool dlnaEnabled = false;  // the last start included the DLNA media server
    bool dlnaRunning = false;
    std::string dlnaError;     // why the DLNA media server did not start
    std::string dlnaLocation;  // its device description's URL while it runs
  };
  // Waits until both threads (and the DLNA media server) of the last start have settled, at
  // most `timeout`.
  ThreadsState WaitForServiceThreads(std::chrono::milliseconds timeout);

  // The flags word: bits SERVICE_UDP_RUNNING, SERVICE_HTTP_RUNNING and the two stop requests.
  std::uint32_t Flags() const { return m_flags.load(); }
  // The address the threads run on (empty before the first SetServiceAddress).
  std::string ServiceAddress() const;
  // Phones connected to the list protocol right now; any thread may read it.
  int ConnectedClientCount() const { return m_nConnected.load(); }

  // The clock of list stamps, in milliseconds since 1970; empty restores the real one.
  void SetListStampClockForTesting(std::function<std::uint64_t()> clock);
  // The LanServer's clock (when the datagram is due, how long a phone has been idle).
  void SetLanClockForTesting(LanServer::Clock clock) { m_lanClock = std::move(clock); }

 private:
  enum class Loop { Udp, Http };
  bool StartLocked();
  void StopLocked();
  void UdpLoop(std::string address);
  void HttpLoop(std::string address);
  void Settle(Loop loop, bool running, const std::string& error);

  // First: every part below uses it, and it outlives them (its destruction saves).
  ShareCatalogue m_catalogue;
  ListProtocolHandler m_list;  // UDP thread while it runs
  MediaValuesProber m_prober;
  std::unique_ptr<DlnaServer> m_pDlna;
  LanServer::Clock m_lanClock;

  std::atomic<std::uint32_t> m_flags{0};
  std::atomic<int> m_nConnected{0};

  mutable std::mutex m_controlMutex;  // address and thread handles
  std::string m_strAddress;
  std::thread m_udpThread;
  std::thread m_httpThread;
  bool m_bDlnaEnabled = false;
  bool m_bDlnaStarted = false;  // by the last start
  std::atomic<int> m_nLiveLoops{0};
  int m_wakeFd = -1;  // eventfd that cuts the UDP loop's wait short on a stop request

  std::mutex m_stateMutex;  // the state of the last start; the HTTP loop waits on it
  std::condition_variable m_stateChanged;
  int m_nSettled = 0;
  int m_nStarted = 0;
  ThreadsState m_state;
};

}  // namespace brisel
