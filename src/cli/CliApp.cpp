#include "cli/CliApp.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel::cli {
namespace {

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "usage: briselvr [--program-folder DIR] COMMAND [ARGS...]\n"
               "\n"
               "Works on the files of BriselVR助手 (config.ini, file_root, ConvertList.xml, ...)\n"
               "where the program keeps them: beside this executable when SkinRes lies there,\n"
               "otherwise in $XDG_DATA_HOME/BriselVR (~/.local/share/BriselVR). With\n"
               "--program-folder, DIR is used instead, as a portable program folder.\n"
               "\n"
               "commands:\n");
  for (const CliCommand& c : Commands()) {
    std::string head = std::string(c.name) + (*c.usage ? " " : "") + c.usage;
    std::fprintf(out, "  %-34s %s\n", head.c_str(), c.summary);
  }
  std::fprintf(out, "\nexit status: 0 success, 1 failure, 2 usage error\n");
}

}  // namespace

int UsageError(const std::string& text) {
  std::fprintf(stderr, "briselvr: %s\n(see briselvr --help)\n", text.c_str());
  return kExitUsage;
}

int RunCli(int argc, char** argv) {
  // Media probing opens non-ASCII paths only under a UTF-8 locale; numbers stay in "C".
  if (!std::setlocale(LC_ALL, "C.UTF-8")) std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  std::vector<std::string> args(argv + 1, argv + argc);
  std::size_t i = 0;
  while (i < args.size() && args[i].rfind("-", 0) == 0) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      PrintHelp(stdout);
      return kExitOk;
    } else if (a == "--program-folder" || a.rfind("--program-folder=", 0) == 0) {
      std::string folder;
      if (a == "--program-folder") {
        if (i + 1 >= args.size()) return UsageError("--program-folder needs a folder");
        folder = args[++i];
      } else {
        folder = a.substr(std::strlen("--program-folder="));
      }
      if (folder.empty()) return UsageError("--program-folder needs a folder");
      if (!IsDirectory(folder) && !CreateDirectories(folder)) {
        std::fprintf(stderr, "briselvr: cannot use the program folder %s\n", folder.c_str());
        return kExitFailure;
      }
      if (folder.front() != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) folder = std::string(cwd) + "/" + folder;
      }
      SetProgramFolderOverride(folder);
      ++i;
    } else {
      return UsageError("unknown option " + a);
    }
  }
  if (i >= args.size()) return UsageError("no command given");
  if (!PrepareDataFolder()) {
    std::fprintf(stderr, "briselvr: cannot create the program folder %s\n",
                 GetDataFolder().c_str());
    return kExitFailure;
  }
  const std::string name = args[i];
  std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
  for (const CliCommand& c : Commands()) {
    if (name != c.name) continue;
    for (const std::string& a : rest) {
      if (a == "--help" || a == "-h") {
        std::printf("usage: briselvr %s %s\n%s\n", c.name, c.usage, c.summary);
        return kExitOk;
      }
    }
    return c.run(rest);
  }
  return UsageError("unknown command " + name);
}

}  // namespace brisel::cli
