#include "BriselAssist/Http/CurlSupport.h"

#include <curl/curl.h>

#include <mutex>

namespace brisel {

void EnsureCurlGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

namespace {

// The scheme of an absolute URL in lower case; empty when it does not parse.
std::string SchemeOf(const std::string& url) {
  CURLU* handle = curl_url();
  if (!handle) return {};
  std::string result;
  char* scheme = nullptr;
  if (curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme)
    result = scheme;  // curl gives the scheme in lower case
  curl_free(scheme);
  curl_url_cleanup(handle);
  return result;
}

}  // namespace

bool IsHttpUrl(const std::string& url) {
  const std::string scheme = SchemeOf(url);
  return scheme == "http" || scheme == "https";
}

const char* RedirectProtocolsFor(const std::string& url) {
  return SchemeOf(url) == "https" ? "https" : kHttpProtocols;
}

}  // namespace brisel
