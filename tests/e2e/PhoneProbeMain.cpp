// brisel_phone_probe: what a phone does, end to end, from another host.
//   brisel_phone_probe --expect-address A [--timeout-ms N] [--list1 N] [--list2 N]
//                      [--thumbnails] [--stream KEY --range FROM-TO [--save FILE]]
// Hears the discovery datagram on UDP 7171, fetches both lists over the list protocol
// (checking the stamp rule), and streams part of a shared video over HTTP: by default 100
// bytes of the first video of list 1; with --stream, the bytes FROM-TO of the video KEY (which
// must be in one of the lists), written to FILE for the caller to compare.
//   --list1 N, --list2 N: the lists must hold exactly N entries;
//   --thumbnails: every entry says it has a thumbnail, and each one is a JPEG over HTTP.
// Exit 0 when everything matched, 1 otherwise; one line per step on stdout.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "support/HttpProbe.h"
#include "support/PhoneClient.h"

using namespace brisel::test;

namespace {

int Fail(const std::string& why) {
  std::printf("FAILED: %s\n", why.c_str());
  return 1;
}

bool CountMatches(const std::map<std::string, std::string>& options, const char* name,
                  std::size_t count) {
  auto it = options.find(name);
  return it == options.end() || std::strtoul(it->second.c_str(), nullptr, 10) == count;
}

bool HasKey(const PhoneListReply& list, const std::string& key) {
  for (const PhoneListEntry& e : list.entries)
    if (e.key == key) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::map<std::string, std::string> options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--thumbnails") == 0) {
      options[argv[i]] = "1";
    } else if (i + 1 < argc) {
      options[argv[i]] = argv[i + 1];
      ++i;
    }
  }
  const std::string expected = options["--expect-address"];
  const int timeoutMs =
      options.count("--timeout-ms") ? std::atoi(options["--timeout-ms"].c_str()) : 10000;

  std::string from;
  auto datagram = ReceiveDatagram(timeoutMs, &from);
  if (!datagram) return Fail("no datagram within " + std::to_string(timeoutMs) + " ms");
  const std::string address = datagram->size() == 77 ? std::string(datagram->c_str() + 5) : "";
  const bool ports = datagram->size() == 77 &&
                     datagram->compare(69, 8, std::string("\xC5\x2D\0\0\xC6\x2D\0\0", 8)) == 0;
  std::printf("datagram %zu bytes from %s address %s ports %s\n", datagram->size(), from.c_str(),
              address.c_str(), ports ? "11717/11718" : "wrong");
  if (datagram->compare(0, 5, "qmtk\x01") != 0 || !ports ||
      (!expected.empty() && address != expected))
    return Fail("datagram");

  PhoneClient phone;
  if (!phone.Connect(address)) return Fail("cannot connect to " + address + ":11718");
  PhoneListReply list1 = phone.RequestList(1, 0);
  PhoneListReply again = phone.RequestList(1, list1.stamp);
  PhoneListReply list2 = phone.RequestList(2, 0);
  std::printf("list1 %zu entries, repeat %zu bytes; list2 %zu entries\n", list1.entries.size(),
              again.raw.size(), list2.entries.size());
  if (!list1.ok || !list1.hasList || again.raw.size() != 15 || !list2.ok)
    return Fail("list replies");
  for (const PhoneListReply* list : {&list1, &list2}) {
    for (const PhoneListEntry& e : list->entries) {
      std::printf("list%d entry %s %s video %d image %d\n", list == &list1 ? 1 : 2, e.key.c_str(),
                  e.name.c_str(), e.hasVideo, e.hasImage);
    }
  }
  if (!CountMatches(options, "--list1", list1.entries.size()) ||
      !CountMatches(options, "--list2", list2.entries.size()))
    return Fail("list sizes");

  if (options.count("--thumbnails")) {
    for (const PhoneListReply* list : {&list1, &list2}) {
      for (const PhoneListEntry& e : list->entries) {
        HttpReply image = HttpRequest("GET", "/image/" + e.key + ".jpg", {}, address, 11717);
        std::printf("thumbnail %s: %d, %zu bytes\n", e.key.c_str(), image.status,
                    image.body.size());
        if (!e.hasImage || image.status != 200 || image.body.compare(0, 2, "\xff\xd8") != 0)
          return Fail("thumbnail of " + e.name);
      }
    }
  }

  std::string key = options["--stream"];
  std::string range = options.count("--range") ? options["--range"] : "0-99";
  if (key.empty()) {
    if (list1.entries.empty()) return 0;
    key = list1.entries[0].key;
  } else if (!HasKey(list1, key) && !HasKey(list2, key)) {
    return Fail("no entry has the key " + key);
  }
  const std::size_t dash = range.find('-');
  const long first = std::atol(range.c_str());
  const long last = dash == std::string::npos ? -1 : std::atol(range.c_str() + dash + 1);
  if (last < first) return Fail("bad range " + range);
  HttpReply part = HttpRequest("GET", "/" + key, {"Range: bytes=" + range}, address, 11717);
  std::printf("http %d %zu bytes, Content-Range %s\n", part.status, part.body.size(),
              part.Header("Content-Range").c_str());
  if (part.status != 206 || part.body.size() != static_cast<std::size_t>(last - first + 1))
    return Fail("range request");
  if (options.count("--save")) {
    std::ofstream out(options["--save"], std::ios::binary);
    out << part.body;
    if (!out) return Fail("cannot write " + options["--save"]);
  }
  return 0;
}
