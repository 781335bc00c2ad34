#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "devices/base/json_writer.h"
#include "devices/base/text_format.h"

namespace vellumar::fuzz {

// N bytes of the input from `offset` on; what the input does not cover stays zero.
template <std::size_t N>
std::array<std::uint8_t, N> Chunk(const std::uint8_t* data, std::size_t size, std::size_t offset = 0) {
  std::array<std::uint8_t, N> chunk{};
  if (offset < size) {
    std::copy_n(data + offset, std::min(N, size - offset), chunk.begin());
  }
  return chunk;
}

// A drive's text, once cleaned, must pass a second cleaning unchanged: anything else is a
// control character that got through. abort() makes libFuzzer keep the input.
inline void RequireClean(std::string_view text) {
  if (ReplaceControlCharacters(text) != text) {
    std::abort();
  }
}

// A report document must come out as text that reads back as JSON.
inline void RequireJson(const Json& document) {
  if (!Json::accept(JsonText(document))) {
    std::abort();
  }
}

}  // namespace vellumar::fuzz
