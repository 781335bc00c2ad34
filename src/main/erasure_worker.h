#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "devices/base/clock.h"
#include "devices/base/log_sinks.h"
#include "devices/certificate/certificate.h"
#include "devices/erase/format_controller.h"
#include "devices/verify/sample_plan.h"
#include "main/main_services.h"

namespace vellumar::desktop {

// One format run on its own thread. The window confirms first and starts it; progress, control
// states and the end come back as signals, which reach the window queued on its own thread.
// Stop is an atomic flag the worker reads once per block.
class FormatRun : public QObject, private vellumar::FormatObserver, private vellumar::RunControls {
  Q_OBJECT

 public:
  explicit FormatRun(QObject* parent = nullptr);
  ~FormatRun() override;

  // The run's confirmation has already been given; the worker goes straight to the header.
  // `verify` reads the device back after a run that completed, on the run's thread.
  void Start(const vellumar::RunRequest& request, RunParts parts, vellumar::LogSinks& logs, vellumar::Clock& clock,
             vellumar::VerifyMethod verify = vellumar::VerifyMethod::None);

  bool Running() const { return worker_.joinable(); }
  void RequestStop() { StopRequested.store(true); }
  // Blocks until the worker has returned; nothing it uses is released before that.
  void Join();

  std::atomic<bool> StopRequested{false};

  // The last run's check and the run's own speed text, for its certificate; read after Join.
  const std::optional<vellumar::CertificateCheck>& LastCheck() const { return check_; }
  const std::string& RunSpeed() const { return runSpeed_; }

 signals:
  void ProgressChanged(const vellumar::FormatDisplay& display);
  void ControlsEnabledChanged(bool enabled);
  void StopEnabledChanged(bool enabled);
  void BarPausedChanged(bool paused);
  void Finished(const vellumar::RunReport& report);

 private:
  void OnProgress(const vellumar::FormatDisplay& display) override;
  void SetControlsEnabled(bool enabled) override;
  void SetStopEnabled(bool enabled) override;
  void SetBarPaused(bool paused) override;
  // The end of a run that threw: the reason in the format log, the controls given back.
  vellumar::RunReport Terminated(vellumar::LogSinks& logs, const std::string& why);

  // Kept between runs: a run that never measures a speed shows the previous run's text.
  vellumar::FormatDisplay display_;
  RunParts parts_;
  std::optional<vellumar::CertificateCheck> check_;
  std::string runSpeed_;
  std::thread worker_;
};

}  // namespace vellumar::desktop
