#include "devices/catalogue/hex_serial.h"

#include "devices/base/text_format.h"

namespace vellumar {

namespace {

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') {
    return digit - '0';
  }
  if (digit >= 'A' && digit <= 'F') {
    return digit - 'A' + 10;
  }
  return -1;
}

char Byte(char high, char low) { return static_cast<char>(HexValue(high) * 16 + HexValue(low)); }

bool IsPlainSerialCharacter(char c) {
  return c == '\0' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string DecodeHexSerial(const std::string& serial, LogSinks& logs) {
  logs.DebugLog("Performing the WinXP SN trick...");
  std::string hex = serial;
  for (char& c : hex) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
    if (c == '_' || c == ' ') {
      c = '2';
    }
  }
  if (hex.size() != kHexSerialLength) {
    return serial;
  }
  for (const char c : hex) {
    if (HexValue(c) < 0) {
      return serial;
    }
  }

  logs.DebugLog("Stage 1...");
  std::string decoded;
  bool plain = true;
  for (std::size_t g = 0; g < kHexSerialLength; g += 4) {
    const char first = Byte(hex[g + 2], hex[g + 3]);
    const char second = Byte(hex[g], hex[g + 1]);
    decoded.push_back(first);
    decoded.push_back(second);
    plain = plain && IsPlainSerialCharacter(first) && IsPlainSerialCharacter(second);
  }
  if (!plain) {
    logs.DebugLog("Stage 2...");
    decoded.clear();
    for (std::size_t g = 0; g < kHexSerialLength; g += 4) {
      decoded.push_back(Byte(hex[g + 3], hex[g + 2]));
      decoded.push_back(Byte(hex[g + 1], hex[g]));
    }
  }
  return TrimText(decoded);
}

}  // namespace vellumar
