#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "image/imageAlpha.h"

namespace tess {

class FileReader;

// Reads a whole PNG file into `bitmap`. False when the file cannot be read or is not a valid
// PNG; the bitmap is then exactly as it was. Never throws.
[[nodiscard]] bool loadPngFile(TBitmap32& bitmap, const std::string& fileName,
                               ImportAlpha alpha = ImportAlpha::OverWhite) noexcept;

// Reads the PNG in `file` from its start, as it is decoded, into `bitmap`; as loadPngFile.
[[nodiscard]] bool loadPngFrom(FileReader& file, TBitmap32& bitmap, ImportAlpha alpha) noexcept;

// Decodes the PNG file held in `data` (starting at its signature) into `bitmap`, which takes the
// image's own size; its DrawMode is kept. Returns true. Invalid, truncated or oversized data
// throws std::runtime_error before the bitmap is touched.
[[nodiscard]] bool loadPngStream(TBitmap32& bitmap, std::span<const std::uint8_t> data,
                                 ImportAlpha alpha = ImportAlpha::OverWhite);

// The whole export file in memory: 8-bit RGBA, not interlaced, zlib level 9, with only the IHDR,
// IDAT and IEND chunks, pixel bytes exactly as stored. nullopt when it cannot be built (an empty
// bitmap, or no memory).
[[nodiscard]] std::optional<std::vector<std::uint8_t>> bitmapToPng(
    const TBitmap32& bitmap) noexcept;

// Writes bitmapToPng(bitmap) to `fileName`, creating or replacing it atomically (readers see the
// old file or the new one, never part of one), without waiting for the disk. False, with the
// reason in `reason` when given, when it could not; a failure leaves no file behind.
bool savePngFile(const TBitmap32& bitmap, const std::string& fileName,
                 std::string* reason = nullptr) noexcept;

}  // namespace tess
