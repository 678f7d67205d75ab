#pragma once

#include <string>

namespace brisel::cli {

// A FILE argument as the catalogue keeps it: absolute, "." and ".." segments resolved
// lexically (symbolic links are kept), "/" separators. The same file given as "a.mp4" or
// "./a.mp4" thus has one share key.
std::string SharePathArgument(const std::string& argument);

}  // namespace brisel::cli
