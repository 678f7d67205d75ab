#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace brisel::test {

// The fault-injecting stand-in for the converter (fake_converter.sh beside this file),
// installed as <program folder>/ffmpeg/ffmpeg, the place the program looks first. It fails,
// hangs or succeeds on demand (the modes are listed in the script) and records the pid and
// the arguments of its last conversion run in its folder.
class FakeConverter {
 public:
  // `mode` is one of the script's modes; `withFdk` makes it list libfdk_aac as an encoder.
  FakeConverter(const std::string& programFolder, const std::string& mode, bool withFdk = false);

  const std::string& Path() const { return m_path; }
  // Arguments of the last conversion run (argv[1..]); empty before one ran.
  std::vector<std::string> Args() const;
  // Pid of the last conversion run, or -1.
  pid_t Pid() const;

 private:
  std::string m_folder;
  std::string m_path;
};

// True while a process with this pid exists and has not exited (zombies count as gone).
bool ProcessAlive(pid_t pid);

}  // namespace brisel::test
