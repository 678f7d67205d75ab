#include "support/DailyLog.h"

#include <ctime>

#include "platform/TextCodec.h"

namespace brisel::test {

std::string ReadTodaysLog(const Sandbox& box) {
  std::time_t now = std::time(nullptr);
  char name[32];
  std::strftime(name, sizeof name, "ZADLog/%Y-%m-%d.log", std::localtime(&now));
  return GbkToUtf8(box.ReadFile(name));
}

}  // namespace brisel::test
