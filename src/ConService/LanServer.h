#pragma once

#include <netinet/in.h>
#include <poll.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ConService/ClientSlot.h"
#include "ConService/ListProtocol.h"

namespace brisel {

class ParserHandler;

// The sockets of the UDP thread: the discovery broadcast, the list protocol's listening
// socket and up to 64 phone connections, served by one poll per cycle. A new connection is
// always served: when every slot is taken, the connection idle longest is closed for it (a
// phone reconnects as after any drop), and one peer address never holds more than 16 slots
// (its own connection idle longest makes room), so idle connections can lock nobody out.
//
// Thread contract: created, polled, closed and destroyed on the UDP thread only; the owner's
// HandlePacket and the clock are called there. The connected-phone count it keeps up to date
// is an atomic the owner shares with readers on other threads; `wakeFd` (owned by the caller)
// ends a poll early when it becomes readable.
class LanServer {
 public:
  static constexpr int kMaxClients = 64;
  static constexpr int kMaxClientsPerPeer = 16;

  // What the server takes as the time: when the datagram is due and how long a connection has
  // been idle. Tests give their own, so that "idle longest" does not depend on how fast the
  // machine runs.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `owner` answers what the phones send; an empty `clock` is the steady clock.
  LanServer(ParserHandler* owner, std::atomic<int>* connectedCount, int wakeFd, Clock clock = {});
  ~LanServer();  // closes every socket
  LanServer(const LanServer&) = delete;
  LanServer& operator=(const LanServer&) = delete;

  // Opens the broadcast socket (destination a.b.c.255:7171) and the listening socket on
  // address:11718, and builds the discovery datagram. False, with everything closed and
  // `error` telling why, when a step fails.
  bool Open(const std::string& address, std::string* error);

  // One poll cycle: the datagram when it is due (once a second), then one poll of at most a
  // second (never past the next datagram), accepting and receiving what is readable.
  void Poll();

  // Closes every connection and both sockets.
  void CloseAll();

  std::array<ClientSlot, kMaxClients>& Slots() { return m_slots; }

  // Serves `fd`, a connected stream socket, as if it had just been accepted from `peer`; the
  // server owns it from now on. For tests and fuzzing, which reach the receive path without a
  // listening socket.
  void AdoptConnectionForTesting(int fd, const sockaddr_in& peer);

  // The 77-byte datagram: "qmtk", 1, the address NUL-padded to 64 bytes, u32 11717, u32 11718.
  static std::array<std::uint8_t, kDiscoveryDatagramSize> BuildDiscoveryDatagram(
      const std::string& address);

 private:
  void SendDatagramIfDue();
  void AcceptConnections();
  // Gives an accepted connection a slot and starts serving it.
  void TakeConnection(int fd, const sockaddr_in& peer);
  // The slot a new connection from `peerAddress` takes: a free one, unless the peer already
  // holds its share; otherwise the one idle longest (of that peer, or of all), which is closed.
  ClientSlot& SlotForNewConnection(std::uint32_t peerAddress);
  void Receive(ClientSlot& slot);
  void CloseClient(ClientSlot& slot, const char* why);

  ParserHandler* m_pOwner;
  std::atomic<int>* m_pConnectedCount;
  int m_wakeFd;
  Clock m_clock;
  std::array<ClientSlot, kMaxClients> m_slots;
  int m_listenSocket = -1;
  int m_broadcastSocket = -1;
  std::array<std::uint8_t, kDiscoveryDatagramSize> m_datagram{};
  std::size_t m_datagramLength = 0;
  sockaddr_in m_broadcastDestination{};
  std::chrono::steady_clock::time_point m_nextBroadcast{};
  bool m_bBroadcastFailing = false;
  std::vector<pollfd> m_pollFds;  // reused by every cycle
  std::vector<int> m_pollSlots;   // slot index of each connection entry of the last poll
};

}  // namespace brisel
