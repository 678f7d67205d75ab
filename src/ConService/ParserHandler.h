#pragma once

namespace brisel {

struct ClientSlot;

// Receives what a phone sent on a control connection.
class ParserHandler {
 public:
  virtual ~ParserHandler() = default;
  // Answers one received chunk: `length` bytes at the start of the slot's receive buffer.
  // Called on the UDP thread.
  virtual void HandlePacket(ClientSlot& connection, int length) = 0;
};

}  // namespace brisel
