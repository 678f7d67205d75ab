#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "ConService/ListProtocol.h"

namespace brisel {

// One control connection of a phone. Owned by the LanServer; touched only on the UDP thread.
struct ClientSlot {
  int socket = -1;          // -1 while the slot is free
  std::string peer;         // "address:port" of the phone
  std::uint32_t stamp = 0;  // list stamp of this connection, 0 before its first list reply
  std::array<std::uint8_t, kReceiveBufferSize> buffer{};
  std::uint32_t peerAddress = 0;                     // the phone's IPv4 address
  std::chrono::steady_clock::time_point lastActive;  // accepted, or last received from

  bool InUse() const { return socket >= 0; }
};

}  // namespace brisel
