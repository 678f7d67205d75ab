#pragma once

#include <string>
#include <vector>

// `briselvr`: a headless front end on the same core as the program.
//   briselvr [--program-folder DIR] COMMAND [ARGS...]
// The program folder follows the program's own rule (platform/ProgramFolder.h).
namespace brisel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CliCommand {
  const char* name;
  const char* usage;    // arguments after the command name
  const char* summary;  // one line for --help
  int (*run)(const std::vector<std::string>& args);
};

// Every command, in the order --help lists them (CliCommands.cpp).
const std::vector<CliCommand>& Commands();

int RunCli(int argc, char** argv);

// Prints "briselvr: <text>" on stderr and returns kExitUsage.
int UsageError(const std::string& text);

}  // namespace brisel::cli
