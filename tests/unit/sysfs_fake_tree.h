#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vellumar::testing {

// A throw-away sysfs and /proc tree shaped like the kernel's: block devices live under
// devices/, and block/, class/block/ and dev/block/ hold links to them.
class FakeSysfsTree {
 public:
  FakeSysfsTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vellumar-sysfs-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
    std::filesystem::create_directories(Sys() + "/block");
    std::filesystem::create_directories(Sys() + "/class/block");
    std::filesystem::create_directories(Sys() + "/dev/block");
    std::filesystem::create_directories(Proc() + "/self");
  }
  ~FakeSysfsTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  FakeSysfsTree(const FakeSysfsTree&) = delete;
  FakeSysfsTree& operator=(const FakeSysfsTree&) = delete;

  std::string Sys() const { return root_ + "/sys"; }
  std::string Proc() const { return root_ + "/proc"; }

  // A whole disk at devices/<parent>/block/<name>; with a parent other than "virtual" the disk
  // gets a device/ link to its parent. Returns the disk's folder.
  std::string AddDisk(const std::string& name, const std::string& parent, const std::string& dev) {
    const std::string folder = Sys() + "/devices/" + parent + "/block/" + name;
    std::filesystem::create_directories(folder);
    Write(folder + "/dev", dev + "\n");
    if (parent.rfind("virtual", 0) != 0) {
      std::filesystem::create_directory_symlink(Sys() + "/devices/" + parent, folder + "/device");
    }
    Link(folder, name, dev, true);
    return folder;
  }

  std::string AddPartition(const std::string& diskFolder, const std::string& name, const std::string& dev, int number) {
    const std::string folder = diskFolder + "/" + name;
    std::filesystem::create_directories(folder);
    Write(folder + "/dev", dev + "\n");
    Write(folder + "/partition", std::to_string(number) + "\n");
    Link(folder, name, dev, false);
    return folder;
  }

  // A device-mapper or md device on top of `lower` (kernel names).
  std::string AddStacked(const std::string& name, const std::string& dev, const std::vector<std::string>& lower) {
    const std::string folder = AddDisk(name, "virtual", dev);
    std::filesystem::create_directories(folder + "/slaves");
    for (const std::string& below : lower) {
      std::filesystem::create_directory_symlink(Sys() + "/class/block/" + below, folder + "/slaves/" + below);
      std::filesystem::create_directories(Sys() + "/class/block/" + below + "/holders");
      std::filesystem::create_directory_symlink(folder, Sys() + "/class/block/" + below + "/holders/" + name);
    }
    return folder;
  }

  static void Write(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
  }
  static void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  void Link(const std::string& folder, const std::string& name, const std::string& dev, bool wholeDisk) {
    if (wholeDisk) {
      std::filesystem::create_directory_symlink(folder, Sys() + "/block/" + name);
    }
    std::filesystem::create_directory_symlink(folder, Sys() + "/class/block/" + name);
    std::filesystem::create_directory_symlink(folder, Sys() + "/dev/block/" + dev);
  }

  std::string root_;
};

}  // namespace vellumar::testing
