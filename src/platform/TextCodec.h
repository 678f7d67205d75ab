#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text encodings. Inside the core every text is UTF-8. The system's "ANSI" text (share
// catalogue, LAN protocol, presence tests) is the file-name encoding of Linux, which is UTF-8,
// so ANSI text is simply the path's bytes and byte limits apply to UTF-8 bytes.
namespace brisel {

// Log files are stored in GBK (code page 936). Characters without a GBK form become "?";
// malformed UTF-8 bytes become "?" too.
std::string Utf8ToGbk(std::string_view utf8);

// Decodes GBK back to UTF-8; undecodable bytes become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);

// Length in UTF-16 code units, which is how the system counts "characters".
std::size_t Utf16Length(std::string_view utf8);

// The longest prefix of `utf8` of at most `maxUnits` UTF-16 code units, never splitting a
// character.
std::string TruncateUtf16(std::string_view utf8, std::size_t maxUnits);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// `text` with every byte that is not part of a well-formed UTF-8 sequence replaced by U+FFFD
// (file names on Linux are bytes; JSON and other UTF-8 formats need text).
std::string ToValidUtf8(std::string_view text);

}  // namespace brisel
