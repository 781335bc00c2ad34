#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellumar {

// One whole disk the system shows now: its kernel name and its size in 512-byte units. A loop
// device exists before anything is attached to it; only its size tells that it was.
struct PresentDisk {
  std::string Name;
  std::int64_t Sectors = 0;
  bool operator==(const PresentDisk&) const = default;
};

// Tells a front end when drives come and go, so its list can follow them.
class DriveWatch {
 public:
  virtual ~DriveWatch() = default;
  // A handle the front end can wait on: it becomes readable when the system announces a change.
  // -1 when nothing announces changes here; the front end then relies on Poll alone.
  virtual int AnnouncementHandle() const { return -1; }
  // Reads what was announced and looks at the disks. `disks` gets the disks present now, in
  // name order; true when they differ from the last poll or a change was announced meanwhile.
  // Never blocks; the first poll only takes stock and says false.
  virtual bool Poll(std::vector<PresentDisk>& disks) = 0;
};

}  // namespace vellumar
