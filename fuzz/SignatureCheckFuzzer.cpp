// The signature of an update comes from the same host as the update. Any signature, message
// and key are judged without crashing; under a fixed key only the one signature that key
// made of its one message verifies (RFC 8032, section 7.1, test 2); and a key text of the
// build option's form parses to 32 bytes, any other text to nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "BriselAssist/Http/UpdateSignature.h"

namespace {

const std::string kKey(
    "\x3d\x40\x17\xc3\xe8\x43\x89\x5a\x92\xb7\x0a\xa7\x4d\x1b\x7e\xbc\x9c\x98\x2c\xcf\x2e\xc4"
    "\x96\x8c\xc0\xcd\x55\xf1\x2a\xf4\x66\x0c",
    32);
const std::string kSignature(
    "\x92\xa0\x09\xa9\xf0\xd4\xca\xb8\x72\x0e\x82\x0b\x5f\x64\x25\x40\xa2\xb2\x7b\x54\x16\x50"
    "\x3f\x8f\xb3\x76\x22\x23\xeb\xdb\x69\xda\x08\x5a\xc1\xe4\x3e\x15\x99\x6e\x45\x8f\x36\x13"
    "\xd0\xf1\x1d\x8c\x38\x7b\x2e\xae\xb4\x30\x2a\xee\xb0\x0d\x29\x16\x12\xbb\x0c\x00",
    64);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The first 64 bytes as the signature, the rest as the signed file.
  const std::string_view signature = input.substr(0, 64);
  const std::string_view message = input.substr(signature.size());
  if (brisel::VerifyUpdateSignature(kKey, message, signature) &&
      (signature != kSignature || message != "\x72"))
    std::abort();
  // The first 32 bytes as a key of any value, the next 64 as its signature.
  if (size >= 96)
    brisel::VerifyUpdateSignature(input.substr(0, 32), input.substr(96), input.substr(32, 64));
  const std::optional<std::string> key = brisel::ParseUpdatePublicKey(input);
  if (key && (key->size() != 32 || size != 64)) std::abort();
  return 0;
}
