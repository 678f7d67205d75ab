#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisel {

// A service address: four numbers 0..255 joined by dots.
struct Ipv4Address {
  std::array<std::uint8_t, 4> octets{};

  // Accepts exactly four decimal numbers of one to three digits, each at most 255, separated
  // by single dots; leading zeros are allowed ("192.168.001.023" is 192.168.1.23).
  static std::optional<Ipv4Address> Parse(std::string_view text);

  // Dotted text without leading zeros.
  std::string Text() const;
  // a.b.c.255 for a.b.c.d.
  std::string BroadcastText() const;
  // In network byte order, for sockaddr_in.
  std::uint32_t NetworkOrder() const;

  bool operator==(const Ipv4Address& other) const { return octets == other.octets; }
};

}  // namespace brisel
