#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "bitmap/TBitmap32.h"

namespace tess {

// Reads a BMP file into `bitmap`, which takes the image's own size; its DrawMode is kept.
//
// A plain 32-bit BMP (one plane, 32 bits, no compression) is read here: blue, green, red and a
// fourth byte kept as the alpha, bottom-up for a positive height and top-down otherwise. When
// such a file ends early the bitmap keeps its new size, the pixels read so far and opaque black
// in the rest, and std::runtime_error is thrown. The other uncompressed kinds (1, 2, 4, 8, 16 and
// 24 bits, and colour masks of 16 and 32 bits, in every header layout) are read here too
// (BmpUncompressed.h), and so are run-length encoded files (RLE8 at 8 bits, RLE4 at 4 bits), whose
// pixels the codes skip come in opaque black. Every BMP of 1 to 24 bits comes in opaque; only a
// 32-bit one with colour masks and an alpha mask keeps its alpha.
// Embedded JPEG and PNG pictures, and anything else, are refused.
//
// Throws std::runtime_error, leaving the bitmap as it was, for a missing or unreadable file, one
// shorter than the 54-byte header, one without the "BM" signature, one that does not decode, and
// one whose declared size is beyond the import limits or far beyond what its bytes can fill.
void loadBmpFile(TBitmap32& bitmap, const std::string& fileName);

// The same for a BMP file already in memory.
void loadBmpBytes(TBitmap32& bitmap, std::span<const std::uint8_t> file);

}  // namespace tess
