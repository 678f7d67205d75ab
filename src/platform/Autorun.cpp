#include "platform/Autorun.h"

#include <cstdlib>

#include "platform/FileSystem.h"

namespace brisel {

std::string AutostartEntryPath() {
  std::string config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    config = std::string(home ? home : "") + "/.config";
  }
  return config + "/autostart/BriselVRClient.desktop";
}

namespace {

// Desktop-entry Exec quoting: the path in double quotes; ", `, $ and \ get a backslash, which
// the value's own string escaping doubles; a literal % is written %%.
std::string QuoteExec(const std::string& path) {
  std::string out = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      out += "\\\\";
      if (c == '\\')
        out += "\\\\";
      else
        out += c;
    } else if (c == '%') {
      out += "%%";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

bool WriteAutostartEntry(const std::string& executablePath) {
  if (executablePath.empty()) return false;
  std::string path = AutostartEntryPath();
  if (!CreateDirectories(DirName(path))) return false;
  std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=BriselVR助手\n"
      "Exec=" +
      QuoteExec(executablePath) +
      "\n"
      "X-GNOME-Autostart-enabled=true\n";
  return WriteFileAtomically(path, entry);
}

}  // namespace brisel
