#include "report/certificate_pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devices/ata/smart_attribute_names.h"
#include "devices/base/text_format.h"
#include "report/pdf_page_writer.h"

namespace vellumar::report {

namespace {

std::string Grouped(std::int64_t value) { return vellumar::GroupThousands(value); }

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string Bytes(std::int64_t value) { return Grouped(value) + " bytes"; }

std::string HiddenText(const vellumar::HiddenAreaReport& h) {
  std::string hidden = vellumar::HiddenAreaStatusName(h.Status);
  if (h.Status == vellumar::HiddenAreaStatus::NotChecked && !h.Reason.empty()) {
    hidden += " (" + h.Reason + ")";
  } else if (h.Status == vellumar::HiddenAreaStatus::Hidden) {
    hidden += ": " + Grouped(h.HpaHiddenSectors) + " sectors by a host protected area, " + Grouped(h.DcoHiddenSectors) +
              " by a device configuration overlay";
  }
  return hidden;
}

void DriveSection(PageWriter& page, const vellumar::ErasureCertificate& c) {
  const vellumar::CertificateDrive& d = c.Drive;
  page.Section("Drive");
  page.Row("Model", d.Model);
  page.Row("Serial number", d.Serial);
  page.Row("Firmware", d.Firmware);
  page.Row("Bus", d.Bus);
  page.Row("Device node", d.Node);
  page.Row("Stable name", d.ById);
  page.Row("WWN", d.Wwn);
  page.Row("Capacity", Bytes(d.CapacityBytes) + " (" + Grouped(d.Sectors) + " sectors)");
  page.Row("Sector size",
           Grouped(d.LogicalSectorSize) + " bytes logical, " + Grouped(d.PhysicalSectorSize) + " bytes physical");
  page.Row("Media", d.MediaType + (!d.Rotational ? "" : (*d.Rotational ? " (rotational)" : " (not rotational)")));
  page.Row("Hidden sectors before", HiddenText(c.HiddenArea));
  if (c.HiddenAreaAfter) {
    page.Row("Hidden sectors after", HiddenText(*c.HiddenAreaAfter));
  }
  const vellumar::CertificateHealth& health = c.Health;
  std::string brief = health.Verdict;
  if (health.ReallocatedSectors || health.PendingSectors) {
    brief += ": " + Grouped(static_cast<std::int64_t>(health.ReallocatedSectors.value_or(0))) + " reallocated, " +
             Grouped(static_cast<std::int64_t>(health.PendingSectors.value_or(0))) + " pending sectors";
  } else if (health.PercentageUsed) {
    brief += ": " + std::to_string(*health.PercentageUsed) + " % used, " +
             Grouped(static_cast<std::int64_t>(health.MediaErrors.value_or(0))) + " media errors";
  }
  page.Row("Health before the run", brief);
}

void EraseSection(PageWriter& page, const vellumar::CertificateErase& e) {
  page.Section("Erase");
  page.Row("Sanitization", e.Level == "none" ? "none: a quick wipe destroys the partition tables only"
                                             : e.Level + " (" + e.Technique + ", " + std::to_string(e.Passes) +
                                                   (e.Passes == 1 ? " pass, " : " passes, ") + e.Pattern + ")");
  if (e.Firmware) {
    const vellumar::CertificateFirmware& f = *e.Firmware;
    page.Row("Method", f.Method + ": " + f.Command);
    page.Row("Drive's answer",
             f.Status + ", after " + std::to_string(f.Seconds) + " s" +
                 (f.DriveEstimateMinutes ? " (the drive estimated " + std::to_string(*f.DriveEstimateMinutes) + " min)"
                                         : ""));
    page.Row("Reach", f.CoversNativeCapacity ? "the drive's whole native capacity, hidden areas included"
                                             : "the capacity the system sees");
  } else {
    page.Row("Method", e.Method + ", " + (e.Quick ? "quick wipe" : "full"));
  }
  std::string ranges;
  for (const vellumar::ByteRange& range : e.RangesWritten) {
    ranges += (ranges.empty() ? "" : "; ") + Grouped(range.Begin) + " to " + Grouped(range.End);
  }
  page.Row("Ranges written", ranges.empty() ? "none" : ranges);
  page.Row("Bytes written", Bytes(e.BytesWritten));
  page.Row("Outcome", e.Outcome + " at offset " + Grouped(e.FinalOffset));
  if (e.NotReachedSectors > 0) {
    page.Row("Not written", Grouped(e.NotReachedSectors) + " sectors from offset " + Grouped(e.FinalOffset) +
                                " on: the run " + e.Outcome + " there, and they keep their old data");
  }
  page.Row("Average speed", e.AverageSpeed);
  page.Row("Error lines", Grouped(static_cast<std::int64_t>(e.ErrorLines.size())));
  std::string lbas;
  for (const std::int64_t lba : e.FirstUnwrittenLbas) {
    lbas += (lbas.empty() ? " (first LBAs: " : ", ") + Grouped(lba);
  }
  page.Row("Unwritable sectors", Grouped(e.UnwrittenSectors) + (lbas.empty() ? "" : lbas + ")"));
}

void CheckSection(PageWriter& page, const vellumar::CertificateCheck& v) {
  page.Section("Verification");
  page.Row("Method", v.Method + (v.Seed ? ", seed " + std::to_string(*v.Seed) : ""));
  page.Row("Result", v.Result);
  page.Row("Result line", v.ResultLine);
  page.Row("Bytes read", Bytes(v.BytesRead));
  page.Row("First mismatch", v.FirstMismatchOffset ? "offset " + Grouped(*v.FirstMismatchOffset) + ", LBA " +
                                                         Grouped(v.FirstMismatchLba.value_or(0))
                                                   : "none");
  page.Row("Unreadable sectors", Grouped(v.UnreadableSectors));
  page.Row("Known unwritten sectors", Grouped(v.KnownUnwrittenSectors) + " (the run reported them; not counted)");
}

// What the operator added, the signing key, and lines for the two people who sign the page.
void AttestationSection(PageWriter& page, const vellumar::ErasureCertificate& c) {
  const vellumar::CertificateAttestation& a = c.Attestation;
  page.Section("Attestation");
  page.Row("Organisation", a.Organisation);
  page.Row("Location", a.Location);
  page.Row("Asset number", a.AssetNumber);
  page.Row("Media destination", a.MediaDestination);
  page.Row("Ed25519 signing key", c.SigningKeyFingerprint.empty() ? "none: unsigned" : c.SigningKeyFingerprint);
  page.Row("", std::string("The undersigned attest that the drive named above was ") +
                   (c.Kind == "verification" ? "checked" : "sanitized") + " as this certificate records.");
  const auto signer = [](const std::string& name) {
    return (name.empty() ? "Name ________________________" : name) +
           "\nSignature ____________________   Date ____________";
  };
  page.Row("Operator", signer(c.Operator));
  page.Row("Validator", signer(a.Validator));
}

std::vector<std::string> SmartLines(const std::vector<vellumar::SmartAttribute>& table) {
  std::vector<std::string> lines = {"ID   Attribute                                 Current  Worst  Raw"};
  for (const vellumar::SmartAttribute& a : table) {
    lines.push_back(vellumar::PadRight(std::to_string(a.Id), 5) +
                    vellumar::PadRight(vellumar::SmartAttributeName(a.Id), 42) +
                    vellumar::PadRight(std::to_string(a.Current), 9) + vellumar::PadRight(std::to_string(a.Worst), 7) +
                    std::to_string(a.Raw));
  }
  return lines;
}

}  // namespace

std::string CertificatePdf(const vellumar::ErasureCertificate& c, const std::string& jsonSha256) {
  std::string bytes;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(AppendBytes, &bytes, kPageWidth, kPageHeight);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, "Erasure certificate");
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, c.ToolName.c_str());
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0, 0);
  {
    PageWriter page(cr, "SHA-256 of the JSON record: " + jsonSha256);
    page.Title(c.Kind == "verification" ? "Verification certificate" : "Erasure certificate",
               c.ToolName + " " + c.ToolVersion);
    page.Section("Record");
    page.Row("Certificate id", c.Id);
    page.Row("Build", c.Build);
    page.Row("Host", c.Host + " (kernel " + c.Kernel + ")");
    page.Row("Operator", c.Operator);
    page.Row("Started", c.Started);
    page.Row("Ended", c.Ended + " (" + Grouped(c.DurationSeconds) + " s)");
    DriveSection(page, c);
    if (c.Erase) {
      EraseSection(page, *c.Erase);
    }
    if (c.Verification) {
      CheckSection(page, *c.Verification);
    } else {
      page.Section("Verification");
      page.Row("Method", "none");
    }
    AttestationSection(page, c);
    if (page.Page() == 1) {
      page.NewPage();
    }
    page.Section("S.M.A.R.T. attributes before the run");
    if (c.Smart) {
      page.Lines(SmartLines(*c.Smart), " more attributes in the JSON record.");
    } else {
      page.Row("", "The drive did not answer.");
    }
    page.Section("Log");
    page.Lines(c.Log, " more lines in the JSON record.");
    page.Finish();
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok ? bytes : std::string();
}

}  // namespace vellumar::report
