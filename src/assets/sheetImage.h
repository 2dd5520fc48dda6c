#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "assets/assetLayout.h"
#include "bitmap/TBitmap32.h"

namespace tess::assets {

// Reads the one BMP kind a sheet holds (384x384, 32 bits, colour masks with an alpha mask, the
// 108-byte header, pixels at 122) into `sheet`, upright. Transparency comes from the alpha byte
// alone: every pixel of alpha 0 comes in as clTransparentWhite32, whatever colour it was stored
// with, since sheets key out magenta and white alike. False with `reason` (and `sheet` as it
// was) for any other BMP.
[[nodiscard]] bool decodeSheetBmp(std::span<const std::uint8_t> bmp, TBitmap32& sheet,
                                  std::string& reason);

// The BMP of a 384x384 `sheet`, laid out as the clients' own; alpha 0 is written as magenta
// with alpha 0, as they write it.
[[nodiscard]] std::vector<std::uint8_t> encodeSheetBmp(const TBitmap32& sheet);

// Sprite `cell` (counted left to right, then top to bottom) of a decoded sheet of `type`, at its
// own size. The sheet must be 384x384 and `cell` below cellsPerSheet(type).
[[nodiscard]] TBitmap32 cellOfSheet(const TBitmap32& sheet, TSheetType type, int cell);

// Copies `sprite` (cellWidth x cellHeight of `type`) into `cell` of a 384x384 `sheet`.
void putCell(TBitmap32& sheet, TSheetType type, int cell, const TBitmap32& sprite) noexcept;

// Reads, unpacks and decodes one sheet file. False with `reason` (not naming the file).
[[nodiscard]] bool loadSheetFile(const std::string& path, TBitmap32& sheet, std::string& reason);

}  // namespace tess::assets
