#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellumar {

inline constexpr std::size_t kSmartNameWidth = 26;

// Entry id - 1 holds the name of attribute `id`; most entries are empty.
extern const std::array<std::string_view, 255> SmartAttributeNames;

// The name of attribute `id` (1..255) filled out to 26 characters; "Unknown" for an empty entry.
std::string SmartAttributeName(std::uint8_t id);

// Spaces appended (PadRight) or put in front (PadLeft) until the text is `width` long.
std::string PadRight(std::string text, std::size_t width);
std::string PadLeft(std::string text, std::size_t width);

}  // namespace vellumar
