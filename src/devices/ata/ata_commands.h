#pragma once

#include <cstdint>
#include <span>

#include "devices/ata/ata_transport.h"

namespace vellumar {

inline constexpr std::uint8_t kAtaCommandSmart = 0xB0;
inline constexpr std::uint8_t kAtaCommandIdentifyDevice = 0xEC;
inline constexpr std::uint8_t kSmartFeatureReadData = 0xD0;
inline constexpr std::uint8_t kSmartFeatureEnableOperations = 0xD8;
inline constexpr std::uint8_t kSmartFeatureDisableOperations = 0xD9;

// 0xA0 for the master, 0xB0 for the slave.
std::uint8_t DriveHeadFor(std::uint8_t slave);

// Register blocks of the four commands the reports send.
AtaRegisters SmartRegisters(std::uint8_t feature, std::uint8_t slave);
AtaRegisters IdentifyDeviceRegisters(std::uint8_t slave);

// SMART ENABLE / DISABLE OPERATIONS, through the pass-through route only.
bool SmartEnableOperations(AtaPassThrough& ata, std::uint8_t slave);
bool SmartDisableOperations(AtaPassThrough& ata, std::uint8_t slave);

// SMART READ DATA and IDENTIFY DEVICE: the pass-through route, then once the legacy route.
// `destination` changes only on success.
bool SmartReadData(AtaPassThrough& ata, std::uint8_t slave, std::span<std::uint8_t, kAtaSectorBytes> destination);
// `route`, when given, tells which route answered.
bool AtaIdentifyDevice(AtaPassThrough& ata, std::uint8_t slave, std::span<std::uint8_t, kAtaSectorBytes> destination,
                       AtaRoute* route = nullptr);

}  // namespace vellumar
