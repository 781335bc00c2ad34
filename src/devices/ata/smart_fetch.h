#pragma once

#include <functional>

#include "devices/ata/ata_drive_state.h"
#include "devices/ata/ata_transport.h"
#include "devices/base/drive_record.h"

namespace vellumar {

// Fetches the data sector the way the report does (on the ATA bus enable, read, and switch
// S.M.A.R.T. off again only where it was off). `whileEnabled` runs after a good read, before
// that switch, for callers that read more while S.M.A.R.T. is on. False when nothing came.
bool FetchSmartData(const TIdentifyDeviceData& id, AtaPassThrough* ata, AtaDriveState& state, AtaSector& data,
                    const std::function<void()>& whileEnabled = {});

}  // namespace vellumar
