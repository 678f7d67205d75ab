#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brisel {

struct AdapterInfo {
  std::string name;
  std::vector<std::uint8_t> hardwareAddress;
  std::vector<std::string> ipv4;  // dotted text, in the order the system reports them
};

// The PC's network interfaces that are up, loopback left out, in interface-index order
// (getifaddrs).
std::vector<AdapterInfo> QueryAdapters();

// Replaces what QueryAdapters answers (tests); an empty function restores the system's list.
void SetAdapterSourceForTesting(std::function<std::vector<AdapterInfo>()> source);

// Hardware address as upper-case "%02X" bytes joined by ":" (e.g. 00:1A:2B:3C:4D:5E).
std::string FormatHardwareAddress(const std::vector<std::uint8_t>& bytes);

// Fills the IPv4 list (every address except "0.0.0.0", adapter by adapter) and the hardware
// address list (one entry per adapter) from QueryAdapters. Both are cleared first.
void EnumerateAdapters(std::vector<std::string>* ipList, std::vector<std::string>* macList);

}  // namespace brisel
