#pragma once

#include <optional>

#include "devices/ata/identify_decoder.h"

namespace vellumar {

// What the reports learned about the chosen drive and must remember between them: the
// IDENTIFY data decoded before any S.M.A.R.T. command was sent, so that a S.M.A.R.T. report
// can put the drive's S.M.A.R.T. switch back the way it found it. One object per chosen drive.
struct AtaDriveState {
  std::optional<T_IDE_PASSPORT> Identify;
  // Whether the drive itself answered IDENTIFY; the kernel's cached copy (the legacy route) may
  // tell an old state of the S.M.A.R.T. switch.
  bool IdentifyFromDrive = false;

  // True only when the drive itself said that S.M.A.R.T. was switched off.
  bool SmartKnownDisabled() const {
    return IdentifyFromDrive && Identify.has_value() && Identify->smartsupport && !Identify->smartenabled;
  }
};

}  // namespace vellumar
