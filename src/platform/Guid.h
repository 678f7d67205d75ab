#pragma once

#include <string>

namespace brisel {

// A new GUID in registry text form: upper case, in braces,
// e.g. {0F8FAD5B-D9CB-469F-A165-70867728950E}.
std::string NewGuidText();

}  // namespace brisel
