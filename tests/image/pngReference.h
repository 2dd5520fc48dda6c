#pragma once

#include <cstdint>
#include <optional>

#include "bitmap/TColor32.h"
#include "pngTestSupport.h"

namespace tess::testing {

// The import rules, one pixel at a time, written from their description rather than from the
// program's decoder: the pixel (x, y) that importing `png` must give.
TColor32 referencePixel(const PngFixture& png, int x, int y);
std::uint8_t referenceGamma(std::uint8_t value, std::uint32_t gamma);

// A deliberately plain PNG reader that shares nothing with the program's: zlib for inflating,
// then unfiltering, Adam7 and sample unpacking done here. Gives the stored samples, palette,
// tRNS and the gAMA the format lets count (the first, before PLTE and IDAT). No CRC checks:
// only for files known to be valid.
std::optional<PngFixture> referenceDecode(const Bytes& file);

}  // namespace tess::testing
