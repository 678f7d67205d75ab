#include "ConService/DlnaContentDirectory.h"

#include <libgupnp-av/gupnp-av.h>

#include <algorithm>
#include <memory>

#include "ConService/VideoTypes.h"

namespace brisel {
namespace {

constexpr const char* kRootId = "0";
constexpr char kItemSeparator = '$';

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object) g_object_unref(object);
  }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// What an object id names.
struct ObjectRef {
  enum Kind { None, Root, Container, Item } kind = None;
  const DlnaContainer* container = nullptr;  // containers and items
  const DlnaVideo* video = nullptr;          // items
};

ObjectRef Resolve(const DlnaCatalogue& catalogue, const std::string& id) {
  if (id == kRootId) return {ObjectRef::Root};
  for (const DlnaContainer& container : catalogue.containers) {
    if (id == container.id) return {ObjectRef::Container, &container};
    const std::size_t n = container.id.size();
    if (id.size() <= n + 1 || id.compare(0, n, container.id) != 0 || id[n] != kItemSeparator)
      continue;
    const std::string key = id.substr(n + 1);
    for (const DlnaVideo& video : container.videos) {
      if (video.key == key) return {ObjectRef::Item, &container, &video};
    }
  }
  return {};
}

// Twins (the same path shared twice) are one video to a player: each key is listed once.
std::vector<const DlnaVideo*> DistinctVideos(const std::vector<DlnaVideo>& videos) {
  std::vector<const DlnaVideo*> out;
  for (const DlnaVideo& video : videos) {
    bool seen = std::any_of(out.begin(), out.end(),
                            [&](const DlnaVideo* other) { return other->key == video.key; });
    if (!seen) out.push_back(&video);
  }
  return out;
}

void AddContainer(GUPnPDIDLLiteWriter* writer, const DlnaContainer& source) {
  GObjectPtr<GUPnPDIDLLiteContainer> container(gupnp_didl_lite_writer_add_container(writer));
  auto* object = GUPNP_DIDL_LITE_OBJECT(container.get());
  gupnp_didl_lite_object_set_id(object, source.id.c_str());
  gupnp_didl_lite_object_set_parent_id(object, kRootId);
  gupnp_didl_lite_object_set_restricted(object, TRUE);
  gupnp_didl_lite_object_set_title(object, DlnaXmlSafeText(source.title).c_str());
  gupnp_didl_lite_object_set_upnp_class(object, "object.container.storageFolder");
  gupnp_didl_lite_container_set_searchable(container.get(), FALSE);
  gupnp_didl_lite_container_set_child_count(
      container.get(), static_cast<gint>(DistinctVideos(source.videos).size()));
}

void AddRoot(GUPnPDIDLLiteWriter* writer, const DlnaCatalogue& catalogue) {
  GObjectPtr<GUPnPDIDLLiteContainer> container(gupnp_didl_lite_writer_add_container(writer));
  auto* object = GUPNP_DIDL_LITE_OBJECT(container.get());
  gupnp_didl_lite_object_set_id(object, kRootId);
  gupnp_didl_lite_object_set_parent_id(object, "-1");
  gupnp_didl_lite_object_set_restricted(object, TRUE);
  gupnp_didl_lite_object_set_title(object, "BriselVR助手");
  gupnp_didl_lite_object_set_upnp_class(object, "object.container.storageFolder");
  gupnp_didl_lite_container_set_searchable(container.get(), FALSE);
  gupnp_didl_lite_container_set_child_count(container.get(),
                                            static_cast<gint>(catalogue.containers.size()));
}

void AddItem(GUPnPDIDLLiteWriter* writer, const DlnaCatalogue& catalogue,
             const DlnaContainer& container, const DlnaVideo& video) {
  GObjectPtr<GUPnPDIDLLiteItem> item(gupnp_didl_lite_writer_add_item(writer));
  auto* object = GUPNP_DIDL_LITE_OBJECT(item.get());
  const std::string id = container.id + kItemSeparator + video.key;
  gupnp_didl_lite_object_set_id(object, id.c_str());
  gupnp_didl_lite_object_set_parent_id(object, container.id.c_str());
  gupnp_didl_lite_object_set_restricted(object, TRUE);
  gupnp_didl_lite_object_set_title(object, DlnaXmlSafeText(video.name).c_str());
  gupnp_didl_lite_object_set_upnp_class(object, "object.item.videoItem");

  GObjectPtr<GUPnPDIDLLiteResource> resource(gupnp_didl_lite_object_add_resource(object));
  const std::string url = catalogue.mediaBaseUrl + video.urlPath;
  gupnp_didl_lite_resource_set_uri(resource.get(), url.c_str());
  const MediaFacts& facts = video.facts;
  if (facts.exists) gupnp_didl_lite_resource_set_size64(resource.get(), facts.size);
  if (facts.durationMs >= 0) {
    gupnp_didl_lite_resource_set_duration(resource.get(),
                                          static_cast<glong>((facts.durationMs + 500) / 1000));
  }
  if (facts.width > 0 && facts.height > 0) {
    gupnp_didl_lite_resource_set_width(resource.get(), facts.width);
    gupnp_didl_lite_resource_set_height(resource.get(), facts.height);
  }
  GObjectPtr<GUPnPProtocolInfo> info(gupnp_protocol_info_new_from_string(
      DlnaVideoProtocolInfo(DlnaMimeType(video.path)).c_str(), nullptr));
  if (info) gupnp_didl_lite_resource_set_protocol_info(resource.get(), info.get());

  if (video.hasThumbnail) {
    const std::string art = catalogue.mediaBaseUrl + video.thumbnailUrlPath;
    gupnp_didl_lite_object_set_album_art(object, art.c_str());
    // Players pick album art by its DLNA profile: the thumbnails are small JPEGs.
    xmlNode* node = gupnp_didl_lite_object_get_xml_node(object);
    for (xmlNode* child = node ? node->children : nullptr; child; child = child->next) {
      if (child->type != XML_ELEMENT_NODE ||
          xmlStrcmp(child->name, reinterpret_cast<const xmlChar*>("albumArtURI")) != 0)
        continue;
      xmlSetNsProp(child, gupnp_didl_lite_object_get_dlna_namespace(object),
                   reinterpret_cast<const xmlChar*>("profileID"),
                   reinterpret_cast<const xmlChar*>("JPEG_TN"));
    }
  }
}

