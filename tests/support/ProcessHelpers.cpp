#include "support/ProcessHelpers.h"

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

}  // namespace brisel::test
