#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumar::report {

// Certificates are signed with Ed25519 (RFC 8032, pure: the message itself is signed). Keys are
// kept in the forms other tools read too: the private key as PEM PKCS #8 ("BEGIN PRIVATE KEY",
// what `openssl genpkey -algorithm ed25519` writes), the public key as base64 of its 32 bytes
// on one line, or PEM ("BEGIN PUBLIC KEY").
using PublicKey = std::array<std::uint8_t, 32>;

struct SigningKey {
  std::array<std::uint8_t, 32> Secret{};
  PublicKey Public{};
};

// The key whose secret is `secret` (32 random bytes make a new key).
SigningKey SigningKeyFromSecret(const std::array<std::uint8_t, 32>& secret);

// The 64-byte signature of `message`.
std::string Sign(const SigningKey& key, std::string_view message);
bool SignatureValid(const PublicKey& key, std::string_view message, std::string_view signature);

// "SHA256:" and the unpadded base64 of the SHA-256 of the key's 32 bytes.
std::string KeyFingerprint(const PublicKey& key);

std::string Base64(std::string_view bytes);
// Line breaks and spaces are skipped; nullopt for anything else that is not base64.
std::optional<std::string> FromBase64(std::string_view text);

std::string PrivateKeyPem(const SigningKey& key);
std::optional<SigningKey> ParsePrivateKeyPem(std::string_view text);

// Base64 of the key's 32 bytes, the form `certificate key` prints.
std::string PublicKeyText(const PublicKey& key);
// That form (its first line; what follows is ignored), or a PEM public key.
std::optional<PublicKey> ParsePublicKey(std::string_view text);

}  // namespace vellumar::report
