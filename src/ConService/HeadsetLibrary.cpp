#include "ConService/HeadsetLibrary.h"

#include <json/json.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "ConService/ShareRecord.h"
#include "ConService/VideoTypes.h"
#include "ConService/VrFormat.h"
#include "platform/TextCodec.h"

namespace brisel {
namespace {

constexpr std::string_view kDeoVrRoot = "/deovr";
constexpr std::string_view kHereSphereRoot = "/heresphere";
constexpr std::size_t kMaxHostBytes = 255;

// Which player a path is for and what follows its root ("" for the index, "/KEY" for a
// video); false for other paths.
bool Split(std::string_view uri, bool* deoVr, std::string_view* rest) {
  for (std::string_view root : {kDeoVrRoot, kHereSphereRoot}) {
    if (uri.substr(0, root.size()) != root) continue;
    std::string_view after = uri.substr(root.size());
    if (!after.empty() && after[0] != '/') continue;  // "/deovrx" is somebody else's
    *deoVr = root == kDeoVrRoot;
    *rest = after;
    return true;
  }
  return false;
}

bool IsShareKey(std::string_view text) {
  if (text.size() != kShareKeyLength) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
         c == '-' || c == '_';
}

bool IsIpv6Char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
         c == '.';
}

// "host" or "host:port" with a port of 1..65535; `*hasPort` tells which.
bool IsPlainAuthority(std::string_view text, bool* hasPort) {
  if (text.empty() || text.size() > kMaxHostBytes) return false;
  std::size_t i = 0;
  if (text[0] == '[') {
    std::size_t close = text.find(']');
    if (close == std::string_view::npos || close < 3) return false;
    for (std::size_t k = 1; k < close; ++k) {
      if (!IsIpv6Char(text[k])) return false;
    }
    i = close + 1;
  } else {
    while (i < text.size() && IsNameChar(text[i])) ++i;
    if (i == 0) return false;
  }
  *hasPort = i < text.size();
  if (!*hasPort) return true;
  if (text[i] != ':' || i + 1 == text.size() || text.size() - i - 1 > 5) return false;
  unsigned port = 0;
  for (std::size_t k = i + 1; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
    port = port * 10 + static_cast<unsigned>(text[k] - '0');
  }
  return port >= 1 && port <= 65535;
}

// The title a player shows: the file name without a video extension.
std::string TitleOf(const std::string& name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || !VideoMimeType(name)) return name;
  return name.substr(0, dot);
}

// A label for the one encoding a video has: its container, as the file's extension says.
std::string EncodingName(const std::string& name) {
  std::size_t dot = name.rfind('.');
  std::string label = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (label.empty() || label.size() > 8) return "video";
  for (char& c : label) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return "video";
  }
  return label;
}

// A DeoVR id is a number: the key's first 28 bits, which keeps it within every integer type a
// player may read it into.
Json::Int DeoVrId(const std::string& key) {
  Json::Int id = 0;
  for (std::size_t i = 0; i < 7 && i < key.size(); ++i) {
    const char c = key[i];
    id = id * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
  }
  return id;
}

std::string WriteJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;  // the text is made valid UTF-8 first
  return Json::writeString(builder, value);
}

HeadsetLibrary::Reply NotFound(bool hereSphere) {
  HeadsetLibrary::Reply reply;
  reply.status = 404;
  reply.hereSphere = hereSphere;
  reply.body = R"({"error":"not found"})";
  return reply;
}

}  // namespace

// One video as the players see it.
struct HeadsetLibrary::Video {
  std::string key;
  std::string urlPath;           // the stream's path on the media server
  std::string thumbnailUrlPath;  // the thumbnail's
  std::string title;             // valid UTF-8
  std::string encoding;          // label of its one encoding
  double durationMs = 0;
  unsigned width = 0, height = 0;
  std::uint64_t size = 0;
  VrFormat format;

  std::string StreamUrl(const std::string& authority) const {
    return "http://" + authority + urlPath;
  }
  std::string ThumbnailUrl(const std::string& authority) const {
    return "http://" + authority + thumbnailUrlPath;
  }
  std::uint64_t Seconds() const {
    return static_cast<std::uint64_t>(std::llround(durationMs / 1000));
  }
  Json::Value Source(const std::string& authority) const {
    Json::Value source(Json::objectValue);
    source["resolution"] = height;
    source["height"] = height;
    source["width"] = width;
    source["size"] = Json::UInt64(size);
    source["url"] = StreamUrl(authority);
    return source;
  }
};

HeadsetLibrary::HeadsetLibrary(Mediator& catalogue, std::string address, int port)
    : m_catalogue(catalogue),
      m_strOwnAuthority(std::move(address) + ":" + std::to_string(port)),
      m_strPort(std::to_string(port)) {}

bool HeadsetLibrary::Claims(std::string_view uri) {
  bool deoVr;
  std::string_view rest;
  return Split(uri, &deoVr, &rest);
}

std::string HeadsetLibrary::Authority(const char* host) const {
  bool hasPort = false;
  if (!host || !IsPlainAuthority(host, &hasPort)) return m_strOwnAuthority;
  return hasPort ? std::string(host) : std::string(host) + ":" + m_strPort;
}

