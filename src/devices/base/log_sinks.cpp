#include "devices/base/log_sinks.h"

#include "devices/base/text_format.h"

namespace vellumar {

void LogSink::SetWriter(Writer writer) {
  const std::lock_guard<std::mutex> lock(mutex_);
  writer_ = std::move(writer);
}

void LogSink::SetTap(Writer tap) {
  const std::lock_guard<std::mutex> lock(mutex_);
  tap_ = std::move(tap);
}

void LogSink::Append(const std::string& entry) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (writer_) {
    writer_(entry);
  }
  if (tap_) {
    tap_(entry);
  }
}

std::string LogSinks::Stamped(std::string_view text) {
  return FormatTimestamp(clock_.LocalTime(), locale_) + "   " + std::string(text);
}

void LogSinks::BenchMarkLog(std::string_view text) { BenchMark.Append(Stamped(text)); }

void LogSinks::BenchMarkPlain(std::string_view text) { BenchMark.Append(std::string(text)); }

void LogSinks::DebugLog(std::string_view text) {
  if (DebugMode.load()) {
    Debug.Append(Stamped(text));
  }
}

void LogSinks::DetailsLog(std::string_view text) { Details.Append(std::string(text)); }

void LogSinks::SmartLog(std::string_view text) { Smart.Append(std::string(text)); }

}  // namespace vellumar
