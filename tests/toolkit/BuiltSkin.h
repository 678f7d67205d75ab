#pragma once

#include "platform/ProgramFolder.h"
#include "support/Sandbox.h"

namespace brisel::test {

// While it lives, the program folder is the build's output folder, so SkinPath finds the
// installed skin (build/bin/SkinRes).
class BuiltSkin {
 public:
  BuiltSkin() { SetProgramFolderOverride(BuiltProgramFolder()); }
  ~BuiltSkin() { SetProgramFolderOverride(""); }
};

}  // namespace brisel::test
