#include "cli/CliApp.h"
#include "cli/Commands.h"

namespace brisel::cli {

const std::vector<CliCommand>& Commands() {
  static const std::vector<CliCommand> commands = {
      {"settings", "", "print the nine settings of config.ini (created on first use)",
       RunSettingsCommand},
      {"convert", "FILE...",
       "convert videos through the conversion queue; prints each task's final state and output",
       RunConvertCommand},
      {"add", "[--converted] FILE...",
       "share videos (list 2 with --converted): key, path, duration, size, width, height, "
       "thumbnail",
       RunAddCommand},
  };
  return commands;
}

}  // namespace brisel::cli
