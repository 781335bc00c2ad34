#pragma once

#include <string>
#include <vector>

#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/nvme/nvme_admin.h"
#include "devices/nvme/nvme_decoder.h"

namespace vellumar {

inline constexpr std::string_view kNvmeHealthPassedLine = "Overall health: PASSED";

// The lines of the details page of an NVMe drive after the heading. `writeCacheEnabled` is
// empty when the controller did not tell.
std::vector<std::string> NvmeDetailsLines(const NvmeController& controller, std::uint32_t namespaceId,
                                          const NvmeNamespace& ns, std::optional<bool> writeCacheEnabled);

// The lines of the S.M.A.R.T. page of an NVMe drive after the heading, ending with the verdict
// and a blank line.
std::vector<std::string> NvmeSmartLines(const NvmeHealth& health);

// "Overall health: PASSED", or "Overall health: FAILING (" + the warnings + ")".
std::string NvmeVerdictLine(std::uint8_t criticalWarning);

// Both pages of an NVMe drive, written to DetailsLog or SmartLog under the usual heading. A
// channel that cannot answer gives the reports' "unavailable" lines. False in that case.
bool RunNvmeDetailsReport(const std::string& driveCaption, NvmeAdminChannel& channel, LogSinks& logs);
bool RunNvmeSmartReport(const std::string& driveCaption, NvmeAdminChannel& channel, LogSinks& logs);

}  // namespace vellumar
