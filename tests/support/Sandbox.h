#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace brisel::test {

// A fresh program folder for one test: a temporary directory that is the portable program
// folder (data and shipped resources) while the sandbox lives, with XDG_CONFIG_HOME and
// XDG_RUNTIME_DIR pointing inside it so autorun entries and lock files stay there too.
// Removed with everything in it at the end.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& Folder() const { return m_folder; }
  // Folder() + "/" + relative
  std::string Path(const std::string& relative) const;
  // Writes a file below the folder (parents created); returns its path.
  std::string WriteFile(const std::string& relative, const std::string& content) const;
  std::string ReadFile(const std::string& relative) const;

 private:
  std::string m_folder;
  std::string m_oldConfigHome, m_oldRuntimeDir;
  bool m_hadConfigHome = false, m_hadRuntimeDir = false;
};

// Polls `condition` until it holds or `timeout` passes; true when it held.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Removes a folder tree.
void RemoveTree(const std::string& path);

// The folder the built program runs from (the build's output folder).
inline const char* BuiltProgramFolder() { return BRISEL_PROGRAM_FOLDER; }
inline const char* TestDataFolder() { return BRISEL_TEST_DATA_DIR; }

}  // namespace brisel::test

namespace brisel::test {

// While it lives, files of this process cannot grow beyond `bytes` (writes fail with EFBIG),
// which stands in for a full disk; works for root too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(unsigned long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long m_oldSoft;
  void (*m_oldHandler)(int);
};

}  // namespace brisel::test
