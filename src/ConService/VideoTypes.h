#pragma once

#include <string_view>

namespace brisel {

// The video files the servers offer and the content type each is sent with, by extension.
struct VideoType {
  const char* extension;  // with its ".", lower case
  const char* mime;
};

inline constexpr VideoType kVideoTypes[] = {
    {".mp4", "video/mp4"},       {".mkv", "video/x-matroska"},
    {".flv", "video/x-flv"},     {".rmvb", "application/vnd.rn-realmedia-vbr"},
    {".wmv", "video/x-ms-wmv"},  {".avi", "video/x-msvideo"},
    {".mpeg", "video/mpeg"},     {".3gp", "video/3gpp"},
    {".ts", "video/mp2t"},       {".m4v", "video/x-m4v"},
    {".mov", "video/quicktime"}, {".webm", "video/webm"},
};

// Content type of a video by the extension of its path (any case), or null for other files.
const char* VideoMimeType(std::string_view path);

}  // namespace brisel
