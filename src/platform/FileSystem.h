#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// File-system stand-ins. Paths are UTF-8 with "/" separators.
namespace brisel {

// The presence test the share catalogue and the probes use: the path is cut to its first 255
// bytes (the size of the stored path field) and stat()ed; a folder counts as present.
bool FileExistsAnsi(std::string_view path);

// Plain presence of a path (no cut).
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);

// Creates one folder level; true when it exists afterwards.
bool CreateDirectoryOne(const std::string& path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateDirectories(const std::string& path);

// Replaces `path` with `data` so that readers see either the old or the new content, never a
// torn file: a temporary file "<path>.tmp-XXXXXX" in the same folder is written, flushed to
// disk and renamed over the target; the writer holds a lock on it meanwhile. On failure the
// old file is untouched, the temporary file removed and false returned (with errno describing
// the failure).
bool WriteFileAtomically(const std::string& path, std::string_view data);

// True for a name WriteFileAtomically gives its temporary files: "*.tmp-" and six letters or
// digits.
bool IsAtomicWriteTemporaryName(std::string_view name);

// Removes the temporary files of WriteFileAtomically that a killed process left in `folder`
// (not those a live writer still holds); returns how many went.
int RemoveAbandonedTemporaryFiles(const std::string& folder);

// Whole content of a file, or nothing when it cannot be read. `maxBytes` bounds what is read;
// a longer file gives nothing.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::uint64_t maxBytes = UINT64_MAX);

bool RemoveFile(const std::string& path);

std::optional<std::uint64_t> FileSize(const std::string& path);

// Names (not paths) of the entries of a folder, "." and ".." left out; empty when it cannot
// be read.
std::vector<std::string> ListDirectory(const std::string& folder);

// Folder part (before the last "/") and name part (after it) of a path.
std::string DirName(const std::string& path);
std::string BaseName(const std::string& path);

}  // namespace brisel
