#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "bitmap/TBitmap32.h"

namespace tess {

// The side of a tile of a sprite sheet: one sprite.
inline constexpr int kSheetTile = 32;

// Whether `width` x `height` can be cut into whole tiles (and holds at least one).
[[nodiscard]] bool isSheetSize(int width, int height) noexcept;

// Cuts `sheet` into 32x32 tiles, left to right, then top to bottom. With `skipTransparent`, tiles
// whose every pixel has alpha 0 are left out. `progress` (may be empty) is told the tile row done
// and the number of tile rows. The sheet's size must pass isSheetSize.
[[nodiscard]] std::vector<std::unique_ptr<TBitmap32>> cutSheet(
    const TBitmap32& sheet, bool skipTransparent,
    const std::function<void(int row, int rows)>& progress = {});

// The fewest columns for `count` tiles that make the sheet no taller than wide.
[[nodiscard]] int defaultSheetColumns(std::size_t count) noexcept;

// A sheet of `tiles` in order, `columns` to a row; a missing tile (nullptr) leaves its cell
// transparent. Each tile is copied whole at its cell, cut to 32x32.
[[nodiscard]] TBitmap32 assembleSheet(std::span<const TBitmap32* const> tiles, int columns);

}  // namespace tess
