#include "ConService/Ipv4Address.h"

#include <arpa/inet.h>

namespace brisel {

std::optional<Ipv4Address> Ipv4Address::Parse(std::string_view text) {
  Ipv4Address address;
  std::size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    unsigned value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
    address.octets[static_cast<std::size_t>(part)] = static_cast<std::uint8_t>(value);
  }
  if (pos != text.size()) return std::nullopt;
  return address;
}

std::string Ipv4Address::Text() const {
  return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
         std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

std::string Ipv4Address::BroadcastText() const {
  return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
         std::to_string(octets[2]) + ".255";
}

std::uint32_t Ipv4Address::NetworkOrder() const {
  return htonl((static_cast<std::uint32_t>(octets[0]) << 24) |
               (static_cast<std::uint32_t>(octets[1]) << 16) |
               (static_cast<std::uint32_t>(octets[2]) << 8) | octets[3]);
}

}  // namespace brisel
