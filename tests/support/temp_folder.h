#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "report/signing.h"

namespace vellumar::testing {

// A folder of the test's own (mode 0700), removed with everything in it.
struct TempFolder {
  TempFolder() {
    char pattern[] = "/tmp/vellumar-test-XXXXXX";
    Path = ::mkdtemp(pattern) != nullptr ? pattern : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string Path;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  ::chmod(path.c_str(), mode);
}

// A fixed Ed25519 key (its secret is `seed` repeated), as a private key file of mode 0600.
inline report::SigningKey WriteTestKey(const std::string& path, std::uint8_t seed = 1) {
  std::array<std::uint8_t, 32> secret{};
  secret.fill(seed);
  const report::SigningKey key = report::SigningKeyFromSecret(secret);
  WriteBytes(path, report::PrivateKeyPem(key), 0600);
  return key;
}

}  // namespace vellumar::testing
