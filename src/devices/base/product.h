#pragma once

#include <string_view>

namespace vellumar {

// The product's own texts, shared by every report, log header and window title.
inline constexpr std::string_view kProductName = "Vellumar 4.50";
inline constexpr std::string_view kProductWebAddress = "https://vellumar.example/";
inline constexpr std::string_view kSupportForumAddress = "https://vellumar.example/forum";

}  // namespace vellumar
