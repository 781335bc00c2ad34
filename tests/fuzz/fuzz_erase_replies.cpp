// The answers of the firmware-erase commands: sense data after ATA PASS-THROUGH turned into an
// ATA reply and read as SANITIZE STATUS EXT, the NVMe Sanitize Status log page, and an IDENTIFY
// sector's security and sanitize words as the firmware-erase JSON shows them.
#include <cstdlib>

#include "devices/ata/ata_sanitize.h"
#include "devices/nvme/nvme_erase.h"
#include "devices/reports/firmware_json.h"
#include "fuzz_support.h"
#include "platform/linux/ata/ata_sense.h"
#include "platform/linux/ata/sg_ata_command_channel.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> sense(data, size);
  const platform::AtaSense parsed = platform::ParseAtaSense(sense);
  if (parsed.AtaLba >= (std::uint64_t{1} << 48U)) {
    std::abort();
  }
  for (const bool extended : {false, true}) {
    const AtaReply reply = platform::AtaReplyFromSense(0x02, sense, extended);
    // Registers come only from a recognised format, a completed command has ERR clear, and the
    // LBA fits the command's form.
    if ((reply.RegistersKnown && !parsed.HasAtaRegisters) ||
        (reply.Kind == AtaReplyKind::Completed && (reply.Status & 0x01U) != 0) ||
        reply.Lba >= (std::uint64_t{1} << (extended ? 48U : 28U))) {
      std::abort();
    }
    const AtaSanitizeStatus status = DecodeAtaSanitizeStatus(reply);
    if (status.Progress != 0 && !status.InProgress) {
      std::abort();
    }
  }
  const NvmeSanitizeStatus nvme = DecodeNvmeSanitizeLog(fuzz::Chunk<kNvmeSanitizeLogBytes>(data, size));
  fuzz::RequireClean(NvmeSanitizeStateName(nvme.State));
  // The same bytes as an IDENTIFY sector: the methods a drive offers, as list --json tells them.
  FirmwareFacts facts;
  facts.Path = FirmwarePath::Ata;
  facts.Ata = DecodeEraseFeatures(fuzz::Chunk<kAtaSectorBytes>(data, size));
  if (facts.Ata->NormalErase.Reported && facts.Ata->NormalErase.Minutes == 0) {
    std::abort();
  }
  const std::string text = JsonText(FirmwareJson(facts, OfferFirmwareMethods(facts, true)));
  if (text.empty()) {
    std::abort();
  }
  return 0;
}
