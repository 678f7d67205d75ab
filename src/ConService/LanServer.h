#pragma once

#include <netinet/in.h>
#include <poll.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ConService/ClientSlot.h"
#include "ConService/ListProtocol.h"

namespace brisel {

class ParserHandler;

// The sockets of the UDP thread: the discovery broadcast, the list protocol's listening
// socket and up to 64 phone connections, served by one poll per cycle.
//
// Thread contract: created, polled, closed and destroyed on the UDP thread only. The
// connected-phone count it keeps up to date is an atomic the owner shares with readers on
// other threads; `wakeFd` (owned by the caller) ends a poll early when it becomes readable.
class LanServer {
 public:
  static constexpr int kMaxClients = 64;

  LanServer(ParserHandler* owner, std::atomic<int>* connectedCount, int wakeFd);
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

  // The 77-byte datagram: "qmtk", 1, the address NUL-padded to 64 bytes, u32 11717, u32 11718.
  static std::array<std::uint8_t, kDiscoveryDatagramSize> BuildDiscoveryDatagram(
      const std::string& address);

 private:
  void SendDatagramIfDue();
  void AcceptConnections();
  void Receive(ClientSlot& slot);
  void CloseClient(ClientSlot& slot, const char* why);

  ParserHandler* m_pOwner;
  std::atomic<int>* m_pConnectedCount;
  int m_wakeFd;
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
