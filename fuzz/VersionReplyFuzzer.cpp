// Any reply of the update service is judged without crashing or throwing (jsoncpp aborts on
// member and index reads of values of the wrong type), and the same bytes read as an
// os-release file still give a well-formed OS version text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BriselAssist/Http/HttpHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  brisel::HttpHelper helper;
  std::string name, code, url;
  helper.ParseVersionReply(text, &name, &code, &url);
  std::string os = brisel::HttpHelper::FormatOsVersionText("6.1.0-18-amd64", text);
  if (os.rfind("6.1.0.", 0) != 0) std::abort();
  return 0;
}
