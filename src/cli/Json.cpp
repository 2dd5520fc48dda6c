#include "cli/Json.h"

#include <cstdio>

namespace tess::cli {

std::string jsonString(std::string_view text) {
  std::string json = "\"";
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    switch (ch) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (byte < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          json += escaped;
        } else {
          json += ch;
        }
    }
  }
  json += '"';
  return json;
}

std::string jsonArray(const std::vector<std::int32_t>& numbers) {
  std::string json = "[";
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i != 0) json += ',';
    json += std::to_string(numbers[i]);
  }
  json += ']';
  return json;
}

}  // namespace tess::cli
