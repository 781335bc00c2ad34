#include "ops/linux/certificate_settings.h"

#include "platform/linux/host/own_files.h"

namespace vellumar::ops {

namespace {

constexpr std::size_t kMaxSettingsBytes = 64UL * 1024UL;
constexpr std::size_t kMaxKeyBytes = 16UL * 1024UL;

// A new key from the kernel's random source, written whole or not at all; when another process
// made one first, that one is used.
std::optional<report::SigningKey> MakeHostKey(const std::string& path, std::string& error) {
  std::array<std::uint8_t, 32> secret{};
  if (!platform::RandomBytes(secret.data(), secret.size())) {
    error = "no random bytes for a new signing key";
    return std::nullopt;
  }
  const report::SigningKey key = report::SigningKeyFromSecret(secret);
  bool taken = false;
  if (platform::CreatePrivateFile(path, report::PrivateKeyPem(key), taken, error)) {
    return key;
  }
  std::string pem;
  if (taken &&
      platform::ReadOwnFile(path, platform::FileTrust::Private, kMaxKeyBytes, pem, error) == platform::FileRead::Read) {
    if (std::optional<report::SigningKey> existing = report::ParsePrivateKeyPem(pem)) {
      return existing;
    }
    error = path + ": not an Ed25519 private key";
  }
  return std::nullopt;
}

}  // namespace

bool LoadCertificateConfig(const std::string& configFolder, CertificateConfig& config, std::string& error) {
  const std::string path = configFolder + "/certificate.conf";
  std::string text;
  switch (platform::ReadOwnFile(path, platform::FileTrust::Protected, kMaxSettingsBytes, text, error)) {
    case platform::FileRead::Missing:
      return true;
    case platform::FileRead::Refused:
      return false;
    case platform::FileRead::Read:
      break;
  }
  if (!ParseCertificateConfig(text, config, error)) {
    error = path + ", " + error;
    return false;
  }
  return true;
}

std::optional<report::SigningKey> LoadSigningKey(const CertificateSettings& settings, const CertificateConfig& config,
                                                 bool create, std::string& path, std::string& error) {
  const bool hostKey = settings.SigningKeyFile.empty() && config.SigningKey.empty();
  path = !settings.SigningKeyFile.empty() ? settings.SigningKeyFile
         : !hostKey                       ? config.SigningKey
                                          : settings.ConfigFolder + "/signing.key";
  std::string pem;
  switch (platform::ReadOwnFile(path, platform::FileTrust::Private, kMaxKeyBytes, pem, error)) {
    case platform::FileRead::Missing:
      if (hostKey && create) {
        return MakeHostKey(path, error);
      }
      error = path + ": no such key" + (hostKey ? " (it is made by the first signed certificate)" : "");
      return std::nullopt;
    case platform::FileRead::Refused:
      return std::nullopt;
    case platform::FileRead::Read:
      break;
  }
  std::optional<report::SigningKey> key = report::ParsePrivateKeyPem(pem);
  if (!key) {
    error = path + ": not an Ed25519 private key in PEM (PKCS #8, \"BEGIN PRIVATE KEY\")";
  }
  return key;
}

}  // namespace vellumar::ops
