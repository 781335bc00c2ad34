#include "devices/certificate/certificate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "devices/base/units.h"
#include "report/certificate_json.h"
#include "report/certificate_pdf.h"
#include "support/shell.h"

namespace vellumar {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A run that went wrong in every way the record must show, on a drive with hostile texts.
ErasureCertificate EveryField() {
  ErasureCertificate c;
  c.Id = "0f8fad5b-d9cb-469f-a165-70867728950e";
  c.ToolName = "Vellumar";
  c.ToolVersion = "4.50";
  c.Host = "bench";
  c.Kernel = "Linux 6.1";
  c.Operator = "김철수";
  c.Started = "2026-12-08T14:30:05+01:00";
  c.Ended = "2026-12-08T15:30:05+01:00";
  c.DurationSeconds = 3600;
  c.Drive = {"/dev/sdb",    "/dev/disk/by-id/ata-WDC_1",
             "SATA",        "WDC <b>WD10</b> \xff\x01",
             "WD-XYZ 123",  "01.0",
             "naa.5000",    1'000'204'886'016,
             1'953'525'168, 512,
             4096,          true};
  c.HiddenArea = {HiddenAreaStatus::Hidden, 1'953'525'168, 1'953'529'168, 0, 4'000, 0, ""};
  FormatResult run;
  run.Outcome = FormatOutcome::Completed;
  run.Position = c.Drive.CapacityBytes;
  run.UnwrittenSectors = 40;
  run.UnwrittenExtents = {{512 * 100, 512 * 140}};
  const std::vector<std::string> log = {"12/08/26 14:30:05   Formatting... ",
                                        "12/08/26 14:31:00   Format Error occurred at offset 51,200:   1117 - "
                                        "Device I/O error"};
  c.Erase = EraseRecord(false, c.Drive.CapacityBytes, 512, run, log, "87.3 MB/s");
  VerifyResult check;
  check.Outcome = VerifyOutcome::Failed;
  check.BytesRead = 99'999'744;
  check.DifferingSectors = 3;
  check.FirstDifference = 1'048'576;
  c.Verification = CheckRecord(VerifyMethod::Sample, 4242, check, 512);
  c.Smart = std::vector<SmartAttribute>{{5, 100, 100, 0, 0}, {194, 36, 50, 0x0000'2400'0024ULL, 0x24}};
  c.Log = log;
  c.Attestation = {"Acme Recycling", "Bench 3", "INV-0042", "destroy", "Park Validator"};
  c.SigningKeyFingerprint = "SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU";
  return c;
}

// The least a record holds: a `verify` on its own of a drive that cannot say more.
ErasureCertificate Least() {
  ErasureCertificate c;
  c.Id = "0f8fad5b-d9cb-469f-a165-70867728950e";
  c.Kind = "verification";
  c.Started = c.Ended = "2026-12-08T13:30:05+00:00";
  c.HiddenArea.Reason = "the bus carries no ATA commands";
  return c;
}

std::string TempFile(const std::string& name, const std::string& bytes) {
  const std::string path = "/tmp/vellumar-cert-" + std::to_string(::getpid()) + "-" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(CertificateJson, RecordsValidateAgainstTheDocumentedSchema) {
  if (testing::Shell("python3 -c 'import jsonschema'").ExitCode != 0) {
    GTEST_SKIP() << "needs python3-jsonschema";
  }
  const std::string schema = std::string(VELLUMAR_TEST_DATA) + "/../../docs/certificate.schema.json";
  for (const ErasureCertificate& c : {EveryField(), Least()}) {
    const std::string path = TempFile("record.json", report::CertificateJson(c));
    const testing::ShellResult check = testing::Shell(
        "python3 -c 'import json,sys,jsonschema; jsonschema.validate(json.load(open(sys.argv[1])), "
        "json.load(open(sys.argv[2])))' " +
        testing::Quote(path) + " " + testing::Quote(schema));
    EXPECT_EQ(check.ExitCode, 0) << check.Output;
    ::unlink(path.c_str());
  }
}

TEST(CertificateJson, CarriesTheFactsAnAuditorLooksFor) {
  const std::string json = report::CertificateJson(EveryField());
  for (const char* expected :
       {"\"schema_version\": 2", "\"level\": \"clear\"", "\"bytes_written\": 1000204865536", "\"operator\": \"김철수\"",
        "\"serial\": \"WD-XYZ 123\"", "\"seed\": 4242",
        "\"first_mismatch\": {\n      \"offset\": 1048576,\n      \"lba\": 2048", "\"hpa_hidden_sectors\": 4000",
        "\"name\": \"HDA Temperature\",",
        "\"error_lines\": [\n      \"12/08/26 14:31:00   Format Error occurred at offset 51,200",
        "\"first_lbas\": [\n        100,\n        101", "WD10</b> \xEF\xBF\xBD", "\"asset_number\": \"INV-0042\"",
        "\"public_key_fingerprint\": \"SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU\""}) {
    EXPECT_THAT(json, HasSubstr(expected));
  }
  EXPECT_EQ(EveryField().Erase->FirstUnwrittenLbas.size(), kCertificateListedLbas);
}

TEST(CertificatePdf, TextNamesTheDriveMethodResultAndTheRecordsHash) {
  if (testing::Shell("command -v pdftotext").ExitCode != 0) {
    GTEST_SKIP() << "needs pdftotext (poppler-utils)";
  }
  const ErasureCertificate c = EveryField();
  const std::string hash = report::Sha256Hex(report::CertificateJson(c));
  const std::string pdf = report::CertificatePdf(c, hash);
  ASSERT_THAT(pdf, ::testing::StartsWith("%PDF"));
  const std::string path = TempFile("record.pdf", pdf);
  const testing::ShellResult text = testing::Shell("pdftotext -layout " + testing::Quote(path) + " -");
  ::unlink(path.c_str());
  ASSERT_EQ(text.ExitCode, 0);
  for (const std::string& expected :
       {std::string("WDC <b>WD10</b>"), std::string("WD-XYZ 123"), std::string("zero fill, one pass, full"),
        std::string("sample, seed 4242"), std::string("Verification failed: non-zero data at offset 1,048,576"), hash,
        std::string("김철수"), std::string("Page 2"), std::string("INV-0042"), std::string("Park Validator"),
        std::string("SHA256:47DEQpj8HBSa+")}) {
    EXPECT_THAT(text.Output, HasSubstr(expected));
  }
  EXPECT_THAT(text.Output, Not(HasSubstr("Page 3")));
  EXPECT_THAT(text.Output, HasSubstr("Page 2 of 2"));
  EXPECT_THAT(text.Output, HasSubstr("clear (overwrite, 1 pass, zeros)"));
}

// Values of any length keep the certificate to two pages, and no text runs into the footer.
TEST(CertificatePdf, LongValuesAreCutAndTheFooterStaysClear) {
  if (testing::Shell("command -v pdftotext && command -v pdfinfo").ExitCode != 0) {
    GTEST_SKIP() << "needs pdftotext and pdfinfo (poppler-utils)";
  }
  ErasureCertificate c = EveryField();
  for (int i = 0; i < 1'000; ++i) {
    c.Operator += "김철수 Kim ";
  }
  c.Drive.Model = std::string(3'000, 'M');
  c.Attestation.Location = std::string(2'000, 'L');
  c.Log = std::vector<std::string>(400, std::string(300, 'x'));
  const std::string path = TempFile("long.pdf", report::CertificatePdf(c, report::Sha256Hex("x")));
  const testing::ShellResult info = testing::Shell("pdfinfo " + testing::Quote(path) + " | grep '^Pages:'");
  const testing::ShellResult text = testing::Shell("pdftotext " + testing::Quote(path) + " -");
  // Each word's box: no word other than the footer's may reach below the footer's rule.
  const testing::ShellResult boxes =
      testing::Shell("pdftotext -bbox " + testing::Quote(path) +
                     " - | sed -n 's/.*yMin=\"\\([0-9.]*\\)\" xMax=\"[0-9.]*\" yMax=\"\\([0-9.]*\\)\">.*/\\1 \\2/p' | "
                     "awk '{ t++ } $1 < 800 && $2 > 802 { n++ } END { print n + 0, t + 0 }'");
  ::unlink(path.c_str());
  EXPECT_THAT(info.Output, HasSubstr("Pages:           2"));
  EXPECT_THAT(text.Output, HasSubstr("cut here; the JSON record has it whole"));
  EXPECT_THAT(text.Output, HasSubstr("Page 2 of 2"));
  int across = -1;
  int words = 0;
  std::istringstream(boxes.Output) >> across >> words;
  EXPECT_EQ(across, 0) << "text runs into the footer";
  EXPECT_GT(words, 200) << "the word boxes were read";
}

TEST(Certificate, FileStemKeepsHostileSerialsInsideTheFolder) {
  struct Case {
    std::string Serial;
    std::string Stem;
  };
  for (const Case& c : std::vector<Case>{{"WD-XYZ 123", "WD-XYZ_123-T"},
                                         {"../../etc/passwd", "_._.._etc_passwd-T"},
                                         {"  ", "no-serial-T"},
                                         {".hidden", "_hidden-T"},
                                         {"", "no-serial-T"},
                                         {std::string(251, 'S'), std::string(kCertificateStemSerial, 'S') + "-T"}}) {
    EXPECT_EQ(CertificateFileStem(c.Serial, "T"), c.Stem) << c.Serial;
  }
}

// A run that stopped wrote its ranges only up to where it stopped; the rest counts as unwritten.
TEST(Certificate, AStoppedRunRecordsWhatItWroteAndWhatItDidNot) {
  FormatResult run;
  run.Outcome = FormatOutcome::Cancelled;
  run.Position = 4 * kMiB;
  run.UnwrittenSectors = 2;
  run.UnwrittenExtents = {{512 * 10, 512 * 12}};
  const CertificateErase full = EraseRecord(false, 64 * kMiB, 512, run, {}, "");
  EXPECT_EQ(full.RangesWritten, (std::vector<ByteRange>{{0, 4 * kMiB}}));
  EXPECT_EQ(full.NotReachedSectors, 60 * kMiB / 512);
  EXPECT_EQ(full.UnwrittenSectors, 2 + 60 * kMiB / 512);
  EXPECT_EQ(full.FirstUnwrittenLbas, (std::vector<std::int64_t>{10, 11, 4 * kMiB / 512}));

  run.Position = 64 * kMiB - 512;  // a quick wipe stopped in its last range
  run.UnwrittenExtents.clear();
  run.UnwrittenSectors = 0;
  const CertificateErase quick = EraseRecord(true, 64 * kMiB, 512, run, {}, "");
  EXPECT_EQ(quick.RangesWritten, (std::vector<ByteRange>{{0, 10'240'000}, {63 * kMiB, 64 * kMiB - 512}}));
  EXPECT_EQ(quick.UnwrittenSectors, 1);
}

TEST(Certificate, Sha256MatchesTheStandardVector) {
  EXPECT_EQ(report::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace vellumar
