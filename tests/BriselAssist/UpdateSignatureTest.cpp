#include "BriselAssist/Http/UpdateSignature.h"

#include <gtest/gtest.h>

#include "platform/ChildProcess.h"
#include "settings/BuildConfig.h"
#include "support/Sandbox.h"
#include "support/TestSigningKey.h"

namespace brisel {
namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// RFC 8032, section 7.1, tests 1 and 2.
const std::string kKey1 =
    FromHex("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
const std::string kSignature1 = FromHex(
    "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e3970"
    "1cf9b46bd25bf5f0595bbe24655141438e7a100b");
const std::string kKey2 =
    FromHex("3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c");
const std::string kSignature2 = FromHex(
    "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613"
    "d0f11d8c387b2eaeb4302aeeb00d291612bb0c00");

std::string Flipped(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  return bytes;
}

TEST(UpdateSignature, OnlyTheKeysOwnSignatureOfTheseVeryBytesVerifies) {
  struct Case {
    std::string what, key, message, signature;
    bool valid;
  } cases[] = {
      {"test 1", kKey1, "", kSignature1, true},
      {"test 2", kKey2, "\x72", kSignature2, true},
      {"another message", kKey2, "\x73", kSignature2, false},
      {"a longer message", kKey2, std::string("\x72\x00", 2), kSignature2, false},
      {"another key", kKey1, "\x72", kSignature2, false},
      {"a changed first byte of R", kKey2, "\x72", Flipped(kSignature2, 0), false},
      {"a changed last byte of S", kKey2, "\x72", Flipped(kSignature2, 63), false},
      {"a truncated signature", kKey2, "\x72", kSignature2.substr(0, 63), false},
      {"a signature with a byte more", kKey2, "\x72", kSignature2 + "x", false},
      {"no signature", kKey2, "\x72", "", false},
      {"64 zero bytes", kKey2, "\x72", std::string(64, '\0'), false},
      {"a truncated key", kKey2.substr(0, 31), "\x72", kSignature2, false},
      {"no key", "", "\x72", kSignature2, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VerifyUpdateSignature(c.key, c.message, c.signature), c.valid) << c.what;
}

TEST(UpdateSignature, TheKeyIsSixtyFourHexDigits) {
  const std::string hex = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";
  std::string upper = hex;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(ParseUpdatePublicKey(hex), kKey1);
  EXPECT_EQ(ParseUpdatePublicKey(upper), kKey1);
  for (const std::string& bad :
       {std::string(), hex.substr(1), hex + "0", "0x" + hex.substr(2), " " + hex.substr(1),
        hex.substr(0, 63) + "g", hex.substr(0, 32) + std::string(1, '\0') + hex.substr(33)})
    EXPECT_FALSE(ParseUpdatePublicKey(bad)) << bad;
}

TEST(UpdateSignature, TheBuildsKeyUnlessATestReplacesIt) {
  const std::optional<std::string> built = ParseUpdatePublicKey(build::kUpdatePublicKey);
  EXPECT_EQ(built.has_value(), *build::kUpdatePublicKey != '\0')
      << "the build checks the option's form";
  EXPECT_EQ(UpdatePublicKey(), built);
  SetUpdatePublicKeyForTesting("3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c");
  EXPECT_EQ(UpdatePublicKey(), kKey2);
  SetUpdatePublicKeyForTesting("");
  EXPECT_FALSE(UpdatePublicKey()) << "no key at all";
  ResetUpdatePublicKeyForTesting();
  EXPECT_EQ(UpdatePublicKey(), built);
}

TEST(UpdateSignature, AFileIsCheckedWhole) {
  test::Sandbox box;
  test::TestSigningKey signer;
  const std::string key = *ParseUpdatePublicKey(signer.PublicKeyHex());
  std::string installer(300000, '\0');
  for (std::size_t i = 0; i < installer.size(); ++i) installer[i] = static_cast<char>(i * 7);
  const std::string signature = signer.Sign(installer);
  ASSERT_EQ(signature.size(), 64u);

  std::string reason;
  EXPECT_TRUE(
      VerifyUpdateFileSignature(box.WriteFile("good.exe", installer), key, signature, &reason))
      << reason;
  EXPECT_EQ(reason, "");
  struct Case {
    std::string what, path, signature, reason;
  } cases[] = {
      {"a changed byte at the end", box.WriteFile("late.exe", Flipped(installer, 299999)),
       signature, "the signature does not match the file"},
      {"a byte less", box.WriteFile("short.exe", installer.substr(1)), signature,
       "the signature does not match the file"},
      {"a truncated signature", box.Path("good.exe"), signature.substr(0, 40),
       "the signature is 40 bytes, not 64"},
      {"no file", box.Path("missing.exe"), signature,
       box.Path("missing.exe") + ": No such file or directory"},
      {"a folder", box.Folder(), signature, box.Folder() + ": not a regular file"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(VerifyUpdateFileSignature(c.path, key, c.signature, &reason)) << c.what;
    EXPECT_EQ(reason, c.reason) << c.what;
  }
}

// The release procedure of the README, with the openssl command: a key made once, its public
// half as the build option's 64 hexadecimal characters, and a detached signature per file.
TEST(UpdateSignature, AReleaseSignedWithTheOpensslCommandVerifies) {
  test::Sandbox box;
  const std::string installer = box.WriteFile("BriselVR_1.0.8_amd64.deb", "!<arch>\nrelease");
  const std::string script =
      "set -e; cd \"$1\"\n"
      "openssl genpkey -algorithm ed25519 -out release-key.pem\n"
      "openssl pkey -in release-key.pem -pubout -outform DER | tail -c 32 | od -An -tx1 -v |"
      " tr -d ' \\n' > public.hex\n"
      "openssl pkeyutl -sign -rawin -inkey release-key.pem -in BriselVR_1.0.8_amd64.deb"
      " -out BriselVR_1.0.8_amd64.deb.sig\n";
  ProcessResult r = RunProcess({"/bin/sh", "-c", script, "sh", box.Folder()}, 20000);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string hex = box.ReadFile("public.hex");
  ASSERT_EQ(hex.size(), 64u) << hex;
  const std::optional<std::string> key = ParseUpdatePublicKey(hex);
  ASSERT_TRUE(key);
  const std::string signature = box.ReadFile("BriselVR_1.0.8_amd64.deb.sig");
  EXPECT_EQ(signature.size(), 64u);
  std::string reason;
  EXPECT_TRUE(VerifyUpdateFileSignature(installer, *key, signature, &reason)) << reason;
}

TEST(UpdateSignature, TheSignatureLivesBesideTheFile) {
  struct Case {
    std::string url, expected;
  } cases[] = {
      {"https://dl.example/files/BriselVR.deb", "https://dl.example/files/BriselVR.deb.sig"},
      {"http://127.0.0.1:8080/BriselVR.exe", "http://127.0.0.1:8080/BriselVR.exe.sig"},
      {"https://dl.example/get?file=BriselVR.deb", "https://dl.example/get.sig?file=BriselVR.deb"},
      // The fragment never reaches the server: after it, ".sig" would name the file itself.
      {"https://dl.example/BriselVR.deb#latest", "https://dl.example/BriselVR.deb.sig"},
      {"https://dl.example", "https://dl.example/.sig"},
      {"not a URL", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SignatureUrl(c.url), c.expected) << c.url;
}

}  // namespace
}  // namespace brisel
