#pragma once

#include <filesystem>
#include <string>

#include "support/Sandbox.h"

namespace brisel::test {

// A sandbox program folder that shows the built skin: its SkinRes is a link to the build's
// (build/bin/SkinRes), so windows tested in it look as the program does while everything
// they write stays in the sandbox.
class SkinSandbox : public Sandbox {
 public:
  SkinSandbox() {
    std::filesystem::create_directory_symlink(std::string(BuiltProgramFolder()) + "/SkinRes",
                                              Path("SkinRes"));
  }
};

}  // namespace brisel::test
