// The list server's receive path, as a phone's socket reaches it: a connection is served by
// the LanServer's poll cycle, and what the phone sends arrives in chunks of any size, so a
// request may come in parts or together with the next one. Whatever arrives, every chunk is
// answered with one well-formed reply (the generic one or a list reply), nothing is read or
// written out of bounds, and the connection is let go when the phone closes.
//
// Input: chunks, each one length byte and then up to that many bytes.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "CatalogueFixture.h"
#include "ConService/LanServer.h"
#include "ConService/ListProtocol.h"
#include "ConService/ListProtocolHandler.h"

namespace {

struct Fixture : brisel::fuzz::CatalogueFixture {
  Fixture() {
    for (int i = 0; i < 35; ++i)
      catalogue->AddShareRecord("/v/" + std::string(40, 'a') + std::to_string(i), 1);
    catalogue->AddShareRecord("/v/converted.mp4", 2);
    server = std::make_unique<brisel::LanServer>(&protocol, &connected, -1);
    protocol.SetConnections(server->Slots());  // as the UDP loop wires them
  }
  ~Fixture() {
    protocol.SetConnections({});
    server.reset();
  }
  brisel::ListProtocolHandler protocol{*catalogue};
  std::atomic<int> connected{0};
  std::unique_ptr<brisel::LanServer> server;
};

// One reply as the phone reads it: a generic reply, or a list reply ending in the trailer.
bool WellFormed(const std::string& reply) {
  if (reply.size() < brisel::kGenericReplySize || reply.compare(0, 4, "qmtk") != 0 || reply[4] != 1)
    return false;
  if (reply.size() == brisel::kGenericReplySize) return reply.compare(5, 2, "\xff\xff") == 0;
  return reply.size() >= 15 && reply.compare(reply.size() - 4, 4, "ktmq") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) return 0;
  sockaddr_in phone{};
  phone.sin_family = AF_INET;
  phone.sin_port = htons(40000);
  inet_pton(AF_INET, "192.168.1.50", &phone.sin_addr);
  fixture.server->AdoptConnectionForTesting(pair[0], phone);  // the server owns pair[0] now

  std::size_t at = 0;
  while (at < size) {
    const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
    const char* chunk = reinterpret_cast<const char*>(data + at + 1);
    at += 1 + length;
    if (length == 0) continue;
    if (send(pair[1], chunk, length, MSG_NOSIGNAL) != static_cast<ssize_t>(length))
      __builtin_trap();
    fixture.server->Poll();  // receives the chunk and answers it
    char reply[8192];
    ssize_t got = recv(pair[1], reply, sizeof reply, 0);
    if (got <= 0 || !WellFormed(std::string(reply, static_cast<std::size_t>(got))))
      __builtin_trap();
  }
  close(pair[1]);
  fixture.server->Poll();  // sees the phone close and frees the slot
  if (fixture.connected.load() != 0) __builtin_trap();
  return 0;
}
