#include "platform/NetworkAdapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>

namespace brisel {
namespace {

std::mutex& SourceMutex() {
  static std::mutex m;
  return m;
}

std::function<std::vector<AdapterInfo>()>& Source() {
  static std::function<std::vector<AdapterInfo>()> source;
  return source;
}

std::vector<AdapterInfo> SystemAdapters() {
  std::vector<AdapterInfo> adapters;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return adapters;
  std::map<unsigned, AdapterInfo> byIndex;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_name || !a->ifa_addr) continue;
    if ((a->ifa_flags & IFF_LOOPBACK) || !(a->ifa_flags & IFF_UP)) continue;
    unsigned index = if_nametoindex(a->ifa_name);
    if (index == 0) continue;
    AdapterInfo& info = byIndex[index];
    info.name = a->ifa_name;
    if (a->ifa_addr->sa_family == AF_PACKET) {
      auto* ll = reinterpret_cast<sockaddr_ll*>(a->ifa_addr);
      info.hardwareAddress.assign(ll->sll_addr, ll->sll_addr + std::min<int>(ll->sll_halen, 8));
    } else if (a->ifa_addr->sa_family == AF_INET) {
      char text[INET_ADDRSTRLEN];
      auto* in = reinterpret_cast<sockaddr_in*>(a->ifa_addr);
      if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) info.ipv4.emplace_back(text);
    }
  }
  freeifaddrs(list);
  for (auto& [index, info] : byIndex) adapters.push_back(std::move(info));
  return adapters;
}

}  // namespace

std::vector<AdapterInfo> QueryAdapters() {
  std::function<std::vector<AdapterInfo>()> source;
  {
    std::lock_guard<std::mutex> lock(SourceMutex());
    source = Source();
  }
  return source ? source() : SystemAdapters();
}

void SetAdapterSourceForTesting(std::function<std::vector<AdapterInfo>()> source) {
  std::lock_guard<std::mutex> lock(SourceMutex());
  Source() = std::move(source);
}

std::string FormatHardwareAddress(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char part[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(part, sizeof part, "%02X:", b);
    text += part;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

void EnumerateAdapters(std::vector<std::string>* ipList, std::vector<std::string>* macList) {
  ipList->clear();
  macList->clear();
  for (const AdapterInfo& adapter : QueryAdapters()) {
    macList->push_back(FormatHardwareAddress(adapter.hardwareAddress));
    for (const std::string& ip : adapter.ipv4) {
      if (ip != "0.0.0.0") ipList->push_back(ip);
    }
  }
}

}  // namespace brisel
