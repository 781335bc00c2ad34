#include "main/erasure_worker.h"

namespace vellumar::desktop {

ErasureWorker::ErasureWorker(QObject* parent) : QObject(parent) {}

ErasureWorker::~ErasureWorker() {
  // Never leave a worker writing through objects that are about to go away.
  RequestStop();
  Join();
}

void ErasureWorker::Start(const vellumar::ops::ErasureRequest& request, vellumar::ops::ErasureParts parts,
                          vellumar::LogSinks& logs, vellumar::Clock& clock) {
  Join();
  StopRequested.store(false);
  parts_ = std::move(parts);
  eraseDisplay_.reset();
  worker_ = std::thread([this, request, &logs, &clock] {
    vellumar::ops::ErasureServices services{logs, clock, StopRequested, display_, *this, *this};
    // The job catches what the run throws and ends it as terminated; nothing reaches here.
    const vellumar::ops::ErasureResult result = vellumar::ops::RunConfirmedErasure(request, parts_, services);
    emit Finished(result, eraseDisplay_.value_or(display_));
  });
}

void ErasureWorker::Join() {
  if (worker_.joinable()) {
    worker_.join();
  }
  // The target first: it may still refer to the locker's claims.
  parts_.Target.reset();
  parts_.Volumes.reset();
  parts_.Inspector.reset();
  parts_.Facts.reset();
}

void ErasureWorker::OnProgress(const vellumar::FormatDisplay& display) { emit ProgressChanged(display); }

void ErasureWorker::OnPhase(vellumar::RunPhase phase) {
  if ((phase == vellumar::RunPhase::VerifyingFull || phase == vellumar::RunPhase::VerifyingSample) && !eraseDisplay_) {
    eraseDisplay_ = display_;
  }
  emit PhaseChanged(phase);
}

void ErasureWorker::SetControlsEnabled(bool enabled) { emit ControlsEnabledChanged(enabled); }

void ErasureWorker::SetStopEnabled(bool enabled) { emit StopEnabledChanged(enabled); }

void ErasureWorker::SetBarPaused(bool paused) { emit BarPausedChanged(paused); }

}  // namespace vellumar::desktop
