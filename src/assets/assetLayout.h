#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tess::assets {

// Every sheet is one 384x384 picture, whatever the size of its cells.
inline constexpr int kSheetSide = 384;
// The side of a tile of the older sprite files.
inline constexpr int kTileSide = 32;

// The cell size of a sheet, as its catalog entry's "spritetype" gives it.
enum class TSheetType : std::uint8_t {
  Small = 0,  // 32x32
  Tall = 1,   // 32 wide, 64 high
  Wide = 2,   // 64 wide, 32 high
  Large = 3   // 64x64
};

inline constexpr int kSheetTypeCount = 4;

// The type named by a catalog's "spritetype" number, or nullopt for any other number.
constexpr std::optional<TSheetType> sheetTypeFrom(std::int64_t number) noexcept {
  if (number < 0 || number >= kSheetTypeCount) return std::nullopt;
  return static_cast<TSheetType>(number);
}

constexpr int cellWidth(TSheetType type) noexcept {
  return type == TSheetType::Wide || type == TSheetType::Large ? 64 : 32;
}
constexpr int cellHeight(TSheetType type) noexcept {
  return type == TSheetType::Tall || type == TSheetType::Large ? 64 : 32;
}
constexpr int sheetColumns(TSheetType type) noexcept { return kSheetSide / cellWidth(type); }
constexpr int sheetRows(TSheetType type) noexcept { return kSheetSide / cellHeight(type); }
constexpr int cellsPerSheet(TSheetType type) noexcept {
  return sheetColumns(type) * sheetRows(type);
}
// How many 32x32 tiles of an older sprite file one sprite of this type becomes.
constexpr int tilesPerSprite(TSheetType type) noexcept {
  return cellWidth(type) * cellHeight(type) / (kTileSide * kTileSide);
}

}  // namespace tess::assets
