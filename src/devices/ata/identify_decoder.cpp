#include "devices/ata/identify_decoder.h"

#include "devices/base/text_format.h"

namespace vellumar {

namespace {

class IdentifyWords {
 public:
  explicit IdentifyWords(std::span<const std::uint8_t, kAtaSectorBytes> bytes) : bytes_(bytes) {}

  std::uint16_t Word(std::size_t index) const {
    return static_cast<std::uint16_t>(bytes_[2 * index] | (bytes_[2 * index + 1] << 8U));
  }
  bool Bit(std::size_t index, unsigned bit) const { return ((static_cast<unsigned>(Word(index)) >> bit) & 1U) != 0; }
  // Consecutive words as one number, the first word lowest.
  std::uint64_t Words(std::size_t first, std::size_t count) const {
    std::uint64_t value = 0;
    for (std::size_t i = count; i > 0; --i) {
      value = (value << 16U) | Word(first + i - 1);
    }
    return value;
  }

 private:
  std::span<const std::uint8_t, kAtaSectorBytes> bytes_;
};

// Number of the highest set bit among `bits` bits starting at `lowest`; 0 when none is set.
std::uint8_t HighestSetBit(std::uint16_t word, unsigned lowest, unsigned bits) {
  std::uint8_t highest = 0;
  for (unsigned bit = 0; bit < bits; ++bit) {
    if (((static_cast<unsigned>(word) >> (lowest + bit)) & 1U) != 0) {
      highest = static_cast<std::uint8_t>(bit);
    }
  }
  return highest;
}

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0U | (code >> 6U));
      text += static_cast<char>(0x80U | (code & 0x3FU));
    }
  }
  return text;
}

// Word 106 valid (bit 14 set, bit 15 clear) with bit 12 set: the logical sector is longer
// than 256 words and its size in words stands in words 117-118.
std::int64_t LogicalSectorSize(const IdentifyWords& id) {
  constexpr std::int64_t kDefault = 512;
  const std::uint16_t w106 = id.Word(106);
  const bool valid = (w106 & 0xC000U) == 0x4000U;
  if (!valid || (w106 & 0x1000U) == 0) {
    return kDefault;
  }
  const auto bytes = static_cast<std::int64_t>(id.Words(117, 2)) * 2;
  return bytes < kDefault ? kDefault : bytes;
}

}  // namespace

std::string AtaTextField(std::span<const std::uint8_t, kAtaSectorBytes> identify, std::size_t firstWord,
                         std::size_t wordCount) {
  std::string raw;
  raw.reserve(2 * wordCount);
  for (std::size_t word = firstWord; word < firstWord + wordCount; ++word) {
    raw += static_cast<char>(identify[2 * word + 1]);
    raw += static_cast<char>(identify[2 * word]);
  }
  // A drive's own text: its control characters (C0, DEL and, once widened, C1) never pass on.
  return ReplaceControlCharacters(Latin1ToUtf8(TrimText(raw)));
}

T_IDE_PASSPORT DecodeIdePassport(std::span<const std::uint8_t, kAtaSectorBytes> identify) {
  const IdentifyWords id(identify);
  T_IDE_PASSPORT p;
  p.sn = AtaTextField(identify, 10, 10);
  p.fw = AtaTextField(identify, 23, 4);
  p.name = AtaTextField(identify, 27, 20);

  if (id.Bit(49, 9)) {
    p.lba28support = true;
    p.lba28sectors = static_cast<std::int64_t>(id.Words(60, 2));
    const auto lba48 = static_cast<std::int64_t>(id.Words(100, 4));
    // Equal counts mean the drive needs no 48-bit commands; a negative count is nonsense.
    if (id.Bit(83, 10) && lba48 > p.lba28sectors) {
      p.lba48support = true;
      p.lba48sectors = lba48;
    }
  }
  p.lbasectors = p.lba48support ? p.lba48sectors : p.lba28sectors;
  p.readmultiplesectors = static_cast<std::uint8_t>(id.Word(47) & 0xFFU);

  if (id.Bit(82, 1)) {
    p.securitysupport = true;
    p.locked = id.Bit(128, 2);  // bit 1 only says a password is set
    p.lockedmax = id.Bit(128, 8);
  }
  p.hpasupport = id.Bit(82, 10);
  p.smartsupport = id.Bit(82, 0);
  if (p.smartsupport) {
    p.smartenabled = id.Bit(85, 0);
  }
  p.aamsupport = id.Bit(83, 9);

  p.dmasupport = id.Bit(49, 8) && id.Bit(53, 2);
  if (p.dmasupport) {
    p.dmamodesupport = HighestSetBit(id.Word(88), 0, 7);
    p.dmamodeselected = HighestSetBit(id.Word(88), 8, 7);
  }

  p.buffersize = static_cast<std::uint32_t>(id.Word(21)) * 512U;
  p.sectorsize = LogicalSectorSize(id);
  if (id.Word(75) != 0) {
    p.QueueSupported = true;
    p.QueueDepth = id.Word(75);
  }
  p.StreamingSupported = id.Bit(84, 4);
  return p;
}

}  // namespace vellumar
