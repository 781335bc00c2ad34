#include "devices/ata/ata_commands.h"

namespace vellumar {

namespace {

// The S.M.A.R.T. command is recognised only with these two values in the cylinder registers.
constexpr std::uint8_t kSmartCylinderLow = 0x4F;
constexpr std::uint8_t kSmartCylinderHigh = 0xC2;

bool DataInWithFallback(AtaPassThrough& ata, std::uint8_t slave, const AtaRegisters& registers,
                        std::span<std::uint8_t, kAtaSectorBytes> destination, AtaRoute* route = nullptr) {
  for (const AtaRoute attempt : {AtaRoute::PassThrough, AtaRoute::Legacy}) {
    if (ata.PioDataIn(attempt, slave, registers, destination)) {
      if (route != nullptr) {
        *route = attempt;
      }
      return true;
    }
  }
  return false;
}

}  // namespace

std::uint8_t DriveHeadFor(std::uint8_t slave) { return static_cast<std::uint8_t>(0xA0U | ((slave & 1U) << 4U)); }

AtaRegisters SmartRegisters(std::uint8_t feature, std::uint8_t slave) {
  return AtaRegisters{feature, 1, 1, kSmartCylinderLow, kSmartCylinderHigh, DriveHeadFor(slave), kAtaCommandSmart};
}

AtaRegisters IdentifyDeviceRegisters(std::uint8_t slave) {
  return AtaRegisters{0, 1, 1, 0, 0, DriveHeadFor(slave), kAtaCommandIdentifyDevice};
}

bool SmartEnableOperations(AtaPassThrough& ata, std::uint8_t slave) {
  return ata.NonDataCommand(AtaRoute::PassThrough, slave, SmartRegisters(kSmartFeatureEnableOperations, slave));
}

bool SmartDisableOperations(AtaPassThrough& ata, std::uint8_t slave) {
  return ata.NonDataCommand(AtaRoute::PassThrough, slave, SmartRegisters(kSmartFeatureDisableOperations, slave));
}

bool SmartReadData(AtaPassThrough& ata, std::uint8_t slave, std::span<std::uint8_t, kAtaSectorBytes> destination) {
  return DataInWithFallback(ata, slave, SmartRegisters(kSmartFeatureReadData, slave), destination);
}

bool AtaIdentifyDevice(AtaPassThrough& ata, std::uint8_t slave, std::span<std::uint8_t, kAtaSectorBytes> destination,
                       AtaRoute* route) {
  return DataInWithFallback(ata, slave, IdentifyDeviceRegisters(slave), destination, route);
}

}  // namespace vellumar
