#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "devices/ata/ata_transport.h"

namespace vellumar {

// What a drive's IDENTIFY DEVICE data says about it. Fields the decoder doesn't set keep
// these starting values.
struct T_IDE_PASSPORT {
  std::string name;
  std::string fw;
  std::string sn;
  bool lba28support = false;
  bool lba48support = false;
  std::int64_t lba28sectors = 0;
  std::int64_t lba48sectors = 0;
  std::int64_t lbasectors = 0;
  std::uint8_t readmultiplesectors = 0;
  bool securitysupport = false;
  bool locked = false;
  bool lockedmax = false;
  bool hpasupport = false;
  bool smartsupport = false;
  bool smartenabled = false;
  bool aamsupport = false;
  bool dmasupport = false;
  std::uint8_t dmamodesupport = 0;
  std::uint8_t dmamodeselected = 0;
  bool isremovable = false;
  bool ispacket = false;
  std::uint32_t buffersize = 0;
  std::int64_t sectorsize = 0;
  bool QueueSupported = false;
  std::int64_t QueueDepth = 0;
  bool StreamingSupported = false;
};

// Decodes 512 bytes of IDENTIFY DEVICE data (256 little-endian words). Never fails; applies no
// plausibility test.
T_IDE_PASSPORT DecodeIdePassport(std::span<const std::uint8_t, kAtaSectorBytes> identify);

// An ATA text field (two characters per word, the first in the high byte) in reading order,
// with the space fill and NULs trimmed from both ends. Bytes above 0x7F are read as Latin-1.
std::string AtaTextField(std::span<const std::uint8_t, kAtaSectorBytes> identify, std::size_t firstWord,
                         std::size_t wordCount);

}  // namespace vellumar
