#pragma once

#include <string>

// Program-wide values set during start-up and read by other parts of the program. They are
// read from worker threads too, so each access is locked.
namespace brisel {

// The IPv4 address the LAN service runs on (dotted text); replaced when the user switches.
std::string ServiceIp();
void SetServiceIp(const std::string& ip);

// Hardware address of the first adapter ("00:1A:2B:3C:4D:5E"); read by the version check.
std::string LocalMac();
void SetLocalMac(const std::string& mac);

// Output folder of conversions: ConvertPath, or <program folder>/appData/converted/.
std::string ConvertFolder();
void SetConvertFolder(const std::string& folder);

// <program folder>/appData/download/: where the installer is downloaded.
std::string DownloadFolder();
void SetDownloadFolder(const std::string& folder);

}  // namespace brisel
