#include "report/certificate_files.h"

#include "report/certificate_json.h"
#include "report/certificate_pdf.h"

namespace vellumar::report {

std::string WriteCertificateFiles(const vellumar::ErasureCertificate& certificate, const std::string& stem,
                                  vellumar::CertificateSink& sink, std::string& error) {
  const std::string json = CertificateJson(certificate);
  const std::string pdf = CertificatePdf(certificate, Sha256Hex(json));
  if (pdf.empty()) {
    error = "the PDF could not be rendered";
    return "";
  }
  std::string name = stem;
  for (int n = 2; n < 100 && (sink.Exists(name + ".json") || sink.Exists(name + ".pdf")); ++n) {
    name = stem + "-" + std::to_string(n);
  }
  if (!sink.WriteFile(name + ".json", json, error) || !sink.WriteFile(name + ".pdf", pdf, error)) {
    return "";
  }
  return name;
}

}  // namespace vellumar::report
