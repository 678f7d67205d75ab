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
  // The file the run converting `source` writes (its last argument), once that run has
  // started (waiting up to 10 s); empty when it did not start.
  std::string OutputOfRun(const std::string& source) const;
  // Ends the "hold" run converting `source` with exit `status` by writing the release file
  // beside the file it writes. False when the run did not start.
  bool Release(const std::string& source, int status) const;

 private:
  std::string m_folder;
  std::string m_path;
};

// True while a process with this pid exists and has not exited (zombies count as gone).
bool ProcessAlive(pid_t pid);

}  // namespace brisel::test
