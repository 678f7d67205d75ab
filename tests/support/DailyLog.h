#pragma once

#include <string>

#include "support/Sandbox.h"

namespace brisel::test {

// Today's daily log file of the sandbox, decoded from GBK (empty when there is none). Stop
// the log thread first, so every queued line has been written.
std::string ReadTodaysLog(const Sandbox& box);

}  // namespace brisel::test
