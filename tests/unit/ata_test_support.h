#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "devices/ata/ata_transport.h"
#include "devices/base/log_sinks.h"
#include "support/fake_clock.h"

namespace vellumar::atatest {

// One command as the fake drive saw it.
struct AtaCall {
  bool DataIn = false;
  vellumar::AtaRoute Route = vellumar::AtaRoute::PassThrough;
  std::uint8_t Slave = 0;
  vellumar::AtaRegisters Registers;
};

// A scripted ATA pass-through: each call takes the next answer (true when none is left) and a
// successful data-in command copies `Sector`.
class FakeAta final : public vellumar::AtaPassThrough {
 public:
  bool NonDataCommand(vellumar::AtaRoute route, std::uint8_t slave, const vellumar::AtaRegisters& registers) override {
    Calls.push_back({false, route, slave, registers});
    return Next();
  }
  bool PioDataIn(vellumar::AtaRoute route, std::uint8_t slave, const vellumar::AtaRegisters& registers,
                 std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination) override {
    Calls.push_back({true, route, slave, registers});
    const bool ok = Next();
    if (ok) {
      const vellumar::AtaSector& sector = registers.Command == 0xEC ? Identify : Sector;
      std::copy(sector.begin(), sector.end(), destination.begin());
    }
    return ok;
  }

  bool NonDataCommandWithResult(vellumar::AtaRoute route, std::uint8_t slave, const vellumar::AtaRegisters& registers,
                                vellumar::AtaRegisters& result) override {
    Calls.push_back({false, route, slave, registers});
    const bool ok = Next();
    if (ok) {
      result = Result;
    }
    return ok;
  }

  std::deque<bool> Answers;
  vellumar::AtaRegisters Result;  // what a command with a result leaves in the registers
  vellumar::AtaSector Sector{};
  vellumar::AtaSector Identify{};
  std::vector<AtaCall> Calls;

 private:
  bool Next() {
    if (Answers.empty()) {
      return true;
    }
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
};

// Log sinks whose two report logs collect their lines.
struct CapturedLogs {
  CapturedLogs() : Logs(Clock, vellumar::LocaleSettings{}) {
    Logs.Details.SetWriter([this](const std::string& line) { Details.push_back(line); });
    Logs.Smart.SetWriter([this](const std::string& line) { Smart.push_back(line); });
  }
  vellumar::testing::FakeClock Clock;  // always 2024-05-01 13:45:07
  vellumar::LogSinks Logs;
  std::vector<std::string> Details;
  std::vector<std::string> Smart;
};

inline std::string AtaDataPath(const std::string& name) { return std::string(VELLUMAR_TEST_DATA) + "/ata/" + name; }

inline vellumar::AtaSector LoadSector(const std::string& name) {
  std::ifstream file(AtaDataPath(name), std::ios::binary);
  vellumar::AtaSector sector{};
  file.read(reinterpret_cast<char*>(sector.data()), static_cast<std::streamsize>(sector.size()));
  return sector;
}

inline std::vector<std::string> LoadLines(const std::string& name) {
  std::ifstream file(AtaDataPath(name));
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line);
  }
  return lines;
}

// Builds IDENTIFY or S.M.A.R.T. sectors word by word.
class SectorBuilder {
 public:
  SectorBuilder& Word(std::size_t index, std::uint16_t value) {
    bytes_[2 * index] = static_cast<std::uint8_t>(value & 0xFFU);
    bytes_[2 * index + 1] = static_cast<std::uint8_t>(value >> 8U);
    return *this;
  }
  // An ATA text field: two characters per word, the first in the high byte, space filled.
  SectorBuilder& Text(std::size_t firstWord, std::size_t wordCount, const std::string& text) {
    std::string padded = text;
    padded.resize(2 * wordCount, ' ');
    for (std::size_t i = 0; i < wordCount; ++i) {
      Word(firstWord + i, static_cast<std::uint16_t>((static_cast<unsigned char>(padded[2 * i]) << 8U) |
                                                     static_cast<unsigned char>(padded[2 * i + 1])));
    }
    return *this;
  }
  SectorBuilder& Byte(std::size_t offset, std::uint8_t value) {
    bytes_[offset] = value;
    return *this;
  }
  const vellumar::AtaSector& Bytes() const { return bytes_; }

 private:
  vellumar::AtaSector bytes_{};
};

}  // namespace vellumar::atatest
