#include <cstdio>

#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "platform/ConverterLocator.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel::cli {

// Answers "where are my files?" for a user, a packager or a test, without writing anything
// beyond the data folder a first start makes.
int RunFoldersCommand(const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError("folders takes no arguments");
  const PROGRAM_FOLDERS_ST folders = GetProgramFolders();
  const std::string skin = folders.resources + "/SkinRes";
  const bool skinFound = IsDirectory(skin);
  std::printf("layout\t%s\n",
              folders.layout == ProgramLayout::Installed ? "installed" : "portable");
  std::printf("data\t%s\n", folders.data.c_str());
  std::printf("resources\t%s\n", folders.resources.c_str());
  std::printf("skin\t%s%s\n", skin.c_str(), skinFound ? "" : " (missing)");
  std::printf("converter\t%s\n", ConverterExecutable().c_str());
  return skinFound ? kExitOk : kExitFailure;
}

}  // namespace brisel::cli
