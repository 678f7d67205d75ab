// Any reply of the update service is judged without crashing or throwing (jsoncpp aborts on
// member and index reads of values of the wrong type); its version is never newer than
// itself, and its download URL's signature URL never names the download itself. The same
// bytes read as an os-release file still give a well-formed OS version text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BriselAssist/Http/HttpHelper.h"
#include "BriselAssist/Http/UpdateSignature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  brisel::HttpHelper helper;
  std::string name, code, url;
  if (helper.ParseVersionReply(text, &name, &code, &url)) {
    if (brisel::HttpHelper::IsNewerVersionText(name, name)) std::abort();
    brisel::HttpHelper::IsNewerVersionText(name, brisel::HttpHelper::LocalVersionText());
    std::string signature = brisel::SignatureUrl(url);
    if (!signature.empty() && signature == url) std::abort();
  }
  std::string os = brisel::HttpHelper::FormatOsVersionText("6.1.0-18-amd64", text);
  if (os.rfind("6.1.0.", 0) != 0) std::abort();
  return 0;
}
