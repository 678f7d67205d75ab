#include "support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/Sandbox.h"

namespace brisel::test {

std::string ReadTestData(const std::string& name) {
  const std::string path = std::string(TestDataFolder()) + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "no test data " << path;
    return {};
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace brisel::test
