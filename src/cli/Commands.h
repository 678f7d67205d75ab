#pragma once

#include <string>
#include <vector>

// One function per command; each lives in its own <Name>Command.cpp.
namespace brisel::cli {

int RunSettingsCommand(const std::vector<std::string>& args);
int RunConvertCommand(const std::vector<std::string>& args);
int RunAddCommand(const std::vector<std::string>& args);
int RunCheckUpdateCommand(const std::vector<std::string>& args);
int RunServeCommand(const std::vector<std::string>& args);
int RunListCommand(const std::vector<std::string>& args);
int RunRemoveCommand(const std::vector<std::string>& args);
int RunFoldersCommand(const std::vector<std::string>& args);

}  // namespace brisel::cli
