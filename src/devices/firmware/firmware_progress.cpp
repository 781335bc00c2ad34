#include "devices/firmware/firmware_progress.h"

#include <algorithm>
#include <chrono>

namespace vellumar {

namespace {

std::string MinutesSeconds(std::int64_t seconds) {
  const std::int64_t minutes = seconds / 60;
  const std::int64_t rest = seconds % 60;
  return std::to_string(minutes) + ":" + (rest < 10 ? "0" : "") + std::to_string(rest);
}

}  // namespace

FirmwareProgress::FirmwareProgress(FirmwareRunContext& context, std::optional<std::uint32_t> estimateMinutes)
    : context_(context), estimateMinutes_(estimateMinutes), startMs_(context.WallClock.NowMs()) {
  context_.Observer.OnPhase(RunPhase::Sanitizing);
  Show(0, "elapsed 0:00");
}

FirmwareProgress::~FirmwareProgress() { Stop(); }

std::int64_t FirmwareProgress::ElapsedSeconds() {
  // The wall clock may step back; elapsed time never goes below zero.
  return std::max<std::int64_t>(0, (context_.WallClock.NowMs() - startMs_) / 1000);
}

void FirmwareProgress::Show(int percent, const std::string& position) {
  FormatDisplay& display = context_.Display;
  display.BarPosition = std::clamp(percent, 0, 100);
  display.PercentText = std::to_string(display.BarPosition) + "%";
  display.PositionText = position;
  display.SpeedText.clear();
  display.DoneBytes = display.BarPosition;
  display.TotalBytes = 100;
  context_.Observer.OnProgress(display);
}

void FirmwareProgress::Fraction(std::uint16_t progress) {
  const int percent = static_cast<int>((static_cast<std::uint32_t>(progress) * 100U) / 65536U);
  Show(percent, "elapsed " + MinutesSeconds(ElapsedSeconds()));
}

void FirmwareProgress::Elapsed() {
  const std::int64_t seconds = ElapsedSeconds();
  std::string position = "elapsed " + MinutesSeconds(seconds);
  int percent = 0;
  if (estimateMinutes_ && *estimateMinutes_ > 0) {
    const std::int64_t estimate = static_cast<std::int64_t>(*estimateMinutes_) * 60;
    position += " of about " + MinutesSeconds(estimate);
    // Held below 100 %: only the drive's answer ends the erase.
    percent = static_cast<int>(std::min<std::int64_t>(99, seconds * 100 / estimate));
  }
  Show(percent, position);
}

void FirmwareProgress::TickWhileBlocked() {
  ticker_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) {
      Elapsed();
    }
  });
}

void FirmwareProgress::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (ticker_.joinable()) {
    ticker_.join();
  }
}

void FirmwareProgress::Finished() {
  Stop();
  Show(100, "elapsed " + MinutesSeconds(ElapsedSeconds()));
}

}  // namespace vellumar
