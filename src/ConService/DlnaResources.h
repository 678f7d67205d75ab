#pragma once

#include <string_view>

// Files the DLNA device serves, built into the program (resources/dlna, resources/icons).
namespace brisel::dlna_resources {

extern const std::string_view kContentDirectoryScpd;
extern const std::string_view kConnectionManagerScpd;
extern const std::string_view kIcon48Png;
extern const std::string_view kIcon128Png;

}  // namespace brisel::dlna_resources
