#include "platform/linux/volumes/drive_census.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sysfs_fake_tree.h"

namespace vellumar::platform {
namespace drive_census_test {
namespace {

using vellumar::testing::FakeSysfsTree;
namespace fs = std::filesystem;

constexpr int kOwnPid = 999;

// sdb with three partitions: sdb1 carries a file system, sdb2 a volume group, sdb3 swap. The
// fake /proc holds our namespace, two others and a few processes; stat answers from a table
// keyed by the path or by what a /proc link points to.
class DriveCensusTest : public ::testing::Test {
 protected:
  DriveCensusTest() {
    const std::string sdb = tree_.AddDisk("sdb", "pci0000:00/host1/target1:0:0/1:0:0:0", "8:16");
    tree_.AddPartition(sdb, "sdb1", "8:17", 1);
    tree_.AddPartition(sdb, "sdb2", "8:18", 2);
    tree_.AddPartition(sdb, "sdb3", "8:19", 3);
    tree_.AddStacked("dm-0", "254:0", {"sdb2"});
    FakeSysfsTree::Write(tree_.Sys() + "/class/block/dm-0/dm/name", "vg0-data\n");
    Namespace("self", "mnt:[1]",
              "22 1 8:1 / / rw shared:1 - ext4 /dev/sda1 rw\n"
              "40 22 8:17 / /mnt/data rw shared:5 - ext4 /dev/sdb1 rw\n");
    FakeSysfsTree::Write(tree_.Proc() + "/swaps",
                         "Filename Type Size Used Priority\n/dev/sdb3 partition 1048572 0 5\n");
    files_["/dev/sdb1"] = FileId{0, 0, true, ::makedev(8, 17)};
    files_["/dev/sdb"] = FileId{0, 0, true, ::makedev(8, 16)};
    files_["/mnt/data/notes.txt"] = FileId{::makedev(8, 17), 12, false, 0};
    files_["/images/disk.img"] = FileId{::makedev(8, 1), 1234, false, 0};
  }

  void Namespace(const std::string& pid, const std::string& name, const std::string& mountinfo) {
    fs::create_directories(tree_.Proc() + "/" + pid + "/ns");
    fs::create_symlink(name, tree_.Proc() + "/" + pid + "/ns/mnt");
    FakeSysfsTree::Write(tree_.Proc() + "/" + pid + "/mountinfo", mountinfo);
  }
  void Process(int pid, const std::string& command) {
    FakeSysfsTree::Write(tree_.Proc() + "/" + std::to_string(pid) + "/comm", command + "\n");
    fs::create_directories(tree_.Proc() + "/" + std::to_string(pid) + "/fd");
  }
  void OpenFile(int pid, int fd, const std::string& target, const std::string& flags) {
    const std::string dir = tree_.Proc() + "/" + std::to_string(pid);
    fs::create_symlink(target, dir + "/fd/" + std::to_string(fd));
    FakeSysfsTree::Write(dir + "/fdinfo/" + std::to_string(fd), "pos:\t0\nflags:\t" + flags + "\n");
  }
  void AddLoop(const std::string& name, const std::string& dev, const LoopBacking& backing) {
    const std::string folder = tree_.AddDisk(name, "virtual", dev);
    FakeSysfsTree::Write(folder + "/loop/backing_file", backing.Path + "\n");
    loops_[name] = backing;
  }

  CensusSystem System() {
    return CensusSystem{tree_.Sys(),
                        tree_.Proc(),
                        "/dev",
                        [this](const std::string& path) -> std::optional<FileId> {
                          std::error_code error;
                          const fs::path link = fs::read_symlink(path, error);
                          const auto found = files_.find(error ? path : link.string());
                          return found == files_.end() ? std::nullopt : std::optional<FileId>(found->second);
                        },
                        [this](const std::string& name) {
                          LoopBacking loop = loops_[name];
                          loop.Name = name;
                          return loop;
                        },
                        kOwnPid};
  }
  static std::vector<std::string> Texts(const vellumar::DriveCensus& census) {
    std::vector<std::string> texts;
    for (const auto& user : census.Users) {
      texts.push_back(user.Text + (user.OnlyReads ? " [reads]" : ""));
    }
    return texts;
  }

