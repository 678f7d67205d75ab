#include "ConService/ListProtocolHandler.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "ConService/ClientSlot.h"

namespace brisel {
namespace {

// A catalogue whose lists and revisions the test sets.
class ScriptedLists : public ListProtocolHandler::Mediator {
 public:
  bool SerializeForReply(std::uint8_t listType, std::string* wire,
                         std::uint64_t* revision) override {
    if (listType != 1 && listType != 2) return false;
    *wire = wires[listType - 1];
    *revision = revisions[listType - 1];
    return true;
  }
  std::string wires[2] = {std::string(4, '\0'), std::string(4, '\0')};
  std::uint64_t revisions[2] = {0, 0};
};

std::uint32_t StampOfReply(const std::vector<std::uint8_t>& reply) {
  return static_cast<std::uint32_t>(reply[7]) | (static_cast<std::uint32_t>(reply[8]) << 8) |
         (static_cast<std::uint32_t>(reply[9]) << 16) |
         (static_cast<std::uint32_t>(reply[10]) << 24);
}

class ListProtocolHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    protocol.SetStampClockForTesting([this] { return now; });
    slots[0].socket = 10;  // the phone that asks
    slots[1].socket = 11;  // another phone, connected
    // slots[2] is free
  }
  std::size_t Ask(std::uint8_t list, std::uint32_t stamp) {
    return protocol.BuildListReply(list, slots[0], stamp);
  }

  ScriptedLists lists;
  ListProtocolHandler protocol{lists};
  std::array<ClientSlot, 3> slots;
  std::uint64_t now = 1700000000000;
};

TEST_F(ListProtocolHandlerTest, AChangeOfEitherListRenewsTheStampOfEveryOpenConnection) {
  protocol.SetConnections(slots);
  lists.revisions[0] = 3;
  lists.wires[0] = std::string("\x01\x00\x00\x00", 4) + std::string(39, 'e');
  ASSERT_EQ(Ask(1, 0), 11u + 43 + 4);
  const std::uint32_t first = slots[0].stamp;
  EXPECT_NE(first, 0u);
  EXPECT_EQ(StampOfReply(protocol.ReplyBuffer()), first);
  EXPECT_EQ(slots[1].stamp, first);
  EXPECT_EQ(slots[2].stamp, 0u);  // a free slot holds no stamp

  // Nothing changed: the phone's copy is current, whichever list it asks for.
  EXPECT_EQ(Ask(1, first), 15u);
  EXPECT_EQ(Ask(2, first), 15u);
  EXPECT_EQ(slots[0].stamp, first);

  // List 2 changes within the same millisecond: a new stamp for both connections, and list 1
  // comes in full again too, as one stamp covers both lists.
  lists.revisions[1] = 1;
  EXPECT_EQ(Ask(2, first), 19u);
  const std::uint32_t second = slots[0].stamp;
  EXPECT_NE(second, first);
  EXPECT_EQ(slots[1].stamp, second);
  EXPECT_EQ(Ask(1, first), 11u + 43 + 4);
  EXPECT_EQ(Ask(1, second), 15u);
  EXPECT_EQ(protocol.BuildListReply(3, slots[0], 0), 0u);
}

// Without the LanServer's connections (its loop does not run) a reply still gives its own
// connection a stamp and answers as the stamp rule says, but renews nobody else's, and the
// change is renewed once the connections are there.
TEST_F(ListProtocolHandlerTest, WithoutConnectionsOnlyTheAskingOneGetsAStamp) {
  lists.revisions[0] = 5;
  slots[1].stamp = 77;
  ASSERT_EQ(Ask(1, 0), 19u);
  const std::uint32_t own = slots[0].stamp;
  EXPECT_NE(own, 0u);
  EXPECT_EQ(slots[1].stamp, 77u);
  EXPECT_EQ(Ask(1, own), 15u);

  protocol.SetConnections(slots);
  EXPECT_EQ(Ask(1, own), 19u);
  EXPECT_NE(slots[0].stamp, own);
  EXPECT_EQ(slots[1].stamp, slots[0].stamp);
}

}  // namespace
}  // namespace brisel
