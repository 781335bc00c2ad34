#include "main/format_run.h"

#include <QMetaObject>
#include <exception>
#include <string>

namespace vellumar::desktop {

FormatRun::FormatRun(QObject* parent) : QObject(parent) {}

FormatRun::~FormatRun() {
  // Never leave a worker writing through objects that are about to go away.
  RequestStop();
  Join();
}

void FormatRun::Start(const vellumar::RunRequest& request, RunParts parts, vellumar::LogSinks& logs,
                      vellumar::Clock& clock) {
  Join();
  StopRequested.store(false);
  parts_ = std::move(parts);
  worker_ = std::thread([this, request, &logs, &clock] {
    // The window asked the user before starting the run.
    auto confirmed = [](const vellumar::ConfirmationRequest&) { return vellumar::kDialogYes; };
    vellumar::RunServices services{logs,     clock, *parts_.Volumes, *parts_.Target, StopRequested,
                                   display_, *this, *this,           confirmed};
    vellumar::RunReport report;
    try {
      report = vellumar::RunLowLevelFormat(request, services);
    } catch (const std::exception& error) {
      report = Terminated(logs, error.what());
    } catch (...) {
      report = Terminated(logs, "unknown error");
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
