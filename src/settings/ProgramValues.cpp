#include "settings/ProgramValues.h"

#include <mutex>

namespace brisel {
namespace {

struct Values {
  std::mutex mutex;
  std::string serviceIp, localMac, convertFolder, downloadFolder;
};

Values& TheValues() {
  static Values values;
  return values;
}

std::string Get(std::string Values::*field) {
  Values& v = TheValues();
  std::lock_guard<std::mutex> lock(v.mutex);
  return v.*field;
}

void Set(std::string Values::*field, const std::string& value) {
  Values& v = TheValues();
  std::lock_guard<std::mutex> lock(v.mutex);
  v.*field = value;
}

}  // namespace

std::string ServiceIp() { return Get(&Values::serviceIp); }
void SetServiceIp(const std::string& ip) { Set(&Values::serviceIp, ip); }
std::string LocalMac() { return Get(&Values::localMac); }
void SetLocalMac(const std::string& mac) { Set(&Values::localMac, mac); }
std::string ConvertFolder() { return Get(&Values::convertFolder); }
void SetConvertFolder(const std::string& folder) { Set(&Values::convertFolder, folder); }
std::string DownloadFolder() { return Get(&Values::downloadFolder); }
void SetDownloadFolder(const std::string& folder) { Set(&Values::downloadFolder, folder); }

}  // namespace brisel
