#include "report/certificate_json.h"

#include <nettle/sha2.h>

#include <array>
#include <nlohmann/json.hpp>
#include <utility>

#include "devices/ata/smart_attribute_names.h"

namespace vellumar::report {

namespace {

using json = nlohmann::ordered_json;

template <typename T>
json OrNull(const std::optional<T>& value) {
  return value ? json(*value) : json(nullptr);
}

std::string Trimmed(const std::string& text) {
  const auto end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

json TextOrNull(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

json AreaJson(const vellumar::HiddenAreaReport& hidden) {
  json area = {{"status", vellumar::HiddenAreaStatusName(hidden.Status)}};
  if (hidden.Status == vellumar::HiddenAreaStatus::NotChecked) {
    area["reason"] = hidden.Reason;
  } else {
    area["reported_sectors"] = hidden.ReportedSectors;
    area["native_sectors"] = hidden.NativeSectors;
    area["hpa_hidden_sectors"] = hidden.HpaHiddenSectors;
    area["dco_hidden_sectors"] = hidden.DcoHiddenSectors;
  }
  return area;
}

json DriveJson(const vellumar::ErasureCertificate& c) {
  const vellumar::CertificateDrive& drive = c.Drive;
  return {{"node", drive.Node},
          {"by_id", TextOrNull(drive.ById)},
          {"bus", drive.Bus},
          {"model", drive.Model},
          {"serial", drive.Serial},
          {"firmware", drive.Firmware},
          {"wwn", TextOrNull(drive.Wwn)},
          {"capacity_bytes", drive.CapacityBytes},
          {"sectors", drive.Sectors},
          {"logical_sector_size", drive.LogicalSectorSize},
          {"physical_sector_size", drive.PhysicalSectorSize},
          {"rotational", OrNull(drive.Rotational)},
          {"media_type", drive.MediaType},
          {"hidden_area", AreaJson(c.HiddenArea)},
          {"hidden_area_after", c.HiddenAreaAfter ? AreaJson(*c.HiddenAreaAfter) : json(nullptr)}};
}

json HealthJson(const vellumar::CertificateHealth& health) {
  return {{"verdict", health.Verdict},
          {"reallocated_sectors", OrNull(health.ReallocatedSectors)},
          {"pending_sectors", OrNull(health.PendingSectors)},
          {"percentage_used", OrNull(health.PercentageUsed)},
          {"media_errors", OrNull(health.MediaErrors)}};
}

json EraseJson(const vellumar::CertificateErase& erase) {
  json ranges = json::array();
  for (const vellumar::ByteRange& range : erase.RangesWritten) {
    ranges.push_back({{"begin", range.Begin}, {"end", range.End}});
  }
  json out = {
      {"method", erase.Method},
      {"sanitization",
       {{"level", erase.Level}, {"technique", erase.Technique}, {"passes", erase.Passes}, {"pattern", erase.Pattern}}},
      {"mode", erase.Quick ? "quick" : "full"},
      {"ranges_written", ranges},
      {"bytes_written", erase.BytesWritten},
      {"outcome", erase.Outcome},
      {"final_offset", erase.FinalOffset},
      {"error_lines", erase.ErrorLines},
      {"unwritten_sectors",
       {{"count", erase.UnwrittenSectors},
        {"not_reached", erase.NotReachedSectors},
        {"first_lbas", erase.FirstUnwrittenLbas}}},
      {"average_speed", erase.AverageSpeed}};
  if (erase.Firmware) {
    const vellumar::CertificateFirmware& f = *erase.Firmware;
    out["firmware"] = {{"method", f.Method},
                       {"command", f.Command},
                       {"status", f.Status},
                       {"seconds", f.Seconds},
                       {"drive_estimate_minutes", OrNull(f.DriveEstimateMinutes)},
                       {"covers", f.CoversNativeCapacity ? "whole native capacity" : "user capacity"},
                       {"password_left_set", f.PasswordLeftSet}};
  }
  return out;
}

json CheckJson(const vellumar::CertificateCheck& check) {
  json mismatch = nullptr;
  if (check.FirstMismatchOffset) {
    mismatch = {{"offset", *check.FirstMismatchOffset}, {"lba", check.FirstMismatchLba.value_or(0)}};
  }
  return {{"method", check.Method},
          {"seed", OrNull(check.Seed)},
          {"bytes_read", check.BytesRead},
          {"result", check.Result},
          {"result_line", check.ResultLine},
          {"differing_sectors", check.DifferingSectors},
          {"first_mismatch", mismatch},
          {"unreadable_sectors", check.UnreadableSectors},
          {"known_unwritten_sectors", check.KnownUnwrittenSectors}};
}

json SmartJson(const std::vector<vellumar::SmartAttribute>& attributes) {
  json table = json::array();
  for (const vellumar::SmartAttribute& a : attributes) {
    table.push_back({{"id", a.Id},
                     {"name", Trimmed(vellumar::SmartAttributeName(a.Id))},
                     {"current", a.Current},
                     {"worst", a.Worst},
                     {"raw", a.Raw}});
  }
  return table;
}

// What the operator added, and the key the record is signed with (null when unsigned).
std::pair<json, json> AttestationAndSignatureJson(const vellumar::ErasureCertificate& c) {
  const vellumar::CertificateAttestation& a = c.Attestation;
  json attestation = {{"organisation", TextOrNull(a.Organisation)},
                      {"location", TextOrNull(a.Location)},
                      {"asset_number", TextOrNull(a.AssetNumber)},
                      {"media_destination", TextOrNull(a.MediaDestination)},
                      {"validator", TextOrNull(a.Validator)}};
  json signature = nullptr;
  if (!c.SigningKeyFingerprint.empty()) {
    signature = {{"algorithm", "ed25519"}, {"public_key_fingerprint", c.SigningKeyFingerprint}};
  }
  return {attestation, signature};
}

}  // namespace

std::string CertificateJson(const vellumar::ErasureCertificate& c) {
  const auto [attestation, signature] = AttestationAndSignatureJson(c);
  json document = {
      {"schema_version", vellumar::kCertificateSchemaVersion},
      {"certificate_id", c.Id},
      {"kind", c.Kind},
      {"tool", {{"name", c.ToolName}, {"version", c.ToolVersion}, {"build", c.Build}}},
      {"host", {{"name", c.Host}, {"kernel", c.Kernel}}},
      {"operator", TextOrNull(c.Operator)},
      {"attestation", attestation},
      {"started", c.Started},
      {"ended", c.Ended},
      {"duration_seconds", c.DurationSeconds},
      {"drive", DriveJson(c)},
      {"health", HealthJson(c.Health)},
      {"erase", c.Erase ? EraseJson(*c.Erase) : json(nullptr)},
      {"verification", c.Verification ? CheckJson(*c.Verification) : json(nullptr)},
      {"smart", c.Smart ? SmartJson(*c.Smart) : json(nullptr)},
      {"log", c.Log},
      {"signature", signature},
  };
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string Sha256Hex(const std::string& bytes) {
  sha256_ctx context{};
  sha256_init(&context);
  sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
  sha256_digest(&context, digest.size(), digest.data());
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t byte : digest) {
    hex += kHex[byte >> 4U];
    hex += kHex[byte & 0x0FU];
  }
  return hex;
}

}  // namespace vellumar::report
