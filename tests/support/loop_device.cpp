#include "support/loop_device.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
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
  const ShellResult result = Shell("losetup --find --show " + options + " " + Quote(image_));
  if (result.ExitCode == 0) {
    node_ = Trimmed(result.Output);
  } else {
    error_ = result.Output;
  }
}

LoopDevice::~LoopDevice() {
  if (!node_.empty()) {
    Shell("udevadm settle >/dev/null 2>&1; losetup -d " + Quote(node_));
  }
  ::unlink(image_.c_str());
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
