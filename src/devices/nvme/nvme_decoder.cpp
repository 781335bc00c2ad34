#include "devices/nvme/nvme_decoder.h"

#include <algorithm>
#include <array>

#include "devices/base/text_format.h"

namespace vellumar {

namespace {

namespace L = nvme_layout;

constexpr std::uint64_t kBytesPerDataUnit = 512000;

std::uint64_t LittleEndian(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i > 0; --i) {
    value = (value << 8U) | bytes[offset + i - 1];
  }
  return value;
}

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(LittleEndian(bytes, offset, 2));
}

std::uint32_t Dword(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(LittleEndian(bytes, offset, 4));
}

// NVMe texts are ASCII, space-filled, in reading order (no byte swapping as in ATA).
std::string Text(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t length) {
  const std::string raw(reinterpret_cast<const char*>(bytes.data() + offset), length);
  return ReplaceControlCharacters(TrimText(raw));
}

NvmeCounter Counter(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return {LittleEndian(bytes, offset, 8), LittleEndian(bytes, offset + 8, 8)};
}

bool Bit(std::uint32_t value, unsigned bit) { return ((value >> bit) & 1U) != 0; }

}  // namespace

NvmeController DecodeNvmeController(std::span<const std::uint8_t, kNvmeIdentifyBytes> page) {
  NvmeController c;
  c.Serial = Text(page, L::kCtrlSerial, L::kCtrlSerialLength);
  c.Model = Text(page, L::kCtrlModel, L::kCtrlModelLength);
  c.Firmware = Text(page, L::kCtrlFirmware, L::kCtrlFirmwareLength);
  c.Version = Dword(page, L::kCtrlVersion);
  c.NamespaceCount = Dword(page, L::kCtrlNamespaceCount);
  const std::uint16_t oacs = Word(page, L::kCtrlOacs);
  c.SecuritySendReceive = Bit(oacs, 0);
  c.FormatNvm = Bit(oacs, 1);
  c.NamespaceManagement = Bit(oacs, 3);
  c.DeviceSelfTest = Bit(oacs, 4);
  c.WriteZeroes = Bit(Word(page, L::kCtrlOncs), 3);
  const std::uint32_t sanitize = Dword(page, L::kCtrlSanitizeCapabilities);
  c.SanitizeCryptoErase = Bit(sanitize, 0);
  c.SanitizeBlockErase = Bit(sanitize, 1);
  c.SanitizeOverwrite = Bit(sanitize, 2);
  c.VolatileWriteCache = Bit(page[L::kCtrlVolatileWriteCache], 0);
  const std::uint8_t fna = page[L::kCtrlFormatAttributes];
  c.FormatAllNamespaces = Bit(fna, 0);
  c.EraseAllNamespaces = Bit(fna, 1);
  c.FormatCryptoErase = Bit(fna, 2);
  c.WarningTemperatureKelvin = Word(page, L::kCtrlWarningTemperature);
  c.CriticalTemperatureKelvin = Word(page, L::kCtrlCriticalTemperature);
  return c;
}

NvmeNamespace DecodeNvmeNamespace(std::span<const std::uint8_t, kNvmeIdentifyBytes> page) {
  NvmeNamespace ns;
  ns.SizeBlocks = LittleEndian(page, L::kNsSize, 8);
  ns.CapacityBlocks = LittleEndian(page, L::kNsCapacity, 8);
  ns.UtilizedBlocks = LittleEndian(page, L::kNsUtilization, 8);
  ns.ActiveFormat = page[L::kNsFormattedLbaSize] & 0x0FU;
  const std::size_t count = std::min<std::size_t>(page[L::kNsFormatCount] + 1U, L::kNsLbaFormatEntries);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = L::kNsLbaFormats + 4 * i;
    NvmeLbaFormat format;
    format.Index = static_cast<std::uint32_t>(i);
    format.MetadataBytes = Word(page, at);
    // The data size is a power of two; below 512 bytes the format is not usable, and a
    // hostile exponent must not shift past the width.
    const unsigned exponent = page[at + 2];
    if (exponent >= 9 && exponent < 32) {
      format.DataBytes = std::uint64_t{1} << exponent;
    }
    ns.Formats.push_back(format);
  }
  return ns;
}

const NvmeLbaFormat* NvmeNamespace::Active() const {
  return ActiveFormat < Formats.size() ? &Formats[ActiveFormat] : nullptr;
}

std::optional<std::uint64_t> NvmeNamespace::CapacityBytes() const {
  const NvmeLbaFormat* active = Active();
  if (active == nullptr || active->DataBytes == 0) {
    return std::nullopt;
  }
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(SizeBlocks, active->DataBytes, &bytes)) {
    return std::nullopt;
  }
  return bytes;
}

std::string NvmeCounter::Decimal() const {
  unsigned __int128 value = (static_cast<unsigned __int128>(High) << 64U) | Low;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  } while (value != 0);
  return digits;
}

NvmeHealth DecodeNvmeHealth(std::span<const std::uint8_t, kNvmeHealthLogBytes> page) {
  NvmeHealth h;
  h.CriticalWarning = page[L::kLogCriticalWarning];
  h.TemperatureKelvin = Word(page, L::kLogTemperature);
  h.AvailableSpare = page[L::kLogAvailableSpare];
  h.SpareThreshold = page[L::kLogSpareThreshold];
  h.PercentageUsed = page[L::kLogPercentageUsed];
  h.DataUnitsRead = Counter(page, L::kLogDataUnitsRead);
  h.DataUnitsWritten = Counter(page, L::kLogDataUnitsWritten);
  h.HostReads = Counter(page, L::kLogHostReads);
  h.HostWrites = Counter(page, L::kLogHostWrites);
  h.BusyMinutes = Counter(page, L::kLogBusyTime);
  h.PowerCycles = Counter(page, L::kLogPowerCycles);
  h.PowerOnHours = Counter(page, L::kLogPowerOnHours);
  h.UnsafeShutdowns = Counter(page, L::kLogUnsafeShutdowns);
  h.MediaErrors = Counter(page, L::kLogMediaErrors);
  h.ErrorLogEntries = Counter(page, L::kLogErrorLogEntries);
  return h;
}

std::string NvmeVersionText(std::uint32_t version) {
  if (version == 0) {
    return "not reported";
  }
  std::string text = std::to_string(version >> 16U) + "." + std::to_string((version >> 8U) & 0xFFU);
  if ((version & 0xFFU) != 0) {
    text += "." + std::to_string(version & 0xFFU);
  }
  return text;
}

int KelvinToCelsius(std::uint16_t kelvin) { return static_cast<int>(kelvin) - 273; }

std::vector<std::string> NvmeCriticalWarnings(std::uint8_t criticalWarning) {
  static constexpr std::array<const char*, 8> kNames = {
      "spare below threshold",       "temperature",    "reliability degraded", "read-only", "volatile backup failed",
      "persistent memory read-only", "reserved bit 6", "reserved bit 7"};
  std::vector<std::string> names;
  for (unsigned bit = 0; bit < kNames.size(); ++bit) {
    if (Bit(criticalWarning, bit)) {
      names.emplace_back(kNames[bit]);
    }
  }
  return names;
}

std::optional<std::uint64_t> NvmeDataUnitBytes(const NvmeCounter& units) {
  std::uint64_t bytes = 0;
  if (!units.FitsIn64() || __builtin_mul_overflow(units.Low, kBytesPerDataUnit, &bytes)) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace vellumar
