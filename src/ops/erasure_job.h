#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/ata/hidden_area.h"
#include "devices/ata/smart_decoder.h"
#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/certificate/certificate.h"
#include "devices/erase/format_controller.h"
#include "devices/firmware/firmware_erase.h"
#include "devices/nvme/nvme_decoder.h"
#include "devices/verify/verification.h"

namespace vellumar::ops {

// How a run erases: the zero fill, its quick wipe, or one of the drive's own erase commands.
enum class EraseMethod {
  ZeroFill,
  QuickWipe,
  AtaSecureErase,
  AtaEnhancedSecureErase,
  AtaSanitizeCrypto,
  AtaSanitizeBlock,
  AtaSanitizeOverwrite,
  NvmeFormat,
  NvmeFormatCrypto,
  NvmeSanitizeCrypto,
  NvmeSanitizeBlock,
  NvmeSanitizeOverwrite
};

// The firmware command of a method; nullopt for the zero fill and the quick wipe.
std::optional<FirmwareMethod> FirmwareMethodOf(EraseMethod method);
EraseMethod EraseMethodFor(FirmwareMethod method);

// The drive's firmware. Facts come from read-only commands; the erase commands go through the
// run's own exclusive handle, so nothing else holds the drive while its firmware erases it.
class FirmwareAccess {
 public:
  virtual ~FirmwareAccess() = default;
  virtual FirmwareFacts ReadFacts() = 0;
  // The same, read again through the run's handle right before the erase.
  virtual FirmwareFacts ReadFactsOn(BlockDevice& run) = 0;
  // The channels on the run's handle; nullptr where the drive has no such path.
  virtual AtaCommandChannel* AtaOn(BlockDevice& run) = 0;
  virtual NvmeAdminChannel* NvmeOn(BlockDevice& run) = 0;
  // A random password of printable characters for the ATA security commands.
  virtual std::string NewPassword() = 0;
  virtual void Pause(std::uint32_t seconds) = 0;
};

// The line that refuses a read-back check after a crypto erase.
extern const char* const kCryptoVerifyLine;

// What the drive says about itself before the run: sectors it hides, and its S.M.A.R.T. table.
struct DriveInspection {
  HiddenAreaReport HiddenArea;
  std::optional<std::vector<SmartAttribute>> Smart;  // nullopt: the drive did not answer
  std::optional<NvmeHealth> Nvme;                    // an NVMe drive's health log
};

class DriveInspector {
 public:
  virtual ~DriveInspector() = default;
  virtual DriveInspection Inspect() = 0;
};

// The host, the drive's system facts and the time, as a certificate records them.
class CertificateFacts {
 public:
  virtual ~CertificateFacts() = default;
  virtual void AddHostFacts(ErasureCertificate& certificate) = 0;
  virtual void AddDriveFacts(CertificateDrive& drive) = 0;
  virtual std::time_t Now() = 0;
  // "2026-12-08T14:30:05+01:00"
  virtual std::string IsoTime(std::time_t moment) = 0;
};

// Everything one run needs of the system; the front end makes them (the Linux ones come from
// MakeLinuxErasureParts) and keeps them alive until the run has returned.
struct ErasureParts {
  std::unique_ptr<VolumeLocker> Volumes;
  std::unique_ptr<FormatTarget> Target;
  std::unique_ptr<DriveInspector> Inspector;
  std::unique_ptr<CertificateFacts> Facts;
  // Absent where the drive has no firmware erase (an image file).
  std::unique_ptr<FirmwareAccess> Firmware;
};

struct ErasureRequest {
  TDeviceTable Drive;
  std::string Caption;  // DriveCaption of the drive, as the confirmation and the header name it
  EraseMethod Method = EraseMethod::ZeroFill;
  VerifyMethod Verify = VerifyMethod::None;
  std::optional<std::uint64_t> Seed;  // the sample's seed; drawn fresh when absent
  std::string Operator;
  // Lets ATA firmware methods through a USB or other bridge.
  bool AllowBridge = false;
  // Lines the run's header carries before the drive's own warnings (a hidden area revealed).
  std::vector<std::string> HeaderNotes;
};

// What the front end lends the run: the logs, the displays and the controls.
struct ErasureServices {
  LogSinks& Logs;
  Clock& WallClock;
  std::atomic<bool>& StopRequested;
  FormatDisplay& Display;
  FormatObserver& Observer;
  RunControls& Controls;
};

// Answers the run's confirmation: true goes on.
using Confirmer = std::function<bool(const ConfirmationRequest& request)>;

struct ErasureResult {
  RunReport Run;
  // Set when the run ended with an internal error ("Operation terminated: ..." logged).
  bool Threw = false;
  // Why the disk could not be opened for the run, other than being in use; empty otherwise.
  std::string OpenFailure;
  std::optional<VerifyResult> Check;
  // The erase's own speed text; a check afterwards redraws the display with its own.
  std::string RunSpeed;
  std::time_t Started = 0;
  std::time_t Ended = 0;
  // A firmware method the drive does not offer now, or with options it cannot honour: nothing
  // was sent.
  bool MethodRefused = false;
  bool OptionRefused = false;
  // What the drive's firmware erase did.
  std::optional<FirmwareRunResult> Firmware;
  // The record of a run that wrote (Run.WorkerRan), made from the job's own log lines.
  std::optional<ErasureCertificate> Certificate;
};

// Before anything is touched: refuses the running system's disk, then asks `confirm`. Returns
// the result of a run that ends here, or nullopt when the run may go on.
std::optional<ErasureResult> ConfirmErasure(const ErasureRequest& request, ErasureParts& parts, LogSinks& logs,
                                            const Confirmer& confirm);

// The confirmed run: inspection, header, lock, erase, the read-back check, release, and the
// certificate record. Synchronous; the front end picks the thread.
ErasureResult RunConfirmedErasure(const ErasureRequest& request, ErasureParts& parts, ErasureServices& services);

// Both of the above, on the caller's thread.
ErasureResult RunErasure(const ErasureRequest& request, ErasureParts& parts, ErasureServices& services,
                         const Confirmer& confirm);

}  // namespace vellumar::ops
