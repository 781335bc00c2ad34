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
  std::uint8_t AtaDevice = 0;
  // COUNT: 15:0 from the descriptor format, 7:0 from the fixed format.
  std::uint16_t AtaCount = 0;
  // The answer was to a 48-bit command (the descriptor's EXTEND bit, the fixed format's flag).
  bool AtaExtended = false;
  // The LBA registers came back whole: 23:0, and 47:24 of a 48-bit answer (known to be zero in
  // the fixed format, which cannot carry them). S.M.A.R.T. RETURN STATUS answers in mid/high.
  bool HasAtaLba = false;
  std::uint8_t AtaLbaMid = 0;
  std::uint8_t AtaLbaHigh = 0;
  // LBA 47:0 of a 48-bit answer, 23:0 otherwise (a 28-bit command's 27:24 is in AtaDevice).
  std::uint64_t AtaLba = 0;
};

// ATA PASS-THROUGH (16), and the ATA status bits that mean the command failed.
inline constexpr std::uint8_t kAtaPassThrough16 = 0x85;
inline constexpr std::uint8_t kAtaStatusError = 0x01;
inline constexpr std::uint8_t kAtaStatusDeviceFault = 0x20;

inline constexpr std::uint8_t kSenseKeyNoSense = 0x00;
inline constexpr std::uint8_t kSenseKeyRecoveredError = 0x01;
inline constexpr std::uint8_t kSenseKeyAbortedCommand = 0x0B;

// Parses fixed format (either of the two places libata has put the ATA registers in; see
// ata_sense.cpp) and descriptor format (the ATA Status Return descriptor, code 0x09). Reads
// only the bytes in `sense`: pass the bytes the kernel says it wrote.
AtaSense ParseAtaSense(std::span<const std::uint8_t> sense);

// True when the sense only reports the ATA registers of a command that went well: NO SENSE or
// RECOVERED ERROR with "ATA PASS-THROUGH INFORMATION AVAILABLE" (00/1D) and the status's
// error and device-fault bits clear.
bool IsAtaStatusReturnOnly(const AtaSense& sense);

}  // namespace vellumar::platform