bool WantsEverything(const std::string& filter) { return filter.empty() || filter == "*"; }

}  // namespace

std::string DlnaXmlSafeText(std::string_view text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string out;
  out.reserve(text.size());
  for (const gchar* p = valid; *p; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char(p);
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF) continue;
    out.append(p, static_cast<std::size_t>(g_utf8_next_char(p) - p));
  }
  g_free(valid);
  return out;
}

std::string DlnaMimeType(std::string_view path) {
  const char* mime = VideoMimeType(path);
  return mime ? mime : "application/octet-stream";
}

std::string DlnaVideoProtocolInfo(const std::string& mimeType) {
  GObjectPtr<GUPnPProtocolInfo> info(gupnp_protocol_info_new());
  gupnp_protocol_info_set_protocol(info.get(), "http-get");
  gupnp_protocol_info_set_network(info.get(), "*");
  gupnp_protocol_info_set_mime_type(info.get(), mimeType.c_str());
  gupnp_protocol_info_set_dlna_operation(info.get(), GUPNP_DLNA_OPERATION_RANGE);
  gchar* text = gupnp_protocol_info_to_string(info.get());
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

std::string DlnaSourceProtocolInfo() {
  std::vector<std::string> seen;
  std::string out;
  for (const VideoType& type : kVideoTypes) {
    const std::string mime = type.mime;
    if (std::find(seen.begin(), seen.end(), mime) != seen.end()) continue;
    seen.push_back(mime);
    out += DlnaVideoProtocolInfo(mime) + ",";
  }
  out += "http-get:*:image/jpeg:DLNA.ORG_PN=JPEG_TN";
  return out;
}

DlnaBrowseResult DlnaBrowse(const DlnaCatalogue& catalogue, const DlnaBrowseRequest& request) {
  DlnaBrowseResult out;
  const bool metadata = request.browseFlag == "BrowseMetadata";
  if (!metadata && request.browseFlag != "BrowseDirectChildren") {
    out.errorCode = kUpnpErrorInvalidArgs;
    out.errorText = "Invalid Args";
    return out;
  }
  const ObjectRef ref = Resolve(catalogue, request.objectId);
  if (ref.kind == ObjectRef::None) {
    out.errorCode = kUpnpErrorNoSuchObject;
    out.errorText = "No such object";
    return out;
  }
  out.updateId =
      ref.kind == ObjectRef::Container ? ref.container->updateId : catalogue.systemUpdateId;

  GObjectPtr<GUPnPDIDLLiteWriter> writer(gupnp_didl_lite_writer_new(nullptr));
  if (metadata) {
    if (ref.kind == ObjectRef::Root) AddRoot(writer.get(), catalogue);
    if (ref.kind == ObjectRef::Container) AddContainer(writer.get(), *ref.container);
    if (ref.kind == ObjectRef::Item) AddItem(writer.get(), catalogue, *ref.container, *ref.video);
    out.numberReturned = out.totalMatches = 1;
  } else if (ref.kind == ObjectRef::Root) {
    const std::vector<DlnaContainer>& containers = catalogue.containers;
    out.totalMatches = static_cast<std::uint32_t>(containers.size());
    for (std::size_t i = request.startingIndex; i < containers.size(); ++i) {
      if (request.requestedCount != 0 && out.numberReturned >= request.requestedCount) break;
      AddContainer(writer.get(), containers[i]);
      ++out.numberReturned;
    }
  } else if (ref.kind == ObjectRef::Container) {
    const std::vector<const DlnaVideo*> videos = DistinctVideos(ref.container->videos);
    out.totalMatches = static_cast<std::uint32_t>(videos.size());
    for (std::size_t i = request.startingIndex; i < videos.size(); ++i) {
      if (request.requestedCount != 0 && out.numberReturned >= request.requestedCount) break;
      AddItem(writer.get(), catalogue, *ref.container, *videos[i]);
      ++out.numberReturned;
    }
  }
  // An item has no children: an empty answer.

  if (!WantsEverything(request.filter)) {
    gupnp_didl_lite_writer_filter(writer.get(), request.filter.c_str());
  }
  gchar* didl = gupnp_didl_lite_writer_get_string(writer.get());
  out.result = didl ? didl : "";
  g_free(didl);
  return out;
}

}  // namespace brisel
