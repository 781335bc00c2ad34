#include "ops/erasure_job.h"

#include <algorithm>
#include <exception>

#include "devices/certificate/firmware_record.h"
#include "ops/certificate_record.h"
#include "ops/firmware_step.h"
#include "ops/sample_seed.h"

namespace vellumar::ops {

namespace {

// Keeps the job's own copy of every format-log line while it runs.
class LogTap {
 public:
  LogTap(LogSink& sink, std::vector<std::string>& lines) : sink_(sink) {
    sink_.SetTap([&lines](const std::string& entry) { lines.push_back(entry); });
  }
  ~LogTap() { sink_.SetTap(nullptr); }
  LogTap(const LogTap&) = delete;
  LogTap& operator=(const LogTap&) = delete;

 private:
  LogSink& sink_;
};

void EndAsTerminated(ErasureResult& result, ErasureServices& services, const std::string& why) {
  // An internal error must not leave the run looking like it is still going: it ends as
  // terminated, says why, and the controls come back.
  try {
    services.Logs.BenchMarkLog("Operation terminated: " + why);
  } catch (...) {
    // Logging itself failed (no memory): the controls below still come back.
  }
  services.Controls.SetStopEnabled(false);
  services.Controls.SetBarPaused(true);
  services.Controls.SetControlsEnabled(true);
  result.Threw = true;
  result.Run.Confirmed = true;
  result.Run.Result.Outcome = FormatOutcome::Terminated;
  result.Run.Result.Why = why;
}

}  // namespace

std::optional<ErasureResult> ConfirmErasure(const ErasureRequest& request, ErasureParts& parts, LogSinks& logs,
                                            const Confirmer& confirm) {
  ErasureResult result;
  // The running system's disk is refused before anyone is asked to confirm its erasure.
  result.Run.Refusal = parts.Target->RunningSystemRefusal();
  if (!result.Run.Refusal.empty()) {
    logs.BenchMarkLog(result.Run.Refusal);
    return result;
  }
  // A firmware method the drive cannot run now is refused before anyone is asked, too.
  if (!AcceptFirmwareRequest(request, parts, logs, result)) {
    return result;
  }
  ConfirmationRequest confirmation = FormatConfirmation(request.Caption, request.Drive);
  if (const std::optional<FirmwareMethod> method = FirmwareMethodOf(request.Method)) {
    confirmation.Content += FirmwareConfirmationLines(*method);
  }
  // The user confirms what leaves the system too, not only the drive.
  const std::vector<std::string> takes = parts.Volumes->PlannedTakes(request.Drive.DeviceNumber);
  if (!takes.empty()) {
    confirmation.Content += "\r\n\r\nThe run takes these from the system first:";
    for (const std::string& take : takes) {
      confirmation.Content += "\r\n  " + take;
    }
  }
  if (!confirm(confirmation)) {
    return result;
  }
  return std::nullopt;
}

ErasureResult RunConfirmedErasure(const ErasureRequest& request, ErasureParts& parts, ErasureServices& services) {
  ErasureResult result;
  result.Started = parts.Facts->Now();
  const DriveInspection inspection = parts.Inspector->Inspect();
  ErasureCertificate certificate = StartCertificate("erasure", request.Drive, request.Operator, *parts.Facts);
  certificate.HiddenArea = inspection.HiddenArea;
  certificate.Smart = inspection.Smart;
  certificate.Health = HealthSummary(inspection);

  const bool quick = request.Method == EraseMethod::QuickWipe;
  const std::uint64_t seed = request.Seed.value_or(NewSampleSeed());
  RunRequest run{quick, request.Drive, request.Caption, request.HeaderNotes};
  for (const std::string& warning : HiddenAreaWarnings(inspection.HiddenArea)) {
    run.HeaderWarnings.push_back(warning);
  }
  // Answered already: the confirmation came before the run was handed its thread.
  const std::optional<FirmwareMethod> firmware = FirmwareMethodOf(request.Method);
  if (firmware) {
    UseFirmwareErase(*firmware, run, parts, result);
  }
  RunServices runServices{services.Logs,     services.WallClock,     *parts.Volumes,
                          *parts.Target,     services.StopRequested, services.Display,
                          services.Observer, services.Controls,      nullptr};
  if (request.Verify != VerifyMethod::None) {
    runServices.AfterCompletedRun = [&](BlockDevice& device, const FormatResult& erased) {
      result.RunSpeed = services.Display.SpeedText;
      const VerifyRequest check = RunVerifyRequest(request.Verify, seed, request.Drive.IdentifyData,
                                                   DriveTotalBytes(request.Drive), quick, erased);
      FormatContext context{device,           services.WallClock, services.Logs, services.StopRequested,
                            services.Display, services.Observer};
      result.Check = VerifyDevice(check, context);
      certificate.Verification = CheckRecord(request.Verify, seed, *result.Check, check.SectorSize);
    };
  }
  {
    LogTap tap(services.Logs.BenchMark, certificate.Log);
    try {
      result.Run = RunLowLevelFormat(run, runServices);
    } catch (const std::exception& failure) {
      EndAsTerminated(result, services, failure.what());
    } catch (...) {
      EndAsTerminated(result, services, "unknown error");
    }
  }
  result.OpenFailure = parts.Target->OpenFailure();
  if (result.RunSpeed.empty()) {
    result.RunSpeed = services.Display.SpeedText;
  }
  result.Ended = parts.Facts->Now();
  if (result.Run.WorkerRan) {
    const TIdentifyDeviceData& id = request.Drive.IdentifyData;
    const std::int64_t total = DriveTotalBytes(request.Drive);
    certificate.Erase = firmware && result.Firmware ? FirmwareEraseRecord(*firmware, *result.Firmware, total)
                                                    : EraseRecord(quick, total, id.SectorSize, result.Run.Result,
                                                                  certificate.Log, result.RunSpeed);
    FinishCertificate(certificate, *parts.Facts, result.Started, result.Ended);
    result.Certificate = std::move(certificate);
  }
  return result;
}

ErasureResult RunErasure(const ErasureRequest& request, ErasureParts& parts, ErasureServices& services,
                         const Confirmer& confirm) {
  if (std::optional<ErasureResult> ended = ConfirmErasure(request, parts, services.Logs, confirm)) {
    return *ended;
  }
  return RunConfirmedErasure(request, parts, services);
}

}  // namespace vellumar::ops
