#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/FileSystem.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

TEST(ProgramFolder, TheLayoutOnDiskDecidesWhereDataAndResourcesLive) {
  test::Sandbox box;
  const std::string t = box.Folder();
  // A build tree, an installed prefix, a broken install, a prefix whose executable folder has
  // another name, and an executable copied on its own.
  CreateDirectories(t + "/build/bin/SkinRes");
  CreateDirectories(t + "/build/share/briselvr/SkinRes");
  CreateDirectories(t + "/usr/bin");
  CreateDirectories(t + "/usr/share/briselvr/SkinRes");
  CreateDirectories(t + "/broken/bin");
  CreateDirectories(t + "/opt/brisel/libexec");
  CreateDirectories(t + "/opt/brisel/share/briselvr");
  CreateDirectories(t + "/copy");
  const auto portable = ProgramLayout::Portable;
  const auto installed = ProgramLayout::Installed;
  struct Case {
    std::string exeFolder, xdgDataHome, home;
    ProgramLayout layout;
    std::string data, resources;
  } cases[] = {
      {t + "/build/bin", "/xdg", "/home/u", portable, t + "/build/bin", t + "/build/bin"},
      {t + "/build/bin/", "", "/home/u", portable, t + "/build/bin", t + "/build/bin"},
      {t + "/usr/bin", "", "/home/u", installed, "/home/u/.local/share/BriselVR",
       t + "/usr/share/briselvr"},
      {t + "/usr/bin", "/xdg/data/", "/home/u", installed, "/xdg/data/BriselVR",
       t + "/usr/share/briselvr"},
      // A relative XDG_DATA_HOME is not a valid value: the default applies.
      {t + "/usr/bin", "data", "/home/u/", installed, "/home/u/.local/share/BriselVR",
       t + "/usr/share/briselvr"},
      {t + "/usr/bin", "", "/", installed, "/.local/share/BriselVR", t + "/usr/share/briselvr"},
      // Without its share folder an installed executable still never writes beside itself.
      {t + "/broken/bin", "", "/home/u", installed, "/home/u/.local/share/BriselVR",
       t + "/broken/share/briselvr"},
      {t + "/opt/brisel/libexec", "", "/home/u", installed, "/home/u/.local/share/BriselVR",
       t + "/opt/brisel/share/briselvr"},
      {t + "/copy", "/xdg", "/home/u", portable, t + "/copy", t + "/copy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exeFolder + " xdg=" + c.xdgDataHome + " home=" + c.home);
    PROGRAM_FOLDERS_ST f = DecideProgramFolders(c.exeFolder, c.xdgDataHome, c.home);
    EXPECT_EQ(f.layout, c.layout);
    EXPECT_EQ(f.data, c.data);
    EXPECT_EQ(f.resources, c.resources);
  }
}

TEST(ProgramFolder, AnOverrideIsAPortableFolderUntilCleared) {
  const PROGRAM_FOLDERS_ST own = GetProgramFolders();
  {
    test::Sandbox box;
    PROGRAM_FOLDERS_ST f = GetProgramFolders();
    EXPECT_EQ(f.layout, ProgramLayout::Portable);
    EXPECT_EQ(f.data, box.Folder());
    EXPECT_EQ(f.resources, box.Folder());
    EXPECT_EQ(DescribeProgramFolders(f), "portable layout: program folder " + box.Folder());
  }
  EXPECT_EQ(GetDataFolder(), own.data);
  EXPECT_EQ(GetResourceFolder(), own.resources);
  // This test program lies alone in its folder, without a skin: portable, as before.
  EXPECT_EQ(own.data, DirName(GetExePath()));
  EXPECT_EQ(DescribeProgramFolders(
                {ProgramLayout::Installed, "/h/.local/share/BriselVR", "/usr/share/briselvr"}),
            "installed layout: data in /h/.local/share/BriselVR, resources in /usr/share/briselvr");
}

TEST(ProgramFolder, TheDataFolderOfAFirstStartIsMadePrivate) {
  test::Sandbox box;
  const std::string data = box.Path("home/.local/share/BriselVR");
  SetProgramFolderOverride(data);
  ASSERT_TRUE(PrepareDataFolder());
  for (const std::string& folder : {box.Path("home"), data}) {
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
  }
  EXPECT_TRUE(PrepareDataFolder()) << "an existing folder is fine";
  SetProgramFolderOverride(box.Path("file/below"));
  box.WriteFile("file", "not a folder");
  EXPECT_FALSE(PrepareDataFolder());
  SetProgramFolderOverride(box.Folder());
}

}  // namespace
}  // namespace brisel
