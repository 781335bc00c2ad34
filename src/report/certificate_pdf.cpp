#include "report/certificate_pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devices/ata/smart_attribute_names.h"
#include "devices/base/text_format.h"

namespace vellumar::report {

namespace {

constexpr double kPageWidth = 595.28;  // A4 in points
constexpr double kPageHeight = 841.89;
constexpr double kMargin = 48.0;
constexpr double kFooterSpace = 40.0;
constexpr double kKeyWidth = 170.0;
constexpr int kMaxPages = 2;

// Drive texts and operator names can be any bytes; pango wants valid UTF-8.
std::string ValidUtf8(const std::string& text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string result(valid);
  g_free(valid);
  return result;
}

std::string Grouped(std::int64_t value) { return vellumar::GroupThousands(value); }

struct LayoutDeleter {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
struct FontDeleter {
  void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};
using Layout = std::unique_ptr<PangoLayout, LayoutDeleter>;
using Font = std::unique_ptr<PangoFontDescription, FontDeleter>;

// Lays text out top to bottom over at most two pages.
class PageWriter {
 public:
  PageWriter(cairo_t* cr, std::string footer) : cr_(cr), footer_(std::move(footer)) {}

  double Remaining() const { return kPageHeight - kFooterSpace - y_; }
  int Page() const { return page_; }

  void Title(const std::string& text, const std::string& subtitle) {
    y_ += Draw(text, "Sans Bold 18", kMargin, y_, kPageWidth - 2 * kMargin) + 2;
    y_ += Draw(subtitle, "Sans 9", kMargin, y_, kPageWidth - 2 * kMargin) + 10;
  }

  void Section(const std::string& title) {
    if (Remaining() < 60) {
      NewPage();
    }
    y_ += 6;
    y_ += Draw(title, "Sans Bold 11", kMargin, y_, kPageWidth - 2 * kMargin) + 2;
    cairo_set_line_width(cr_, 0.6);
    cairo_move_to(cr_, kMargin, y_);
    cairo_line_to(cr_, kPageWidth - kMargin, y_);
    cairo_stroke(cr_);
    y_ += 4;
  }

  void Row(const std::string& key, const std::string& value) {
    const double width = kPageWidth - 2 * kMargin - kKeyWidth;
    if (Measure(value, "Sans 9", width) + 4 > Remaining()) {
      NewPage();
    }
    const double keyHeight = Draw(key, "Sans Bold 9", kMargin, y_, kKeyWidth - 8);
    const double valueHeight = Draw(value.empty() ? "—" : value, "Sans 9", kMargin + kKeyWidth, y_, width);
    y_ += std::max(keyHeight, valueHeight) + 3;
  }

  // Monospaced lines; stops (with a note) where the last allowed page ends.
  void Lines(const std::vector<std::string>& lines, const std::string& omittedNote) {
    const char* font = "Monospace 6.5";
    const double width = kPageWidth - 2 * kMargin;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const double height = Measure(lines[i], font, width);
      if (height + 14 > Remaining()) {
        if (page_ >= kMaxPages) {
          y_ += Draw(Grouped(static_cast<std::int64_t>(lines.size() - i)) + omittedNote, "Sans Italic 8", kMargin, y_,
                     width);
          return;
        }
        NewPage();
      }
      y_ += Draw(lines[i], font, kMargin, y_, width);
    }
  }

  void NewPage() {
    Footer();
    cairo_show_page(cr_);
    ++page_;
    y_ = kMargin;
  }

  void Finish() {
    Footer();
    cairo_show_page(cr_);
  }

 private:
  Layout Make(const std::string& text, const char* font, double width) {
    Layout layout(pango_cairo_create_layout(cr_));
    const Font description(pango_font_description_from_string(font));
    pango_layout_set_font_description(layout.get(), description.get());
    pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    // A serial or a key fingerprint broken across lines must not gain a hyphen it does not have.
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
    pango_layout_set_attributes(layout.get(), attributes);
    pango_attr_list_unref(attributes);
    const std::string valid = ValidUtf8(text);
    // Plain text, never markup: a drive's model cannot change the page.
    pango_layout_set_text(layout.get(), valid.c_str(), static_cast<int>(valid.size()));
    return layout;
  }

  double Measure(const std::string& text, const char* font, double width) {
    const Layout layout = Make(text, font, width);
    int w = 0;
    int h = 0;
    pango_layout_get_size(layout.get(), &w, &h);
    return static_cast<double>(h) / PANGO_SCALE;
  }

  double Draw(const std::string& text, const char* font, double x, double y, double width) {
    const Layout layout = Make(text, font, width);
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout.get());
    int w = 0;
    int h = 0;
    pango_layout_get_size(layout.get(), &w, &h);
    return static_cast<double>(h) / PANGO_SCALE;
  }

  void Footer() {
    const double y = kPageHeight - kMargin + 8;
    cairo_set_line_width(cr_, 0.4);
    cairo_move_to(cr_, kMargin, y - 4);
    cairo_line_to(cr_, kPageWidth - kMargin, y - 4);
    cairo_stroke(cr_);
    Draw(footer_ + "    Page " + std::to_string(page_), "Sans 7", kMargin, y, kPageWidth - 2 * kMargin);
  }

  cairo_t* cr_;
  std::string footer_;
  double y_ = kMargin;
  int page_ = 1;
};

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string Bytes(std::int64_t value) { return Grouped(value) + " bytes"; }

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
  page.Row("Rotational", !d.Rotational ? "unknown" : (*d.Rotational ? "yes" : "no"));
  const vellumar::HiddenAreaReport& h = c.HiddenArea;
  std::string hidden = vellumar::HiddenAreaStatusName(h.Status);
  if (h.Status == vellumar::HiddenAreaStatus::NotChecked && !h.Reason.empty()) {
    hidden += " (" + h.Reason + ")";
  } else if (h.Status == vellumar::HiddenAreaStatus::Hidden) {
    hidden += ": " + Grouped(h.HpaHiddenSectors) + " sectors by a host protected area, " + Grouped(h.DcoHiddenSectors) +
              " by a device configuration overlay";
  }
  page.Row("Hidden sectors", hidden);
}

void EraseSection(PageWriter& page, const vellumar::CertificateErase& e) {
  page.Section("Erase");
  page.Row("Method", e.Method + ", " + (e.Quick ? "quick wipe" : "full"));
  std::string ranges;
  for (const vellumar::ByteRange& range : e.RangesWritten) {
    ranges += (ranges.empty() ? "" : "; ") + Grouped(range.Begin) + " to " + Grouped(range.End);
  }
  page.Row("Bytes written", ranges);
  page.Row("Outcome", e.Outcome + " at offset " + Grouped(e.FinalOffset));
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
