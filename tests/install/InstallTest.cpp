#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "support/LavfiClip.h"
#include "support/PrivateNetwork.h"
#include "support/Sandbox.h"

// The tree `cmake --install --prefix /usr` made in a DESTDIR (the installed_tree fixture), and
// the installed programs run from it the way a user of the package runs them: a fresh HOME,
// no program folder given.
namespace brisel {
namespace {

namespace fs = std::filesystem;

const std::string kUsr = std::string(BRISEL_INSTALL_ROOT) + "/usr";
const std::string kSource = BRISEL_SOURCE_DIR;
constexpr bool kWithUi = BRISEL_WITH_UI;
const std::string kAppId = "org.briselvr.BriselVRClient";

// Regular files with their size and time, and folders, below `root`.
struct Entry {
  bool folder;
  std::uintmax_t size;
  fs::file_time_type time;
};
using Snapshot = std::map<std::string, Entry>;

Snapshot Take(const std::string& root) {
  Snapshot s;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    const bool folder = it->is_directory();
    s[it->path().string()] = {folder, folder ? 0 : it->file_size(), it->last_write_time()};
  }
  return s;
}

// Paths that appeared, and files that changed, from `before` to `after`.
std::vector<std::string> Written(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> written;
  for (const auto& [path, entry] : after) {
    auto old = before.find(path);
    if (old == before.end() ||
        (!entry.folder && (old->second.size != entry.size || old->second.time != entry.time)))
      written.push_back(path);
  }
  return written;
}

// Written paths that are neither in `folder` nor one of the folders above it.
std::vector<std::string> WrittenOutside(const std::vector<std::string>& written,
                                        const std::string& folder) {
  std::vector<std::string> outside;
  for (const std::string& p : written) {
    const bool inside = p == folder || p.rfind(folder + "/", 0) == 0;
    const bool above = folder.rfind(p + "/", 0) == 0;
    if (!inside && !above) outside.push_back(p);
  }
  return outside;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

std::string TodaysLogName() {
  std::time_t t = std::time(nullptr);
  char name[32];
  std::strftime(name, sizeof name, "/ZADLog/%Y-%m-%d.log", std::localtime(&t));
  return name;
}

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(IsRegularFile(kUsr + "/bin/briselvr")) << "the installed_tree fixture did not run";
    CreateDirectories(home_);
    CreateDirectories(runtime_);
  }
  // argv run with a fresh user's environment: HOME, no XDG data or config folder.
  std::vector<std::string> AsUser(std::vector<std::string> argv,
                                  const std::vector<std::string>& extraEnv = {}) const {
    std::vector<std::string> env = {"env",
                                    "-u",
                                    "XDG_DATA_HOME",
                                    "-u",
                                    "XDG_CONFIG_HOME",
                                    "HOME=" + home_,
                                    "XDG_RUNTIME_DIR=" + runtime_};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    env.insert(env.end(), argv.begin(), argv.end());
    return env;
  }
  test::Sandbox box_;
  const std::string home_ = box_.Path("home/user");
  const std::string runtime_ = box_.Path("run");
  const std::string data_ = home_ + "/.local/share/BriselVR";
};

TEST_F(Installed, EveryFileIsInPlace) {
  std::vector<std::string> files = {"bin/briselvr", "share/man/man1/briselvr.1.gz",
                                    "share/doc/briselvr/copyright",
                                    "share/doc/briselvr/changelog.gz"};
  if (kWithUi) {
    files.insert(files.end(), {"bin/BriselVRClient", "share/man/man1/BriselVRClient.1.gz",
                               "share/applications/" + kAppId + ".desktop",
                               "share/metainfo/" + kAppId + ".metainfo.xml"});
  }
  for (const std::string& f : files) EXPECT_TRUE(IsRegularFile(kUsr + "/" + f)) << f;
  EXPECT_EQ(access((kUsr + "/bin/briselvr").c_str(), X_OK), 0);

  // The icon at every size the project draws it.
  if (kWithUi) {
    int icons = 0;
    for (const auto& e : fs::directory_iterator(kSource + "/resources/icons")) {
      std::string name = e.path().filename().string();  // BriselVR-<size>.png
      std::string size = name.substr(9, name.size() - 13);
      std::string installed =
          kUsr + "/share/icons/hicolor/" + size + "x" + size + "/apps/briselvr.png";
      EXPECT_EQ(ReadWholeFile(installed), ReadWholeFile(e.path().string())) << installed;
      ++icons;
    }
    EXPECT_GE(icons, 7);
  }

  // The whole skin, file for file.
  const std::string skin = kSource + "/resources/SkinRes";
  int skinFiles = 0;
  for (const auto& e : fs::recursive_directory_iterator(skin)) {
    if (!e.is_regular_file()) continue;
    std::string relative = e.path().string().substr(skin.size());
    EXPECT_EQ(FileSize(kUsr + "/share/briselvr/SkinRes" + relative), e.file_size()) << relative;
    ++skinFiles;
  }
  EXPECT_GT(skinFiles, 50);
}

