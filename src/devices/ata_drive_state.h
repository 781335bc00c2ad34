#pragma once

#include <optional>

#include "devices/identify_decoder.h"

namespace vellumar {

// What the reports learned about the chosen drive and must remember between them: the
// IDENTIFY data decoded before any S.M.A.R.T. command was sent, so that a S.M.A.R.T. report
// can put the drive's S.M.A.R.T. switch back the way it found it. One object per chosen drive.
struct AtaDriveState {
  std::optional<T_IDE_PASSPORT> Identify;

  // True only when the drive is known to have had S.M.A.R.T. switched off.
  bool SmartKnownDisabled() const { return Identify.has_value() && Identify->smartsupport && !Identify->smartenabled; }
};

}  // namespace vellumar
