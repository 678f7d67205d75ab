// Requests come from any phone on the LAN: whatever arrives, the service answers with a
// well-formed reply (the generic one or a list reply) and never reads or writes out of bounds.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "CatalogueFixture.h"
#include "ConService/ClientSlot.h"
#include "ConService/ListProtocolHandler.h"

namespace {

struct Fixture : brisel::fuzz::CatalogueFixture {
  Fixture() {
    for (int i = 0; i < 35; ++i)
      catalogue->AddShareRecord("/v/" + std::string(50, 'a') + std::to_string(i), 1);
    socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair);
  }
  brisel::ListProtocolHandler protocol{*catalogue};
  int pair[2] = {-1, -1};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  brisel::ClientSlot slot;
  slot.socket = fixture.pair[0];
  std::size_t n = size < slot.buffer.size() ? size : slot.buffer.size();
  std::memcpy(slot.buffer.data(), data, n);
  fixture.protocol.HandlePacket(slot, static_cast<int>(n));
  char reply[8192];
  ssize_t got = recv(fixture.pair[1], reply, sizeof reply, 0);
  if (n > 0 && (got < 10 || std::memcmp(reply, "qmtk\x01", 5) != 0)) __builtin_trap();
  while (recv(fixture.pair[1], reply, sizeof reply, 0) > 0) {
  }
  return 0;
}