TEST_F(Installed, DesktopEntryAndAppStreamDataPassTheirValidators) {
  if (!kWithUi) GTEST_SKIP() << "no window in this build";
  const std::string entry = kUsr + "/share/applications/" + kAppId + ".desktop";
  ProcessResult desktop = RunProcess({"desktop-file-validate", entry}, 30000);
  EXPECT_EQ(desktop.exitCode, 0) << desktop.output;
  EXPECT_EQ(desktop.output.find("error"), std::string::npos) << desktop.output;
  ProcessResult appstream = RunProcess({"appstreamcli", "validate", "--no-net",
                                        kUsr + "/share/metainfo/" + kAppId + ".metainfo.xml"},
                                       30000);
  EXPECT_EQ(appstream.exitCode, 0) << appstream.output;

  // What the entry names must exist: the program on PATH, its icon, the window's class.
  std::string text = ReadWholeFile(entry).value_or("");
  for (const char* line :
       {"\nName=BriselVR助手\n", "\nExec=BriselVRClient\n", "\nIcon=briselvr\n",
        "\nCategories=AudioVideo;Video;Network;\n", "\nStartupWMClass=BriselVRClient\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_NE(text.find("\nName[en]="), std::string::npos);
}

TEST_F(Installed, ManualPageDescribesEveryCommand) {
  ProcessResult help = RunProcess(AsUser({kUsr + "/bin/briselvr", "--help"}), 30000);
  ASSERT_EQ(help.exitCode, 0) << help.output;
  ProcessResult page = RunProcess({"gzip", "-dc", kUsr + "/share/man/man1/briselvr.1.gz"}, 30000);
  ASSERT_EQ(page.exitCode, 0) << page.output;
  std::string text = page.output;  // "\-" is how a page writes the "-" of a name
  for (auto at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at))
    text.erase(at, 1);
  std::istringstream lines(help.output.substr(help.output.find("commands:")));
  int commands = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  ", 0) != 0) continue;
    std::string name = line.substr(2, line.find(' ', 2) - 2);
    bool described = false;
    for (const char* macro : {"\n.B ", "\n.BI ", "\n.BR "}) {
      std::string head = macro + name;
      auto at = text.find(head);
      described = described || (at != std::string::npos &&
                                (text[at + head.size()] == '\n' || text[at + head.size()] == ' '));
    }
    EXPECT_TRUE(described) << name;
    ++commands;
  }
  EXPECT_GE(commands, 8);
}

