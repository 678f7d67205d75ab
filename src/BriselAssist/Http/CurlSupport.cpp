#include "BriselAssist/Http/CurlSupport.h"

#include <curl/curl.h>

#include <mutex>

namespace brisel {

void EnsureCurlGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsHttpUrl(const std::string& url) {
  CURLU* handle = curl_url();
  if (!handle) return false;
  bool ok = false;
  char* scheme = nullptr;
  if (curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme) {
    std::string s = scheme;  // curl gives the scheme in lower case
    ok = s == "http" || s == "https";
  }
  curl_free(scheme);
  curl_url_cleanup(handle);
  return ok;
}

}  // namespace brisel
