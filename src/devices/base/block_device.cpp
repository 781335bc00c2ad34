#include "devices/base/block_device.h"

namespace vellumar {

const char* FormatErrorText(std::uint32_t code) {
  switch (code) {
    case kErrorFileNotFound:
    case kErrorDevNotExist:
      return "Media was unplugged";
    case kErrorWriteProtect:
      return "The media is write protected";
    case kErrorNotReady:
    case kErrorSemTimeout:
      return "Device not ready (Timeout)";
    case kErrorIoDevice:
      return "Device I/O error";
    case kErrorHandleEof:
      return "Reached the end of the device";
    default:
      return "";
  }
}

bool IsAbortCode(std::uint32_t code) { return code == kErrorFileNotFound || code == kErrorDevNotExist; }

}  // namespace vellumar
