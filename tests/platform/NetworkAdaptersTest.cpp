#include <gtest/gtest.h>

#include "platform/NetworkAdapters.h"

namespace brisel {
namespace {

class NetworkAdapters : public ::testing::Test {
 protected:
  void TearDown() override { SetAdapterSourceForTesting(nullptr); }
  void Use(std::vector<AdapterInfo> adapters) {
    SetAdapterSourceForTesting([adapters] { return adapters; });
  }
};

TEST_F(NetworkAdapters, AddressesInAdapterOrderAndOneMacPerAdapter) {
  Use({{"eth0", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, {"0.0.0.0"}},
       {"wlan0", {0xAA, 0xBB, 0xCC, 0x01, 0x02, 0x03}, {"192.168.1.23", "10.0.0.5"}},
       {"tun0", {}, {"10.8.0.1"}}});
  std::vector<std::string> ips, macs;
  EnumerateAdapters(&ips, &macs);
  EXPECT_EQ(ips, (std::vector<std::string>{"192.168.1.23", "10.0.0.5", "10.8.0.1"}));
  EXPECT_EQ(macs, (std::vector<std::string>{"00:1A:2B:3C:4D:5E", "AA:BB:CC:01:02:03", ""}));
}

TEST_F(NetworkAdapters, OnlyUnsetAddressesGiveNoServiceAddress) {
  Use({{"eth0", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {"0.0.0.0"}}});
  std::vector<std::string> ips{"stale"}, macs;
  EnumerateAdapters(&ips, &macs);
  EXPECT_TRUE(ips.empty());
  EXPECT_EQ(macs, std::vector<std::string>{"00:11:22:33:44:55"});
}

TEST_F(NetworkAdapters, SystemListLeavesLoopbackOut) {
  for (const AdapterInfo& a : QueryAdapters()) {
    EXPECT_NE(a.name, "lo");
    for (const std::string& ip : a.ipv4) EXPECT_NE(ip.rfind("127.", 0), 0u) << a.name;
  }
}

}  // namespace
}  // namespace brisel
