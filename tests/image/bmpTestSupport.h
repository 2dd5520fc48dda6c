#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tess::testing {

// A BMP to write for a test. `pixels` are listed from the top row down: palette indices for 1,
// 4 and 8 bits, 0xRRGGBB for 16 (as 5-5-5) and 24 bits, 0xAARRGGBB (the fourth byte stored as
// is) for 32 bits. A positive height stores the rows bottom-up, a negative one top-down.
struct BmpFixture {
  int width = 1;
  int height = 1;
  int bitCount = 24;
  std::vector<std::uint32_t> pixels;
  std::vector<std::array<std::uint8_t, 3>> palette;  // red, green, blue
};

// The file: 14-byte file header, 40-byte info header, palette, pixel rows padded to 4 bytes.
std::vector<std::uint8_t> encodeBmp(const BmpFixture& fixture);

void putLittle16(std::vector<std::uint8_t>& out, std::uint16_t value);
void putLittle32(std::vector<std::uint8_t>& out, std::uint32_t value);
void setLittle32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);

}  // namespace tess::testing
