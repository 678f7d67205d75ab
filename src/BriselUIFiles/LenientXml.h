#pragma once

// Reading the program's small XML files (the queue file, the relation file) the way the
// original DOM parser accepted them: any XML declaration, any encoding it names (through
// iconv), a byte order mark or UTF-16/32 text. Pure functions, callable from any thread.

#include <pugixml.hpp>
#include <string_view>

namespace brisel {

// Parses `content` into `doc` and returns its one root element; an empty node when the
// content is not well-formed XML, names an encoding that cannot be decoded, or has no root
// element or more than one.
pugi::xml_node ParseLenientXml(pugi::xml_document& doc, std::string_view content);

}  // namespace brisel
