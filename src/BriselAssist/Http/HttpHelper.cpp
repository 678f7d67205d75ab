#include "BriselAssist/Http/HttpHelper.h"

#include <json/json.h>
#include <sys/utsname.h>

#include <cctype>
#include <exception>
#include <memory>
#include <sstream>

#include "BriselAssist/Http/HttpClient.h"
#include "BriselDataManager/LogRecorder.h"
#include "platform/FileSystem.h"
#include "platform/Md5.h"
#include "settings/AppSettings.h"
#include "settings/BuildConfig.h"
#include "settings/ProgramValues.h"

namespace brisel {
namespace {

constexpr const char* kServiceFailedText = "获取更新文件失败";

// The value of PRETTY_NAME in an os-release file: shell-style, optionally quoted, with
// backslash escapes inside double quotes.
std::string PrettyName(const std::string& osRelease) {
  std::istringstream in(osRelease);
  std::string line;
  std::string result;
  while (std::getline(in, line)) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, 12, "PRETTY_NAME=") != 0) continue;
    std::string value = line.substr(start + 12);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
      value.pop_back();
    result.clear();
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
      char quote = value.front();
      for (std::size_t i = 1; i < value.size() && value[i] != quote; ++i) {
        if (quote == '"' && value[i] == '\\' && i + 1 < value.size()) ++i;
        result += value[i];
      }
    } else {
      result = value;
    }
  }
  return result;  // the last assignment wins, as in the shell
}

// A version text of the program's form, "<major>.<minor>.<patch>" with an optional
// "_<build date>" (1.0.7_20160606); numbers of up to 18 digits.
struct VersionParts {
  unsigned long long numbers[3] = {0, 0, 0};
  std::optional<unsigned long long> date;
};

std::optional<unsigned long long> Number(const std::string& text, std::size_t* pos) {
  const std::size_t start = *pos;
  unsigned long long value = 0;
  while (*pos < text.size() && std::isdigit(static_cast<unsigned char>(text[*pos]))) {
    if (*pos - start == 18) return std::nullopt;
    value = value * 10 + static_cast<unsigned long long>(text[*pos] - '0');
    ++*pos;
  }
  if (*pos == start) return std::nullopt;
  return value;
}

std::optional<VersionParts> ParseVersionText(const std::string& text) {
  VersionParts parts;
  std::size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && (pos >= text.size() || text[pos++] != '.')) return std::nullopt;
    std::optional<unsigned long long> n = Number(text, &pos);
    if (!n) return std::nullopt;
    parts.numbers[i] = *n;
  }
  if (pos < text.size()) {
    if (text[pos++] != '_') return std::nullopt;
    parts.date = Number(text, &pos);
    if (!parts.date || pos != text.size()) return std::nullopt;
  }
  return parts;
}

}  // namespace

HttpHelper::HttpHelper(Host* owner) : m_pOwner(owner) {}

HttpHelper::~HttpHelper() = default;

void HttpHelper::InitVersionCheck() {
  if (!m_pClient) m_pClient = std::make_unique<CHttpClient>();
  m_strMac = LocalMac();
  m_strOsVersion = GetOsVersionText();
  m_strBaseUrl = theSettings ? theSettings->m_strUpdateBaseUrl : std::string(build::kUpdateBaseUrl);
  m_strUserAgent =
      "BriselVR VadAzuZez 1.0.0_20160526(" + m_strOsVersion + "; " + Md5Hex(m_strMac) + ")";
}

std::string HttpHelper::RequestUrl() const {
  std::string base = m_strBaseUrl;
  if (!base.empty() && base.back() != '/') base += '/';
  return base + "lanclient/last-version";
}

std::string HttpHelper::RequestBody() const {
  return "type=" + m_strType + "&system_version=" + m_strOsVersion + "&mac=" + m_strMac +
         "&BriselVR=3";
}

bool HttpHelper::CheckVersion(std::string* downloadUrl) {
  return RunVersionCheck(downloadUrl) == CheckResult::UpdateAvailable;
}

