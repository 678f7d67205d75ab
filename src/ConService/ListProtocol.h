#pragma once

#include <cstdint>

// Constants shared by the share catalogue, the list protocol and the media server. Every
// integer on the wire and in record files is little-endian.
namespace brisel {

// "qmtk" opens record files, the discovery datagram, requests and replies; replies to list
// requests end with the same four bytes reversed.
inline constexpr char kLanMagic[4] = {'q', 'm', 't', 'k'};
inline constexpr char kLanTrailer[4] = {'k', 't', 'm', 'q'};
inline constexpr std::uint8_t kLanVersion = 1;

inline constexpr std::uint16_t kDiscoveryPort = 7171;  // UDP, broadcast to a.b.c.255
inline constexpr std::uint16_t kHttpPort = 11717;      // media HTTP server
inline constexpr std::uint16_t kListPort = 11718;      // TCP list protocol

inline constexpr std::uint16_t kCommandList1 = 0x0100;
inline constexpr std::uint16_t kCommandList2 = 0x0101;
inline constexpr std::uint16_t kCommandGeneric = 0xFFFF;

inline constexpr std::size_t kDiscoveryDatagramSize = 77;
inline constexpr std::size_t kListRequestSize = 11;
inline constexpr std::size_t kListReplyHeaderSize = 11;  // magic, 1, command, stamp
inline constexpr std::size_t kGenericReplySize = 10;
inline constexpr std::size_t kReceiveBufferSize = 4096;

inline std::uint16_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void WriteLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void WriteLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace brisel
