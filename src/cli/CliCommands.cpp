#include "cli/CliApp.h"
#include "cli/Commands.h"

namespace brisel::cli {

const std::vector<CliCommand>& Commands() {
  static const std::vector<CliCommand> commands = {
      {"settings", "", "print the nine settings of config.ini (created on first use)",
       RunSettingsCommand},
  };
  return commands;
}

}  // namespace brisel::cli
