#include "devices/ata/smart_attribute_names.h"

#include <utility>

namespace vellumar {

namespace {

constexpr std::pair<std::uint8_t, std::string_view> kNamedAttributes[] = {
    {1, "Read error rate"},
    {2, "Throughput performance"},
    {3, "Spin up time"},
    {4, "Number of spin-up times"},
    {5, "Reallocated sectors count"},
    {6, "Read channel margin"},
    {7, "Seek error rate"},
    {8, "Seek performance"},
    {9, "Power-on time"},
    {10, "Spin-up retries"},
    {11, "Calibration retries"},
    {12, "Power Cycles"},
    {13, "Soft read error rate"},
    {99, "Average FHC (all heads)"},
    {100, "Minimum FHC"},
    {101, "Maximum FHC"},
    {184, "End to End Error"},
    {187, "Reported Uncorrectable"},
    {188, "Command Time Out"},
    {189, "High Fly Writes"},
    {190, "Airflow Temperature"},
    {192, "Power-off retract count"},
    {193, "Load/unload cycle count"},
    {194, "HDA Temperature"},
    {195, "Hardware ECC recovered"},
    {196, "Reallocate event count"},
    {197, "Current pending sectors"},
    {198, "Offline scan UNC sectors"},
    {199, "Ultra ATA CRC Error Rate"},
    {200, "Write error rate at preamp"},
    {201, "Off Track Read Errors"},
    {202, "DAM Read Errors"},
    {203, "ECC Read Errors"},
    {204, "Soft ECC Corrections"},
    {205, "Thermal Aspirates"},
    {207, "High Current Spin-Up"},
    {208, "Spin Buzz"},
    {209, "Off Line Seek Performance"},
    {210, "Vibration during Write"},
    {211, "Vibration during Read"},
    {212, "Shock during Write"},
    {220, "Disk shift"},
    {221, "G-Sensor shock conuter"},
    {222, "Loaded hours"},
    {223, "Load retry count"},
    {224, "Load friction"},
    {225, "Load cycle count"},
    {226, "Load-in time"},
    {227, "Torque amplification"},
    {228, "Power-off retract count"},
    {229, "Fly height measurement"},
    {230, "GMR head amplitude"},
    {232, "Available Reserved Space"},
    {233, "Media Wearout Indicator"},
};

constexpr std::array<std::string_view, 255> BuildNameTable() {
  std::array<std::string_view, 255> table{};
  for (const auto& [id, name] : kNamedAttributes) {
    table[static_cast<std::size_t>(id) - 1] = name;
  }
  return table;
}

}  // namespace

const std::array<std::string_view, 255> SmartAttributeNames = BuildNameTable();

std::string SmartAttributeName(std::uint8_t id) {
  const std::string_view name = id == 0 ? std::string_view() : SmartAttributeNames[static_cast<std::size_t>(id) - 1];
  return PadRight(std::string(name.empty() ? "Unknown" : name), kSmartNameWidth);
}

std::string PadRight(std::string text, std::size_t width) {
  if (text.size() < width) {
    text.append(width - text.size(), ' ');
  }
  return text;
}

std::string PadLeft(std::string text, std::size_t width) {
  if (text.size() < width) {
    text.insert(0, width - text.size(), ' ');
  }
  return text;
}

}  // namespace vellumar
