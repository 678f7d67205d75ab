#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "ConService/ParserHandler.h"

namespace brisel {

struct ClientSlot;

// The list protocol on the phones' control connections: a list request is answered with list
// 1 or 2 of the share catalogue, every other request with the generic reply. Each connection
// holds a list stamp; a phone that sends the stamp its connection holds gets the 15-byte reply
// without the list. When either list has changed since the stamps were last handed out, the
// next list reply gives every open connection a new stamp (one stamp covers both lists).
//
// Thread contract: everything runs on the UDP thread (the LanServer calls HandlePacket),
// including the mediator's calls; SetStampClockForTesting before that thread runs.
class ListProtocolHandler : public ParserHandler {
 public:
  // What the list protocol needs of the catalogue.
  class Mediator {
   public:
    virtual ~Mediator() = default;
    // The serialized share list `listType` (u32 count, then one list entry per record) into
    // `*wire`, and the revision of the list it was made from, taken together. The presence
    // flags are tested again first, as often as the catalogue allows, and a change of them
    // moves the revision. False for a list type other than 1 and 2.
    virtual bool SerializeForReply(std::uint8_t listType, std::string* wire,
                                   std::uint64_t* revision) = 0;
  };

  explicit ListProtocolHandler(Mediator& catalogue);

  // The connections whose stamps are renewed together: the LanServer's slots while its loop
  // runs, nothing otherwise (a reply then gives only its own connection a stamp).
  void SetConnections(std::span<ClientSlot> connections) { m_connections = connections; }

  // Answers one request received on `connection`.
  void HandlePacket(ClientSlot& connection, int length) override;
  // Builds the list reply for a list request into the reply buffer: its length, or 0 for a
  // list type other than 1 and 2. The connection's stamp is renewed as the stamp rule says.
  std::size_t BuildListReply(std::uint8_t listType, ClientSlot& connection,
                             std::uint32_t phoneStamp);
  const std::vector<std::uint8_t>& ReplyBuffer() const { return m_reply; }

  // The clock of list stamps, in milliseconds since 1970; empty restores the real one.
  void SetStampClockForTesting(std::function<std::uint64_t()> clock);

 private:
  // A fresh list stamp: the clock's milliseconds truncated to 32 bits, but never 0 and never
  // one handed out before, so two catalogue changes within a millisecond still renew.
  std::uint32_t NextStamp();
  static void SendAll(int socket, const std::uint8_t* data, std::size_t length);

  Mediator& m_catalogue;
  std::span<ClientSlot> m_connections;
  std::uint64_t m_seenRevisions[2] = {0, 0};  // of lists 1 and 2 when stamps were last renewed
  std::uint32_t m_nLastStamp = 0;
  std::function<std::uint64_t()> m_stampClock;
  std::string m_wire;                 // reused by every reply
  std::vector<std::uint8_t> m_reply;  // grown, never shrunk
};

}  // namespace brisel
