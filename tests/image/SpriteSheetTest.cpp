#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "image/spriteSheet.h"

namespace tess {
namespace {

// A sheet whose tile (column, row) is filled with colour 0xFF000000 + column * 16 + row, except
// the tiles listed as transparent, and whose pixel (x, y) within a tile is told apart by the top
// left pixel holding the tile's position in red.
TBitmap32 sheetOf(int columns, int rows, std::vector<int> transparent = {}) {
  TBitmap32 sheet;
  sheet.SetSizeAndFill(columns * 32, rows * 32, 0);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const int index = row * columns + column;
      const bool clear =
          std::find(transparent.begin(), transparent.end(), index) != transparent.end();
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
          sheet.FBits()[(row * 32 + y) * sheet.Width() + column * 32 + x] =
              clear ? 0x00FFFFFFu : 0xFF000000u + static_cast<TColor32>(column * 16 + row);
        }
      }
    }
  }
  return sheet;
}

TEST(CutSheet, TilesGoLeftToRightThenTopToBottom) {
  const auto tiles = cutSheet(sheetOf(3, 2), false);
  ASSERT_EQ(tiles.size(), 6u);
  const TColor32 expected[] = {0xFF000000u, 0xFF000010u, 0xFF000020u,
                               0xFF000001u, 0xFF000011u, 0xFF000021u};
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    ASSERT_EQ(tiles[i]->Width(), 32);
    ASSERT_EQ(tiles[i]->Height(), 32);
    EXPECT_EQ(tiles[i]->GetPixel(0, 0), expected[i]);
    EXPECT_EQ(tiles[i]->GetPixel(31, 31), expected[i]);
  }
}

TEST(CutSheet, SkipsFullyTransparentTilesOnlyWhenAsked) {
  TBitmap32 sheet = sheetOf(2, 2, {1, 2});
  // One barely visible pixel keeps tile 2.
  sheet.FBits()[(32 + 31) * sheet.Width() + 31] = 0x01000000u;
  EXPECT_EQ(cutSheet(sheet, false).size(), 4u);
  const auto kept = cutSheet(sheet, true);
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[0]->GetPixel(0, 0), 0xFF000000u);
  EXPECT_EQ(kept[1]->GetPixel(31, 31), 0x01000000u);
  EXPECT_EQ(kept[2]->GetPixel(0, 0), 0xFF000011u);
}

TEST(SheetSize, OnlyWholeTiles) {
  EXPECT_TRUE(isSheetSize(32, 32));
  EXPECT_TRUE(isSheetSize(96, 64));
  EXPECT_FALSE(isSheetSize(0, 32));
  EXPECT_FALSE(isSheetSize(48, 32));
  EXPECT_FALSE(isSheetSize(64, 33));
  TBitmap32 odd;
  odd.SetSize(40, 32);
  EXPECT_TRUE(cutSheet(odd, false).empty());
}

TEST(DefaultSheetColumns, TheFewestThatKeepTheSheetNoTallerThanWide) {
  const struct {
    std::size_t count;
    int columns;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {4, 2}, {5, 3}, {9, 3}, {10, 4}, {16384, 128}, {16385, 129}};
  for (const auto& c : cases) EXPECT_EQ(defaultSheetColumns(c.count), c.columns) << c.count;
}

TEST(AssembleSheet, CellsInOrderWithMissingTilesTransparent) {
  TBitmap32 a, b;
  a.SetSizeAndFill(32, 32, 0xFF0000AAu);
  b.SetSizeAndFill(32, 32, 0xFF0000BBu);
  const TBitmap32* tiles[] = {&a, nullptr, &b};
  const TBitmap32 sheet = assembleSheet(tiles, 2);
  ASSERT_EQ(sheet.Width(), 64);
  ASSERT_EQ(sheet.Height(), 64);
  EXPECT_EQ(sheet.GetPixel(5, 5), 0xFF0000AAu);
  EXPECT_EQ(sheet.GetPixel(37, 5), clTransparentWhite32);
  EXPECT_EQ(sheet.GetPixel(5, 37), 0xFF0000BBu);
  EXPECT_EQ(sheet.GetPixel(37, 37), clTransparentWhite32);
  // Cutting the sheet again gives the tiles back.
  const auto again = cutSheet(sheet, true);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[1]->GetPixel(31, 31), 0xFF0000BBu);
}

}  // namespace
}  // namespace tess
