#include <cstdio>

#include "ConService/ShareCatalogue.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "cli/SharePaths.h"

namespace brisel::cli {

int RunRemoveCommand(const std::vector<std::string>& args) {
  std::uint8_t list = SHARE_LIST_ORDINARY;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--converted") {
      list = SHARE_LIST_CONVERTED;
    } else if (a.rfind("--", 0) == 0) {
      return UsageError("remove: unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return UsageError("remove needs at least one FILE");
  ShareCatalogue catalogue;
  catalogue.LoadAllShareRecords();
  int exitCode = kExitOk;
  for (const std::string& file : files) {
    const std::string path = SharePathArgument(file);
    if (catalogue.RemoveShareRecord(list, path)) continue;
    std::fprintf(stderr, "briselvr: not in list %d: %s\n", list, path.c_str());
    exitCode = kExitFailure;
  }
  return exitCode;
}

}  // namespace brisel::cli
