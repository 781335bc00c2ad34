#pragma once

#include <cstdint>
#include <span>

namespace vellumar::platform {

// What SCSI sense data says about an ATA PASS-THROUGH command.
struct AtaSense {
  bool Valid = false;  // a fixed (0x70/0x71) or descriptor (0x72/0x73) format was recognised
  std::uint8_t ResponseCode = 0;
  std::uint8_t SenseKey = 0;
  std::uint8_t Asc = 0;
  std::uint8_t Ascq = 0;
  bool HasAtaRegisters = false;
  std::uint8_t AtaError = 0;
  std::uint8_t AtaStatus = 0;
  // The LBA registers, from the descriptor format only (S.M.A.R.T. RETURN STATUS answers there).
  bool HasAtaLba = false;
  std::uint8_t AtaLbaMid = 0;
  std::uint8_t AtaLbaHigh = 0;
};

// ATA PASS-THROUGH (16), and the ATA status bits that mean the command failed.
inline constexpr std::uint8_t kAtaPassThrough16 = 0x85;
inline constexpr std::uint8_t kAtaStatusError = 0x01;
inline constexpr std::uint8_t kAtaStatusDeviceFault = 0x20;

inline constexpr std::uint8_t kSenseKeyNoSense = 0x00;
inline constexpr std::uint8_t kSenseKeyRecoveredError = 0x01;
inline constexpr std::uint8_t kSenseKeyAbortedCommand = 0x0B;

// Parses fixed format (libata puts the ATA error and status registers in bytes 8 and 9) and
// descriptor format (the ATA Status Return descriptor, code 0x09).
AtaSense ParseAtaSense(std::span<const std::uint8_t> sense);

// True when the sense only reports the ATA registers of a command that went well: NO SENSE or
// RECOVERED ERROR with "ATA PASS-THROUGH INFORMATION AVAILABLE" (00/1D) and the status's
// error and device-fault bits clear.
bool IsAtaStatusReturnOnly(const AtaSense& sense);

}  // namespace vellumar::platform
