// brisel_dlna_probe: what a DLNA player does, end to end, from another host.
//   brisel_dlna_probe find --local L --expect A --videos N
//       M-SEARCH for a MediaServer out of the interface of L; every answer must come from A;
//       reads the description, browses the root and the ordinary videos (all, then a page of
//       one), streams a range of each video, fetches each thumbnail and plays the first video
//       with ffprobe.
//   brisel_dlna_probe silent --local L [--wait-ms N] [--closed HOST:PORT]
//       M-SEARCH (ssdp:all) and listen for N ms: nothing may answer or announce itself, and
//       HOST:PORT must refuse connections.
//   brisel_dlna_probe byebye --local L [--wait-ms N]
//       waits for an ssdp:byebye of a MediaServer's root device.
// Exit 0 when everything matched, 1 otherwise; one line per step on stdout.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "platform/ChildProcess.h"
#include "support/HttpProbe.h"
#include "support/UpnpClient.h"

using namespace brisel;
using namespace brisel::test;

namespace {

constexpr const char* kMediaServer = "urn:schemas-upnp-org:device:MediaServer:1";

int Fail(const std::string& why) {
  std::printf("FAILED: %s\n", why.c_str());
  return 1;
}

int Find(const std::string& local, const std::string& expected, std::size_t videos) {
  std::vector<SsdpMessage> answers = SsdpSearch(local, kMediaServer, std::chrono::seconds(3));
  if (answers.empty()) return Fail("no answer to M-SEARCH");
  for (const SsdpMessage& answer : answers) {
    std::printf("answer from %s: %s LOCATION %s\n", answer.from.c_str(), answer.Field("ST").c_str(),
                answer.Field("LOCATION").c_str());
    if (answer.from.rfind(expected + ":", 0) != 0) return Fail("answer from another address");
  }
  auto location = SplitHttpUrl(answers.front().Field("LOCATION"));
  if (!location || location->host != expected) return Fail("description elsewhere");
  HttpReply description = HttpRequest("GET", location->path, {}, location->host, location->port);
  pugi::xml_document doc;
  if (description.status != 200 || !doc.load_string(description.body.c_str()))
    return Fail("description does not parse");
  pugi::xml_node device = doc.child("root").child("device");
  std::printf("device \"%s\" %s\n", device.child_value("friendlyName"), device.child_value("UDN"));
  if (std::string(device.child_value("friendlyName")).rfind("BriselVR助手 (", 0) != 0)
    return Fail("friendly name");

  SoapReply root = Browse(location->host, location->port, "0", "BrowseDirectChildren");
  auto containers = ParseDidl(root.out["Result"]);
  if (!containers || containers->size() != 2) return Fail("root: " + root.raw);
  for (const DidlObject& c : *containers)
    std::printf("container %s \"%s\" %s children\n", c.id.c_str(), c.title.c_str(),
                c.childCount.c_str());

  SoapReply list = Browse(location->host, location->port, "1", "BrowseDirectChildren");
  auto items = ParseDidl(list.out["Result"]);
  if (!items || items->size() != videos || list.out["TotalMatches"] != std::to_string(videos))
    return Fail("container 1: " + list.raw);
  for (const DidlObject& item : *items) {
    std::printf("item \"%s\" %s %s %s %s bytes, art %s (%s)\n", item.title.c_str(),
                item.resUrl.c_str(), item.resDuration.c_str(), item.resResolution.c_str(),
                item.resSize.c_str(), item.albumArtUrl.c_str(), item.albumArtProfile.c_str());
    auto res = SplitHttpUrl(item.resUrl);
    if (!res || res->host != expected) return Fail("res URL");
    HttpReply part = HttpRequest("GET", res->path, {"Range: bytes=100-199"}, res->host, res->port);
    std::printf("  range: %d, %zu bytes\n", part.status, part.body.size());
    if (part.status != 206 || part.body.size() != 100) return Fail("range");
    auto art = SplitHttpUrl(item.albumArtUrl);
    if (!art) return Fail("no thumbnail");
    HttpReply thumbnail = HttpRequest("GET", art->path, {}, art->host, art->port);
    std::printf("  thumbnail: %d %s, %zu bytes\n", thumbnail.status,
                thumbnail.Header("Content-Type").c_str(), thumbnail.body.size());
    if (thumbnail.status != 200 || thumbnail.body.compare(0, 2, "\xff\xd8") != 0)
      return Fail("thumbnail");
  }
  SoapReply page = Browse(location->host, location->port, "1", "BrowseDirectChildren", 1, 1);
  auto one = ParseDidl(page.out["Result"]);
  std::printf("page 1+1: %s returned of %s\n", page.out["NumberReturned"].c_str(),
              page.out["TotalMatches"].c_str());
  if (!one || one->size() != 1 || one->front().id != (*items)[1].id) return Fail("paging");

  ProcessResult probe = RunProcess({"ffprobe", "-v", "error", "-show_entries", "format=duration",
                                    "-of", "csv=p=0", items->front().resUrl},
                                   30000);
  std::printf("ffprobe %s: exit %d, duration %s", items->front().resUrl.c_str(), probe.exitCode,
              probe.output.c_str());
  if (probe.exitCode != 0 || std::atof(probe.output.c_str()) <= 0) return Fail("ffprobe");
  return 0;
}

int Silent(const std::string& local, int waitMs, const std::string& closed) {
  SsdpListener listener(local);
  if (!listener.Ok()) return Fail("cannot listen for SSDP on " + local);
  std::vector<SsdpMessage> answers =
      SsdpSearch(local, "ssdp:all", std::chrono::milliseconds(waitMs));
  for (const SsdpMessage& answer : answers) std::printf("answer from %s\n", answer.from.c_str());
  int heard = 0;
  for (const SsdpMessage& message : listener.Collect(std::chrono::milliseconds(200))) {
    if (message.startLine.rfind("NOTIFY", 0) != 0) continue;  // our own M-SEARCH
    std::printf("heard %s %s from %s\n", message.Field("NTS").c_str(), message.Field("NT").c_str(),
                message.from.c_str());
    ++heard;
  }
  if (!answers.empty() || heard > 0) return Fail("something answered or announced itself");
  std::printf("no answer and no announcement on %s within %d ms\n", local.c_str(), waitMs);
  if (!closed.empty()) {
    const std::size_t colon = closed.rfind(':');
    HttpConnection connection;
    if (connection.Connect(closed.substr(0, colon),
                           static_cast<std::uint16_t>(std::atoi(closed.c_str() + colon + 1)), 2000))
      return Fail(closed + " accepts connections");
    std::printf("%s refuses connections\n", closed.c_str());
  }
  return 0;
}

int Byebye(const std::string& local, int waitMs) {
  SsdpListener listener(local);
  if (!listener.Ok()) return Fail("cannot listen for SSDP on " + local);
  std::printf("listening\n");
  std::fflush(stdout);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (std::chrono::steady_clock::now() < deadline) {
    for (const SsdpMessage& message : listener.Collect(std::chrono::milliseconds(200))) {
      if (message.Field("NTS") == "ssdp:byebye" && message.Field("NT") == "upnp:rootdevice") {
        std::printf("ssdp:byebye %s from %s\n", message.Field("USN").c_str(), message.from.c_str());
        return 0;
      }
    }
  }
  return Fail("no ssdp:byebye");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: brisel_dlna_probe find|silent|byebye --local L ...");
  const std::string mode = argv[1];
  std::map<std::string, std::string> options;
  for (int i = 2; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  const std::string local = options["--local"];
  const int waitMs = options.count("--wait-ms") ? std::atoi(options["--wait-ms"].c_str()) : 3000;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (mode == "find") {
    return Find(local, options["--expect"],
                static_cast<std::size_t>(std::atoi(options["--videos"].c_str())));
  }
  if (mode == "silent") return Silent(local, waitMs, options["--closed"]);
  if (mode == "byebye") return Byebye(local, waitMs);
  return Fail("unknown mode " + mode);
}
