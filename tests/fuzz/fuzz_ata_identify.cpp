// IDENTIFY DEVICE data as a drive sends it, through the decoder, the details report's lines and
// JSON, and the hidden-area check. Input: the IDENTIFY sector, the DEVICE CONFIGURATION IDENTIFY
// sector, a control byte, the READ NATIVE MAX ADDRESS answer (6 bytes, lowest first).
#include <algorithm>

#include "devices/ata/hidden_area.h"
#include "devices/ata/identify_decoder.h"
#include "devices/reports/details_report.h"
#include "devices/reports/report_json.h"
#include "fuzz_support.h"

namespace {

using namespace vellumar;

// A drive that answers the hidden-area check's commands from the input.
class InputDrive final : public AtaLbaQuery, public AtaPassThrough {
 public:
  InputDrive(const AtaSector& dco, std::uint8_t control, std::uint64_t native)
      : dco_(dco), control_(control), native_(native) {}

  std::optional<std::uint64_t> ReturnedLba(std::uint8_t, std::uint8_t, bool extended) override {
    if ((control_ & 1U) != 0) {
      return std::nullopt;
    }
    // No more than the registers can carry.
    return native_ & (extended ? 0xFFFF'FFFF'FFFFU : 0x0FFF'FFFFU);
  }
  bool NonDataCommand(AtaRoute, std::uint8_t, const AtaRegisters&) override { return false; }
  bool PioDataIn(AtaRoute, std::uint8_t, const AtaRegisters&, std::span<std::uint8_t, kAtaSectorBytes> out) override {
    if ((control_ & 2U) != 0) {
      return false;
    }
    std::copy(dco_.begin(), dco_.end(), out.begin());
    return true;
  }

 private:
  AtaSector dco_;
  std::uint8_t control_;
  std::uint64_t native_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const AtaSector identify = fuzz::Chunk<kAtaSectorBytes>(data, size);
  AtaSector dco = fuzz::Chunk<kAtaSectorBytes>(data, size, kAtaSectorBytes);
  const auto tail = fuzz::Chunk<7>(data, size, 2 * kAtaSectorBytes);
  if ((tail[0] & 4U) != 0) {
    // A valid signature and checksum, which the fuzzer would rarely find by itself.
    dco[510] = 0xA5;
    unsigned sum = 0;
    std::for_each(dco.begin(), dco.end() - 1, [&sum](std::uint8_t byte) { sum += byte; });
    dco[511] = static_cast<std::uint8_t>(0x100U - (sum & 0xFFU));
  }
  std::uint64_t native = 0;
  for (std::size_t i = 6; i > 0; --i) {
    native = (native << 8U) | tail[i];
  }

  const T_IDE_PASSPORT passport = DecodeIdePassport(identify);
  for (const std::string& line : DetailsLines(passport, LocaleSettings{})) {
    fuzz::RequireClean(line);
  }
  fuzz::RequireJson(AtaDetailsSectorJson("identify.bin", identify));

  InputDrive drive(dco, tail[0], native);
  const HiddenAreaReport report = CheckHiddenArea(identify, 0, drive, drive);
  for (const std::string& line : HiddenAreaWarnings(report)) {
    fuzz::RequireClean(line);
  }
  return 0;
}
