#include "support/ProcessHelpers.h"

#include <cstdlib>

#include "platform/FileSystem.h"
#include "support/FakeConverter.h"
#include "support/Sandbox.h"

namespace brisel::test {

std::string BuiltProgram(const std::string& name) {
  return std::string(BuiltProgramFolder()) + "/" + name;
}

ProcessResult RunBriselvr(const std::string& programFolder, const std::vector<std::string>& args,
                          int timeoutMs) {
  std::vector<std::string> argv = {BuiltProgram("briselvr"), "--program-folder", programFolder};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, timeoutMs);
}

std::vector<pid_t> ChildProcessesOf(pid_t parent, const std::vector<std::string>& words) {
  std::vector<pid_t> children;
  for (const std::string& name : ListDirectory("/proc")) {
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::atol(name.c_str()));
    // "pid (comm) state ppid ...": the command name may hold spaces and parentheses.
    std::string stat = ReadWholeFile("/proc/" + name + "/stat").value_or("");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 > stat.size()) continue;
    if (std::atol(stat.c_str() + close + 4) != parent || !ProcessAlive(pid)) continue;
    std::string command = ReadWholeFile("/proc/" + name + "/cmdline").value_or("");
    bool all = true;
    for (const std::string& word : words) all = all && command.find(word) != std::string::npos;
    if (all) children.push_back(pid);
  }
  return children;
}

}  // namespace brisel::test
