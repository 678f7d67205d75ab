#pragma once

#include <string>

namespace brisel {

// Start at log-on: an XDG autostart entry "BriselVRClient.desktop" in
// $XDG_CONFIG_HOME/autostart (or ~/.config/autostart) whose Exec is the executable's full
// path. Nothing ever removes it. Returns false when the entry could not be written.
bool WriteAutostartEntry(const std::string& executablePath);

// Where the entry lives.
std::string AutostartEntryPath();

}  // namespace brisel
