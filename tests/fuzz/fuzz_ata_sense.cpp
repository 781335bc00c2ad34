// SCSI sense data after ATA PASS-THROUGH, fixed and descriptor format: the status parser and the
// LBA that READ NATIVE MAX ADDRESS leaves in the registers.
#include <cstdlib>

#include "platform/linux/ata/ata_sense.h"
#include "platform/linux/ata/sg_ata_lba_query.h"

using namespace vellumar::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> sense(data, size);
  (void)IsAtaStatusReturnOnly(ParseAtaSense(sense));
  // The registers hold 28 bits, or 48 in the extended form.
  const auto lba = ReturnedLbaFromSense(sense, false);
  const auto lba48 = ReturnedLbaFromSense(sense, true);
  if ((lba && *lba >= (std::uint64_t{1} << 28U)) || (lba48 && *lba48 >= (std::uint64_t{1} << 48U))) {
    std::abort();
  }
  return 0;
}
