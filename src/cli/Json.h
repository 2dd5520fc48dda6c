#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tess::cli {

// A JSON string literal of `text`, which is taken as UTF-8 and passed through as it is; control
// characters, quotes and backslashes are escaped.
std::string jsonString(std::string_view text);

// A JSON array of the numbers.
std::string jsonArray(const std::vector<std::int32_t>& numbers);

}  // namespace tess::cli
