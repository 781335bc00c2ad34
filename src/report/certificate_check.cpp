#include "report/certificate_check.h"

#include <nlohmann/json.hpp>

namespace vellumar::report {

namespace {

std::string Text(const nlohmann::json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

CertificateSummary SummariseCertificate(std::string_view json) {
  CertificateSummary summary;
  const nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
  if (!document.is_object()) {
    return summary;
  }
  summary.Id = Text(document, "certificate_id");
  const auto part = [&document](const char* key) {
    const auto found = document.find(key);
    return found != document.end() && found->is_object() ? *found : nlohmann::json::object();
  };
  summary.Serial = Text(part("drive"), "serial");
  summary.SignedWith = Text(part("signature"), "public_key_fingerprint");
  if (const std::string erase = Text(part("erase"), "outcome"); !erase.empty()) {
    summary.Outcome = "erase " + erase;
  }
  if (const std::string check = Text(part("verification"), "result"); !check.empty()) {
    summary.Outcome += (summary.Outcome.empty() ? "verification " : ", verification ") + check;
  }
  return summary;
}

SignatureVerdict CheckSignature(std::string_view json, const std::optional<std::string>& signatureFile,
                                const PublicKey& key) {
  if (!signatureFile) {
    return SignatureVerdict::Missing;
  }
  const std::optional<std::string> signature = FromBase64(*signatureFile);
  if (!signature || signature->size() != 64) {
    return SignatureVerdict::Unreadable;
  }
  return SignatureValid(key, json, *signature) ? SignatureVerdict::Valid : SignatureVerdict::Mismatch;
}

}  // namespace vellumar::report
