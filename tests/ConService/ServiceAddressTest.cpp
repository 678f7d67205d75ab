#include <gtest/gtest.h>

#include "ConService/Ipv4Address.h"
#include "ConService/LanServer.h"
#include "ConService/Service.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

TEST(ServiceAddressTest, DiscoveryDatagramLayout) {
  auto datagram = LanServer::BuildDiscoveryDatagram("192.168.1.23");
  ASSERT_EQ(datagram.size(), 77u);
  std::string bytes(datagram.begin(), datagram.end());
  EXPECT_EQ(bytes.substr(0, 5), "qmtk\x01");
  EXPECT_EQ(bytes.substr(5, 12), "192.168.1.23");
  EXPECT_EQ(bytes.substr(17, 52), std::string(52, '\0'));
  EXPECT_EQ(bytes.substr(69, 4), std::string("\xC5\x2D\x00\x00", 4));
  EXPECT_EQ(bytes.substr(73, 4), std::string("\xC6\x2D\x00\x00", 4));
  EXPECT_EQ(Ipv4Address::Parse("192.168.1.23")->BroadcastText(), "192.168.1.255");
}

TEST(ServiceAddressTest, OnlyFourNumbersUpTo255AreAnAddress) {
  struct Case {
    const char* text;
    const char* canonical;  // null: refused
  } cases[] = {
      {"192.168.1.23", "192.168.1.23"},
      {"192.168.001.023", "192.168.1.23"},
      {"0.0.0.0", "0.0.0.0"},
      {"255.255.255.255", "255.255.255.255"},
      {"", nullptr},
      {"192.168.1", nullptr},
      {"192.168.1.256", nullptr},
      {"192.168.1.2.3", nullptr},
      {"192.168.1.23 ", nullptr},
      {"-1.2.3.4", nullptr},
      {"1..2.3", nullptr},
      {"0001.2.3.4", nullptr},
      {"a.b.c.d", nullptr},
      {"192.168.1.23x", nullptr},
  };
  for (const Case& c : cases) {
    auto parsed = Ipv4Address::Parse(c.text);
    if (c.canonical) {
      ASSERT_TRUE(parsed) << c.text;
      EXPECT_EQ(parsed->Text(), c.canonical);
    } else {
      EXPECT_FALSE(parsed) << c.text;
    }
  }
  test::Sandbox sandbox;
  Service service;
  EXPECT_EQ(service.SetServiceAddress("not an address"), 0);
  EXPECT_EQ(service.SetServiceAddress("10.0.0"), 0);
  EXPECT_EQ(service.Flags(), 0u);
  EXPECT_FALSE(service.StartServiceThreads());  // no address yet
  service.StopServiceThreads();                 // nothing runs: returns at once
}

}  // namespace
}  // namespace brisel
