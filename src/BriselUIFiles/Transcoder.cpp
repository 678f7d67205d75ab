#include "BriselUIFiles/Transcoder.h"

#include <map>
#include <mutex>

#include "platform/ChildProcess.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"

namespace brisel {
namespace {

constexpr int kEncoderQueryTimeoutMs = 5000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int TwoDigits(std::string_view s, std::size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

}  // namespace

std::string OutputFileName(std::string_view taskName) {
  std::size_t dot = taskName.rfind('.');
  if (dot == std::string_view::npos) return std::string(taskName) + ".mp4";
  std::string_view extension = taskName.substr(dot + 1);
  if (extension == "mp4" || extension == "MP4") return std::string(taskName);
  return std::string(taskName.substr(0, dot + 1)) + "mp4";
}

std::string DefaultConvertFolder() { return GetDataFolder() + "/appData/converted/"; }

std::string OutputPathFor(const std::string& convertFolder, std::string_view taskName) {
  std::string folder = convertFolder.empty() ? DefaultConvertFolder() : convertFolder;
  if (folder.back() != '/') folder += '/';
  return folder + OutputFileName(taskName);
}

std::string AacEncoderFor(const std::string& converter) {
  static std::mutex mutex;
  static std::map<std::string, std::string> answers;
  std::lock_guard<std::mutex> lock(mutex);
  auto known = answers.find(converter);
  if (known != answers.end()) return known->second;
  ProcessResult r = RunProcess({converter, "-hide_banner", "-encoders"}, kEncoderQueryTimeoutMs);
  if (!r.started) return "aac";  // asked again next time; the run itself will fail anyway
  // Encoder lines read " A..... libfdk_aac           Fraunhofer FDK AAC".
  bool fdk = false;
  for (std::size_t p = r.output.find("libfdk_aac"); p != std::string::npos && !fdk;
       p = r.output.find("libfdk_aac", p + 1)) {
    std::size_t end = p + 10;
    bool before = p > 0 && (r.output[p - 1] == ' ' || r.output[p - 1] == '\t');
    bool after = end == r.output.size() || r.output[end] == ' ' || r.output[end] == '\t' ||
                 r.output[end] == '\n' || r.output[end] == '\r';
    fdk = before && after;
  }
  return answers[converter] = fdk ? "libfdk_aac" : "aac";
}

std::vector<std::string> TranscodeArguments(const std::string& converter,
                                            const std::string& aacEncoder,
                                            const std::string& source, const OutputProfile& profile,
                                            const std::string& output) {
  return {converter,
          "-i",
          source,
          "-acodec",
          aacEncoder,
          "-ar",
          "44100",
          "-b:a",
          "128K",
          "-ac",
          "2",
          "-vcodec",
          "libx264",
          "-r",
          "24000/1001",
          "-s",
          std::to_string(profile.Width) + "x" + std::to_string(profile.Height),
          "-b:v",
          std::to_string(profile.BitrateK) + "K",
          output};
}

std::string CommandLineText(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& a : argv) {
    if (!line.empty()) line += ' ';
    bool plain = !a.empty() && a.find_first_of(" \t\"'\\$`") == std::string::npos;
    if (plain) {
      line += a;
      continue;
    }
    line += '"';
    for (char c : a) {
      if (c == '"' || c == '\\' || c == '$' || c == '`') line += '\\';
      line += c;
    }
    line += '"';
  }
  return line;
}

ProgressReport ParseProgressChunk(std::string_view chunk) {
  ProgressReport report;
  const std::string head = TruncateUtf16(chunk, 100);
  std::size_t p = head.find("time=");
  if (p == std::string::npos) return report;
  report.found = true;
  std::string_view t = std::string_view(head).substr(p + 5);
  if (t.size() < 8) return report;
  t = t.substr(0, 8);
  for (std::size_t i : {0, 1, 3, 4, 6, 7})
    if (!IsDigit(t[i])) return report;
  if (t[2] != ':' || t[5] != ':') return report;
  int hours = TwoDigits(t, 0), minutes = TwoDigits(t, 3), seconds = TwoDigits(t, 6);
  if (minutes > 59 || seconds > 59) return report;
  report.parsed = true;
  report.elapsedSeconds = static_cast<std::uint32_t>(hours * 3600 + minutes * 60 + seconds);
  return report;
}

int ProgressPercent(std::uint32_t elapsedSeconds, std::string_view durationMs) {
  std::int64_t ms = ReadDecimal64(durationMs);
  if (ms < 1000) return 0;
  std::uint64_t total = static_cast<std::uint64_t>(static_cast<double>(ms) / 1000);
  std::uint64_t percent = static_cast<std::uint64_t>(elapsedSeconds) * 100 / total;
  return percent > 100 ? 100 : static_cast<int>(percent);
}

}  // namespace brisel
