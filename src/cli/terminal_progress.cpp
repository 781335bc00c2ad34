#include "cli/terminal_progress.h"

namespace vellumar::cli {

void TerminalProgress::OnProgress(const vellumar::FormatDisplay& display) {
  if (!enabled_) {
    return;
  }
  err_ << "\r\033[K" << display.PercentText << "   " << display.PositionText << "   " << display.SpeedText
       << std::flush;
  shown_ = true;
}

void TerminalProgress::Clear() {
  if (enabled_ && shown_) {
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
  }
}

}  // namespace vellumar::cli
