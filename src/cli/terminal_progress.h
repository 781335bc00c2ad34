#pragma once

#include <ostream>

#include "devices/erase/format_engine.h"

namespace vellumar::cli {

// One live progress line on a terminal, redrawn in place once per block.
class TerminalProgress final : public vellumar::FormatObserver {
 public:
  TerminalProgress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  void OnProgress(const vellumar::FormatDisplay& display) override;
  // Clears the line so a log line can take its place.
  void Clear();

 private:
  std::ostream& err_;
  bool enabled_;
  bool shown_ = false;
};

}  // namespace vellumar::cli
