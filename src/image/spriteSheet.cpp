#include "image/spriteSheet.h"

#include <algorithm>
#include <cmath>

namespace tess {

bool isSheetSize(int width, int height) noexcept {
  return width >= kSheetTile && height >= kSheetTile && width % kSheetTile == 0 &&
         height % kSheetTile == 0;
}

std::vector<std::unique_ptr<TBitmap32>> cutSheet(
    const TBitmap32& sheet, bool skipTransparent,
    const std::function<void(int row, int rows)>& progress) {
  std::vector<std::unique_ptr<TBitmap32>> tiles;
  if (!isSheetSize(sheet.Width(), sheet.Height())) return tiles;
  const int columns = sheet.Width() / kSheetTile;
  const int rows = sheet.Height() / kSheetTile;
  tiles.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
  const TColor32* const pixels = sheet.FBits();
  const auto stride = static_cast<std::size_t>(sheet.Width());
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const TColor32* const corner = pixels + static_cast<std::size_t>(row) * kSheetTile * stride +
                                     static_cast<std::size_t>(column) * kSheetTile;
      if (skipTransparent) {
        bool anyVisible = false;
        for (int y = 0; y < kSheetTile && !anyVisible; ++y) {
          const TColor32* const line = corner + static_cast<std::size_t>(y) * stride;
          anyVisible = std::any_of(line, line + kSheetTile,
                                   [](TColor32 pixel) { return AlphaOf(pixel) != 0; });
        }
        if (!anyVisible) continue;
      }
      auto tile = std::make_unique<TBitmap32>();
      tile->SetSizeForOverwrite(kSheetTile, kSheetTile);
      for (int y = 0; y < kSheetTile; ++y) {
        std::copy_n(corner + static_cast<std::size_t>(y) * stride, kSheetTile,
                    tile->FBits() + static_cast<std::size_t>(y) * kSheetTile);
      }
      tiles.push_back(std::move(tile));
    }
    if (progress) progress(row + 1, rows);
  }
  return tiles;
}

int defaultSheetColumns(std::size_t count) noexcept {
  if (count == 0) return 1;
  // rows = ceil(count / columns) <= columns  <=>  columns >= sqrt(count), rounded up.
  auto columns = static_cast<std::size_t>(std::sqrt(static_cast<double>(count)));
  while (columns * columns < count) ++columns;
  return static_cast<int>(columns);
}

TBitmap32 assembleSheet(std::span<const TBitmap32* const> tiles, int columns) {
  TBitmap32 sheet;
  if (tiles.empty() || columns <= 0) return sheet;
  const auto cols = static_cast<std::size_t>(columns);
  const std::size_t rows = (tiles.size() + cols - 1) / cols;
  const std::size_t shownColumns = std::min(cols, tiles.size());
  sheet.SetSizeAndFill(static_cast<int>(shownColumns) * kSheetTile,
                       static_cast<int>(rows) * kSheetTile, clTransparentWhite32);
  const auto stride = static_cast<std::size_t>(sheet.Width());
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const TBitmap32* const tile = tiles[i];
    if (!tile || tile->empty()) continue;
    TColor32* const corner =
        sheet.FBits() + (i / cols) * kSheetTile * stride + (i % cols) * kSheetTile;
    const int width = std::min(tile->Width(), kSheetTile);
    const int height = std::min(tile->Height(), kSheetTile);
    for (int y = 0; y < height; ++y) {
      std::copy_n(tile->FBits() + static_cast<std::size_t>(y) * tile->Width(), width,
                  corner + static_cast<std::size_t>(y) * stride);
    }
  }
  return sheet;
}

}  // namespace tess
