#include "BriselAssist/Http/UpdateSignature.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "settings/BuildConfig.h"

namespace brisel {
namespace {

std::mutex g_keyMutex;
std::optional<std::string> g_testKeyHex;  // set: replaces the build's key ("" = none)

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> ParseUpdatePublicKey(std::string_view hex) {
  if (hex.size() != 2 * kUpdatePublicKeySize) return std::nullopt;
  std::string key;
  key.reserve(kUpdatePublicKeySize);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    key += static_cast<char>(high * 16 + low);
  }
  return key;
}

std::optional<std::string> UpdatePublicKey() {
  std::lock_guard<std::mutex> lock(g_keyMutex);
  // The build checks the option's form when it is configured, so a built-in key parses.
  return ParseUpdatePublicKey(g_testKeyHex ? *g_testKeyHex : build::kUpdatePublicKey);
}

void SetUpdatePublicKeyForTesting(const std::string& hex) {
  std::lock_guard<std::mutex> lock(g_keyMutex);
  g_testKeyHex = hex;
}

void ResetUpdatePublicKeyForTesting() {
  std::lock_guard<std::mutex> lock(g_keyMutex);
  g_testKeyHex.reset();
}

bool VerifyUpdateSignature(std::string_view publicKey, std::string_view message,
                           std::string_view signature) {
  if (publicKey.size() != kUpdatePublicKeySize || signature.size() != kUpdateSignatureSize)
    return false;
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
      EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                  reinterpret_cast<const unsigned char*>(publicKey.data()),
                                  publicKey.size()),
      EVP_PKEY_free);
  if (!key) return false;  // not a point of the curve
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  EVP_MD_CTX_free);
  if (!context) return false;
  // Ed25519 hashes the message itself: no digest is named, and the message goes in whole.
  if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
  return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                          message.size()) == 1;
}

bool VerifyUpdateFileSignature(const std::string& path, std::string_view publicKey,
                               std::string_view signature, std::string* reason) {
  std::string ignored;
  if (!reason) reason = &ignored;
  reason->clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *reason = path + ": not a regular file";
    close(fd);
    return false;
  }
  const std::size_t size = static_cast<std::size_t>(info.st_size);
  void* bytes = nullptr;
  if (size > 0) {
    // Mapped rather than read: an installer may be hundreds of megabytes, and Ed25519 takes
    // the message in one piece.
    bytes = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (bytes == MAP_FAILED) {
      *reason = path + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
  }
  close(fd);
  const bool valid = VerifyUpdateSignature(
      publicKey, std::string_view(static_cast<const char*>(bytes), size), signature);
  if (bytes) munmap(bytes, size);
  if (!valid) {
    *reason = signature.size() == kUpdateSignatureSize
                  ? "the signature does not match the file"
                  : "the signature is " + std::to_string(signature.size()) + " bytes, not 64";
  }
  return valid;
}

std::string SignatureUrl(const std::string& downloadUrl) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, downloadUrl.c_str(), 0) != CURLUE_OK)
    return {};
  char* path = nullptr;
  if (curl_url_get(url.get(), CURLUPART_PATH, &path, 0) != CURLUE_OK || !path) return {};
  const std::string signaturePath = std::string(path) + ".sig";
  curl_free(path);
  char* result = nullptr;
  if (curl_url_set(url.get(), CURLUPART_PATH, signaturePath.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0) != CURLUE_OK ||
      curl_url_get(url.get(), CURLUPART_URL, &result, 0) != CURLUE_OK || !result)
    return {};
  std::string text = result;
  curl_free(result);
  return text;
}

}  // namespace brisel
