#pragma once

#include <QObject>
#include <atomic>
#include <optional>
#include <thread>

#include "devices/base/clock.h"
#include "devices/base/log_sinks.h"
#include "devices/erase/format_controller.h"
#include "ops/erasure_job.h"

namespace vellumar::desktop {

// One confirmed erasure on its own thread. The window confirms through the job first and starts
// it; progress, control states and the end come back as signals, which reach the window queued
// on its own thread. Stop is an atomic flag the worker reads once per block.
class ErasureWorker : public QObject, private vellumar::FormatObserver, private vellumar::RunControls {
  Q_OBJECT

 public:
  explicit ErasureWorker(QObject* parent = nullptr);
  ~ErasureWorker() override;

  // Runs the confirmed job with `parts`, which the worker keeps until it has been joined.
  void Start(const vellumar::ops::ErasureRequest& request, vellumar::ops::ErasureParts parts, vellumar::LogSinks& logs,
             vellumar::Clock& clock);

  bool Running() const { return worker_.joinable(); }
  void RequestStop() { StopRequested.store(true); }
  // Blocks until the worker has returned; nothing it uses is released before that.
  void Join();

  std::atomic<bool> StopRequested{false};

 signals:
  void ProgressChanged(const vellumar::FormatDisplay& display);
  void ControlsEnabledChanged(bool enabled);
  void StopEnabledChanged(bool enabled);
  void BarPausedChanged(bool paused);
  void PhaseChanged(vellumar::RunPhase phase);
  // `eraseDisplay` is what the erase itself showed last, before any check redrew the displays.
  void Finished(const vellumar::ops::ErasureResult& result, const vellumar::FormatDisplay& eraseDisplay);

 private:
  void OnProgress(const vellumar::FormatDisplay& display) override;
  void OnPhase(vellumar::RunPhase phase) override;
  void SetControlsEnabled(bool enabled) override;
  void SetStopEnabled(bool enabled) override;
  void SetBarPaused(bool paused) override;

  // Kept between runs: a run that never measures a speed shows the previous run's text.
  vellumar::FormatDisplay display_;
  // The erase's last display, kept when the check begins.
  std::optional<vellumar::FormatDisplay> eraseDisplay_;
  vellumar::ops::ErasureParts parts_;
  std::thread worker_;
};

}  // namespace vellumar::desktop
