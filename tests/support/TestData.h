#pragma once

#include <string>

namespace brisel::test {

// The bytes of tests/data/`name`: a small file the program did not write itself, named for the
// fault it shows (tests/data/README.md lists them). Adds a test failure and returns nothing
// when the file cannot be read, so a missing fixture never passes as an empty file.
std::string ReadTestData(const std::string& name);

}  // namespace brisel::test
