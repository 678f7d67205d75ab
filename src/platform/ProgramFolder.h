#pragma once

#include <string>

namespace brisel {

// The folder of the running executable (from /proc/self/exe), without a trailing "/".
// Every file the program keeps is named relative to it (portable layout).
std::string GetExeFolder();

// Full path of the running executable.
std::string GetExePath();

// Makes GetExeFolder answer `folder` from now on (the command line's --program-folder and
// the tests' sandbox folders). An empty text restores the executable's folder.
void SetExeFolderOverride(const std::string& folder);

}  // namespace brisel
