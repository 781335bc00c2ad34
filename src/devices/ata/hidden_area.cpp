#include "devices/ata/hidden_area.h"

#include <algorithm>

#include "devices/base/text_format.h"

namespace vellumar {

namespace {

std::uint16_t Word(std::span<const std::uint8_t, kAtaSectorBytes> data, std::size_t index) {
  return static_cast<std::uint16_t>(data[2 * index] | (data[2 * index + 1] << 8U));
}

bool Bit(std::uint16_t word, unsigned bit) { return ((static_cast<unsigned>(word) >> bit) & 1U) != 0; }

// Word 83 (and 82) are valid only when bit 14 is set and bit 15 clear.
bool CommandSetWordValid(std::uint16_t word) { return Bit(word, 14) && !Bit(word, 15); }

std::uint64_t Words(std::span<const std::uint8_t, kAtaSectorBytes> data, std::size_t first, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i-- > 0;) {
    value = (value << 16U) | Word(data, first + i);
  }
  return value;
}

// A DCO IDENTIFY sector ends in signature 0xA5 and a checksum that makes all bytes sum to 0.
bool DcoSectorValid(const AtaSector& sector) {
  if (sector[510] != 0xA5) {
    return false;
  }
  unsigned sum = 0;
  for (const std::uint8_t byte : sector) {
    sum += byte;
  }
  return (sum & 0xFFU) == 0;
}

// Counts as the report keeps them. A drive's counts are 48-bit; a corrupt one is held at the top
// of the signed range, so that the differences below cannot overflow.
std::int64_t Sectors(std::uint64_t count) {
  return static_cast<std::int64_t>(std::min<std::uint64_t>(count, INT64_MAX));
}

// The sectors from 0 up to and including `maxLba`.
std::int64_t SectorsUpTo(std::uint64_t maxLba) { return maxLba >= INT64_MAX ? INT64_MAX : Sectors(maxLba) + 1; }

// How many more sectors `larger` counts than `smaller`; both are at least 0.
std::int64_t Excess(std::int64_t larger, std::int64_t smaller) { return larger > smaller ? larger - smaller : 0; }

std::string HiddenLine(std::int64_t sectors, const char* by) {
  return "Warning: " + GroupThousands(sectors) + " sectors at the end of this device are hidden by " + by +
         " and will not be erased.";
}

}  // namespace

std::string HiddenAreaStatusName(HiddenAreaStatus status) {
  switch (status) {
    case HiddenAreaStatus::None:
      return "none";
    case HiddenAreaStatus::Hidden:
      return "hidden";
    case HiddenAreaStatus::NotChecked:
      break;
  }
  return "not checked";
}

IdentifyCapacity ReadIdentifyCapacity(std::span<const std::uint8_t, kAtaSectorBytes> identify) {
  IdentifyCapacity capacity;
  const std::uint16_t supported2 = Word(identify, 83);
  const bool valid = CommandSetWordValid(supported2);
  capacity.HostProtectedArea = valid && Bit(Word(identify, 82), 10);
  capacity.Lba48 = valid && Bit(supported2, 10);
  capacity.ReportedSectors = Sectors(capacity.Lba48 ? Words(identify, 100, 4) : Words(identify, 60, 2));
  return capacity;
}

HiddenAreaReport CheckHiddenArea(std::span<const std::uint8_t, kAtaSectorBytes> identify, std::uint8_t slave,
                                 AtaLbaQuery& query, AtaPassThrough& ata) {
  HiddenAreaReport report;
  const std::uint16_t supported2 = Word(identify, 83);
  const bool valid = CommandSetWordValid(supported2);
  const IdentifyCapacity capacity = ReadIdentifyCapacity(identify);
  const bool lba48 = capacity.Lba48;
  report.ReportedSectors = capacity.ReportedSectors;
  if (!capacity.HostProtectedArea) {
    // Without the host protected area feature set the drive cannot hide sectors that way.
    report.Status = HiddenAreaStatus::None;
    report.NativeSectors = report.ReportedSectors;
  } else {
    const auto native = query.ReturnedLba(slave, lba48 ? kAtaReadNativeMaxAddressExt : kAtaReadNativeMaxAddress, lba48);
    if (!native) {
      report.Reason = "the drive did not answer READ NATIVE MAX ADDRESS";
      return report;
    }
    report.NativeSectors = SectorsUpTo(*native);
    report.HpaHiddenSectors = Excess(report.NativeSectors, report.ReportedSectors);
  }
  if (valid && Bit(supported2, 11)) {
    AtaRegisters registers;
    registers.Features = kDcoFeatureIdentify;
    registers.DriveHead = static_cast<std::uint8_t>(0xA0U | (slave != 0 ? 0x10U : 0U));
    registers.Command = kAtaDeviceConfiguration;
    AtaSector dco{};
    if (ata.PioDataIn(AtaRoute::PassThrough, slave, registers, dco) && DcoSectorValid(dco)) {
      report.DcoSectors = SectorsUpTo(Words(dco, 3, 4));
      report.DcoHiddenSectors = Excess(report.DcoSectors, report.NativeSectors);
    }
  }
  report.Status =
      report.HpaHiddenSectors > 0 || report.DcoHiddenSectors > 0 ? HiddenAreaStatus::Hidden : HiddenAreaStatus::None;
  return report;
}

std::vector<std::string> HiddenAreaWarnings(const HiddenAreaReport& report) {
  std::vector<std::string> lines;
  if (report.HpaHiddenSectors > 0) {
    lines.push_back(HiddenLine(report.HpaHiddenSectors, "a host protected area"));
  }
  if (report.DcoHiddenSectors > 0) {
    lines.push_back(HiddenLine(report.DcoHiddenSectors, "a device configuration overlay"));
  }
  return lines;
}

}  // namespace vellumar
