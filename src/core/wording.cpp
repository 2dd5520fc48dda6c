#include "core/wording.h"

namespace tess {

std::string groupedNumber(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), 1, ',');
  }
  return digits;
}

std::string counted(std::uint64_t count, const std::string& noun) {
  return groupedNumber(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace tess
