#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ConService/MediaValuesCache.h"

namespace brisel {

// The content a DLNA player browses: the root "0" holds one container per catalogue section
// ("1" the ordinary videos, "2" the converted ones), and each container one video item per
// video, "1$KEY" or "2$KEY". The item's resource is the media server's stream URL of the
// video, its album art the thumbnail URL, so players stream from the same server the phones
// use.

// Browse errors a control point can be answered with (UPnP ContentDirectory error codes).
inline constexpr int kUpnpErrorInvalidArgs = 402;
inline constexpr int kUpnpErrorNoSuchObject = 701;

// One video as the directory lists it (a snapshot: nothing here refers back to the catalogue).
struct DlnaVideo {
  std::string key;               // share key: the item's id derives from it
  std::string name;              // title as the program shows it (any bytes; made valid UTF-8)
  std::string path;              // the video file; its extension gives the MIME type
  std::string urlPath;           // the stream's path on the media server ("/KEY")
  std::string thumbnailUrlPath;  // the thumbnail's ("/image/KEY.jpg")
  bool hasThumbnail = false;
  MediaFacts facts;
};

// A container of the root.
struct DlnaContainer {
  std::string id;  // neither "0" nor containing "$"; its items are id + "$" + key
  std::string title;
  std::uint32_t updateId = 0;
  std::vector<DlnaVideo> videos;
};

struct DlnaCatalogue {
  std::string mediaBaseUrl;  // "http://ADDRESS:11717", no trailing "/"
  std::uint32_t systemUpdateId = 0;
  std::vector<DlnaContainer> containers;  // the root's children, in order
};

struct DlnaBrowseRequest {
  std::string objectId;
  std::string browseFlag;  // "BrowseMetadata" or "BrowseDirectChildren"
  std::string filter;      // "*" or empty: everything; otherwise a comma-separated list
  std::uint32_t startingIndex = 0;
  std::uint32_t requestedCount = 0;  // 0: all
};

struct DlnaBrowseResult {
  int errorCode = 0;  // 0, or a UPnP error code with errorText
  std::string errorText;
  std::string result;  // DIDL-Lite document
  std::uint32_t numberReturned = 0;
  std::uint32_t totalMatches = 0;
  std::uint32_t updateId = 0;
};

// Answers one Browse action on the catalogue. Pure: safe on any thread, with any input.
DlnaBrowseResult DlnaBrowse(const DlnaCatalogue& catalogue, const DlnaBrowseRequest& request);

// The MIME type players are told for a video (by the file's extension, as the media server
// sends it); "application/octet-stream" for anything else.
std::string DlnaMimeType(std::string_view path);
// protocolInfo of a streamed video: HTTP GET, any network, byte ranges (DLNA.ORG_OP=01).
std::string DlnaVideoProtocolInfo(const std::string& mimeType);
// Every protocolInfo the server can send (ConnectionManager's Source), comma-separated.
std::string DlnaSourceProtocolInfo();

// Text as XML 1.0 may carry it: invalid UTF-8 becomes U+FFFD, control characters other than
// tab, line feed and carriage return are dropped.
std::string DlnaXmlSafeText(std::string_view text);

}  // namespace brisel
