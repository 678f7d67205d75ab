#pragma once

#include <string>
#include <string_view>

namespace brisel {

// MD5 (RFC 1321) of the bytes, as 32 lowercase hexadecimal characters.
std::string Md5Hex(std::string_view bytes);

}  // namespace brisel
