#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/ChildProcess.h"

namespace brisel::test {

// Path of a program built into the program folder (build/bin).
std::string BuiltProgram(const std::string& name);

// Runs `briselvr --program-folder FOLDER ARGS...` to its end (30 s at most).
ProcessResult RunBriselvr(const std::string& programFolder, const std::vector<std::string>& args,
                          int timeoutMs = 30000);

// The live children of `parent` whose command line holds every one of `words` (an empty list
// matches every child).
std::vector<pid_t> ChildProcessesOf(pid_t parent, const std::vector<std::string>& words = {});

}  // namespace brisel::test
