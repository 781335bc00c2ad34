#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "devices/base/clock.h"
#include "devices/base/locale_settings.h"

namespace vellumar {

// An appendable text log. A front end plugs in a writer (the CLI prints, the desktop program
// appends to a memo); entries from any thread reach the writer one at a time, whole.
class LogSink {
 public:
  using Writer = std::function<void(const std::string& entry)>;

  void SetWriter(Writer writer);
  // A second reader of every entry after the writer: a job keeps its own lines with it, so a
  // record never depends on what a front end shows. Empty removes it.
  void SetTap(Writer tap);
  void Append(const std::string& entry);

 private:
  std::mutex mutex_;
  Writer writer_;
  Writer tap_;
};

// The program's four logs. The format log and the debug log put the local date and time and
// three spaces before each entry; the debug log writes only in debug mode; the two report
// logs take their lines unchanged.
class LogSinks {
 public:
  LogSinks(Clock& clock, LocaleSettings locale) : clock_(clock), locale_(std::move(locale)) {}

  void BenchMarkLog(std::string_view text);
  // A line in the format log without the timestamp.
  void BenchMarkPlain(std::string_view text);
  void DebugLog(std::string_view text);
  void DetailsLog(std::string_view text);
  void SmartLog(std::string_view text);

  const LocaleSettings& Locale() const { return locale_; }
  Clock& WallClock() { return clock_; }

  std::atomic<bool> DebugMode{false};
  LogSink BenchMark;
  LogSink Debug;
  LogSink Details;
  LogSink Smart;

 private:
  std::string Stamped(std::string_view text);

  Clock& clock_;
  LocaleSettings locale_;
};

}  // namespace vellumar
