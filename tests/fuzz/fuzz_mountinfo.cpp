// /proc/self/mountinfo and /proc/swaps text: a mount point or swap file name is the user's choice.
#include <string>

#include "platform/linux/volumes/mountinfo.h"

using namespace vellumar::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)ParseMountInfo(text);
  (void)ParseSwaps(text);
  return 0;
}
