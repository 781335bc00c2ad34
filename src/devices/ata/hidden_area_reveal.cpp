#include "devices/ata/hidden_area_reveal.h"

#include "devices/base/text_format.h"

namespace vellumar {

namespace {

constexpr std::uint8_t kIdentifyDevice = 0xEC;

std::string NotRevealed(const std::string& why) { return "Hidden area not revealed: " + why + "."; }

// Why the host protected area cannot or need not be opened; empty when it can.
std::string Refusal(const IdentifyCapacity& capacity, const HiddenAreaReport& report) {
  if (!capacity.HostProtectedArea) {
    return "the drive has no host protected area";
  }
  if (report.Status == HiddenAreaStatus::NotChecked || report.NativeSectors <= 0) {
    return "the drive's native size is unknown";
  }
  if (report.HpaHiddenSectors <= 0) {
    return report.DcoHiddenSectors > 0
               ? "the sectors are hidden by a device configuration overlay, which this program leaves alone"
               : "no sectors are hidden";
  }
  if (report.ReportedSectors != capacity.ReportedSectors) {
    return "the drive's size changed since it was checked";
  }
  return {};
}

std::string Failure(const std::string& command, const AtaReply& reply) {
  if (reply.Kind == AtaReplyKind::DeviceError) {
    return "the drive refused " + command;
  }
  return command + " was not delivered" + (reply.Detail.empty() ? "" : " (" + reply.Detail + ")");
}

}  // namespace

HiddenAreaReveal RevealHiddenArea(std::span<const std::uint8_t, kAtaSectorBytes> identify,
                                  const HiddenAreaReport& report, AtaCommandChannel& ata) {
  HiddenAreaReveal result;
  const IdentifyCapacity capacity = ReadIdentifyCapacity(identify);
  result.SectorsBefore = capacity.ReportedSectors;
  if (const std::string why = Refusal(capacity, report); !why.empty()) {
    result.Line = NotRevealed(why);
    return result;
  }
  const bool lba48 = capacity.Lba48;
  const auto maxLba = static_cast<std::uint64_t>(report.NativeSectors - 1);

  AtaCommand readNative;
  readNative.Command = lba48 ? kAtaReadNativeMaxAddressExt : kAtaReadNativeMaxAddress;
  readNative.Extended = lba48;
  readNative.ReturnRegisters = true;
  const AtaReply native = ata.Run(readNative, {});
  if (native.Kind != AtaReplyKind::Completed || !native.RegistersKnown) {
    result.Line = NotRevealed(Failure(lba48 ? "READ NATIVE MAX ADDRESS EXT" : "READ NATIVE MAX ADDRESS", native));
    return result;
  }
  if (native.Lba != maxLba) {
    result.Line = NotRevealed("the drive's native size changed since it was checked");
    return result;
  }

  // COUNT bit 0 (value volatile) stays 0: the drive goes back to its hidden area at the next
  // power cycle or hardware reset. Set, it would keep the new size for good.
  AtaCommand setMax;
  setMax.Command = lba48 ? kAtaSetMaxAddressExt : kAtaSetMaxAddress;
  setMax.Lba = maxLba;
  setMax.Extended = lba48;
  const std::string setMaxName = lba48 ? "SET MAX ADDRESS EXT" : "SET MAX ADDRESS";
  result.Sent = true;
  const AtaReply set = ata.Run(setMax, {});

  // IDENTIFY again even after a failure: the size the drive reports now is what the run faces.
  AtaCommand identifyAgain;
  identifyAgain.Command = kIdentifyDevice;
  identifyAgain.Count = 1;
  identifyAgain.Direction = AtaDataDirection::In;
  AtaSector after{};
  const bool identified = ata.Run(identifyAgain, after).Kind == AtaReplyKind::Completed;
  if (identified) {
    result.SectorsAfter = ReadIdentifyCapacity(after).ReportedSectors;
  }
  if (set.Kind != AtaReplyKind::Completed) {
    result.Line = NotRevealed(Failure(setMaxName, set));
  } else if (!identified) {
    result.Line = "Hidden area not confirmed: IDENTIFY DEVICE did not answer after " + setMaxName + ".";
  } else if (result.SectorsAfter != report.NativeSectors) {
    result.Line = NotRevealed("after " + setMaxName + " the drive reports " + GroupThousands(result.SectorsAfter) +
                              " sectors, not its native " + GroupThousands(report.NativeSectors));
  } else {
    result.Confirmed = true;
    result.Line = "Hidden area revealed: " + GroupThousands(result.SectorsAfter - result.SectorsBefore) +
                  " sectors now reachable (until the next power cycle).";
    if (report.DcoHiddenSectors > 0) {
      result.Line += " " + GroupThousands(report.DcoHiddenSectors) +
                     " sectors hidden by a device configuration overlay stay hidden.";
    }
  }
  return result;
}

}  // namespace vellumar
