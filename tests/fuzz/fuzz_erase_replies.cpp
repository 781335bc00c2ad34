// The answers of the firmware-erase commands: sense data after ATA PASS-THROUGH turned into an
// ATA reply and read as SANITIZE STATUS EXT, and the NVMe Sanitize Status log page.
#include <cstdlib>

#include "devices/ata/ata_sanitize.h"
#include "devices/nvme/nvme_erase.h"
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
  return 0;
}
