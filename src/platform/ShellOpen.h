#pragma once

#include <string>

namespace brisel {

// The desktop's "open" for a file or folder: `xdg-open PATH`, started detached (its output
// goes to /dev/null and nobody waits for it), so the caller goes on, or ends, at once.
// True when the opener was started; false when it is missing or could not be started. What
// the opener then does with the path is the desktop's business.
// Callable from any thread.
bool ShellOpen(const std::string& path);

// Makes ShellOpen start `program` instead of xdg-open (tests: a script that records what it
// was asked to open); empty restores xdg-open.
void SetShellOpenProgramForTesting(const std::string& program);

}  // namespace brisel
