#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "bitmap/TBitmap32.h"

namespace tess {

// What a BMP's headers say about its pixels, in every header layout: OS/2 1.x (12 bytes),
// OS/2 2.x (16 or 64), and the Windows ones (40, 52, 56, 108, 124).
struct BmpLayout {
  std::uint32_t infoSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // always positive; see topDown
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t masks[4] = {};  // red, green, blue, alpha; for 16 and 32 bits only
  std::size_t paletteAt = 0;
  std::size_t paletteEntries = 0;
  std::size_t paletteEntryBytes = 4;
  std::size_t pixelsAt = 0;
};

// Reads the headers of a file that starts with "BM" and is at least 54 bytes long. Throws
// std::runtime_error for a header this program does not know or whose values cannot be right.
BmpLayout readBmpLayout(std::span<const std::uint8_t> file);

// True for the kinds readUncompressedBmp reads: no compression, or colour masks.
bool isUncompressed(const BmpLayout& layout) noexcept;

// The picture of an uncompressed BMP of 1, 2, 4, 8, 16, 24 or 32 bits. Palette indices past the
// palette's end read as opaque black; mask values are brought to 8 bits to the nearest.
// Every pixel is opaque except in a 32-bit file with an alpha mask. Throws std::runtime_error,
// before anything is allocated, for a size beyond the import limits or rows the file lacks.
TBitmap32 readUncompressedBmp(const BmpLayout& layout, std::span<const std::uint8_t> file);

// The palette as opaque colours; indices past its end are opaque black, so any index read from
// a file has a colour.
std::array<TColor32, 256> bmpPalette(const BmpLayout& layout, std::span<const std::uint8_t> file);

}  // namespace tess
