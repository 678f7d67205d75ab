#include "support/Sandbox.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel::test {

Sandbox::Sandbox() {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/brisel-test-XXXXXX";
  char* made = mkdtemp(pattern.data());
  m_folder = made ? made : "";
  SetProgramFolderOverride(m_folder);
  if (const char* v = getenv("XDG_CONFIG_HOME")) {
    m_hadConfigHome = true;
    m_oldConfigHome = v;
  }
  if (const char* v = getenv("XDG_RUNTIME_DIR")) {
    m_hadRuntimeDir = true;
    m_oldRuntimeDir = v;
  }
  CreateDirectories(m_folder + "/.xdg/config");
  CreateDirectories(m_folder + "/.xdg/runtime");
  setenv("XDG_CONFIG_HOME", (m_folder + "/.xdg/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (m_folder + "/.xdg/runtime").c_str(), 1);
}

Sandbox::~Sandbox() {
  SetProgramFolderOverride("");
  if (m_hadConfigHome)
    setenv("XDG_CONFIG_HOME", m_oldConfigHome.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  if (m_hadRuntimeDir)
    setenv("XDG_RUNTIME_DIR", m_oldRuntimeDir.c_str(), 1);
  else
    unsetenv("XDG_RUNTIME_DIR");
  if (!m_folder.empty()) RemoveTree(m_folder);
}

std::string Sandbox::Path(const std::string& relative) const { return m_folder + "/" + relative; }

std::string Sandbox::WriteFile(const std::string& relative, const std::string& content) const {
  std::string path = Path(relative);
  CreateDirectories(DirName(path));
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string Sandbox::ReadFile(const std::string& relative) const {
  return ReadWholeFile(Path(relative)).value_or("");
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

}  // namespace brisel::test

#include <signal.h>
#include <sys/resource.h>

namespace brisel::test {

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  m_oldSoft = limit.rlim_cur;
  limit.rlim_cur = bytes;
  m_oldHandler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = m_oldSoft;
  setrlimit(RLIMIT_FSIZE, &limit);
  signal(SIGXFSZ, m_oldHandler);
}

}  // namespace brisel::test
