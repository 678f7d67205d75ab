#pragma once

namespace brisel {

// The program: one copy per session (a second one ends at once, silently), the main window
// until it closes, then the shutdown. SIGINT and SIGTERM run the quit sequence.
int RunBriselVRClient(int argc, char** argv);

}  // namespace brisel
