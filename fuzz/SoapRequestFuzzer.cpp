// Control requests come from any host on the LAN: whatever the body and SOAPAction header, the
// check answers without reading out of bounds, and a body it accepts names the header's action.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ConService/SoapRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first line is the header, the rest the body.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string_view header = input.substr(0, newline);
  const std::string_view body =
      newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
  if (brisel::IsWellFormedSoapRequest(body, header)) {
    const std::size_t hash = header.rfind('#');
    if (hash == std::string_view::npos) std::abort();
  }
  return 0;
}
