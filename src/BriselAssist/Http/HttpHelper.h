#pragma once

#include <memory>
#include <optional>
#include <string>

namespace brisel {

class CHttpClient;

inline constexpr const char* kHttpHelperTag = "BriselAssist\\Http\\HttpHelper";

// The version check: asks the update service whether another build of the program exists
// and learns the installer's download URL. The request identifies the client by its OS
// version text and the MD5 of its MAC address.
//
// Thread contract: construction, InitVersionCheck and CheckVersion on one thread (the UI
// thread); CheckVersion blocks it for the request (at most the client's time-outs). The host
// is called back on that same thread, from within CheckVersion.
class HttpHelper {
 public:
  // What the check needs from its owner window.
  class Host {
   public:
    virtual ~Host() = default;
    // A plain message box with this text ("获取更新文件失败" when the service failed).
    virtual void ShowMessageBox(const std::string& text) = 0;
  };

  enum class CheckResult {
    UpdateAvailable,  // the service names a newer version; the URL is its installer
    UpToDate,         // the service names this version, or an older one
    Failed,           // no reply, a reply of another shape, or the service's own failure
  };

  // `owner` may be null (no message box); it must outlive the helper.
  explicit HttpHelper(Host* owner = nullptr);
  ~HttpHelper();
  HttpHelper(const HttpHelper&) = delete;
  HttpHelper& operator=(const HttpHelper&) = delete;

  // Creates the client when there is none, takes LocalMac, GetOsVersionText and the update
  // service's base URL (theSettings' UpdateBaseUrl), and builds the user-agent text
  // "BriselVR VadAzuZez 1.0.0_20160526(<OS version>; <MD5 of the MAC text>)".
  void InitVersionCheck();

  // True when an update is available; `downloadUrl` is then its installer, else empty.
  bool CheckVersion(std::string* downloadUrl);
  // The same, telling an up-to-date answer from a failed check.
  CheckResult RunVersionCheck(std::string* downloadUrl);

  // The reply's first "data" element: "version_name", "version_code" and "download_url".
  // False for a reply that is not JSON, whose "code" is 2 (logged, and the host shows
  // "获取更新文件失败") or is not an integer, whose "data" is missing, not an array or empty,
  // or whose first element lacks one of the three strings.
  bool ParseVersionReply(const std::string& reply, std::string* versionName,
                         std::string* versionCode, std::string* downloadUrl);

  // base URL + "lanclient/last-version" ("/" added after a base URL that lacks it; an empty
  // base URL gives a URL without scheme, which fails without network access).
  std::string RequestUrl() const;
  // "type=3&system_version=<OS version>&mac=<MAC text>&BriselVR=3", texts as they are.
  std::string RequestBody() const;
  const std::string& UserAgent() const { return m_strUserAgent; }
  // The client, for its time-outs and trust anchors (tests). Null before InitVersionCheck.
  CHttpClient* Client() { return m_pClient.get(); }

  // "<major>.<minor>.<patch>.<distribution>" from the kernel release and the PRETTY_NAME of
  // /etc/os-release (empty, leaving the trailing dot, when there is none); "0.0.0 NoVersion"
  // when the kernel release cannot be read.
  static std::string GetOsVersionText();
  // The same from given texts: `kernelRelease` as uname(2) gives it (nothing: the query
  // failed) and the content of an os-release file (nothing: no such file).
  static std::string FormatOsVersionText(const std::optional<std::string>& kernelRelease,
                                         const std::optional<std::string>& osRelease);
  // "<major>.<minor>.<patch>" of the program's version ("1.0.7").
  static std::string GetProductVersionText();
  // GetProductVersionText() + "_20160606": the version compared with the reply's.
  static std::string LocalVersionText();
  // Whether the service's `offered` version is newer than `local`. Texts of the program's
  // form ("1.0.7_20160606", the date optional) are ordered by their three numbers, then by
  // the build date when both have one, so an older build is never offered as an update; a
  // text of any other form counts as newer whenever it differs.
  static bool IsNewerVersionText(const std::string& offered, const std::string& local);

 private:
  Host* m_pOwner;
  std::unique_ptr<CHttpClient> m_pClient;
  std::string m_strType = "3";
  std::string m_strUserAgent;
  std::string m_strOsVersion;
  std::string m_strMac;
  std::string m_strBaseUrl;
};

}  // namespace brisel
