#pragma once

#include <string>
#include <vector>

#include "devices/base/log_sinks.h"

namespace vellumar::testing {

// Collects what reaches one sink; `Texts` drops the timestamp and its three spaces.
class LogCapture {
 public:
  explicit LogCapture(vellumar::LogSink& sink) {
    sink.SetWriter([this](const std::string& entry) { entries_.push_back(entry); });
  }

  const std::vector<std::string>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const std::string& entry : entries_) {
      const auto cut = entry.find("   ");
      texts.push_back(cut == std::string::npos ? entry : entry.substr(cut + 3));
    }
    return texts;
  }

 private:
  std::vector<std::string> entries_;
};

}  // namespace vellumar::testing
