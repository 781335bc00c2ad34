#include "main/format_run.h"

#include <QMetaObject>
#include <exception>
#include <random>
#include <string>

#include "devices/verify/verification.h"

namespace vellumar::desktop {

FormatRun::FormatRun(QObject* parent) : QObject(parent) {}

FormatRun::~FormatRun() {
  // Never leave a worker writing through objects that are about to go away.
  RequestStop();
  Join();
}

void FormatRun::Start(const vellumar::RunRequest& request, RunParts parts, vellumar::LogSinks& logs,
                      vellumar::Clock& clock, vellumar::VerifyMethod verify) {
  Join();
  StopRequested.store(false);
  parts_ = std::move(parts);
  check_.reset();
  runSpeed_.clear();
  const std::uint64_t seed = (std::uint64_t{std::random_device{}()} << 21U) ^ std::random_device{}();
  worker_ = std::thread([this, request, &logs, &clock, verify, seed] {
    // The window asked the user before starting the run.
    auto confirmed = [](const vellumar::ConfirmationRequest&) { return vellumar::kDialogYes; };
    vellumar::RunServices services{logs,     clock, *parts_.Volumes, *parts_.Target, StopRequested,
                                   display_, *this, *this,           confirmed};
    if (verify != vellumar::VerifyMethod::None) {
      services.AfterCompletedRun = [&](vellumar::BlockDevice& device, const vellumar::FormatResult& result) {
        runSpeed_ = display_.SpeedText;
        const vellumar::VerifyRequest check =
            vellumar::RunVerifyRequest(verify, seed, request.Drive.IdentifyData, request.QuickWipe, result);
        vellumar::FormatContext context{device, clock, logs, StopRequested, display_, *this};
        check_ = vellumar::CheckRecord(verify, seed, vellumar::VerifyDevice(check, context), check.SectorSize);
      };
    }
    vellumar::RunReport report;
    try {
      report = vellumar::RunLowLevelFormat(request, services);
    } catch (const std::exception& error) {
      report = Terminated(logs, error.what());
    } catch (...) {
      report = Terminated(logs, "unknown error");
    }
    if (runSpeed_.empty()) {
      runSpeed_ = display_.SpeedText;
    }
    emit Finished(report);
  });
}

vellumar::RunReport FormatRun::Terminated(vellumar::LogSinks& logs, const std::string& why) {
  // An exception must not reach std::terminate with the drive open: the run ends as terminated,
  // says why, and the window gets its controls back.
  try {
    logs.BenchMarkLog("Operation terminated: " + why);
  } catch (...) {
    // Logging itself failed (no memory): the controls below still come back.
  }
  SetStopEnabled(false);
  SetBarPaused(true);
  SetControlsEnabled(true);
  vellumar::RunReport report;
  report.Confirmed = true;
  report.Result.Outcome = vellumar::FormatOutcome::Terminated;
  return report;
}

void FormatRun::Join() {
  if (worker_.joinable()) {
    worker_.join();
  }
  // The target first: it may still refer to the locker's claims.
  parts_.Target.reset();
  parts_.Volumes.reset();
}

void FormatRun::OnProgress(const vellumar::FormatDisplay& display) { emit ProgressChanged(display); }

void FormatRun::SetControlsEnabled(bool enabled) { emit ControlsEnabledChanged(enabled); }

void FormatRun::SetStopEnabled(bool enabled) { emit StopEnabledChanged(enabled); }

void FormatRun::SetBarPaused(bool paused) { emit BarPausedChanged(paused); }

}  // namespace vellumar::desktop
