#include "devices/certificate/certificate_config.h"

#include <utility>

namespace vellumar {

namespace {

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r";
  const auto begin = text.find_first_not_of(kBlank);
  if (begin == std::string_view::npos) {
    return {};
  }
  return text.substr(begin, text.find_last_not_of(kBlank) - begin + 1);
}

std::string* FieldOf(CertificateConfig& config, std::string_view key) {
  const std::pair<std::string_view, std::string*> fields[] = {
      {"organisation", &config.Attestation.Organisation}, {"location", &config.Attestation.Location},
      {"asset", &config.Attestation.AssetNumber},         {"destination", &config.Attestation.MediaDestination},
      {"validator", &config.Attestation.Validator},       {"signing_key", &config.SigningKey},
  };
  for (const auto& [name, field] : fields) {
    if (name == key) {
      return field;
    }
  }
  return nullptr;
}

}  // namespace

bool IsMediaDestination(std::string_view value) { return value == "reuse" || value == "recycle" || value == "destroy"; }

bool ParseCertificateConfig(std::string_view text, CertificateConfig& config, std::string& error) {
  int number = 0;
  while (!text.empty()) {
    const auto newline = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, newline));
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    ++number;
    if (line.empty() || line.front() == '#') {
      continue;
    }
    const auto equals = line.find('=');
    const std::string_view key = Trimmed(line.substr(0, equals));
    std::string* field = equals == std::string_view::npos ? nullptr : FieldOf(config, key);
    if (field == nullptr) {
      error =
          "line " + std::to_string(number) +
          (equals == std::string_view::npos ? ": not a key = value line" : ": unknown key '" + std::string(key) + "'");
      return false;
    }
    *field = Trimmed(line.substr(equals + 1));
    if ((key == "destination" && !IsMediaDestination(*field)) || (key == "signing_key" && !field->starts_with('/'))) {
      error = "line " + std::to_string(number) + ": " + std::string(key) +
              (key == "destination" ? " takes reuse, recycle or destroy" : " needs an absolute path");
      return false;
    }
  }
  return true;
}

CertificateAttestation Overlay(const CertificateAttestation& base, const CertificateAttestation& given) {
  const auto pick = [](const std::string& over, const std::string& under) { return over.empty() ? under : over; };
  return {pick(given.Organisation, base.Organisation), pick(given.Location, base.Location),
          pick(given.AssetNumber, base.AssetNumber), pick(given.MediaDestination, base.MediaDestination),
          pick(given.Validator, base.Validator)};
}

}  // namespace vellumar
