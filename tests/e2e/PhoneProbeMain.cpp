// brisel_phone_probe: what a phone does, end to end, from another host.
//   brisel_phone_probe --expect-address A [--timeout-ms N]
// Hears the discovery datagram on UDP 7171, fetches both lists over the list protocol
// (checking the stamp rule), and reads 100 bytes of the first shared video over HTTP.
// Exit 0 when everything matched, 1 otherwise; one line per step on stdout.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/HttpProbe.h"
#include "support/PhoneClient.h"

using namespace brisel::test;

int main(int argc, char** argv) {
  std::string expected;
  int timeoutMs = 10000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--expect-address") == 0) expected = argv[i + 1];
    if (std::strcmp(argv[i], "--timeout-ms") == 0) timeoutMs = std::atoi(argv[i + 1]);
  }
  std::string from;
  auto datagram = ReceiveDatagram(timeoutMs, &from);
  if (!datagram) {
    std::printf("no datagram within %d ms\n", timeoutMs);
    return 1;
  }
  const std::string address = datagram->size() == 77 ? std::string(datagram->c_str() + 5) : "";
  const bool ports = datagram->size() == 77 &&
                     datagram->compare(69, 8, std::string("\xC5\x2D\0\0\xC6\x2D\0\0", 8)) == 0;
  std::printf("datagram %zu bytes from %s address %s ports %s\n", datagram->size(), from.c_str(),
              address.c_str(), ports ? "11717/11718" : "wrong");
  if (datagram->compare(0, 5, "qmtk\x01") != 0 || !ports ||
      (!expected.empty() && address != expected))
    return 1;

  PhoneClient phone;
  if (!phone.Connect(address)) {
    std::printf("cannot connect to %s:11718\n", address.c_str());
    return 1;
  }
  PhoneListReply list1 = phone.RequestList(1, 0);
  PhoneListReply again = phone.RequestList(1, list1.stamp);
  PhoneListReply list2 = phone.RequestList(2, 0);
  std::printf("list1 %zu entries, repeat %zu bytes; list2 %zu entries\n", list1.entries.size(),
              again.raw.size(), list2.entries.size());
  if (!list1.ok || !list1.hasList || again.raw.size() != 15 || !list2.ok) return 1;
  for (const PhoneListEntry& e : list1.entries)
    std::printf("entry %s %s video %d image %d\n", e.key.c_str(), e.name.c_str(), e.hasVideo,
                e.hasImage);
  if (list1.entries.empty()) return 0;
  HttpReply part =
      HttpRequest("GET", "/" + list1.entries[0].key, {"Range: bytes=0-99"}, address, 11717);
  std::printf("http %d %zu bytes\n", part.status, part.body.size());
  return part.status == 206 && part.body.size() == 100 ? 0 : 1;
}
