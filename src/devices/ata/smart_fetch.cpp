#include "devices/ata/smart_fetch.h"

#include "devices/ata/ata_commands.h"
#include "devices/ata/identify_decoder.h"

namespace vellumar {

namespace {

// Reads IDENTIFY once when nothing is known yet, so the report knows how it found the switch.
void LearnSmartSwitch(AtaPassThrough& ata, std::uint8_t slave, AtaDriveState& state) {
  if (state.Identify.has_value()) {
    return;
  }
  AtaSector identify{};
  AtaRoute route = AtaRoute::Legacy;
  if (AtaIdentifyDevice(ata, slave, identify, &route)) {
    state.Identify = DecodeIdePassport(identify);
    state.IdentifyFromDrive = route == AtaRoute::PassThrough;
  }
}

}  // namespace

bool FetchSmartData(const TIdentifyDeviceData& id, AtaPassThrough* ata, AtaDriveState& state, AtaSector& data,
                    const std::function<void()>& whileEnabled) {
  if (ata == nullptr) {
    return false;
  }
  if (id.BusType != kBusAta) {
    const bool read = SmartReadData(*ata, id.IsIDESlave, data);
    if (read && whileEnabled) {
      whileEnabled();
    }
    return read;
  }
  LearnSmartSwitch(*ata, id.IsIDESlave, state);
  const bool wasOff = state.SmartKnownDisabled();
  bool fetched = SmartEnableOperations(*ata, id.IsIDESlave);
  if (fetched) {
    fetched = SmartReadData(*ata, id.IsIDESlave, data);
  }
  if (fetched && whileEnabled) {
    whileEnabled();
  }
  // Leaving the drive's own failure monitoring off is only right when it was off before.
  if (wasOff) {
    SmartDisableOperations(*ata, id.IsIDESlave);
  }
  return fetched;
}

}  // namespace vellumar
