#include "settings/IniFile.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

namespace brisel {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

}  // namespace

int ParseProfileInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    value = value * 10 + (text[i++] - '0');
    if (value > INT_MAX) value = INT_MAX;  // saturate instead of wrapping
  }
  return static_cast<int>(negative ? -value : value);
}

void IniFile::Parse(const std::string& text) {
  lines_.clear();
  std::string section;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    Line line;
    line.raw = text.substr(start, end - start);
    if (!line.raw.empty() && line.raw.back() == '\r') line.raw.pop_back();
    std::string trimmed = Trim(line.raw);
    if (!trimmed.empty() && trimmed.front() == '[') {
      auto close = trimmed.find(']');
      section = Lower(
          Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
      line.isHeader = true;
    } else if (!trimmed.empty() && trimmed.front() != ';') {
      auto eq = trimmed.find('=');
      if (eq != std::string::npos) line.key = Lower(Trim(trimmed.substr(0, eq)));
    }
    line.section = section;
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

std::string IniFile::Serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.raw;
    out += '\n';
  }
  return out;
}

bool IniFile::Load(const std::string& path) {
  auto text = ReadWholeFile(path);
  Parse(text ? *text : std::string());
  return text.has_value();
}

bool IniFile::Save(const std::string& path) const { return WriteFileAtomically(path, Serialize()); }

int IniFile::FindEntry(const std::string& section, const std::string& key) const {
  std::string s = Lower(section), k = Lower(key);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (!lines_[i].isHeader && lines_[i].section == s && lines_[i].key == k && !k.empty())
      return static_cast<int>(i);
  }
  return -1;
}

std::optional<std::string> IniFile::Get(const std::string& section, const std::string& key) const {
  int i = FindEntry(section, key);
  if (i < 0) return std::nullopt;
  const std::string& raw = lines_[static_cast<std::size_t>(i)].raw;
  std::string value = Trim(raw.substr(raw.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& fallback, std::size_t bufferChars) const {
  std::string value = Get(section, key).value_or(fallback);
  return bufferChars == 0 ? std::string() : TruncateUtf16(value, bufferChars - 1);
}

int IniFile::GetInt(const std::string& section, const std::string& key, int fallback) const {
  auto value = Get(section, key);
  return value ? ParseProfileInt(*value) : fallback;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  std::string s = Lower(section);
  Line entry;
  entry.raw = key + "=" + value;
  entry.section = s;
  entry.key = Lower(key);
  int i = FindEntry(section, key);
  if (i >= 0) {
    lines_[static_cast<std::size_t>(i)] = std::move(entry);
    return;
  }
  // After the last non-empty line of the section, or as a new section at the end.
  int last = -1;
  for (std::size_t j = 0; j < lines_.size(); ++j) {
    if (lines_[j].section == s && (lines_[j].isHeader || !Trim(lines_[j].raw).empty()))
      last = static_cast<int>(j);
  }
  if (last < 0) {
    Line header;
    header.raw = "[" + section + "]";
    header.section = s;
    header.isHeader = true;
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(entry));
    return;
  }
  lines_.insert(lines_.begin() + last + 1, std::move(entry));
}

}  // namespace brisel
