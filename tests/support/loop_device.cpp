#include "support/loop_device.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/shell.h"

namespace vellumar::testing {

namespace {

std::string TempPath(const char* pattern) {
  std::string path = std::string("/tmp/") + pattern;
  std::vector<char> buffer(path.begin(), path.end());
  buffer.push_back('\0');
  const int fd = ::mkstemp(buffer.data());
  if (fd >= 0) {
    ::close(fd);
  }
  return buffer.data();
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

LoopDevice::LoopDevice(std::int64_t sizeBytes, const std::string& options, std::uint8_t fill) {
  image_ = TempPath("vellumar-test-XXXXXX");
  {
    std::ofstream out(image_, std::ios::binary | std::ios::trunc);
    const std::vector<char> chunk(1 << 20, static_cast<char>(fill));
    std::int64_t left = sizeBytes;
    while (left > 0) {
      const std::int64_t n =
          left < static_cast<std::int64_t>(chunk.size()) ? left : static_cast<std::int64_t>(chunk.size());
      out.write(chunk.data(), static_cast<std::streamsize>(n));
      left -= n;
    }
  }
  attachment_ = std::make_unique<LoopAttachment>(image_, options);
}

LoopDevice::~LoopDevice() {
  attachment_.reset();
  ::unlink(image_.c_str());
}

LoopAttachment::LoopAttachment(const std::string& backing, const std::string& options) : backing_(backing) {
  const ShellResult result = Shell("losetup --find --show " + options + " " + Quote(backing));
  // The node is the last line; warnings (a file too small to show, say) come before it.
  const std::string output = Trimmed(result.Output);
  const std::string last = output.substr(output.rfind('\n') + 1);
  if (result.ExitCode == 0 && last.rfind("/dev/", 0) == 0) {
    node_ = last;
  } else {
    error_ = result.Output;
  }
}

LoopAttachment::~LoopAttachment() {
  if (!node_.empty()) {
    DetachLoop(node_, backing_);
  }
}

void DetachLoop(const std::string& node, const std::string& backing) {
  const std::string entry = "/sys/block/" + node.substr(node.rfind('/') + 1) + "/loop/backing_file";
  for (int attempt = 0; attempt < 50; ++attempt) {
    Shell("udevadm settle >/dev/null 2>&1; losetup -d " + Quote(node) + " 2>/dev/null");
    std::string shown;
    std::getline(std::ifstream(entry), shown);
    // The kernel shows a deleted backing file with " (deleted)" after its path.
    if (shown.rfind(backing, 0) != 0) {
      return;
    }
    ::usleep(100'000);
  }
}

PartitionedLoop::PartitionedLoop(std::int64_t sizeBytes, const std::string& table) : loop_(sizeBytes, "-P") {
  if (!loop_.Ok()) {
    return;
  }
  const std::string node = Quote(loop_.Node());
  Shell("printf '" + table + "' | sfdisk -q " + node + "; blockdev --rereadpt " + node);
  if (::access(SysfsEntry(1).c_str(), F_OK) != 0) {
    Shell("partx -a " + node);
  }
  for (int number = 1; ::access(SysfsEntry(number).c_str(), F_OK) == 0; ++number) {
    partitioned_ = true;
    const std::string part = Partition(number);
    if (::access(part.c_str(), F_OK) != 0 &&
        Shell("mknod " + Quote(part) + " b $(tr : ' ' < " + Quote(SysfsEntry(number) + "/dev") + ")").ExitCode == 0) {
      made_.push_back(part);
    }
  }
}

PartitionedLoop::~PartitionedLoop() {
  for (const std::string& node : made_) {
    ::unlink(node.c_str());
  }
}

std::string PartitionedLoop::SysfsEntry(int number) const {
  const std::string name = loop_.Node().substr(loop_.Node().rfind('/') + 1);
  return "/sys/block/" + name + "/" + name + "p" + std::to_string(number);
}

bool PartitionedLoop::PartitionsGone() const { return ::access(SysfsEntry(1).c_str(), F_OK) != 0; }

std::int64_t NonZeroBytes(const std::string& path, std::int64_t begin, std::int64_t end) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(begin);
  std::vector<char> block(1 << 20);
  std::int64_t count = 0;
  for (std::int64_t at = begin; end < 0 || at < end;) {
    const std::int64_t want = end < 0 ? static_cast<std::int64_t>(block.size())
                                      : std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), end - at);
    in.read(block.data(), static_cast<std::streamsize>(want));
    const std::streamsize got = in.gcount();
    if (got <= 0) {
      break;
    }
    count += std::count_if(block.begin(), block.begin() + got, [](char c) { return c != 0; });
    at += got;
  }
  return count;
}

MountGuard::MountGuard(const std::string& device, const std::string& options) {
  std::vector<char> buffer{'/', 't', 'm', 'p', '/', 'v', 'e', 'l', 'l', 'u', 'm', 'a', 'r',
                           '-', 'm', 'n', 't', '-', 'X', 'X', 'X', 'X', 'X', 'X', '\0'};
  if (::mkdtemp(buffer.data()) == nullptr) {
    return;
  }
  point_ = buffer.data();
  mounted_ = Shell("mount " + options + " " + Quote(device) + " " + Quote(point_)).ExitCode == 0;
}

MountGuard::~MountGuard() {
  if (mounted_) {
    // Only unmount if the run did not already do it.
    Shell("mountpoint -q " + Quote(point_) + " && umount " + Quote(point_));
  }
  ::rmdir(point_.c_str());
}

}  // namespace vellumar::testing