HttpHelper::CheckResult HttpHelper::RunVersionCheck(std::string* downloadUrl) {
  downloadUrl->clear();
  if (!m_pClient) InitVersionCheck();
  const std::string url = RequestUrl();
  const std::string body = RequestBody();
  m_pClient->SetRequestInfo(url, body, m_strUserAgent);
  std::string reply;
  m_pClient->HttpPost(url, body, &reply);  // after a failure the reply is empty
  WriteLog("HttpPost------OK,URL:" + url + ", " + reply, kHttpHelperTag);

  std::string name, code, link;
  if (!ParseVersionReply(reply, &name, &code, &link)) return CheckResult::Failed;
  WriteLog("checkVersion------2", kHttpHelperTag);
  if (!IsNewerVersionText(name, LocalVersionText())) {
    if (name != LocalVersionText())
      WriteLog("version " + name + " is not newer than " + LocalVersionText(), kHttpHelperTag);
    return CheckResult::UpToDate;
  }
  // Another version without an installer to fetch is no update the user could install.
  if (link.empty()) return CheckResult::Failed;
  *downloadUrl = link;
  return CheckResult::UpdateAvailable;
}

bool HttpHelper::ParseVersionReply(const std::string& reply, std::string* versionName,
                                   std::string* versionCode, std::string* downloadUrl) {
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  // A version reply is three levels deep; a low limit keeps a hostile reply's recursion short.
  builder["stackLimit"] = 64;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  // The reader reports too deep a nesting by throwing rather than by returning false.
  try {
    if (!reader->parse(reply.data(), reply.data() + reply.size(), &root, &errors)) return false;
  } catch (const std::exception&) {
    return false;
  }
  if (!root.isObject()) return false;

  const Json::Value& code = root["code"];
  if (!code.isNull()) {
    if (!code.isInt64()) return false;
    if (code.asInt64() == 2) {
      WriteLog("JSON异常，异常原因：2", kHttpHelperTag);
      if (m_pOwner) m_pOwner->ShowMessageBox(kServiceFailedText);
      return false;
    }
  }
  const Json::Value& data = root["data"];
  if (!data.isArray() || data.empty() || !data[0].isObject()) return false;
  const Json::Value& first = data[0];
  const Json::Value& name = first["version_name"];
  const Json::Value& number = first["version_code"];
  const Json::Value& link = first["download_url"];
  if (!name.isString() || !number.isString() || !link.isString()) return false;
  *versionName = name.asString();
  *versionCode = number.asString();
  *downloadUrl = link.asString();
  return true;
}

bool HttpHelper::IsNewerVersionText(const std::string& offered, const std::string& local) {
  std::optional<VersionParts> a = ParseVersionText(offered), b = ParseVersionText(local);
  // A text of another form cannot be ordered: any other text counts as another build.
  if (!a || !b) return offered != local;
  for (int i = 0; i < 3; ++i)
    if (a->numbers[i] != b->numbers[i]) return a->numbers[i] > b->numbers[i];
  // The same version: only a later build of it is newer.
  return a->date && b->date && *a->date > *b->date;
}

std::string HttpHelper::GetOsVersionText() {
  std::optional<std::string> release;
  utsname info{};
  if (uname(&info) == 0) release = info.release;
  std::optional<std::string> osRelease = ReadWholeFile("/etc/os-release", 1 << 16);
  if (!osRelease) osRelease = ReadWholeFile("/usr/lib/os-release", 1 << 16);
  return FormatOsVersionText(release, osRelease);
}

std::string HttpHelper::FormatOsVersionText(const std::optional<std::string>& kernelRelease,
                                            const std::optional<std::string>& osRelease) {
  const std::string kNoVersion = "0.0.0 NoVersion";
  if (!kernelRelease || kernelRelease->empty() ||
      !std::isdigit(static_cast<unsigned char>(kernelRelease->front())))
    return kNoVersion;
  // The first three numbers of "6.1.0-18-amd64"; missing ones count as 0.
  long numbers[3] = {0, 0, 0};
  const std::string& text = *kernelRelease;
  std::size_t pos = 0;
  for (int i = 0; i < 3 && pos < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[pos]))) break;
    long value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
      if (value < 100000000) value = value * 10 + (text[pos] - '0');
      ++pos;
    }
    numbers[i] = value;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
    } else {
      break;
    }
  }
  std::string name = osRelease ? PrettyName(*osRelease) : std::string();
  return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
         std::to_string(numbers[2]) + "." + name;
}

std::string HttpHelper::GetProductVersionText() {
  return std::to_string(build::kVersionMajor) + "." + std::to_string(build::kVersionMinor) + "." +
         std::to_string(build::kVersionPatch);
}

std::string HttpHelper::LocalVersionText() { return GetProductVersionText() + "_20160606"; }

}  // namespace brisel
