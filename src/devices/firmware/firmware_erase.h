#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "devices/ata/ata_command.h"
#include "devices/base/clock.h"
#include "devices/base/log_sinks.h"
#include "devices/erase/format_engine.h"
#include "devices/firmware/firmware_methods.h"
#include "devices/nvme/nvme_admin.h"

namespace vellumar {

// What one firmware erase needs: the command channels on the run's own handle, the logs and
// displays, a way to wait between status polls, and a source of random passwords.
struct FirmwareRunContext {
  AtaCommandChannel* Ata = nullptr;
  NvmeAdminChannel* Nvme = nullptr;
  LogSinks& Logs;
  Clock& WallClock;
  FormatDisplay& Display;
  FormatObserver& Observer;
  std::function<void(std::uint32_t seconds)> Pause;
  // A fresh random password of printable characters, which the user can type if it is left set.
  std::function<std::string()> NewPassword;
};

struct FirmwareRunResult {
  bool Succeeded = false;
  // Whether any command that changes the drive was sent: a run that sent none changed nothing.
  bool Sent = false;
  // The final command's status in words ("completed", "aborted (error 0x04, status 0x51)").
  std::string Status;
  // Why it failed, as a line for people; empty on success.
  std::string Why;
  std::int64_t Seconds = 0;
  // The drive's own estimate, in minutes, when it gave one.
  std::optional<std::uint32_t> EstimateMinutes;
  // The security password could not be removed: it was printed in the log.
  bool PasswordLeftSet = false;
  std::string Password;
};

// Runs `method` on the drive whose `facts` were read before the run, and confirms its result by
// reading the drive's state again. Synchronous; a sanitize is followed to its end.
FirmwareRunResult RunFirmwareErase(FirmwareMethod method, const FirmwareFacts& facts, FirmwareRunContext& context);

// The parts, for the tests of each family.
FirmwareRunResult RunAtaSecurityErase(bool enhanced, const FirmwareFacts& facts, FirmwareRunContext& context);
FirmwareRunResult RunAtaSanitize(FirmwareMethod method, FirmwareRunContext& context);
FirmwareRunResult RunNvmeErase(FirmwareMethod method, const FirmwareFacts& facts, FirmwareRunContext& context);

// Seconds between two sanitize status polls, and how many unanswered polls in a row end the wait.
inline constexpr std::uint32_t kSanitizePollSeconds = 5;
inline constexpr int kSanitizeLostPolls = 12;

}  // namespace vellumar
