#include "platform/linux/sysfs/sysfs_disks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "devices/base/drive_record.h"
#include "platform/linux/sysfs/sysfs_bus.h"
#include "sysfs_fake_tree.h"

namespace vellumar::platform {
namespace {

using vellumar::testing::FakeSysfsTree;

TEST(SysfsDisks, CandidateNames) {
  for (const char* name : {"sda", "sdaa", "hdb", "vda", "xvdc", "nvme0n1", "nvme12n3", "mmcblk0", "loop7"}) {
    EXPECT_TRUE(IsCandidateDiskName(name)) << name;
  }
  for (const char* name : {"sda1", "ram0", "zram0", "dm-0", "md127", "sr0", "nvme0c0n1", "nvme0n1p1", "mmcblk0boot0",
                           "mmcblk0rpmb", "mmcblk0p1", "loop0p1", "nbd0"}) {
    EXPECT_FALSE(IsCandidateDiskName(name)) << name;
  }
}

TEST(SysfsDisks, NaturalOrder) {
  std::vector<std::string> names = {"sdaa", "loop10",  "sdb", "nvme10n1", "sda",    "loop2",
                                    "sdz",  "nvme2n1", "vda", "nvme0n1",  "nvme0n2"};
  std::sort(names.begin(), names.end(), NaturalDiskLess);
  EXPECT_EQ(names, (std::vector<std::string>{"nvme0n1", "nvme0n2", "nvme2n1", "nvme10n1", "sda", "sdb", "sdz", "sdaa",
                                             "vda", "loop2", "loop10"}));
}

TEST(SysfsDisks, ListsOnlyUsableCandidatesInNaturalOrder) {
  FakeSysfsTree tree;
  tree.AddDisk("sdb", "pci0000:00/host1/target1:0:0/1:0:0:0", "8:16");
  tree.AddDisk("sda", "pci0000:00/host0/target0:0:0/0:0:0:0", "8:0");
  const std::string attached = tree.AddDisk("loop0", "virtual", "7:0");
  FakeSysfsTree::Write(attached + "/loop/backing_file", "/tmp/a.img\n");
  FakeSysfsTree::Write(attached + "/ro", "0\n");
  tree.AddDisk("loop1", "virtual", "7:1");  // not attached
  const std::string readOnly = tree.AddDisk("loop2", "virtual", "7:2");
  FakeSysfsTree::Write(readOnly + "/loop/backing_file", "/snap/core.snap\n");
  FakeSysfsTree::Write(readOnly + "/ro", "1\n");
  const std::string hidden = tree.AddDisk("nvme0n1", "pci0000:00/nvme/nvme0", "259:0");
  FakeSysfsTree::Write(hidden + "/hidden", "1\n");
  tree.AddDisk("zram0", "virtual", "253:0");
  tree.AddDisk("dm-0", "virtual", "254:0");
  tree.AddDisk("sr0", "pci0000:00/host2/target2:0:0/2:0:0:0", "11:0");

  EXPECT_EQ(ListCandidateDisks(tree.Sys()), (std::vector<std::string>{"sda", "sdb", "loop0"}));
  EXPECT_EQ(BlockNameOf(tree.Sys(), 8, 16).value_or(""), "sdb");
  EXPECT_FALSE(BlockNameOf(tree.Sys(), 8, 32).has_value());
}

TEST(SysfsBus, ClassifiesEveryKindOfDisk) {
  struct BusCase {
    const char* Name;
    const char* Parent;
    std::int64_t Bus;
  };
  FakeSysfsTree tree;
  const std::string ahci = "pci0000:00/0000:00:1f.2/ata1";
  FakeSysfsTree::Write(tree.Sys() + "/devices/" + ahci + "/link1/ata_link/link1/sata_spd", "3.0 Gbps\n");
  const std::string piix = "pci0000:00/0000:00:01.1/ata2";
  FakeSysfsTree::Write(tree.Sys() + "/devices/" + piix + "/link2/ata_link/link2/sata_spd", "<unknown>\n");
  const std::vector<BusCase> cases = {
      {"sda", "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0", kBusSata},
      {"sdb", "pci0000:00/0000:00:01.1/ata2/host1/target1:0:1/1:0:1:0", kBusAta},
      {"sdc", "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", kBusUsb},
      {"sdd", "pci0000:00/0000:00:03.0/0000:02:00.0/host3/port-3:0/end_device-3:0/target3:0:0/3:0:0:0", kBusSas},
      {"sde", "platform/host7/session1/target7:0:0/7:0:0:0", kBusIscsi},
      {"sdf", "pci0000:00/0000:00:1e.0/0000:05:00.0/fw0/fw0.0/host8/target8:0:0/8:0:0:0", kBus1394},
      {"sdg", "pci0000:00/0000:00:10.0/host2/target2:0:0/2:0:0:0", kBusScsi},
      {"sdh", "pci0000:00/0000:00:05.0/virtio2/host9/target9:0:0/9:0:0:0", kBusVirtual},
      {"vda", "pci0000:00/0000:00:04.0/virtio1", kBusVirtual},
      {"xvda", "vbd-51712", kBusVirtual},
      {"nvme0n1", "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", kBusNvme},
      {"loop0", "virtual", kBusFileBackedVirtual},
  };
  unsigned minor = 0;
  for (const BusCase& c : cases) {
    tree.AddDisk(c.Name, c.Parent, "8:" + std::to_string(minor++));
  }
  tree.AddDisk("mmcblk0", "platform/mmc0/mmc0:0001", "179:0");
  FakeSysfsTree::Write(tree.Sys() + "/devices/platform/mmc0/mmc0:0001/type", "SD\n");
  tree.AddDisk("mmcblk1", "platform/mmc1/mmc1:0001", "179:8");
  FakeSysfsTree::Write(tree.Sys() + "/devices/platform/mmc1/mmc1:0001/type", "MMC\n");

  for (const BusCase& c : cases) {
    EXPECT_EQ(ClassifyBus(tree.Sys(), c.Name).value_or(255), c.Bus) << c.Name;
  }
  EXPECT_EQ(ClassifyBus(tree.Sys(), "mmcblk0").value_or(255), kBusSd);
  EXPECT_EQ(ClassifyBus(tree.Sys(), "mmcblk1").value_or(255), kBusMmc);
  EXPECT_EQ(BusTypeName(kBusNvme), "UNKNOWN");
}

TEST(SysfsBus, AdapterFactsFromTheBusAndTheQueueLimit) {
  FakeSysfsTree tree;
  tree.AddDisk("sda", "platform/odd-controller", "8:0");
  const std::string disk = tree.AddDisk("loop0", "virtual", "7:0");
  vellumar::StorageAdapterFacts adapter;
  EXPECT_FALSE(ClassifyBus(tree.Sys(), "sda").has_value());
  EXPECT_FALSE(ReadAdapterFacts(tree.Sys(), "sda", adapter)) << "an unknown bus is a failed adapter query";
  ASSERT_TRUE(ReadAdapterFacts(tree.Sys(), "loop0", adapter));
  EXPECT_EQ(adapter.MaximumTransferLength, 65536U) << "without a limit, the substitute length";
  FakeSysfsTree::Write(disk + "/queue/max_hw_sectors_kb", "32767\n");
  ASSERT_TRUE(ReadAdapterFacts(tree.Sys(), "loop0", adapter));
  EXPECT_EQ(adapter.MaximumTransferLength, 32767U * 1024U);
  EXPECT_EQ(adapter.BusType, kBusFileBackedVirtual);
}

TEST(SysfsBus, SlaveIsAnOddScsiTarget) {
  FakeSysfsTree tree;
  tree.AddDisk("sda", "pci0000:00/0000:00:01.1/ata1/host0/target0:0:0/0:0:0:0", "8:0");
  tree.AddDisk("sdb", "pci0000:00/0000:00:01.1/ata1/host0/target0:0:1/0:0:1:0", "8:16");
  tree.AddDisk("sdc", "pci0000:00/0000:00:01.1/ata2/host1/target1:0:3/1:0:3:0", "8:32");
  tree.AddDisk("sdd", "pci0000:00/0000:00:01.1/ata2/host1/target1:0:2/1:0:2:0", "8:48");
  tree.AddDisk("vda", "pci0000:00/0000:00:04.0/virtio1", "254:0");
  for (const auto& [disk, slave] :
       {std::pair{"sda", false}, {"sdb", true}, {"sdc", true}, {"sdd", false}, {"vda", false}}) {
    EXPECT_EQ(DetectIdeSlave(tree.Sys(), disk), slave) << disk;
  }
}

}  // namespace
}  // namespace vellumar::platform
