#pragma once

#include <string>

namespace brisel {

// How the program lies on disk, which decides where it keeps its files.
//  - Portable: SkinRes lies beside the executable (the build tree, an unpacked archive).
//    Everything, written or shipped, stays in the executable's folder.
//  - Installed: the executable lies in a prefix's bin folder and what it ships is in
//    <prefix>/share/briselvr. What it writes goes to $XDG_DATA_HOME/BriselVR (by default
//    ~/.local/share/BriselVR), never beside the executable.
enum class ProgramLayout { Portable, Installed };

struct PROGRAM_FOLDERS_ST {
  ProgramLayout layout = ProgramLayout::Portable;
  // What the program writes: config.ini, ZADLog, file_root, appData, ConvertList.xml,
  // VideoRelation.xml. No trailing "/".
  std::string data;
  // What ships with it: SkinRes and the optional converter folder ffmpeg. No trailing "/".
  std::string resources;
};

// The one rule, on given facts (tests call it directly):
//  - SkinRes is a folder in `exeFolder`: portable, both folders are `exeFolder`;
//  - otherwise, when `exeFolder` is named "bin" or <exeFolder>/../share/briselvr is a folder:
//    installed, resources in <exeFolder>/../share/briselvr, data in <xdgDataHome>/BriselVR
//    when `xdgDataHome` is an absolute path (the XDG rule: relative values are ignored),
//    else in <home>/.local/share/BriselVR;
//  - otherwise (an executable on its own, copied without its skin): portable, as before.
PROGRAM_FOLDERS_ST DecideProgramFolders(const std::string& exeFolder,
                                        const std::string& xdgDataHome, const std::string& home);

// The folders of this process. The executable's layout is decided once, from
// /proc/self/exe, XDG_DATA_HOME and HOME (the password database when HOME is unset); a
// program-folder override replaces both folders while it is set. Any thread.
PROGRAM_FOLDERS_ST GetProgramFolders();
std::string GetDataFolder();
std::string GetResourceFolder();

// Full path of the running executable.
std::string GetExePath();

// Makes `folder` the portable program folder of this process (the command line's
// --program-folder, the tests' sandbox folders): data and shipped resources are both looked
// for there. An empty text restores the executable's own layout.
void SetProgramFolderOverride(const std::string& folder);

// Creates the data folder (and its missing parents, private to the user) when it is missing,
// as the first start of an installed program does. True when it exists afterwards.
bool PrepareDataFolder();

// One line for the log: the layout and both folders.
std::string DescribeProgramFolders(const PROGRAM_FOLDERS_ST& folders);

}  // namespace brisel
