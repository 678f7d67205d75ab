#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brisel {

// An INI file with the semantics of the profile functions the settings were written for:
// sections and keys compare without regard to ASCII case, a missing key reads as the
// caller's default, integers are read by their leading digits, values keep their text
// (surrounding whitespace and one pair of matching quotes removed). Writing a key changes
// its line in place or adds it at the end of its section (or a new section at the end);
// every other line of the file is kept as it was.
class IniFile {
 public:
  // Reads `path`. False when the file cannot be read (the content is then empty).
  bool Load(const std::string& path);
  // Replaces `path` atomically with the current content. False on failure (the old file
  // stays in place).
  bool Save(const std::string& path) const;

  void Parse(const std::string& text);
  std::string Serialize() const;

  std::optional<std::string> Get(const std::string& section, const std::string& key) const;
  // GetPrivateProfileString: the value cut to `bufferChars` - 1 characters (UTF-16 units).
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& fallback, std::size_t bufferChars) const;
  // GetPrivateProfileInt: optional sign and leading digits; no digits read as 0.
  int GetInt(const std::string& section, const std::string& key, int fallback) const;

  void Set(const std::string& section, const std::string& key, const std::string& value);

 private:
  struct Line {
    std::string raw;
    std::string section;  // the section the line belongs to (lower-cased for lookup)
    std::string key;      // lower-cased key of an entry line, empty otherwise
    bool isHeader = false;
  };
  int FindEntry(const std::string& section, const std::string& key) const;

  std::vector<Line> lines_;
};

// The profile functions' integer reading of a text.
int ParseProfileInt(const std::string& text);

}  // namespace brisel
