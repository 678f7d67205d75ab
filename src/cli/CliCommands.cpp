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
      {"check-update", "[--download]",
       "ask the update service for a newer version; --download fetches its installer",
       RunCheckUpdateCommand},
      {"serve", "--address A [--verbose] [--no-dlna]",
       "run the LAN service (and the DLNA media server, unless --no-dlna or DlnaServer=0) on A "
       "until SIGINT or SIGTERM; --verbose shows connections, requests and broadcasts "
       "(--quiet, the default, is accepted and changes nothing)",
       RunServeCommand},
      {"list", "", "the shared videos: type, has video, has image, key, path", RunListCommand},
      {"remove", "[--converted] FILE...", "stop sharing videos (from list 2 with --converted)",
       RunRemoveCommand},
      {"folders", "", "where the files are kept and where the skin and converter are found",
       RunFoldersCommand},
  };
  return commands;
}

}  // namespace brisel::cli
