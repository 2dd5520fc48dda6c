#include "assets/assetTiles.h"

#include <algorithm>

#include "assets/assetLayout.h"

namespace tess::assets {

namespace {

bool fullyTransparent(const TBitmap32& sprite, int left, int top) noexcept {
  for (int y = top; y < top + kTileSide; ++y) {
    const TColor32* const row = sprite.FBits() + y * sprite.Width() + left;
    if (std::any_of(row, row + kTileSide, [](TColor32 pixel) { return AlphaOf(pixel) != 0; })) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<std::unique_ptr<TBitmap32>> cutIntoTiles(const TBitmap32& sprite) {
  std::vector<std::unique_ptr<TBitmap32>> tiles;
  for (int top = sprite.Height() - kTileSide; top >= 0; top -= kTileSide) {
    for (int left = sprite.Width() - kTileSide; left >= 0; left -= kTileSide) {
      if (fullyTransparent(sprite, left, top)) {
        tiles.push_back(nullptr);
        continue;
      }
      auto tile = std::make_unique<TBitmap32>();
      tile->SetSizeForOverwrite(kTileSide, kTileSide);
      for (int y = 0; y < kTileSide; ++y) {
        const TColor32* const row = sprite.FBits() + (top + y) * sprite.Width() + left;
        std::copy(row, row + kTileSide, tile->FBits() + y * kTileSide);
      }
      tiles.push_back(std::move(tile));
    }
  }
  return tiles;
}

TBitmap32 assembleFromTiles(std::span<const TBitmap32* const> tiles, int width, int height) {
  TBitmap32 sprite;
  sprite.SetSizeAndFill(width, height, clTransparentWhite32);
  std::size_t next = 0;
  for (int top = height - kTileSide; top >= 0; top -= kTileSide) {
    for (int left = width - kTileSide; left >= 0; left -= kTileSide, ++next) {
      const TBitmap32* const tile = next < tiles.size() ? tiles[next] : nullptr;
      if (!tile || tile->Width() < kTileSide || tile->Height() < kTileSide) continue;
      for (int y = 0; y < kTileSide; ++y) {
        const TColor32* const row = tile->FBits() + y * tile->Width();
        std::copy(row, row + kTileSide, sprite.FBits() + (top + y) * width + left);
      }
    }
  }
  return sprite;
}

}  // namespace tess::assets
