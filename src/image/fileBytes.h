#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tess {

// The whole content of a file. Throws std::runtime_error naming the file when it cannot be
// opened or read.
std::vector<std::uint8_t> readWholeFile(const std::string& fileName);

}  // namespace tess
