#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vellumar::platform {

// Whole-disk names that can hold a drive the program works on (sd*, nvme*n*, vd*, xvd*, hd*,
// mmcblk*, loop*); RAM disks, zram, device-mapper, md and optical drives are not among them.
bool IsCandidateDiskName(const std::string& name);

// Orders disk names the way the kernel hands them out: sdz before sdaa, nvme2n1 before nvme10n1.
bool NaturalDiskLess(const std::string& a, const std::string& b);

// The candidate disks of `sysfsRoot`/block in natural order; a disk's position is its drive
// number. Loop devices count only while attached and writable, or with `readOnlyToo` (for a
// check that only reads) while attached.
std::vector<std::string> ListCandidateDisks(const std::string& sysfsRoot, bool readOnlyToo = false);

// The kernel name of the block device `major`:`minor` (a disk or a partition).
std::optional<std::string> BlockNameOf(const std::string& sysfsRoot, unsigned major, unsigned minor);

}  // namespace vellumar::platform
