#include "ConService/LanServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ConService/Ipv4Address.h"
#include "ConService/ParserHandler.h"
#include "ConService/ServiceDiagnostics.h"

namespace brisel {
namespace {

constexpr auto kBroadcastPeriod = std::chrono::seconds(1);
// Enough for every phone to connect at once without SYN retries.
constexpr int kListenBacklog = LanServer::kMaxClients;
// Connections accepted per cycle, so a connection flood cannot starve the phones of answers.
constexpr int kAcceptsPerCycle = LanServer::kMaxClients;

std::string ErrorText(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

LanServer::LanServer(ParserHandler* owner, std::atomic<int>* connectedCount, int wakeFd,
                     Clock clock)
    : m_pOwner(owner),
      m_pConnectedCount(connectedCount),
      m_wakeFd(wakeFd),
      m_clock(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }) {}

LanServer::~LanServer() { CloseAll(); }

std::array<std::uint8_t, kDiscoveryDatagramSize> LanServer::BuildDiscoveryDatagram(
    const std::string& address) {
  std::array<std::uint8_t, kDiscoveryDatagramSize> datagram{};
  std::memcpy(datagram.data(), kLanMagic, 4);
  datagram[4] = kLanVersion;
  std::memcpy(datagram.data() + 5, address.data(), std::min<std::size_t>(address.size(), 63));
  WriteLe32(datagram.data() + 69, kHttpPort);
  WriteLe32(datagram.data() + 73, kListPort);
  return datagram;
}

bool LanServer::Open(const std::string& address, std::string* error) {
  std::optional<Ipv4Address> parsed = Ipv4Address::Parse(address);
  if (!parsed) {
    *error = "not an IPv4 address: " + address;
    return false;
  }
  m_broadcastSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int on = 1;
  if (m_broadcastSocket < 0 ||
      setsockopt(m_broadcastSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
    *error = ErrorText("cannot open the broadcast socket");
    CloseAll();
    return false;
  }
  m_broadcastDestination.sin_family = AF_INET;
  m_broadcastDestination.sin_port = htons(kDiscoveryPort);
  inet_pton(AF_INET, parsed->BroadcastText().c_str(), &m_broadcastDestination.sin_addr);

  m_listenSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(kListPort);
  local.sin_addr.s_addr = parsed->NetworkOrder();
  if (m_listenSocket < 0 ||
      setsockopt(m_listenSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(m_listenSocket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      listen(m_listenSocket, kListenBacklog) != 0) {
    *error = ErrorText("cannot listen on " + parsed->Text() + ":" + std::to_string(kListPort));
    CloseAll();
    return false;
  }
  m_datagram = BuildDiscoveryDatagram(address);
  m_datagramLength = m_datagram.size();
  m_nextBroadcast = m_clock();
  ServiceHexDump("广播", m_datagram.data(), m_datagramLength);
  return true;
}

void LanServer::SendDatagramIfDue() {
  if (m_broadcastSocket < 0 || m_datagramLength == 0) return;
  auto now = m_clock();
  if (now < m_nextBroadcast) return;
  // Never more than one datagram a second, however busy the phones keep the loop.
  m_nextBroadcast = now + kBroadcastPeriod;
  ssize_t sent = sendto(m_broadcastSocket, m_datagram.data(), m_datagramLength, MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&m_broadcastDestination),
                        sizeof m_broadcastDestination);
  bool failed = sent != static_cast<ssize_t>(m_datagramLength);
  // One line when sending starts to fail, not one a second.
  if (failed && !m_bBroadcastFailing) ServiceDiagnostic("broadcast error....\n");
  m_bBroadcastFailing = failed;
}

void LanServer::Poll() {
  SendDatagramIfDue();

  std::vector<pollfd>& fds = m_pollFds;
  fds.clear();
  m_pollSlots.clear();
  if (m_wakeFd >= 0) fds.push_back({m_wakeFd, POLLIN, 0});
  const std::size_t listenIndex = fds.size();
  if (m_listenSocket >= 0) fds.push_back({m_listenSocket, POLLIN, 0});
  const std::size_t firstClient = fds.size();
  for (int i = 0; i < kMaxClients; ++i) {
    if (!m_slots[static_cast<std::size_t>(i)].InUse()) continue;
    fds.push_back({m_slots[static_cast<std::size_t>(i)].socket, POLLIN, 0});
    m_pollSlots.push_back(i);
  }

  auto untilBroadcast =
      std::chrono::duration_cast<std::chrono::milliseconds>(m_nextBroadcast - m_clock());
  int timeout = static_cast<int>(std::clamp<long long>(untilBroadcast.count(), 0, 1000));
  if (m_broadcastSocket < 0) timeout = 1000;
  int ready = poll(fds.data(), fds.size(), timeout);
  if (ready <= 0) return;

  if (m_wakeFd >= 0 && fds[0].revents) {
    std::uint64_t drained;
    [[maybe_unused]] ssize_t n = read(m_wakeFd, &drained, sizeof drained);
  }
  if (m_listenSocket >= 0 && fds[listenIndex].revents & POLLIN) AcceptConnections();
  for (std::size_t i = firstClient; i < fds.size(); ++i) {
    if (!fds[i].revents) continue;
    ClientSlot& slot = m_slots[static_cast<std::size_t>(m_pollSlots[i - firstClient])];
    if (slot.socket == fds[i].fd) Receive(slot);
  }
}

void LanServer::AcceptConnections() {
  for (int n = 0; n < kAcceptsPerCycle; ++n) {
    sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    int fd = accept4(m_listenSocket, reinterpret_cast<sockaddr*>(&peer), &peerLength,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // EAGAIN: nothing more waiting
    int one = 1;         // a reply is one send; never hold it back
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    TakeConnection(fd, peer);
  }
}

void LanServer::AdoptConnectionForTesting(int fd, const sockaddr_in& peer) {
  TakeConnection(fd, peer);
}

void LanServer::TakeConnection(int fd, const sockaddr_in& peer) {
  char text[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  ClientSlot& slot = SlotForNewConnection(peer.sin_addr.s_addr);
  slot.socket = fd;
  slot.peer = std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
  slot.peerAddress = peer.sin_addr.s_addr;
  slot.stamp = 0;
  slot.lastActive = m_clock();
  m_pConnectedCount->fetch_add(1);
  ServiceDiagnostic("%s: %s socket %d\n", "the client is connect!", slot.peer.c_str(), fd);
}

ClientSlot& LanServer::SlotForNewConnection(std::uint32_t peerAddress) {
  ClientSlot* freeSlot = nullptr;
  ClientSlot* idlest = nullptr;       // of every connection
  ClientSlot* peersIdlest = nullptr;  // of this peer's connections
  int peersSlots = 0;
  for (ClientSlot& slot : m_slots) {
    if (!slot.InUse()) {
      if (!freeSlot) freeSlot = &slot;
      continue;
    }
    if (!idlest || slot.lastActive < idlest->lastActive) idlest = &slot;
    if (slot.peerAddress != peerAddress) continue;
    ++peersSlots;
    if (!peersIdlest || slot.lastActive < peersIdlest->lastActive) peersIdlest = &slot;
  }
  ClientSlot* victim = nullptr;
  if (peersSlots >= kMaxClientsPerPeer) {
    victim = peersIdlest;
  } else if (freeSlot) {
    return *freeSlot;
  } else {
    victim = idlest;
  }
  CloseClient(*victim, "Too many clients, closing the one idle longest");
  return *victim;
}

void LanServer::Receive(ClientSlot& slot) {
  ssize_t n;
  do {
    n = recv(slot.socket, slot.buffer.data(), slot.buffer.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    slot.lastActive = m_clock();
    // What the phone did not send reads as 0.
    std::memset(slot.buffer.data() + n, 0,
                std::min<std::size_t>(64, slot.buffer.size() - static_cast<std::size_t>(n)));
    m_pOwner->HandlePacket(slot, static_cast<int>(n));
    return;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // asked again next cycle
  CloseClient(slot, n == 0 ? "the client is close" : "Received error");
}

void LanServer::CloseClient(ClientSlot& slot, const char* why) {
  if (!slot.InUse()) return;
  if (why) ServiceDiagnostic("%s: %s socket %d\n", why, slot.peer.c_str(), slot.socket);
  close(slot.socket);
  slot.socket = -1;
  slot.peer.clear();
  slot.stamp = 0;
  m_pConnectedCount->fetch_sub(1);
}

void LanServer::CloseAll() {
  bool any = false;
  for (ClientSlot& slot : m_slots) {
    any = any || slot.InUse();
    CloseClient(slot, nullptr);
  }
  if (any) ServiceDiagnostic("CloseClient\n");
  if (m_listenSocket >= 0) {
    close(m_listenSocket);
    m_listenSocket = -1;
    ServiceDiagnostic("tcp is close!\n");
  }
  if (m_broadcastSocket >= 0) {
    close(m_broadcastSocket);
    m_broadcastSocket = -1;
    ServiceDiagnostic("the broadcast is close!\n");
  }
  m_datagramLength = 0;
}

}  // namespace brisel