HeadsetLibrary::Reply HeadsetLibrary::Answer(std::string_view uri, const char* host) const {
  bool deoVr = false;
  std::string_view rest;
  if (!Split(uri, &deoVr, &rest)) return NotFound(false);
  const std::string authority = Authority(host);
  if (rest.empty() || rest == "/") return Index(deoVr, authority);
  std::string_view key = rest.substr(1);
  if (!key.empty() && key.back() == '/') key.remove_suffix(1);
  return OneVideo(deoVr, key, authority);
}

bool HeadsetLibrary::Describe(const CatalogueVideo& entry, Video* out) const {
  const MediaFacts facts = m_catalogue.Facts(entry);
  if (!facts.exists) return false;  // the video is gone
  Video& video = *out;
  video.key = entry.key;
  video.urlPath = entry.urlPath;
  video.thumbnailUrlPath = entry.thumbnailUrlPath;
  video.title = ToValidUtf8(TitleOf(entry.name));
  video.encoding = EncodingName(entry.name);
  video.durationMs = facts.durationMs > 0 ? static_cast<double>(facts.durationMs) : 0;
  video.width = static_cast<unsigned>(facts.width);
  video.height = static_cast<unsigned>(facts.height);
  video.size = facts.size;
  video.format = DecideVrFormat(entry.name, entry.converted, video.width, video.height);
  return true;
}

HeadsetLibrary::Reply HeadsetLibrary::Index(bool deoVr, const std::string& authority) const {
  const CatalogueSnapshot catalogue = m_catalogue.Snapshot();
  Json::Value root(Json::objectValue);
  Json::Value sections(Json::arrayValue);
  for (const CatalogueSection& section : catalogue.sections) {
    Json::Value entries(Json::arrayValue);
    for (const CatalogueVideo& item : section.videos) {
      Video video;
      if (!Describe(item, &video)) continue;
      if (!deoVr) {
        entries.append("http://" + authority + "/heresphere/" + video.key);
        continue;
      }
      Json::Value entry(Json::objectValue);
      entry["title"] = video.title;
      entry["videoLength"] = Json::UInt64(video.Seconds());
      entry["thumbnailUrl"] = video.ThumbnailUrl(authority);
      entry["video_url"] = "http://" + authority + "/deovr/" + video.key;
      entries.append(std::move(entry));
    }
    if (entries.empty()) continue;
    Json::Value scene(Json::objectValue);
    scene["name"] = section.listType == SHARE_LIST_CONVERTED ? kConvertedScene : kOrdinaryScene;
    scene["list"] = std::move(entries);
    sections.append(std::move(scene));
  }
  Reply reply;
  reply.hereSphere = !deoVr;
  if (deoVr) {
    root["authorized"] = "1";
    root["scenes"] = std::move(sections);
  } else {
    root["access"] = 1;
    root["library"] = std::move(sections);
  }
  reply.body = WriteJson(root);
  return reply;
}

HeadsetLibrary::Reply HeadsetLibrary::OneVideo(bool deoVr, std::string_view key,
                                               const std::string& authority) const {
  if (!IsShareKey(key)) return NotFound(!deoVr);
  const std::optional<CatalogueVideo> entry = m_catalogue.ResolveKey(key);
  Video video;
  if (!entry || !Describe(*entry, &video)) return NotFound(!deoVr);
  const VrProjectionNames& names = NamesOf(video.format.projection);
  Json::Value root(Json::objectValue);
  Json::Value sources(Json::arrayValue);
  sources.append(video.Source(authority));
  Json::Value encoding(Json::objectValue);
  encoding["name"] = video.encoding;
  Reply reply;
  if (deoVr) {
    root["id"] = DeoVrId(video.key);
    root["title"] = video.title;
    root["authorized"] = 1;
    root["fullAccess"] = true;
    root["fullVideoReady"] = true;
    root["is3d"] = video.format != VrFormat{};
    root["screenType"] = names.deoVrScreenType;
    root["stereoMode"] = DeoVrStereoMode(video.format.stereo);
    root["videoLength"] = Json::UInt64(video.Seconds());
    root["thumbnailUrl"] = video.ThumbnailUrl(authority);
    encoding["videoSources"] = std::move(sources);
    root["encodings"].append(std::move(encoding));
  } else {
    reply.hereSphere = true;
    root["access"] = 1;
    root["title"] = video.title;
    root["thumbnailImage"] = video.ThumbnailUrl(authority);
    root["duration"] = video.durationMs;
    root["projection"] = names.hereSphereProjection;
    root["stereo"] = HereSphereStereo(video.format.stereo);
    if (video.format.projection != VrProjection::Flat) {
      root["lens"] = names.hereSphereLens;
      root["fov"] = names.fieldOfView;
    }
    encoding["sources"] = std::move(sources);
    root["media"].append(std::move(encoding));
    // The player offers no editing of what it cannot write back.
    root["writeFavorite"] = false;
    root["writeRating"] = false;
    root["writeTags"] = false;
    root["writeHSP"] = false;
  }
  reply.body = WriteJson(root);
  return reply;
}

}  // namespace brisel
