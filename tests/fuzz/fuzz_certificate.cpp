// What `certificate verify` reads from files an auditor was handed: the record, its detached
// signature and the key. Any of them may be made up.
#include <array>
#include <optional>
#include <string>

#include "report/certificate_check.h"
#include "report/signing.h"

using namespace vellumar::report;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)SummariseCertificate(text);
  (void)ParsePublicKey(text);
  (void)ParsePrivateKeyPem(text);
  (void)FromBase64(text);
  static const SigningKey key = SigningKeyFromSecret(std::array<std::uint8_t, 32>{7});
  (void)CheckSignature(text, text, key.Public);
  return 0;
}
