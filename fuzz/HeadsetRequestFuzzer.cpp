// Headset players' requests come from anyone on the LAN: whatever the path and the Host
// header, the library answers well-formed JSON, and every URL in it starts with an authority
// made only of host[:port] characters.
#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "CatalogueFixture.h"
#include "ConService/HeadsetLibrary.h"

namespace {

struct Fixture : brisel::fuzz::CatalogueFixture {
  Fixture() {
    for (const char* name : {"a.mp4", "b_180_LR.mkv", "\xff\xfe bad \xe4\xb8.mp4"}) {
      const std::string path = folder + "/" + name;
      std::ofstream(path) << "not a video";
      catalogue->AddShareRecord(path, 1, &key);
    }
    library = std::make_unique<brisel::HeadsetLibrary>(*catalogue, "10.0.0.5", 11717);
  }
  std::string key;
  std::unique_ptr<brisel::HeadsetLibrary> library;
};

bool IsAuthorityChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
         c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
}

// Every string that is a URL has an authority of host[:port] characters.
void CheckUrls(const Json::Value& value) {
  if (value.isString()) {
    const std::string text = value.asString();
    if (text.rfind("http://", 0) != 0) return;
    const std::size_t end = text.find('/', 7);
    if (end == std::string::npos || end == 7) __builtin_trap();
    for (std::size_t i = 7; i < end; ++i) {
      if (!IsAuthorityChar(text[i])) __builtin_trap();
    }
  } else if (value.isArray() || value.isObject()) {
    for (const Json::Value& member : value) CheckUrls(member);
  }
}

}  // namespace

// Input: the request path, a newline, the Host header (a leading "-" sends none).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  std::string uri = input.substr(0, newline);
  const std::string host = newline == std::string::npos ? "" : input.substr(newline + 1);
  // Share keys are rare in random input: "K" stands for one that exists.
  if (const std::size_t k = uri.find('K'); k != std::string::npos) uri.replace(k, 1, fixture.key);
  if (!brisel::HeadsetLibrary::Claims(uri)) return 0;
  const brisel::HeadsetLibrary::Reply reply =
      fixture.library->Answer(uri, host.rfind('-', 0) == 0 ? nullptr : host.c_str());
  Json::CharReaderBuilder builder;
  builder["strictRoot"] = true;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  if (!reader->parse(reply.body.data(), reply.body.data() + reply.body.size(), &value, nullptr))
    __builtin_trap();
  CheckUrls(value);
  return 0;
}
