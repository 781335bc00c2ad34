// The core reads NVMe pages by byte offset (it may not include system headers). Here each
// offset is held against the NVMe library's own structures, so a wrong one fails the build.
#include <nvme/types.h>

#include <cstddef>

#include "devices/nvme/nvme_admin.h"
#include "devices/nvme/nvme_layout.h"

namespace L = vellumar::nvme_layout;

static_assert(sizeof(nvme_id_ctrl) == vellumar::kNvmeIdentifyBytes);
static_assert(sizeof(nvme_id_ns) == vellumar::kNvmeIdentifyBytes);
static_assert(sizeof(nvme_smart_log) == vellumar::kNvmeHealthLogBytes);

static_assert(offsetof(nvme_id_ctrl, sn) == L::kCtrlSerial && sizeof(nvme_id_ctrl::sn) == L::kCtrlSerialLength);
static_assert(offsetof(nvme_id_ctrl, mn) == L::kCtrlModel && sizeof(nvme_id_ctrl::mn) == L::kCtrlModelLength);
static_assert(offsetof(nvme_id_ctrl, fr) == L::kCtrlFirmware && sizeof(nvme_id_ctrl::fr) == L::kCtrlFirmwareLength);
static_assert(offsetof(nvme_id_ctrl, ver) == L::kCtrlVersion);
static_assert(offsetof(nvme_id_ctrl, oacs) == L::kCtrlOacs);
static_assert(offsetof(nvme_id_ctrl, wctemp) == L::kCtrlWarningTemperature);
static_assert(offsetof(nvme_id_ctrl, cctemp) == L::kCtrlCriticalTemperature);
static_assert(offsetof(nvme_id_ctrl, sanicap) == L::kCtrlSanitizeCapabilities);
static_assert(offsetof(nvme_id_ctrl, nn) == L::kCtrlNamespaceCount);
static_assert(offsetof(nvme_id_ctrl, oncs) == L::kCtrlOncs);
static_assert(offsetof(nvme_id_ctrl, fna) == L::kCtrlFormatAttributes);
static_assert(offsetof(nvme_sanitize_log_page, sprog) == L::kSanitizeProgress);
static_assert(offsetof(nvme_sanitize_log_page, sstat) == L::kSanitizeStatus);
static_assert(offsetof(nvme_sanitize_log_page, scdw10) == L::kSanitizeCdw10);
static_assert(offsetof(nvme_sanitize_log_page, eto) == L::kSanitizeTimeOverwrite);
static_assert(offsetof(nvme_sanitize_log_page, etbe) == L::kSanitizeTimeBlockErase);
static_assert(offsetof(nvme_sanitize_log_page, etce) == L::kSanitizeTimeCryptoErase);
static_assert(sizeof(nvme_sanitize_log_page) == vellumar::kNvmeSanitizeLogBytes);
static_assert(offsetof(nvme_id_ctrl, vwc) == L::kCtrlVolatileWriteCache);

static_assert(offsetof(nvme_id_ns, nsze) == L::kNsSize);
static_assert(offsetof(nvme_id_ns, ncap) == L::kNsCapacity);
static_assert(offsetof(nvme_id_ns, nuse) == L::kNsUtilization);
static_assert(offsetof(nvme_id_ns, nlbaf) == L::kNsFormatCount);
static_assert(offsetof(nvme_id_ns, flbas) == L::kNsFormattedLbaSize);
static_assert(offsetof(nvme_id_ns, lbaf) == L::kNsLbaFormats);
static_assert(sizeof(nvme_id_ns::lbaf) / sizeof(nvme_lbaf) >= L::kNsLbaFormatEntries && sizeof(nvme_lbaf) == 4);
static_assert(offsetof(nvme_lbaf, ms) == 0 && offsetof(nvme_lbaf, ds) == 2);

static_assert(offsetof(nvme_smart_log, critical_warning) == L::kLogCriticalWarning);
static_assert(offsetof(nvme_smart_log, temperature) == L::kLogTemperature);
static_assert(offsetof(nvme_smart_log, avail_spare) == L::kLogAvailableSpare);
static_assert(offsetof(nvme_smart_log, spare_thresh) == L::kLogSpareThreshold);
static_assert(offsetof(nvme_smart_log, percent_used) == L::kLogPercentageUsed);
static_assert(offsetof(nvme_smart_log, data_units_read) == L::kLogDataUnitsRead);
static_assert(offsetof(nvme_smart_log, data_units_written) == L::kLogDataUnitsWritten);
static_assert(offsetof(nvme_smart_log, host_reads) == L::kLogHostReads);
static_assert(offsetof(nvme_smart_log, host_writes) == L::kLogHostWrites);
static_assert(offsetof(nvme_smart_log, ctrl_busy_time) == L::kLogBusyTime);
static_assert(offsetof(nvme_smart_log, power_cycles) == L::kLogPowerCycles);
static_assert(offsetof(nvme_smart_log, power_on_hours) == L::kLogPowerOnHours);
static_assert(offsetof(nvme_smart_log, unsafe_shutdowns) == L::kLogUnsafeShutdowns);
static_assert(offsetof(nvme_smart_log, media_errors) == L::kLogMediaErrors);
static_assert(offsetof(nvme_smart_log, num_err_log_entries) == L::kLogErrorLogEntries);

// The command codes, too.
static_assert(nvme_admin_get_log_page == vellumar::kNvmeAdminGetLogPage);
static_assert(nvme_admin_identify == vellumar::kNvmeAdminIdentify);
static_assert(nvme_admin_get_features == vellumar::kNvmeAdminGetFeatures);
static_assert(NVME_IDENTIFY_CNS_NS == vellumar::kNvmeCnsNamespace);
static_assert(NVME_IDENTIFY_CNS_CTRL == vellumar::kNvmeCnsController);
static_assert(NVME_LOG_LID_SMART == vellumar::kNvmeLogHealth);
static_assert(NVME_FEAT_FID_VOLATILE_WC == vellumar::kNvmeFeatureVolatileWriteCache);
