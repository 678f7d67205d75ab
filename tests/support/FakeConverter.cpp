#include "support/FakeConverter.h"

#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "platform/FileSystem.h"
#include "support/Sandbox.h"

namespace brisel::test {

FakeConverter::FakeConverter(const std::string& programFolder, const std::string& mode,
                             bool withFdk)
    : m_folder(programFolder + "/ffmpeg"), m_path(m_folder + "/ffmpeg") {
  CreateDirectories(m_folder);
  RemoveFile(m_folder + "/pid");
  RemoveFile(m_folder + "/args");
  std::ofstream(m_path) << "#!/bin/sh\n"
                        << "BRISEL_FAKE_MODE='" << mode << "' BRISEL_FAKE_DIR='" << m_folder
                        << "' BRISEL_FAKE_FDK=" << (withFdk ? 1 : 0) << " exec '"
                        << BRISEL_TEST_SUPPORT_DIR << "/fake_converter.sh' \"$@\"\n";
  chmod(m_path.c_str(), 0755);
}

std::vector<std::string> FakeConverter::Args() const {
  std::vector<std::string> args;
  std::istringstream in(ReadWholeFile(m_folder + "/args").value_or(""));
  for (std::string line; std::getline(in, line);) args.push_back(line);
  return args;
}

pid_t FakeConverter::Pid() const {
  std::string text = ReadWholeFile(m_folder + "/pid").value_or("");
  return text.empty() ? -1 : static_cast<pid_t>(std::stol(text));
}

std::string FakeConverter::OutputOfRun(const std::string& source) const {
  std::vector<std::string> args;
  // The arguments are written a line at a time; the output comes last and ends in ".mp4".
  bool started = WaitFor([&] {
    args = Args();
    return args.size() > 1 && args[1] == source && args.back().size() > 4 &&
           args.back().compare(args.back().size() - 4, 4, ".mp4") == 0;
  });
  return started ? args.back() : std::string();
}

bool FakeConverter::Release(const std::string& source, int status) const {
  const std::string output = OutputOfRun(source);
  return !output.empty() && WriteFileAtomically(output + ".release", std::to_string(status));
}

bool ProcessAlive(pid_t pid) {
  if (pid <= 0 || kill(pid, 0) != 0) return false;
  std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat").value_or("");
  std::size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

}  // namespace brisel::test
