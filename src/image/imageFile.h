#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "bitmap/TBitmap32.h"
#include "image/imageAlpha.h"

namespace tess {

enum class ImageKind { png, bmp, unknown };

// What the first bytes of a file say it is: the PNG signature, or "BM".
[[nodiscard]] ImageKind sniffImageKind(std::span<const std::uint8_t> head) noexcept;

// What the lower-cased whole path says: "png" anywhere means PNG, otherwise "bmp" anywhere means
// BMP. Only the ASCII letters A to Z are lowered.
[[nodiscard]] ImageKind imageKindFromName(const std::string& fileName);

// Fills `bitmap` from an image file. The decoder is chosen by the file's first bytes, and by its
// name (imageKindFromName) only when they are neither a PNG signature nor "BM". A PNG that does
// not decode gives false with the bitmap untouched; a BMP's read errors are thrown as
// std::runtime_error; a file of any other kind, or one that cannot be read and whose name does
// not say BMP, gives false with the bitmap untouched. `alpha` says how a PNG's partly
// transparent pixels come in; a BMP's alpha comes in as it is either way.
[[nodiscard]] bool loadImageFile(const std::string& fileName, TBitmap32& bitmap,
                                 ImportAlpha alpha = ImportAlpha::OverWhite);

}  // namespace tess
