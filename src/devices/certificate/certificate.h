#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devices/ata/hidden_area.h"
#include "devices/ata/smart_decoder.h"
#include "devices/erase/format_engine.h"
#include "devices/verify/verification.h"

namespace vellumar {

inline constexpr int kCertificateSchemaVersion = 2;

// The drive as the certificate names it. Every text comes from the drive or the system and is
// treated as untrusted: renderers escape it, never interpret it.
struct CertificateDrive {
  std::string Node;
  std::string ById;  // stable /dev/disk/by-id name, empty when none
  std::string Bus;
  std::string Model;
  std::string Serial;
  std::string Firmware;
  std::string Wwn;
  std::int64_t CapacityBytes = 0;
  std::int64_t Sectors = 0;
  std::int64_t LogicalSectorSize = 0;
  std::int64_t PhysicalSectorSize = 0;
  std::optional<bool> Rotational;
  std::string MediaType = "unknown";  // "magnetic", "flash" or "unknown"
};

// How healthy the drive said it was before the run, in brief.
struct CertificateHealth {
  std::string Verdict = "unknown";  // "ok", "attention" or "unknown"
  std::optional<std::uint64_t> ReallocatedSectors;
  std::optional<std::uint64_t> PendingSectors;
  std::optional<int> PercentageUsed;  // NVMe
  std::optional<std::uint64_t> MediaErrors;
};

// A firmware erase: the drive's own command, what it answered and how long it took.
struct CertificateFirmware {
  std::string Method;   // "nvme-format"
  std::string Command;  // "NVMe Format NVM (user data erase)"
  std::string Status;   // the final command's status
  std::int64_t Seconds = 0;
  std::optional<std::uint32_t> DriveEstimateMinutes;
  // The drive's command covers its whole native capacity, hidden areas and spare blocks included.
  bool CoversNativeCapacity = true;
  bool PasswordLeftSet = false;
};

// The erase itself; absent in a certificate of a `verify` on its own.
struct CertificateErase {
  std::string Method = "zero fill, one pass";
  // The sanitization it amounts to: "clear" for an overwrite of the whole drive, "none" for a
  // quick wipe, which only destroys the partition tables.
  std::string Level = "clear";
  std::string Technique = "overwrite";
  int Passes = 1;
  std::string Pattern = "zeros";
  bool Quick = false;
  std::int64_t BytesWritten = 0;  // the ranges written, less the sectors that could not be
  std::vector<ByteRange> RangesWritten;
  std::string Outcome;  // "completed", "cancelled" or "terminated"
  std::int64_t FinalOffset = 0;
  std::vector<std::string> ErrorLines;
  // Sectors that kept their old content: those the run could not write, and, for a run that
  // stopped, every sector of its ranges from where it stopped (NotReachedSectors of them).
  std::int64_t UnwrittenSectors = 0;
  std::int64_t NotReachedSectors = 0;
  std::vector<std::int64_t> FirstUnwrittenLbas;  // at most kCertificateListedLbas
  std::string AverageSpeed;                      // the "Average speed: " text, e.g. "87.3 MB/s"
  std::optional<CertificateFirmware> Firmware;   // set for a firmware erase
};

struct CertificateCheck {
  std::string Method;                 // "sample" or "full"
  std::optional<std::uint64_t> Seed;  // for a sample
  std::int64_t BytesRead = 0;
  std::string Result;  // "passed", "failed" or "cancelled"
  std::string ResultLine;
  std::int64_t DifferingSectors = 0;
  std::optional<std::int64_t> FirstMismatchOffset;
  std::optional<std::int64_t> FirstMismatchLba;
  std::int64_t UnreadableSectors = 0;
  std::int64_t KnownUnwrittenSectors = 0;
};

// What the operator adds to the record, from options or the certificate settings file; empty
// when not given.
struct CertificateAttestation {
  std::string Organisation;
  std::string Location;
  std::string AssetNumber;
  std::string MediaDestination;  // "reuse", "recycle" or "destroy"
  std::string Validator;
};

struct ErasureCertificate {
  std::string Kind = "erasure";  // "erasure" after a run, "verification" after `verify`
  std::string Id;                // a random UUID, one per certificate
  std::string ToolName;
  std::string ToolVersion;
  std::string Build;  // the --version text
  std::string Host;
  std::string Kernel;
  std::string Operator;
  std::string Started;  // ISO 8601 with offset
  std::string Ended;
  std::int64_t DurationSeconds = 0;
  CertificateDrive Drive;
  HiddenAreaReport HiddenArea;                      // before the run
  std::optional<HiddenAreaReport> HiddenAreaAfter;  // where the drive was asked again afterwards
  CertificateHealth Health;
  std::optional<CertificateErase> Erase;
  std::optional<CertificateCheck> Verification;
  std::optional<std::vector<SmartAttribute>> Smart;  // absent when the drive did not answer
  std::vector<std::string> Log;                      // the format log of the run, verbatim
  CertificateAttestation Attestation;
  std::string SigningKeyFingerprint;  // set by the writer before the record is serialised; empty: unsigned
};

inline constexpr std::size_t kCertificateListedLbas = 16;
inline constexpr std::size_t kCertificateStemSerial = 64;

std::string FormatOutcomeName(FormatOutcome outcome);
std::string VerifyOutcomeName(VerifyOutcome outcome);

// The erase part from a run's result and its log lines.
CertificateErase EraseRecord(bool quick, std::int64_t total, std::int64_t sectorSize, const FormatResult& result,
                             const std::vector<std::string>& log, const std::string& averageSpeed);
CertificateCheck CheckRecord(VerifyMethod method, std::uint64_t seed, const VerifyResult& result,
                             std::int64_t sectorSize);

// "<serial>-<UTC stamp>" with every character outside [A-Za-z0-9._-] made '_', so a hostile
// serial can neither leave the folder nor hide the file, and the serial cut to
// kCertificateStemSerial characters, so no serial makes a name too long for the folder.
std::string CertificateFileStem(const std::string& serial, const std::string& utcStamp);

struct CertificateFile {
  std::string Name;
  std::string Bytes;
};

// Where the files of a certificate go. Implementations create new files only and never follow a
// link; one may hand the files to the user the program runs for.
class CertificateSink {
 public:
  virtual ~CertificateSink() = default;
  // Writes every file or none: a folder that fills up keeps no record without its PDF. False
  // with a readable `error` then.
  virtual bool WriteFiles(const std::vector<CertificateFile>& files, std::string& error) = 0;
  // True when a file of that name is already there (two certificates in the same second).
  virtual bool Exists(const std::string& /*name*/) { return false; }
};

}  // namespace vellumar
