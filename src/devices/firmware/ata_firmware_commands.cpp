#include "devices/firmware/ata_firmware_commands.h"

#include <array>
#include <cstdio>

namespace vellumar {

namespace {

std::string Hex2(std::uint8_t value) {
  std::array<char, 8> text{};
  const int length = std::snprintf(text.data(), text.size(), "0x%02x", static_cast<unsigned>(value));
  return {text.data(), static_cast<std::size_t>(length)};
}

}  // namespace

AtaSector SecurityPasswordSector(const std::string& password, bool enhancedErase) {
  AtaSector sector{};
  // Word 0 bit 0: the user password (0); bit 1 for SECURITY ERASE UNIT: enhanced.
  sector[0] = enhancedErase ? 0x02 : 0x00;
  for (std::size_t i = 0; i < password.size() && i < 32; ++i) {
    sector[2 + i] = static_cast<std::uint8_t>(password[i]);
  }
  return sector;
}

AtaCommand SecurityDataCommand(std::uint8_t command, std::uint32_t timeoutSeconds) {
  AtaCommand c;
  c.Command = command;
  c.Count = 1;
  c.Direction = AtaDataDirection::Out;
  c.TimeoutSeconds = timeoutSeconds;
  return c;
}

std::optional<AtaEraseFeatures> ReadEraseFeatures(AtaCommandChannel& ata) {
  AtaCommand identify;
  identify.Command = 0xEC;
  identify.Count = 1;
  identify.Direction = AtaDataDirection::In;
  AtaSector sector{};
  if (ata.Run(identify, sector).Kind != AtaReplyKind::Completed) {
    return std::nullopt;
  }
  return DecodeEraseFeatures(sector);
}

std::string AtaReplyText(const AtaReply& reply) {
  std::string text;
  switch (reply.Kind) {
    case AtaReplyKind::Completed:
      return "completed";
    case AtaReplyKind::DeviceError:
      text = "aborted by the drive";
      if (reply.RegistersKnown) {
        text += " (error " + Hex2(reply.Error) + ", status " + Hex2(reply.Status) + ")";
      }
      return text;
    case AtaReplyKind::NotCarried:
      break;
  }
  text = "not delivered";
  if (!reply.Detail.empty()) {
    text += " (" + reply.Detail + ")";
  }
  return text;
}

}  // namespace vellumar
