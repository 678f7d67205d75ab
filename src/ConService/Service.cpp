#include "ConService/Service.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "BriselDataManager/LogRecorder.h"
#include "ConService/DlnaServer.h"
#include "ConService/HeadsetLibrary.h"
#include "ConService/Ipv4Address.h"
#include "ConService/ListProtocol.h"
#include "ConService/MediaServer.h"
#include "ConService/ServiceDiagnostics.h"

namespace brisel {
namespace {

constexpr const char* kServiceTag = "ConService\\Service";

}  // namespace

Service::Service()
    : m_list(m_catalogue),
      m_prober(m_catalogue),
      m_pDlna(std::make_unique<DlnaServer>(m_catalogue)),
      m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Service::~Service() {
  StopServiceThreads();  // joins every thread, whether it runs or ended by itself
  if (m_wakeFd >= 0) close(m_wakeFd);
}

void Service::SetListStampClockForTesting(std::function<std::uint64_t()> clock) {
  m_list.SetStampClockForTesting(std::move(clock));
}

std::string Service::ServiceAddress() const {
  std::lock_guard<std::mutex> lock(m_controlMutex);
  return m_strAddress;
}

std::uint8_t Service::SetServiceAddress(const std::string& address) {
  std::optional<Ipv4Address> wanted = Ipv4Address::Parse(address);
  if (!wanted) return 0;
  std::lock_guard<std::mutex> lock(m_controlMutex);
  std::optional<Ipv4Address> current = Ipv4Address::Parse(m_strAddress);
  if (current && *current == *wanted) return 0;
  m_strAddress = wanted->Text();
  if (m_flags.load() != 0 || m_nLiveLoops.load() != 0) {
    StopLocked();
    ServiceDiagnostic("服务器关闭suc!\n");
  }
  return StartLocked() ? 1 : 0;
}

bool Service::StartServiceThreads() {
  std::lock_guard<std::mutex> lock(m_controlMutex);
  return StartLocked();
}

void Service::SetDlnaServerEnabled(bool enabled) {
  std::lock_guard<std::mutex> lock(m_controlMutex);
  m_bDlnaEnabled = enabled;
}

void Service::StopServiceThreads() {
  std::lock_guard<std::mutex> lock(m_controlMutex);
  StopLocked();
}

bool Service::StartLocked() {
  if (m_strAddress.empty() || m_flags.load() != 0 || m_nLiveLoops.load() != 0) return false;
  // Threads of an earlier start have ended by themselves (their sockets failed).
  if (m_udpThread.joinable()) m_udpThread.join();
  if (m_httpThread.joinable()) m_httpThread.join();
  m_pDlna->Stop();  // one that gave up at its start has ended: join it
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_state = ThreadsState{};
    m_nSettled = 0;
    m_nStarted = 2;
  }
  m_nLiveLoops = 2;
  m_udpThread = std::thread(&Service::UdpLoop, this, m_strAddress);
  m_httpThread = std::thread(&Service::HttpLoop, this, m_strAddress);
  m_bDlnaStarted = m_bDlnaEnabled && m_pDlna->Start(m_strAddress);
  m_prober.Start();
  return true;
}

void Service::StopLocked() {
  m_pDlna->RequestStop();  // its goodbye goes out while the other loops end
  m_flags.fetch_or(SERVICE_UDP_STOP | SERVICE_HTTP_STOP);
  if (m_wakeFd >= 0) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(m_wakeFd, &one, sizeof one);
  }
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_stateChanged.notify_all();
  }
  if (m_udpThread.joinable()) m_udpThread.join();
  if (m_httpThread.joinable()) m_httpThread.join();
  m_pDlna->Stop();
  m_prober.Stop();
  m_flags.fetch_and(~(SERVICE_UDP_STOP | SERVICE_HTTP_STOP));
}

Service::ThreadsState Service::WaitForServiceThreads(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  ThreadsState state;
  {
    std::unique_lock<std::mutex> lock(m_stateMutex);
    m_stateChanged.wait_until(lock, deadline, [this] { return m_nSettled >= m_nStarted; });
    state = m_state;
    state.settled = m_nSettled >= m_nStarted;
  }
  bool dlnaStarted = false;
  {
    std::lock_guard<std::mutex> lock(m_controlMutex);
    dlnaStarted = m_bDlnaStarted;
  }
  if (dlnaStarted) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    DlnaServer::State dlna =
        m_pDlna->WaitUntilSettled(std::max(left, std::chrono::milliseconds(0)));
    state.dlnaEnabled = true;
    state.settled = state.settled && dlna.settled;
    state.dlnaRunning = dlna.running;
    state.dlnaError = dlna.error;
    state.dlnaLocation = dlna.location;
  }
  return state;
}

void Service::Settle(Loop loop, bool running, const std::string& error) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  if (loop == Loop::Udp) {
    m_state.udpRunning = running;
    m_state.udpError = error;
  } else {
    m_state.httpRunning = running;
    m_state.httpError = error;
  }
  ++m_nSettled;
  m_stateChanged.notify_all();
}

void Service::UdpLoop(std::string address) {
  pthread_setname_np(pthread_self(), "UDP线程");
  auto server = std::make_unique<LanServer>(&m_list, &m_nConnected, m_wakeFd, m_lanClock);
  std::string error;
  if (!server->Open(address, &error)) {
    WriteLog("列表服务未能启动：" + error, kServiceTag);
    ServiceDiagnostic("%s\n", error.c_str());
    Settle(Loop::Udp, false, error);
    m_nLiveLoops.fetch_sub(1);
    return;
  }
  m_list.SetConnections(server->Slots());
  m_flags.fetch_or(SERVICE_UDP_RUNNING);
  Settle(Loop::Udp, true, {});
  while ((m_flags.load() & SERVICE_UDP_RUNNING) && !(m_flags.load() & SERVICE_UDP_STOP)) {
    server->Poll();
  }
  server->CloseAll();
  m_list.SetConnections({});
  server.reset();
  m_flags.fetch_and(~(SERVICE_UDP_RUNNING | SERVICE_UDP_STOP));
  m_nLiveLoops.fetch_sub(1);
}

void Service::HttpLoop(std::string address) {
  pthread_setname_np(pthread_self(), "HTTP线程");
  HeadsetLibrary library(m_catalogue, address, kHttpPort);
  MediaServer server(m_catalogue);
  server.SetHeadsetLibrary(&library);
  std::string error;
  if (!server.Start(address, kHttpPort, m_catalogue.DocumentRoot(), &error)) {
    WriteLog("HTTP服务未能启动：" + error, kServiceTag);
    ServiceDiagnostic("%s\n", error.c_str());
    Settle(Loop::Http, false, error);
    m_nLiveLoops.fetch_sub(1);
    return;
  }
  m_flags.fetch_or(SERVICE_HTTP_RUNNING);
  Settle(Loop::Http, true, {});
  // CivetWeb's own threads serve; this one holds the server until the stop request.
  {
    std::unique_lock<std::mutex> lock(m_stateMutex);
    m_stateChanged.wait(lock, [this] {
      return !(m_flags.load() & SERVICE_HTTP_RUNNING) || (m_flags.load() & SERVICE_HTTP_STOP);
    });
  }
  server.Stop();
  ServiceDiagnostic("关闭http服务完毕 %u!\n", m_flags.load());
  m_flags.fetch_and(~(SERVICE_HTTP_RUNNING | SERVICE_HTTP_STOP));
  m_nLiveLoops.fetch_sub(1);
}

}  // namespace brisel
