#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tess {

// Counts as users read them, for the status line and the command-line tool's notes.

// 120100 -> "120,100".
std::string groupedNumber(std::uint64_t value);
// "1 sprite", "12 sprites", "120,100 sprites"; `noun` is the singular and takes an "s".
std::string counted(std::uint64_t count, const std::string& noun);

}  // namespace tess
