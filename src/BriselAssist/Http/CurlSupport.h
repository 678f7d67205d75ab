#pragma once

#include <string>

// What the update service's two HTTP users (the form post and the installer download) share
// of libcurl.
namespace brisel {

// curl_global_init, once per process, before the first handle is made. Thread-safe.
void EnsureCurlGlobalInit();

// True when `url` parses as an absolute URL whose scheme is http or https (any case).
bool IsHttpUrl(const std::string& url);

// The protocols a request may use.
inline constexpr const char* kHttpProtocols = "http,https";

// The protocols the redirects of a request for `url` may lead to: only https once the
// request started on https (a redirect must never drop its protection), else http or https.
const char* RedirectProtocolsFor(const std::string& url);

}  // namespace brisel
