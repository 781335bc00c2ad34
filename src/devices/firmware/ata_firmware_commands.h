#pragma once

#include <optional>
#include <string>

#include "devices/ata/ata_command.h"
#include "devices/ata/ata_security.h"
#include "devices/ata/ata_transport.h"

namespace vellumar {

inline constexpr std::uint8_t kAtaSecuritySetPassword = 0xF1;
inline constexpr std::uint8_t kAtaSecurityUnlock = 0xF2;
inline constexpr std::uint8_t kAtaSecurityErasePrepare = 0xF3;
inline constexpr std::uint8_t kAtaSecurityEraseUnit = 0xF4;
inline constexpr std::uint8_t kAtaSecurityDisablePassword = 0xF6;

// The sector the security commands carry: word 0 control bits, words 1-16 the password as
// typed, zero padded (the byte order other tools use, so a printed password unlocks the drive
// there too).
AtaSector SecurityPasswordSector(const std::string& password, bool enhancedErase);

// A security command with one sector of data out.
AtaCommand SecurityDataCommand(std::uint8_t command, std::uint32_t timeoutSeconds = 60);

// IDENTIFY DEVICE through the command channel, decoded; nullopt when it did not answer.
std::optional<AtaEraseFeatures> ReadEraseFeatures(AtaCommandChannel& ata);

// "completed", "aborted (error 0x04, status 0x51)", "not delivered (sense 05/24/00)".
std::string AtaReplyText(const AtaReply& reply);

}  // namespace vellumar
