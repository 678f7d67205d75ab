#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisel {

// The catalogue as the servers that describe videos to players see it: copies taken under the
// catalogue's lock, so a server builds its answers after the lock is released and nothing in
// them refers back into the catalogue.

// One video a player may be offered.
struct CatalogueVideo {
  std::string key;               // 32 hexadecimal digits, the MD5 of its path
  std::string name;              // the file name as the program shows it (any bytes)
  std::string path;              // the video file
  std::string urlPath;           // the media server's path that streams it ("/KEY")
  std::string thumbnailUrlPath;  // and the one of its thumbnail ("/image/KEY.jpg")
  std::string thumbnailPath;     // the thumbnail's file, which may not exist (yet)
  bool converted = false;        // an output of the converter
};

// Videos that players show together. The two share lists are the first sections, ids "1" and
// "2"; a further source of videos adds sections of its own after them (phones, which see only
// the share lists, never see those). Each server names the share lists its own way.
struct CatalogueSection {
  std::string id;              // stable across changes and restarts
  std::uint8_t listType = 0;   // ShareListType of a share list, 0 for any other section
  std::uint64_t revision = 0;  // moves with every change of the section, never back
  std::vector<CatalogueVideo> videos;
};

struct CatalogueSnapshot {
  std::vector<CatalogueSection> sections;
};

// A section's revision alone: what a server polls to notice changes without copying videos.
struct SectionRevision {
  std::string id;
  std::uint64_t revision = 0;
};
using CatalogueRevisions = std::vector<SectionRevision>;

}  // namespace brisel
