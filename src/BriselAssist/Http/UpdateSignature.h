#pragma once

#include <optional>
#include <string>
#include <string_view>

// The authenticity check of downloaded updates: a detached Ed25519 signature (RFC 8032, the
// 64 raw bytes) over the installer's bytes, made with the vendor's private key and checked
// against the public key built into the program (BRISEL_UPDATE_PUBLIC_KEY, 32 raw bytes
// written as 64 hexadecimal characters). A build without a key can verify nothing.
//
// Thread contract: every function may be called from any thread.
namespace brisel {

inline constexpr std::size_t kUpdatePublicKeySize = 32;
inline constexpr std::size_t kUpdateSignatureSize = 64;

// The raw key written as exactly 64 hexadecimal characters (either case); nothing for any
// other text.
std::optional<std::string> ParseUpdatePublicKey(std::string_view hex);

// The raw public key the program verifies updates with: the build's, unless a test replaced
// it. Nothing when there is none (the default build).
std::optional<std::string> UpdatePublicKey();

// Replaces the build's key with `hex` (empty: no key at all), until reset. Tests only; no
// setting, file or variable of the program leads here.
void SetUpdatePublicKeyForTesting(const std::string& hex);
void ResetUpdatePublicKeyForTesting();

// True only when `signature` is a valid Ed25519 signature of `message` under `publicKey`
// (32 raw bytes). A key or signature of another length is no match.
bool VerifyUpdateSignature(std::string_view publicKey, std::string_view message,
                           std::string_view signature);

// The same over the whole content of the file at `path` (mapped, not copied). `reason` (may
// be null) says why it failed.
bool VerifyUpdateFileSignature(const std::string& path, std::string_view publicKey,
                               std::string_view signature, std::string* reason = nullptr);

// Where the signature of the file at `downloadUrl` lives: the same URL with ".sig" appended
// to its path; the query stays, a fragment goes (it never reaches the server, so appending
// after it would name the installer itself). Empty for a URL that does not parse.
std::string SignatureUrl(const std::string& downloadUrl);

}  // namespace brisel