  FakeSysfsTree tree_;
  std::map<std::string, FileId> files_;
  std::map<std::string, LoopBacking> loops_;
};

TEST_F(DriveCensusTest, AnIdleDriveHasOnlyTakes) {
  const vellumar::DriveCensus census = DiskCensus(System(), ::makedev(8, 16));
  EXPECT_EQ(Texts(census), std::vector<std::string>{"/dev/dm-0 (vg0-data) uses /dev/sdb2"});
  ASSERT_EQ(census.Takes.size(), 2U);
  EXPECT_EQ(VolumeTakeText(census.Takes[0]), "unmount /mnt/data (/dev/sdb1)");
  EXPECT_EQ(VolumeTakeText(census.Takes[1]), "switch off swap /dev/sdb3");
}

TEST_F(DriveCensusTest, NamesEveryOtherUserOfTheDrive) {
  Namespace("300", "mnt:[2]", "50 49 8:17 / /srv rw - ext4 /dev/sdb1 rw\n");
  FakeSysfsTree::Write(tree_.Proc() + "/300/comm", "containerd\n");
  Namespace("301", "mnt:[3]", "60 59 8:17 / /mnt/data rw master:5 - ext4 /dev/sdb1 rw\n");  // follows ours
  FakeSysfsTree::Write(tree_.Proc() + "/self/mountinfo",
                       "22 1 8:1 / / rw shared:1 - ext4 /dev/sda1 rw\n"
                       "40 22 8:17 / /mnt/data rw shared:5 - ext4 /dev/sdb1 rw\n"
                       "41 22 8:17 /sub /mnt/bind rw - ext4 /dev/sdb1 rw\n"
                       "42 40 0:30 / /mnt/data/tmp rw - tmpfs tmpfs rw\n");
  AddLoop("loop5", "7:5", LoopBacking{"", "/mnt/data/disk.img", true, FileId{::makedev(8, 17), 77, false, 0}});
  AddLoop("loop6", "7:6", LoopBacking{"", "/gone/disk.img (deleted)", false, {}});
  AddLoop("loop7", "7:7", LoopBacking{"", "/images/other.img", true, FileId{::makedev(8, 1), 5, false, 0}});
  Process(400, "bash");
  OpenFile(400, 3, "/dev/sdb1", "0100002");
  Process(401, "less");
  OpenFile(401, 4, "/mnt/data/notes.txt", "0100000");
  Process(kOwnPid, "vellumar-cli");
  OpenFile(kOwnPid, 5, "/dev/sdb", "0100002");

  const vellumar::DriveCensus census = DiskCensus(System(), ::makedev(8, 16));
  EXPECT_EQ(Texts(census), (std::vector<std::string>{
                               "/mnt/data/tmp is mounted inside /mnt/data (/dev/sdb1)",
                               "/dev/sdb1 is mounted on /mnt/bind showing only /sub, which could not be mounted back "
                               "the same way",
                               "/dev/sdb1 is mounted on /srv in another mount namespace (process 300, containerd)",
                               "/dev/loop5 uses /mnt/data/disk.img on /dev/sdb1",
                               "/dev/loop6 is attached to /gone/disk.img (deleted), which cannot be resolved to tell "
                               "what it uses",
                               "/dev/dm-0 (vg0-data) uses /dev/sdb2",
                               "process 400 (bash) has /dev/sdb1 open",
                               "process 401 (less) has a file open on /dev/sdb1 [reads]",
                           }));
  ASSERT_EQ(census.Takes.size(), 1U) << "the mount with another inside it is no take";
  EXPECT_EQ(census.Takes[0].Node, "/dev/sdb3");
}

TEST_F(DriveCensusTest, ImagesAndLoopDisksAreExaminedThroughWhatTheyUse) {
  AddLoop("loop2", "7:2", LoopBacking{"", "/images/disk.img", true, FileId{::makedev(8, 1), 1234, false, 0}});
  AddLoop("loop3", "7:3", LoopBacking{"", "/dev/sdb1", true, FileId{0, 9, true, ::makedev(8, 17)}});
  FakeSysfsTree::Write(tree_.Proc() + "/swaps",
                       "Filename Type Size Used Priority\n/images/disk.img file 1048572 0 -2\n");
  EXPECT_EQ(Texts(ImageCensus(System(), ::makedev(8, 1), 1234)),
            (std::vector<std::string>{"the image file is active as swap (/images/disk.img)",
                                      "/dev/loop2 uses the image file"}));
  // Writing to loop3 writes sdb1, which is mounted; loop3 itself is not its own user.
  EXPECT_EQ(Texts(DiskCensus(System(), ::makedev(7, 3))),
            std::vector<std::string>{"/dev/sdb1 is mounted on /mnt/data"});
}

}  // namespace
}  // namespace drive_census_test
}  // namespace vellumar::platform
