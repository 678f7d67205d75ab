#include "support/TestSigningKey.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

namespace brisel::test {

TestSigningKey::TestSigningKey() { m_key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"); }

TestSigningKey::~TestSigningKey() { EVP_PKEY_free(static_cast<EVP_PKEY*>(m_key)); }

std::string TestSigningKey::PublicKeyHex() const {
  unsigned char raw[32];
  std::size_t length = sizeof raw;
  if (!m_key || EVP_PKEY_get_raw_public_key(static_cast<EVP_PKEY*>(m_key), raw, &length) != 1)
    return {};
  std::string hex;
  char pair[3];
  for (std::size_t i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", raw[i]);
    hex += pair;
  }
  return hex;
}

std::string TestSigningKey::Sign(std::string_view bytes) const {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  EVP_MD_CTX_free);
  std::string signature(64, '\0');
  std::size_t length = signature.size();
  if (!m_key || !context ||
      EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, static_cast<EVP_PKEY*>(m_key)) !=
          1 ||
      EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                     reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 1)
    return {};
  signature.resize(length);
  return signature;
}

}  // namespace brisel::test
