#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace vellumar {

// JSON documents keep their keys in the order they were written, so the output reads like the
// text reports.
using Json = nlohmann::ordered_json;

// The document as text: two-space indentation and a final line break. Bytes that are not UTF-8
// (a drive's text is not to be trusted) become U+FFFD instead of failing the whole document.
std::string JsonText(const Json& document);

// A count that may be absent: null in the document.
template <typename T>
Json JsonOptional(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

}  // namespace vellumar
