#pragma once

#include <string>
#include <string_view>

namespace brisel::test {

// A fresh Ed25519 key pair made in the test (OpenSSL), to sign update files the way the
// vendor signs a release: the detached 64-byte signature of the file's bytes.
class TestSigningKey {
 public:
  TestSigningKey();
  ~TestSigningKey();
  TestSigningKey(const TestSigningKey&) = delete;
  TestSigningKey& operator=(const TestSigningKey&) = delete;

  // The raw public key as 64 lower-case hexadecimal characters (the build option's form).
  std::string PublicKeyHex() const;
  // The 64-byte signature of `bytes`.
  std::string Sign(std::string_view bytes) const;

 private:
  void* m_key = nullptr;  // EVP_PKEY
};

}  // namespace brisel::test