TEST_F(Installed, BriselvrKeepsItsFilesInTheUsersDataFolderAndFindsTheSkin) {
  const std::string clip = box_.Path("clips/clip.mp4");
  CreateDirectories(DirName(clip));
  test::ClipSpec spec;
  spec.width = 160;
  spec.height = 120;
  spec.seconds = 16;  // the thumbnail is taken at 15 s
  ASSERT_TRUE(test::MakeLavfiClip(clip, spec));
  const Snapshot homeBefore = Take(home_), installedBefore = Take(BRISEL_INSTALL_ROOT);

  const std::string briselvr = kUsr + "/bin/briselvr";
  ProcessResult folders = RunProcess(AsUser({briselvr, "folders"}), 30000);
  EXPECT_EQ(folders.exitCode, 0) << folders.output;
  EXPECT_EQ(folders.output,
            "layout\tinstalled\n"
            "data\t" +
                data_ +
                "\n"
                "resources\t" +
                kUsr +
                "/share/briselvr\n"
                "skin\t" +
                kUsr +
                "/share/briselvr/SkinRes\n"
                "converter\tffmpeg\n");
  ProcessResult settings = RunProcess(AsUser({briselvr, "settings"}), 30000);
  EXPECT_EQ(settings.exitCode, 0) << settings.output;
  EXPECT_NE(settings.output.find("\nConvertPath=" + data_ + "/appData/converted/\n"),
            std::string::npos)
      << settings.output;
  ProcessResult add = RunProcess(AsUser({briselvr, "add", clip}), 60000);
  EXPECT_EQ(add.exitCode, 0) << add.output;
  ProcessResult list = RunProcess(AsUser({briselvr, "list"}), 30000);
  EXPECT_NE(list.output.find("\t" + clip + "\n"), std::string::npos) << list.output;

  EXPECT_TRUE(IsRegularFile(data_ + "/config.ini"));
  EXPECT_EQ(ListDirectory(data_ + "/file_root/image").size(), 1u) << "the thumbnail";
  EXPECT_EQ(Joined(WrittenOutside(Written(homeBefore, Take(home_)), data_)), "");
  EXPECT_EQ(Joined(Written(installedBefore, Take(BRISEL_INSTALL_ROOT))), "");

  // XDG_DATA_HOME moves the folder; a first use creates it.
  const std::string dataHome = box_.Path("xdg-data");
  ProcessResult moved =
      RunProcess(AsUser({briselvr, "folders"}, {"XDG_DATA_HOME=" + dataHome}), 30000);
  EXPECT_NE(moved.output.find("\ndata\t" + dataHome + "/BriselVR\n"), std::string::npos)
      << moved.output;
  EXPECT_TRUE(IsDirectory(dataHome + "/BriselVR"));
}

TEST_F(Installed, ProgramStartsWithAFreshHomeAndWritesItsFirstStartFilesThere) {
  if (!kWithUi) GTEST_SKIP() << "no window in this build";
  // The program starts the LAN service on the first interface it finds.
  if (!test::OnlyLoopbackNetwork()) GTEST_SKIP() << "needs a private network namespace";
  const std::string program = kUsr + "/bin/BriselVRClient";
  const std::string log = data_ + TodaysLogName();
  const Snapshot homeBefore = Take(home_), installedBefore = Take(BRISEL_INSTALL_ROOT);
  auto runUntilServing = [&] {
    ChildProcess p;
    ASSERT_TRUE(p.Start(AsUser({program}, {"QT_QPA_PLATFORM=offscreen"})));
    ASSERT_TRUE(test::WaitFor([&] {
      return GbkToUtf8(ReadWholeFile(log).value_or("")).find("开启服务") != std::string::npos;
    })) << GbkToUtf8(ReadWholeFile(log).value_or(""));
    p.Kill(SIGTERM);
    ASSERT_TRUE(p.Wait(10000));
    EXPECT_EQ(p.ExitCode(), 0);
  };

  runUntilServing();
  for (const char* f : {"/config.ini", "/file_root/image", "/appData/converted"})
    EXPECT_TRUE(PathExists(data_ + f)) << f;
  EXPECT_NE(GbkToUtf8(ReadWholeFile(log).value_or(""))
                .find("|:(BriselVRClientDlg):installed layout: data in " + data_ +
                      ", resources in " + kUsr + "/share/briselvr\r\n"),
            std::string::npos);
  EXPECT_EQ(Joined(WrittenOutside(Written(homeBefore, Take(home_)), data_)), "");
  EXPECT_EQ(Joined(Written(installedBefore, Take(BRISEL_INSTALL_ROOT))), "");

  // With start at log-on switched on, the entry starts the installed executable.
  std::string config = ReadWholeFile(data_ + "/config.ini").value_or("");
  auto at = config.find("Base-AutoRun=0");
  ASSERT_NE(at, std::string::npos) << config;
  config.replace(at, 14, "Base-AutoRun=1");
  ASSERT_TRUE(WriteFileAtomically(data_ + "/config.ini", config));
  test::RemoveTree(data_ + "/ZADLog");
  runUntilServing();
  EXPECT_NE(ReadWholeFile(home_ + "/.config/autostart/BriselVRClient.desktop")
                .value_or("")
                .find("\nExec=\"" + program + "\"\n"),
            std::string::npos);
}

}  // namespace
}  // namespace brisel
