#include "report/certificate_files.h"

#include "report/certificate_json.h"
#include "report/certificate_pdf.h"

namespace vellumar::report {

std::string WriteCertificateFiles(const vellumar::ErasureCertificate& certificate, const std::string& stem,
                                  const SigningKey& key, vellumar::CertificateSink& sink, std::string& error) {
  // The fingerprint is part of what is signed, so it goes in before the record is serialised.
  vellumar::ErasureCertificate record = certificate;
  record.SigningKeyFingerprint = KeyFingerprint(key.Public);
  const std::string json = CertificateJson(record);
  const std::string signature = Base64(Sign(key, json)) + "\n";
  const std::string pdf = CertificatePdf(record, Sha256Hex(json));
  if (pdf.empty()) {
    error = "the PDF could not be rendered";
    return "";
  }
  std::string name = stem;
  const auto taken = [&sink](const std::string& n) {
    return sink.Exists(n + ".json") || sink.Exists(n + ".pdf") || sink.Exists(n + ".json.sig");
  };
  for (int n = 2; n < 100 && taken(name); ++n) {
    name = stem + "-" + std::to_string(n);
  }
  if (!sink.WriteFiles({{name + ".json", json}, {name + ".pdf", pdf}, {name + ".json.sig", signature}}, error)) {
    return "";
  }
  return name;
}

}  // namespace vellumar::report
