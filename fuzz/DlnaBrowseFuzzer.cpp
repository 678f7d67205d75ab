// Browse requests come from any player on the LAN and the titles from any file name: whatever
// the arguments and names, the answer is an error code or a DIDL-Lite document that parses,
// holding exactly the objects it counts, never more than were asked for.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <pugixml.hpp>
#include <string>

#include "ConService/DlnaContentDirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  brisel::DlnaCatalogue catalogue;
  catalogue.mediaBaseUrl = "http://10.77.0.1:11717";
  catalogue.containers = {{"1", "视频", 1, {}}, {"2", "已转码视频", 2, {}}};
  if (input.ConsumeBool()) {
    catalogue.containers.push_back(
        {input.ConsumeBool() ? "17" : "1x", input.ConsumeRandomLengthString(40), 3, {}});
  }
  const int videos = input.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < videos; ++i) {
    brisel::DlnaVideo video;
    video.key = input.ConsumeBool() ? std::string(32, static_cast<char>('a' + i % 3))
                                    : input.ConsumeRandomLengthString(40);
    video.name = input.ConsumeRandomLengthString(80);
    video.path = "/v/" + input.ConsumeRandomLengthString(80);
    video.urlPath = "/" + video.key;
    video.thumbnailUrlPath = "/image/" + video.key + ".jpg";
    video.hasThumbnail = input.ConsumeBool();
    video.facts.exists = input.ConsumeBool();
    video.facts.size = input.ConsumeIntegral<std::uint64_t>();
    video.facts.durationMs = input.ConsumeIntegral<std::int64_t>();
    video.facts.width = input.ConsumeIntegral<int>();
    video.facts.height = input.ConsumeIntegral<int>();
    const std::size_t last = catalogue.containers.size() - 1;
    catalogue.containers[input.ConsumeIntegralInRange<std::size_t>(0, last)].videos.push_back(
        video);
  }
  brisel::DlnaBrowseRequest request;
  request.objectId =
      input.ConsumeBool() ? "1$" + std::string(32, 'a') : input.ConsumeRandomLengthString(40);
  request.browseFlag = input.ConsumeBool()   ? "BrowseDirectChildren"
                       : input.ConsumeBool() ? "BrowseMetadata"
                                             : input.ConsumeRandomLengthString(24);
  request.filter = input.ConsumeRandomLengthString(60);
  request.startingIndex = input.ConsumeIntegral<std::uint32_t>() % 8;
  request.requestedCount = input.ConsumeIntegral<std::uint32_t>() % 8;
  if (input.ConsumeBool()) request.startingIndex = input.ConsumeIntegral<std::uint32_t>();

  const brisel::DlnaBrowseResult result = brisel::DlnaBrowse(catalogue, request);
  if (result.errorCode != 0) {
    if (!result.result.empty()) std::abort();
    return 0;
  }
  pugi::xml_document doc;
  if (!doc.load_string(result.result.c_str())) std::abort();
  std::uint32_t objects = 0;
  for (pugi::xml_node node : doc.child("DIDL-Lite").children()) {
    (void)node;
    ++objects;
  }
  if (objects != result.numberReturned) std::abort();
  if (request.requestedCount != 0 && result.numberReturned > request.requestedCount) std::abort();
  if (result.numberReturned > result.totalMatches) std::abort();
  return 0;
}
